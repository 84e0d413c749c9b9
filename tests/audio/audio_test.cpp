// tests/audio/audio_test.cpp — the WAV and Ogg readers; the sound device on OpenAL Soft's null back end.
#include <gtest/gtest.h>

#include <atomic>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <tuple>

#include "audio/decoders.h"
#include "audio/device.h"
#include "audio/sound.h"
#include "audio_support.h"
#include "host/desktop_game.h"
#include "tests/support/collector.h"
#include "tests/support/runtime_output.h"
#include "tests/support/temp_files.h"

extern "C" const char* __asan_default_options() { return "max_allocation_size_mb=64"; } // no size unread

namespace {

using namespace audiotest;
using V = std::vector<long long>;
// The null back end for this process, set before any device opens (the product never sets it).
const int kNullBackEnd = (unsetenv("ALSOFT_CONF"), setenv("ALSOFT_DRIVERS", "null", 1));

std::string LE(std::uint32_t v, int n) { return n ? static_cast<char>(v) + LE(v >> 8, n - 1) : ""; }
std::string Put(std::string s, std::size_t at, std::uint32_t v) { return s.replace(at, 4, LE(v, 4)); }
std::string Chunk(const char* tag, const std::string& body) { return tag + LE(body.size(), 4) + body; }
// PCM samples, whole chunks `before` them, `extra` bytes after the 16 of the "fmt " chunk.
std::string Wav(int channels, int bits, int rate, const std::string& samples, const std::string& before = "",
                const std::string& extra = "") {
  const int block = channels * (bits / 8);
  const std::string fmt =
      LE(1, 2) + LE(channels, 2) + LE(rate, 4) + LE(rate * block, 4) + LE(block, 2) + LE(bits, 2);
  return Chunk("RIFF", "WAVE" + Chunk("fmt ", fmt + extra) + before + Chunk("data", samples));
}
const std::string D = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10"; // samples

// Only whole sample frames are given, whatever chunks sit before them, after a "fmt " chunk of any
// length (17 bytes and a pad byte last). Rows: the file; frames, channels, bytes a sample, rate.
TEST(Wav, GivesTheWholeFramesOfEveryLayoutOpenALPlays) {
  const std::string odd = Chunk("note", "odd") + '\0', fact = Chunk("fact", "abcd");
  const std::tuple<std::string, int, int, int, int> rows[] = {
      {Wav(1, 16, 22050, D.substr(0, 7)), 3, 1, 2, 22050},
      {Wav(2, 16, 44100, D), 4, 2, 2, 44100},
      {Wav(1, 8, 11025, D.substr(0, 7)), 7, 1, 1, 11025},
      {Wav(2, 8, 1, D.substr(0, 2)), 1, 2, 1, 1},
      {Wav(1, 8, INT_MAX, D.substr(0, 1)), 1, 1, 1, INT_MAX},
      {Wav(1, 16, 8000, D.substr(0, 2), odd + fact + Chunk("LIST", "INFO")), 1, 1, 2, 8000},
      {Wav(2, 16, 8000, D.substr(0, 8), fact, std::string(2, '\0')), 2, 2, 2, 8000},
      {Wav(2, 16, 8000, D.substr(0, 8), std::string(1, '\0'), "x"), 2, 2, 2, 8000}};
  for (const auto& [file, frames, channels, bytes, rate] : rows) {
    Decoded d = Decode(LoadWAV, file);
    EXPECT_EQ((V{d.ok, d.length, d.channels, d.format, d.hertz}), (V{1, frames, channels, bytes, rate}));
    EXPECT_EQ(d.pcm, D.substr(0, frames * channels * bytes)) << file.size();
  }
}

// PCM of 8 or 16 bits, 1 or 2 channels, a rate and a whole frame, sizes the file backs: or refused.
TEST(Wav, RefusesOtherEncodingsAndSizesTheFileDoesNotBack) {
  const std::string good = Wav(1, 16, 22050, D.substr(0, 4), Chunk("junk", "abcd"));
  std::vector<std::string> bad = {Wav(0, 16, 22050, D),  Wav(3, 16, 22050, D),   Wav(1, 0, 22050, D),
                                  Wav(1, 12, 22050, D),  Wav(1, 24, 22050, D),   Wav(1, 16, 0, D),
                                  Wav(1, 16, 22050, ""), Wav(1, 16, 22050, "x"), Wav(2, 16, 22050, "abc")};
  bad.emplace_back(good)[20] = 3; // floating point
  const std::size_t junk = good.find("junk") + 4, data = good.find("data") + 4;
  const std::pair<std::size_t, std::uint32_t> sizes[] = {
      {16, 15}, {16, 0xFFFFFFF0}, {junk, 0xFFFFFFF8}, {data, 5}, {data, 0xFFFFFFFF}};
  for (auto [at, value] : sizes) bad.push_back(Put(good, at, value));
  for (std::size_t n = 1; n < good.size(); ++n) bad.push_back(good.substr(0, n)); // cut anywhere
  ASSERT_TRUE(Decode(LoadWAV, good).ok);
  for (std::size_t i = 0; i < bad.size(); ++i) EXPECT_FALSE(Decode(LoadWAV, bad[i]).ok) << "file " << i;
}

// What oggenc (with `options`) makes of `frames` frames of a steady 16-bit tone.
std::string Oggenc(int channels, int rate, int frames, const std::string& options = "") {
  TempDir tmp;
  const std::string in = (tmp.path / "in.wav").string(), out = (tmp.path / "out.ogg").string();
  WriteFile(in,
            Wav(channels, 16, rate, std::string(static_cast<std::size_t>(frames) * channels * 2, '\x10')));
  EXPECT_EQ(std::system(("oggenc -Q " + options + " -o " + out + " " + in).c_str()), 0);
  return ReadFile(out);
}

// stb_vorbis trusts the lengths in the comment header and writes outside its memory when they are
// wrong: the reader checks them first, over however many pages the header spans.
TEST(Ogg, GivesWhatOggencWroteAndRefusesCommentLengthsBeyondTheHeader) {
  for (auto [channels, rate, frames] : {std::tuple{1, 22050, 3000}, {2, 44100, 5001}}) {
    const std::string ogg = Oggenc(channels, rate, frames, "-c LONG=" + std::string(70000, 'x') + " -c E=");
    Decoded d = Decode(LoadOGG, ogg);
    EXPECT_EQ((V{d.ok, d.length, d.channels, d.format, d.hertz}), (V{1, frames, channels, 2, rate}));
    EXPECT_FALSE(Decode(LoadOGG, ogg.substr(0, 200)).ok) << "cut in the headers";
    const std::size_t vendor = ogg.find("\x03vorbis") + 7, count = vendor + 4 + GetU32(ogg, vendor);
    ASSERT_EQ(std::tuple(GetU32(ogg, count), GetU32(ogg, count + 4)), std::tuple(2u, 70005u));
    const std::pair<std::size_t, std::uint32_t> lengths[] = {{vendor, 0xFFFFFFFF},
                                                             {vendor, 80000},
                                                             {count, 0x40000000},
                                                             {count + 4, 70200},
                                                             {count + 4, 0x7FFFFFFF}};
    for (auto [at, value] : lengths) EXPECT_FALSE(Decode(LoadOGG, Put(ogg, at, value)).ok) << value;
  }
}

// Every realloc of the code linked into this program (the readers' growing buffers) is counted.
std::atomic<int> reallocs{0};
extern "C" void* __real_realloc(void* p, std::size_t n);
extern "C" void* __wrap_realloc(void* p, std::size_t n) {
  ++reallocs;
  return __real_realloc(p, n);
}

// Only what OpenAL plays is decoded: more than two channels is refused before any decoding
// (nothing grows), and a tune is refused once it plays longer than ten minutes.
TEST(Ogg, RefusesMoreThanTwoChannelsBeforeDecodingAndTunesLongerThanTenMinutes) {
  const std::string stereo = Oggenc(2, 8000, 8000 * 20), three = Oggenc(3, 8000, 8000 * 20);
  reallocs = 0;
  EXPECT_TRUE(Decode(LoadOGG, stereo).ok);
  EXPECT_GT(reallocs.load(), 0) << "twenty seconds of stereo grow the buffer";
  reallocs = 0;
  EXPECT_FALSE(Decode(LoadOGG, three).ok) << "three channels";
  EXPECT_EQ(reallocs.load(), 0) << "three channels were decoded before they were refused";
  const Decoded ten = Decode(LoadOGG, Oggenc(1, 8000, 8000 * 600));
  EXPECT_TRUE(ten.ok) << "ten minutes";
  EXPECT_EQ(ten.length, 8000 * 600);
  EXPECT_FALSE(Decode(LoadOGG, Oggenc(1, 8000, 8000 * 601)).ok) << "ten minutes and a second";
}

// What the reader for ".pcm" gives: channels, bytes a sample, frames, rate.
int g_fake[4];
unsigned char* FakeReader(std::FILE*, int* length, int* channels, int* format, int* hertz) {
  *channels = g_fake[0], *format = g_fake[1], *length = g_fake[2], *hertz = g_fake[3];
  return static_cast<unsigned char*>(std::calloc(4096, 1));
}
class Device : public ::testing::Test {
protected:
  TempDir files;
  ZuGlfwGame host; // LoadAudioData
  gxtkAudio* device = nullptr;
  std::string opened = StdoutOf([&] { Open(0); }); // what opening printed

