// tests/audio/device_test.cpp — gxtkAudio and the sound module on OpenAL Soft's null back end
// (real time, no output): opening, the channel state machine, source stealing through the
// source-limit seam, samples OpenAL cannot play, music, deferred buffer deletion, the
// collector; and, in a child process where no back end works, a device that opens nothing
// while the program carries on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "audio/device.h"
#include "audio/sound.h"
#include "audio_support.h"
#include "host/desktop_game.h"
#include "tests/support/collector.h"
#include "tests/support/runtime_output.h"
#include "tests/support/subprocess.h"

namespace {

using namespace audiotest;

constexpr float kRight = 1.5707964f; // pan +90 degrees

// What the reader registered for ".pcm" hands over, whatever the file holds.
struct FakePcm {
  int channels, format, frames, hertz;
} g_fake;

unsigned char* FakeReader(std::FILE*, int* length, int* channels, int* format, int* hertz) {
  *length = g_fake.frames, *channels = g_fake.channels, *format = g_fake.format, *hertz = g_fake.hertz;
  return static_cast<unsigned char*>(
      std::calloc(std::max(1, g_fake.frames * 2 * 4), 1)); // room for any layout
}

class Device : public ::testing::Test {
protected:
  TempDir files;
  ZuGlfwGame host; // LoadAudioData
  gxtkAudio* device = nullptr;
  std::string opened; // what opening the device printed
  int made = 0;

  void SetUp() override { Open(0); }
  void TearDown() override {
    gxtkAudio::sourceLimit = 0;
    zu_audio_SetAudioDevice(nullptr);
    if (device) device->Close();
  }
  // A new device, the sound module's too; with a limit, OpenAL seems to give only that many sources.
  void Open(int sourceLimit) {
    if (device) device->Close();
    gxtkAudio::sourceLimit = sourceLimit;
    opened = StdoutOf([&] { device = new gxtkAudio; });
    ASSERT_NE(device->alcContext, nullptr) << "the null back end did not open";
    zu_audio_SetAudioDevice(device);
  }
  String File(const std::string& name, const std::string& bytes) {
    WriteFile(files.path / name, bytes);
    return String((files.path / name).c_str());
  }
  gxtkSample* Load(double seconds) {
    gxtkSample* s = device->LoadSample(File("s" + std::to_string(++made) + ".wav", ToneWav(seconds)));
    EXPECT_NE(s, nullptr);
    return s;
  }
  ALuint Source(int channel) const { return device->channels[channel].source; }
  ALint Al(int channel, ALenum param) const {
    ALint v = -1;
    alGetSourcei(Source(channel), param, &v);
    return v;
  }
  // The channel's state as the device reports it, and its source's state in OpenAL.
  std::pair<int, ALint> State(int channel) const {
    return {device->ChannelState(channel), Al(channel, AL_SOURCE_STATE)};
  }
  // Waits until OpenAL reports the channel's source stopped (a one-shot ran out).
  bool WaitStopped(int channel) const {
    return WaitFor([&] { return Al(channel, AL_SOURCE_STATE) == AL_STOPPED; }, 1000);
  }
};

using S = std::pair<int, ALint>;

// [SECTION] Opening and the channels

TEST_F(Device, OpeningPrintsOneLineTurnsAttenuationOffAndGivesOnlyTheMusicChannelASource) {
  EXPECT_EQ(opened, "opening openal device\n");
  EXPECT_EQ(alGetInteger(AL_DISTANCE_MODEL), AL_NONE);
  EXPECT_NE(Source(32), 0u);
  for (int i = 0; i <= 32; ++i) {
    EXPECT_TRUE(i == 32 || Source(i) == 0) << "channel " << i << " has no source until it needs one";
    EXPECT_EQ(device->ChannelState(i), 0);
  }
}

TEST_F(Device, ChannelStatesChangeOnlyAsTheGameAndTheEndOfTheSampleSay) {
  gxtkSample* looping = Load(0.5);
  gxtkSample* shortOne = Load(0.02);
  device->ResumeChannel(0); // nothing on the channel: nothing happens
  device->PauseChannel(0);
  EXPECT_EQ(std::pair(device->ChannelState(0), Source(0)), std::pair(0, 0u));

  ASSERT_EQ(device->PlaySample(looping, 2, 1), 0);
  device->ResumeChannel(2); // only a paused channel resumes
  EXPECT_EQ(State(2), S(1, AL_PLAYING));
  device->PauseChannel(2);
  device->PauseChannel(2);
  EXPECT_EQ(State(2), S(2, AL_PAUSED));
  device->ResumeChannel(2);
  EXPECT_EQ(State(2), S(1, AL_PLAYING));

  // A busy channel restarts on its own source with the new sample, here played once.
  const ALuint source = Source(2);
  ASSERT_EQ(device->PlaySample(shortOne, 2, 0), 0);
  EXPECT_EQ(Source(2), source);
  EXPECT_EQ(std::pair(Al(2, AL_BUFFER), Al(2, AL_LOOPING)),
            std::pair(static_cast<ALint>(shortOne->buffer), 0));
  EXPECT_EQ(State(2), S(1, AL_PLAYING));
  device->PlaySample(shortOne, 4, 0);
  ASSERT_TRUE(WaitStopped(2) && WaitStopped(4)) << "the looping sample would never stop";
  EXPECT_EQ(device->ChannelState(2), 0) << "a finished one-shot";
  // Pausing a finished channel leaves it at 0, and resuming then starts nothing again.
  device->PauseChannel(4);
  device->ResumeChannel(4);
  EXPECT_EQ(State(4), S(0, AL_STOPPED));

  // A paused channel stops too, and stays stopped.
  device->PlaySample(looping, 0, 1);
  device->PauseChannel(0);
  device->StopChannel(0);
  device->ResumeChannel(0);
  EXPECT_EQ(State(0), S(0, AL_STOPPED));
}

TEST_F(Device, VolumePanAndRateSetBeforeAnythingPlaysHoldForThePlayAndBadChannelsAreIgnored) {
  zu_audio_SetChannelVolume(9, 0.25f);
  zu_audio_SetChannelRate(9, 1.5f);
  const ALuint source = Source(9);
  ASSERT_NE(source, 0u);
  for (auto [pan, x, z] : {std::tuple{0.0f, 0.0f, -1.0f}, {kRight, 1.0f, 0.0f}, {-kRight, -1.0f, 0.0f}}) {
    zu_audio_SetChannelPan(9, pan); // 0 is straight ahead
    float got[3] = {9, 9, 9};
    alGetSource3f(source, AL_POSITION, &got[0], &got[1], &got[2]);
    EXPECT_NEAR(got[0], x, 1e-6) << pan;
    EXPECT_EQ(got[1], 0.0f) << pan;
    EXPECT_NEAR(got[2], z, 1e-6) << pan;
  }
  device->PlaySample(Load(0.1), 9, 0);
  EXPECT_EQ(Source(9), source);
  float gain = 0, pitch = 0;
  alGetSourcef(source, AL_GAIN, &gain);
  alGetSourcef(source, AL_PITCH, &pitch);
  EXPECT_EQ(std::pair(gain, pitch), std::pair(0.25f, 1.5f));
  // Channel numbers outside the device are ignored.
  for (int channel : {-1, 33, 1000}) {
    EXPECT_EQ(device->PlaySample(Load(0.05), channel, 0), -1);
    device->SetVolume(channel, 0.5f);
    device->SetPan(channel, 1);
    device->SetRate(channel, 2);
    device->PauseChannel(channel);
    device->ResumeChannel(channel);
    device->StopChannel(channel);
    EXPECT_EQ(device->ChannelState(channel), 0);
  }
}

TEST_F(Device, WhenSourcesRunOutAStoppedChannelsSourceIsTaken) {
  Open(3); // the music channel takes one: two are left for the sound channels
  gxtkSample* looping = Load(0.2);
  gxtkSample* shortOne = Load(0.02);
  ASSERT_EQ(device->PlaySample(looping, 0, 1), 0);
  ASSERT_EQ(device->PlaySample(shortOne, 1, 0), 0);
  const ALuint shortSource = Source(1);

  // Both still play: nothing to take.
  EXPECT_EQ(device->PlaySample(looping, 2, 0), -1);
  EXPECT_EQ(std::pair(device->ChannelState(2), Source(2)), std::pair(0, 0u));

  // Once the short one has ended, its source moves to the channel that needs one.
  ASSERT_TRUE(WaitStopped(1));
  ASSERT_EQ(device->PlaySample(looping, 2, 1), 0);
  EXPECT_EQ(std::pair(Source(1), Source(2)), std::pair(0u, shortSource));
  EXPECT_EQ(device->ChannelState(0), 1) << "a playing channel keeps its source";

  // The music channel's source is never taken, even while no music plays; a channel the game
  // stopped gives its source up.
  const ALuint musicSource = Source(32);
  EXPECT_EQ(device->PlaySample(looping, 5, 0), -1);
  EXPECT_EQ(Source(32), musicSource);
  device->StopChannel(0);
  EXPECT_EQ(device->PlaySample(looping, 5, 0), 0);
  EXPECT_EQ(Source(0), 0u);
  EXPECT_NE(Source(5), 0u);
}

// [SECTION] Samples, sounds and music

TEST_F(Device, LoadsEveryLayoutOpenALPlaysAndNothingElse) {
  ZuGlfwGame::SetAudioReader(".pcm", FakeReader);
  const String pcm = File("x.pcm", "any");
  for (auto [channels, format] : {std::pair{1, 1}, {1, 2}, {2, 1}, {2, 2}}) {
    g_fake = FakePcm{channels, format, 300, 11025};
    gxtkSample* s = device->LoadSample(pcm);
    ASSERT_NE(s, nullptr) << channels << " channels, " << format << " bytes";
    std::vector<int> got;
    for (ALenum property : {AL_CHANNELS, AL_BITS, AL_FREQUENCY, AL_SIZE}) {
      got.push_back(0);
      alGetBufferi(s->buffer, property, &got.back());
    }
    EXPECT_EQ(got, (std::vector<int>{channels, 8 * format, 11025, 300 * channels * format}));
  }
  // No sample rather than one that silently plays nothing: layouts OpenAL cannot play, no
  // frames, rate 0 (channels, bytes, frames, rate); and files missing or not decodable.
  for (const FakePcm& bad : {FakePcm{3, 2, 300, 22050},
                             {0, 2, 300, 22050},
                             {1, 3, 300, 22050},
                             {1, 0, 300, 22050},
                             {1, 2, 0, 22050},
                             {1, 2, 100, 0}}) {
    g_fake = bad;
    EXPECT_EQ(device->LoadSample(pcm), nullptr) << bad.channels << bad.format << bad.frames << bad.hertz;
  }
  ZuGlfwGame::SetAudioReader(".pcm", nullptr);
  for (const String& path :
       {pcm, String((files.path / "missing.wav").c_str()), File("junk.wav", "RIFF....not a wave"),
        File("junk.ogg", "OggS and then nothing")})
    EXPECT_EQ(device->LoadSample(path), nullptr) << path.ToUtf8();
}

TEST_F(Device, SoundsLoadGamePathsFromTheDataFolderAndANullSoundPlaysNothing) {
  BesideProgram beside;
  const std::string game = beside.Put("data", "beep.wav", ToneWav(0.1)).substr(5); // from "data/" on
  c_Sound* sound = zu_audio_LoadSound(String(game.c_str()));
  ASSERT_NE(sound, nullptr);
  EXPECT_EQ(zu_audio_LoadSound(String("sfx/none.wav")), nullptr);

  zu_audio_PlaySound(nullptr, 0, 0);
  zu_audio_PlaySound((new c_Sound)->m_new2(), 1, 1);
  EXPECT_EQ(Source(0) + Source(1), 0u) << "the device was asked to play";
  zu_audio_PlaySound(sound, 2, 1);
  EXPECT_EQ(std::pair(Al(2, AL_BUFFER), Al(2, AL_LOOPING)),
            std::pair(static_cast<ALint>(sound->m_sample->buffer), 1));
  zu_audio_StopChannel(2);
  EXPECT_EQ(State(2), S(0, AL_STOPPED));
}

TEST_F(Device, MusicPlaysOnChannel32AndAMissingFileStopsTheOldMusic) {
  ASSERT_EQ(zu_audio_PlayMusic(File("tune.wav", ToneWav(0.2)), 1), 0);
  EXPECT_EQ(std::pair(device->MusicState(), Al(32, AL_LOOPING)), std::pair(1, 1));
  for (int i = 0; i < 32; ++i) EXPECT_EQ(Source(i), 0u) << "music touched channel " << i;
  device->SetMusicVolume(0.5f);
  float gain = 0;
  alGetSourcef(Source(32), AL_GAIN, &gain);
  EXPECT_EQ(gain, 0.5f);
  zu_audio_PauseMusic();
  EXPECT_EQ(State(32), S(2, AL_PAUSED));
  zu_audio_ResumeMusic();
  EXPECT_EQ(State(32), S(1, AL_PLAYING));
  zu_audio_StopMusic();
  EXPECT_EQ(State(32), S(0, AL_STOPPED));

  ASSERT_EQ(zu_audio_PlayMusic(File("tune.wav", ToneWav(0.2)), 1), 0);
  EXPECT_EQ(zu_audio_PlayMusic(String((files.path / "missing.ogg").c_str()), 1), -1);
  EXPECT_EQ(State(32), S(0, AL_STOPPED)) << "the old music was stopped";
}

// [SECTION] Buffers and the collector

gxtkAudio* g_device;
c_Sound* g_sound;

TEST_F(Device, CollectedOrDiscardedSamplesBuffersAreDeletedOnceNoPlayingSourceUsesThem) {
  gc_clear_roots();
  g_device = device;
  gc_root(g_device);
  gc_root(g_sound);
  CollectFully();               // what earlier tests left behind goes now
  gxtkAudio::discarded.clear(); // with the buffer names of their closed devices

  gxtkSample* looping = Load(0.1);
  gxtkSample* finished = Load(0.02);
  gxtkSample* unplayed = Load(0.02);
  gc_assign(g_sound, zu_audio_LoadSound(File("sound.wav", ToneWav(0.1))));
  ASSERT_NE(g_sound, nullptr);
  std::vector<ALuint> collected = {finished->buffer, unplayed->buffer};
  const ALuint loopBuffer = looping->buffer;
  device->PlaySample(looping, 0, 1);
  device->PlaySample(finished, 1, 0);
  ASSERT_TRUE(WaitStopped(1));
  // The collector keeps the device, a sample that plays and a sound's sample; the others hand
  // their buffers over, and as no source plays them the next flush deletes them.
  CollectFully();
  for (Object* alive : {static_cast<Object*>(device), static_cast<Object*>(looping),
                        static_cast<Object*>(g_sound), static_cast<Object*>(g_sound->m_sample)})
    EXPECT_TRUE(gc_is_live_object(alive));
  EXPECT_FALSE(gc_is_live_object(finished) || gc_is_live_object(unplayed));
  std::sort(collected.begin(), collected.end());
  std::sort(gxtkAudio::discarded.begin(), gxtkAudio::discarded.end());
  EXPECT_EQ(gxtkAudio::discarded, collected);
  device->FlushDiscarded();
  EXPECT_TRUE(gxtkAudio::discarded.empty());
  EXPECT_FALSE(alIsBuffer(collected[0]) || alIsBuffer(collected[1]));

  // A sample discarded while it plays keeps its buffer until its channel stops.
  looping->Discard();
  looping->Discard(); // nothing left to hand over
  EXPECT_EQ(looping->buffer, 0u);
  EXPECT_EQ(gxtkAudio::discarded, std::vector<ALuint>{loopBuffer});
  device->FlushDiscarded();
  EXPECT_TRUE(alIsBuffer(loopBuffer)) << "still playing: kept for later";
  device->StopChannel(0);
  EXPECT_EQ(device->LoadSample(String("/nonexistent.wav")), nullptr); // LoadSample flushes first
  EXPECT_TRUE(gxtkAudio::discarded.empty());
  EXPECT_FALSE(alIsBuffer(loopBuffer)) << "a stopped channel lets go of its buffer";
  CollectFully();
  EXPECT_FALSE(gc_is_live_object(looping)) << "once its channel stopped";
  gc_clear_roots();
  g_device = nullptr;
  g_sound = nullptr;
}

// [SECTION] No usable device

TEST(NoDevice, TheDevicePrintsWhyEveryCallRunsWithoutEffectAndTheProgramCarriesOn) {
  TempDir tmp;
  WriteFile(tmp.path / "beep.wav", ToneWav(0.1));
  // No back end can open: OpenAL Soft is told to use one that does not exist.
  ProcessResult r = RunProcess({"/usr/bin/env", "-u", "ALSOFT_CONF", "ALSOFT_DRIVERS=lexorm-no-such-driver",
                                NO_DEVICE_CHILD, (tmp.path / "beep.wav").string()},
                               "", true, 30);
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "opening openal device\n"
                   "OpenAl error: alcOpenDevice failed\n"
                   "device: null, context: null\n"
                   "LoadSound: a sound\n"
                   "PlaySample: -1\n"
                   "ChannelState: 0 0 0\n"
                   "LoadAudioData: cannot open /nonexistent/tune.ogg\n" // missing files are named
                   "PlayMusic: 0, missing: -1\n"
                   "MusicState: 0\n"
                   "LoadAudioData: cannot open /nonexistent/x.wav\n"
                   "LoadSound of a missing file: null\n"
                   "carried on\n")
      << r.err;
}

} // namespace