  void TearDown() override { device->Close(), gxtkAudio::sourceLimit = 0; }
  void Open(int sourceLimit) { // with a limit, OpenAL seems to give only that many sources
    if (device) device->Close();
    gxtkAudio::sourceLimit = sourceLimit;
    zu_audio_SetAudioDevice(device = new gxtkAudio);
  }
  String File(const std::string& bytes, const char* name = "s.wav") {
    WriteFile(files.path / name, bytes);
    return String((files.path / name).c_str());
  }
  gxtkSample* Load(int ms) { return device->LoadSample(File(Wav(1, 8, 1000, std::string(ms, 'x')))); }
  ALuint Source(int channel) const { return device->channels[channel].source; }
  ALint Al(int c, ALenum p = AL_SOURCE_STATE) const {
    ALint v = -1;
    alGetSourcei(Source(c), p, &v);
    return v;
  }
  // The channel's state as the device reports it, and its source's state in OpenAL.
  V State(int channel) const { return {device->ChannelState(channel), Al(channel)}; }
  bool Stopped(int c) const {
    return WaitFor([&] { return Al(c) == AL_STOPPED; }, 3000);
  }
};

// Music plays on channel 32, and a file that cannot be loaded stops it; a null sound plays nothing.
TEST_F(Device, OpensWithOneLineAndAMusicSourcePlaysMusicAndIgnoresChannelsItHasNot) {
  EXPECT_EQ(opened, "opening openal device\n");
  for (int i = 0; i <= 32; ++i) EXPECT_EQ((V{Source(i) != 0, device->ChannelState(i)}), (V{i == 32, 0})) << i;
  for (int channel : {-1, 33})
    EXPECT_EQ((V{device->PlaySample(Load(100), channel, 0), device->ChannelState(channel)}), (V{-1, 0}));
  ASSERT_EQ(zu_audio_PlayMusic(File(Wav(1, 8, 1000, std::string(200, 'x'))), 1), 0);
  EXPECT_EQ((V{device->MusicState(), Al(32, AL_LOOPING), Source(0)}), (V{1, 1, 0}));
  EXPECT_EQ(zu_audio_PlayMusic(String("/nonexistent/tune.ogg"), 1), -1);
  EXPECT_EQ(State(32), (V{0, AL_STOPPED}));
  c_Sound* sound = zu_audio_LoadSound(File(Wav(1, 8, 8000, "xyz")));
  zu_audio_PlaySound(nullptr, 0, 0);
  zu_audio_PlaySound((new c_Sound)->m_new2(), 1, 1);
  zu_audio_PlaySound(sound, 2, 1);
  EXPECT_EQ((V{Source(0), Source(1), Al(2, AL_BUFFER)}), (V{0, 0, sound->m_sample->buffer}));
}

TEST_F(Device, ChannelStatesChangeOnlyAsTheGameAndTheEndOfTheSampleSay) {
  gxtkSample *looping = Load(500), *once = Load(300);
  ASSERT_EQ(device->PlaySample(looping, 2, 1), 0);
  device->ResumeChannel(2); // only a paused channel resumes
  EXPECT_EQ(State(2), (V{1, AL_PLAYING}));
  device->PauseChannel(2);
  EXPECT_EQ(State(2), (V{2, AL_PAUSED}));
  device->ResumeChannel(2);
  device->SetPan(2, -0.5235988f); // radians from straight ahead: 30 degrees left
  device->PlaySample(once, 2, 0); // a busy channel starts the new sample, once
  float p[3];
  alGetSource3f(Source(2), AL_POSITION, &p[0], &p[1], &p[2]);
  EXPECT_EQ((V{Al(2, AL_BUFFER), Al(2, AL_LOOPING), Al(2), lround(p[0] * 1e3), lround(p[2] * 1e3)}),
            (V{once->buffer, 0, AL_PLAYING, -500, -866}));
  ASSERT_TRUE(Stopped(2));
  device->PauseChannel(2); // a finished one-shot reads 0, paused or resumed
  device->ResumeChannel(2);
  EXPECT_EQ(State(2), (V{0, AL_STOPPED}));
  device->PlaySample(looping, 0, 1);
  device->PlaySample(looping, 1, 1);
  device->PauseChannel(1);
  device->Suspend(); // pauses what plays; Resume restarts only that
  EXPECT_EQ((V{Al(0), Al(1)}), (V{AL_PAUSED, AL_PAUSED}));
  device->Resume();
  EXPECT_EQ((V{Al(0), Al(1), device->ChannelState(0), device->ChannelState(1)}),
            (V{AL_PLAYING, AL_PAUSED, 1, 2}));
}

TEST_F(Device, WhenSourcesRunOutAStoppedSoundChannelsSourceIsTaken) {
  Open(3); // the music channel has one: two are left
  gxtkSample *looping = Load(500), *once = Load(300);
  ASSERT_EQ((V{device->PlaySample(looping, 0, 1), device->PlaySample(once, 1, 0)}), (V{0, 0}));
  const ALuint onceSource = Source(1), musicSource = Source(32);
  EXPECT_EQ((V{device->PlaySample(looping, 2, 0), Source(2)}), (V{-1, 0})) << "both still play";
  ASSERT_TRUE(Stopped(1));
  EXPECT_EQ((V{device->PlaySample(looping, 2, 1), Source(1), Source(2)}), (V{0, 0, onceSource}));
  EXPECT_EQ((V{device->PlaySample(looping, 5, 0), Source(32)}), (V{-1, musicSource})) << "music's is kept";
}

// A new tune takes the music channel: the old tune's sample, held by nothing any more, hands its
// buffer back when the collector frees it, and the next flush deletes it from OpenAL while the new
// tune plays on.
TEST_F(Device, ANewTuneLetsTheOldTunesBufferGoAndPlaysOn) {
  static const bool rooted = (gc_root(zu_audio_device), true); // the device keeps what it plays
  (void)rooted;
  CollectFully(); // samples of the devices earlier tests closed: their names belong to no device
  gxtkAudio::discarded.clear();
  ASSERT_EQ(device->PlayMusic(File(Wav(1, 8, 1000, std::string(2000, 'a')), "a.wav"), 1), 0);
  const ALuint first = device->channels[gxtkAudio::kMusicChannel].sample->buffer;
  ASSERT_TRUE(alIsBuffer(first));
  ASSERT_EQ(device->PlayMusic(File(Wav(1, 8, 1000, std::string(2000, 'b')), "b.wav"), 1), 0);
  const ALuint second = device->channels[gxtkAudio::kMusicChannel].sample->buffer;
  EXPECT_NE(second, first);
  CollectFully();
  device->FlushDiscarded(); // as the next load or play does
  EXPECT_FALSE(alIsBuffer(first)) << "the old tune's buffer is deleted";
  EXPECT_TRUE(gxtkAudio::discarded.empty()) << "nothing left waiting";
  EXPECT_TRUE(alIsBuffer(second)) << "the new tune's buffer is kept";
  EXPECT_EQ(Al(32, AL_BUFFER), static_cast<ALint>(second));
  EXPECT_EQ(State(32), (V{1, AL_PLAYING}));
}

// Rows: channels, bytes a sample, frames, rate; whether it loads (or no sample, not a silent one).
TEST_F(Device, LoadsEveryLayoutOpenALPlaysAndNothingElse) {
  ZuGlfwGame::SetAudioReader(".pcm", FakeReader);
  const int rows[][5] = {{1, 1, 300, 11025, 1}, {1, 2, 1, 22050, 1},   {2, 1, 300, 8000, 1},
                         {2, 2, 300, 11025, 1}, {3, 2, 300, 22050, 0}, {0, 2, 300, 22050, 0},
                         {1, 3, 300, 22050, 0}, {1, 2, 0, 22050, 0},   {1, 2, 1, 0, 0}};
  const ALenum properties[] = {AL_CHANNELS, AL_BITS, AL_FREQUENCY, AL_SIZE};
  for (auto& row : rows) {
    std::copy(row, row + 4, g_fake);
    gxtkSample* s = device->LoadSample(File("", "x.pcm"));
    ALint v[4] = {};
    for (int i = 0; s && i < 4; ++i) alGetBufferi(s->buffer, properties[i], &v[i]);
    EXPECT_EQ((V{s != nullptr, v[0], v[1], v[2], v[3]}),
              (row[4] ? V{1, row[0], 8 * row[1], row[3], row[2] * row[0] * row[1]} : V(5, 0)));
  }
  ZuGlfwGame::SetAudioReader(".pcm", nullptr);
  EXPECT_FALSE(device->LoadSample__UNSAFE__(nullptr, String("x.pcm"))); // nothing to load into
}

} // namespace
