// tests/audio/device_test.cpp — gxtkAudio on OpenAL Soft's null back end (real time, no
// output): opening, the channel state machine, source stealing through the source-limit
// seam, loading and refusing samples, music, deferred buffer deletion, the collector's
// marking of playing samples; and, in a child process where no back end works, the device
// that opens nothing and lets the program carry on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "audio/device.h"
#include "audio_support.h"
#include "host/desktop_game.h"
#include "tests/support/collector.h"
#include "tests/support/runtime_output.h"
#include "tests/support/subprocess.h"

namespace {

using namespace audiotest;

// What the fake reader for ".pcm" files hands over, whatever the file holds.
struct FakePcm {
  int channels, format, frames, hertz;
} g_fake;

unsigned char* FakeReader(std::FILE*, int* length, int* channels, int* format, int* hertz) {
  *length = g_fake.frames;
  *channels = g_fake.channels;
  *format = g_fake.format;
  *hertz = g_fake.hertz;
  return static_cast<unsigned char*>(
      std::calloc(std::max(1, g_fake.frames * 2 * 4), 1)); // room for any layout
}

class Device : public ::testing::Test {
protected:
  TempDir files;
  ZuGlfwGame host; // LoadAudioData
  gxtkAudio* device = nullptr;
  int made = 0;

  void SetUp() override { Open(0); }
  void TearDown() override {
    gxtkAudio::sourceLimit = 0;
    if (device) device->Close();
  }

  // A new device; with a limit, OpenAL seems to give only that many sources.
  void Open(int sourceLimit) {
    if (device) device->Close();
    gxtkAudio::sourceLimit = sourceLimit;
    device = new gxtkAudio;
    ASSERT_NE(device->alcContext, nullptr) << "the null back end did not open";
  }

  fs::path Wav(const std::string& name, double seconds) {
    WavLayout layout;
    layout.frames = static_cast<int>(seconds * layout.rate);
    WriteFile(files.path / name, MakeWav(layout));
    return files.path / name;
  }
  gxtkSample* Load(double seconds) {
    gxtkSample* s = device->LoadSample(String(Wav("s" + std::to_string(++made) + ".wav", seconds).c_str()));
    EXPECT_NE(s, nullptr);
    return s;
  }
  ALuint Source(int channel) const { return device->channels[channel].source; }
  ALint Al(int channel, ALenum param) const {
    ALint v = -1;
    alGetSourcei(Source(channel), param, &v);
    return v;
  }
  // Waits until OpenAL reports the channel's source stopped (a one-shot ran out).
  bool WaitStopped(int channel) const {
    return WaitFor([&] { return Al(channel, AL_SOURCE_STATE) == AL_STOPPED; }, 1000);
  }
};

// ============================================================================
// [SECTION] Opening and the channels
// ============================================================================

TEST(DeviceOpen, PrintsOneLineSetsNoAttenuationAndGivesOnlyTheMusicChannelASource) {
  ZuGlfwGame host;
  gxtkAudio* device = nullptr;
  EXPECT_EQ(StdoutOf([&] { device = new gxtkAudio; }), "opening openal device\n");
  ASSERT_NE(device->alcContext, nullptr);
  EXPECT_EQ(gxtkAudio::audio, device);
  EXPECT_EQ(alGetInteger(AL_DISTANCE_MODEL), AL_NONE);
  EXPECT_NE(device->channels[32].source, 0u);
  for (int i = 0; i < 32; ++i) {
    EXPECT_EQ(device->channels[i].source, 0u) << "channel " << i << " has no source until it needs one";
    EXPECT_EQ(device->ChannelState(i), 0);
  }
  EXPECT_EQ(device->MusicState(), 0);
  device->Close();
}

TEST_F(Device, PlaySampleOnABusyChannelRestartsItWithTheNewSampleAndAFinishedOneReadsZero) {
  gxtkSample* looping = Load(0.5);
  gxtkSample* shortOne = Load(0.02);
  ASSERT_EQ(device->PlaySample(looping, 2, 1), 0);
  ALuint source = Source(2);
  EXPECT_EQ(Al(2, AL_LOOPING), 1);
  ASSERT_EQ(device->PlaySample(shortOne, 2, 0), 0);
  EXPECT_EQ(Source(2), source) << "the channel keeps its source";
  EXPECT_EQ(Al(2, AL_BUFFER), static_cast<ALint>(shortOne->buffer));
  EXPECT_EQ(Al(2, AL_LOOPING), 0);
  EXPECT_EQ(device->ChannelState(2), 1);
  ASSERT_TRUE(WaitStopped(2)) << "the looping sample would never stop";
  EXPECT_EQ(device->channels[2].state, 1) << "the record learns of the end only when asked";
  EXPECT_EQ(device->ChannelState(2), 0);
  EXPECT_EQ(device->channels[2].state, 0);

  // Pausing the finished channel leaves it at 0, and resuming then starts nothing again.
  device->PlaySample(shortOne, 4, 0);
  ASSERT_TRUE(WaitStopped(4));
  device->PauseChannel(4);
  device->ResumeChannel(4);
  EXPECT_EQ(device->ChannelState(4), 0);
  EXPECT_EQ(Al(4, AL_SOURCE_STATE), AL_STOPPED);
}

TEST_F(Device, PauseResumeAndStopMoveOnlyBetweenTheirStates) {
  gxtkSample* s = Load(0.2);
  device->ResumeChannel(0); // nothing on the channel: nothing happens
  device->PauseChannel(0);
  EXPECT_EQ(device->ChannelState(0), 0);
  EXPECT_EQ(Source(0), 0u);

  device->PlaySample(s, 0, 1);
  device->ResumeChannel(0); // only a paused channel resumes
  EXPECT_EQ(device->ChannelState(0), 1);
  device->PauseChannel(0);
  device->PauseChannel(0); // again: still paused
  EXPECT_EQ(device->ChannelState(0), 2);
  EXPECT_EQ(Al(0, AL_SOURCE_STATE), AL_PAUSED);
  device->ResumeChannel(0);
  EXPECT_EQ(device->ChannelState(0), 1);
  EXPECT_EQ(Al(0, AL_SOURCE_STATE), AL_PLAYING);
  device->PauseChannel(0);
  device->StopChannel(0); // a paused channel stops too
  device->ResumeChannel(0);
  EXPECT_EQ(device->ChannelState(0), 0);
  EXPECT_EQ(Al(0, AL_SOURCE_STATE), AL_STOPPED);
}

TEST_F(Device, VolumePanAndRateCanBeSetBeforeAnythingPlays) {
  device->SetVolume(9, 0.25f);
  device->SetRate(9, 1.5f);
  ALuint source = Source(9);
  ASSERT_NE(source, 0u);
  for (auto [pan, x, z] :
       {std::tuple{0.0f, 0.0f, -1.0f}, {1.5707964f, 1.0f, 0.0f}, {-1.5707964f, -1.0f, 0.0f}}) {
    device->SetPan(9, pan); // 0 is straight ahead
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
  EXPECT_EQ((std::vector<float>{gain, pitch}), (std::vector<float>{0.25f, 1.5f}));
}

TEST_F(Device, ChannelNumbersOutsideTheDeviceAreIgnored) {
  gxtkSample* s = Load(0.05);
  for (int channel : {-1, 33, 1000}) {
    EXPECT_EQ(device->PlaySample(s, channel, 0), -1);
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
  ALuint shortSource = Source(1);

  // Both still play: nothing to take.
  EXPECT_EQ(device->PlaySample(looping, 2, 0), -1);
  EXPECT_EQ(device->ChannelState(2), 0);
  device->SetVolume(3, 0.5f); // falls on no source
  EXPECT_EQ(Source(2) + Source(3), 0u);

  // Once the short one has ended, its source moves to the channel that needs one.
  ASSERT_TRUE(WaitStopped(1));
  ASSERT_EQ(device->PlaySample(looping, 2, 1), 0);
  EXPECT_EQ(Source(2), shortSource);
  EXPECT_EQ(Source(1), 0u);
  EXPECT_EQ(device->ChannelState(0), 1) << "a playing channel keeps its source";

  // The music channel's source is never taken, even while no music plays.
  ALuint musicSource = device->channels[32].source;
  EXPECT_EQ(device->PlaySample(looping, 5, 0), -1);
  EXPECT_EQ(device->channels[32].source, musicSource);
  // A channel the game stopped gives its source up.
  device->StopChannel(0);
  EXPECT_EQ(device->PlaySample(looping, 5, 0), 0);
  EXPECT_EQ(Source(0), 0u);
  EXPECT_NE(Source(5), 0u);
}

// ============================================================================
// [SECTION] Samples and music
// ============================================================================

TEST_F(Device, LoadsEveryLayoutOpenALPlaysAndNothingElse) {
  ZuGlfwGame::SetAudioReader(".pcm", FakeReader);
  WriteFile(files.path / "x.pcm", "any");
  String pcm((files.path / "x.pcm").c_str());
  for (auto [channels, format] : {std::pair{1, 1}, {1, 2}, {2, 1}, {2, 2}}) {
    g_fake = FakePcm{channels, format, 300, 11025};
    gxtkSample* s = device->LoadSample(pcm);
    ASSERT_NE(s, nullptr) << channels << " channels, " << format << " bytes";
    std::vector<int> got;
    for (ALenum property : {AL_CHANNELS, AL_BITS, AL_FREQUENCY, AL_SIZE}) {
      ALint v = 0;
      alGetBufferi(s->buffer, property, &v);
      got.push_back(v);
    }
    EXPECT_EQ(got, (std::vector<int>{channels, 8 * format, 11025, 300 * channels * format}));
  }
  // No sample rather than one that silently plays nothing: layouts OpenAL cannot play, no
  // frames, rate 0; and files that are missing or cannot be decoded.
  const int bad[][4] = {{3, 2, 300, 22050}, {0, 2, 300, 22050}, {1, 3, 300, 22050}, {1, 0, 300, 22050},
                        {1, 2, 0, 22050},   {1, 2, 100, 0}}; // channels, format, frames, rate
  for (auto [channels, format, frames, hertz] : bad) {
    g_fake = FakePcm{channels, format, frames, hertz};
    EXPECT_EQ(device->LoadSample(pcm), nullptr) << channels << " " << format << " " << frames << " " << hertz;
  }
  ZuGlfwGame::SetAudioReader(".pcm", nullptr);
  WriteFile(files.path / "junk.wav", "RIFF....not a wave file");
  WriteFile(files.path / "junk.ogg", "OggS and then nothing");
  for (const char* name : {"missing.wav", "junk.wav", "junk.ogg", "x.pcm"})
    EXPECT_EQ(device->LoadSample(String((files.path / name).c_str())), nullptr) << name;
}

TEST_F(Device, MusicUsesChannel32OnlyAndAMissingFileStopsTheOldMusic) {
  ASSERT_EQ(device->PlayMusic(String(Wav("tune.wav", 0.2).c_str()), 1), 0);
  EXPECT_EQ(device->MusicState(), 1);
  EXPECT_EQ(Al(32, AL_SOURCE_STATE), AL_PLAYING);
  EXPECT_EQ(Al(32, AL_LOOPING), 1);
  device->SetMusicVolume(0.5f);
  float gain = 0;
  alGetSourcef(Source(32), AL_GAIN, &gain);
  EXPECT_EQ(gain, 0.5f);
  device->PauseMusic();
  EXPECT_EQ(device->MusicState(), 2);
  EXPECT_EQ(Al(32, AL_SOURCE_STATE), AL_PAUSED);
  device->ResumeMusic();
  EXPECT_EQ(device->MusicState(), 1);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(Source(i), 0u) << "music touched channel " << i;
  device->StopMusic();
  EXPECT_EQ(Al(32, AL_SOURCE_STATE), AL_STOPPED);

  ASSERT_EQ(device->PlayMusic(String(Wav("tune.wav", 0.2).c_str()), 1), 0);
  EXPECT_EQ(device->PlayMusic(String((files.path / "missing.ogg").c_str()), 1), -1);
  EXPECT_EQ(device->MusicState(), 0);
  EXPECT_EQ(Al(32, AL_SOURCE_STATE), AL_STOPPED) << "the old music was stopped";
}

// ============================================================================
// [SECTION] Buffers, the collector, no usable device
// ============================================================================

TEST_F(Device, ADiscardedBufferIsDeletedOnceNoPlayingSourceUsesIt) {
  gxtkAudio::discarded.clear();
  gxtkSample* looping = Load(0.1);
  gxtkSample* oneShot = Load(0.02);
  ALuint loopBuffer = looping->buffer, shotBuffer = oneShot->buffer;
  device->PlaySample(looping, 0, 1);
  device->PlaySample(oneShot, 1, 0);
  ASSERT_TRUE(WaitStopped(1));
  looping->Discard();
  oneShot->Discard();
  EXPECT_EQ(looping->buffer + oneShot->buffer, 0u);
  EXPECT_EQ(gxtkAudio::discarded, (std::vector<ALuint>{loopBuffer, shotBuffer}));

  device->FlushDiscarded();
  EXPECT_EQ(gxtkAudio::discarded, std::vector<ALuint>{loopBuffer}) << "still playing: kept for later";
  EXPECT_TRUE(alIsBuffer(loopBuffer));
  EXPECT_FALSE(alIsBuffer(shotBuffer)) << "its finished source let go of it";
  EXPECT_EQ(device->ChannelState(0), 1);

  device->PlaySample(Load(0.05), 0, 0); // the channel plays something else: the next flush deletes
  EXPECT_EQ(device->LoadSample(String("/nonexistent.wav")), nullptr); // LoadSample flushes first
  EXPECT_TRUE(gxtkAudio::discarded.empty());
  EXPECT_FALSE(alIsBuffer(loopBuffer));
  oneShot->Discard(); // nothing left to hand over
  EXPECT_TRUE(gxtkAudio::discarded.empty());
}

gxtkAudio* g_device;

TEST_F(Device, TheCollectorKeepsSamplesThatStillPlayAndDiscardsTheBuffersOfOthers) {
  gc_clear_roots();
  g_device = device;
  gc_root(g_device);
  CollectFully();               // what earlier tests left behind goes now
  gxtkAudio::discarded.clear(); // with the buffer names of their closed devices

  gxtkSample* looping = Load(0.1);
  gxtkSample* finished = Load(0.02);
  gxtkSample* unplayed = Load(0.02);
  std::vector<ALuint> buffers = {finished->buffer, unplayed->buffer};
  device->PlaySample(looping, 0, 1);
  device->PlaySample(finished, 1, 0);
  ASSERT_TRUE(WaitStopped(1));
  CollectFully();
  EXPECT_TRUE(gc_is_live_object(device));
  EXPECT_TRUE(gc_is_live_object(looping)) << "a playing sample the game dropped stays";
  EXPECT_FALSE(gc_is_live_object(finished));
  EXPECT_FALSE(gc_is_live_object(unplayed));
  std::sort(buffers.begin(), buffers.end());
  std::sort(gxtkAudio::discarded.begin(), gxtkAudio::discarded.end());
  EXPECT_EQ(gxtkAudio::discarded, buffers) << "a collected sample hands its buffer over for deletion";

  device->StopChannel(0);
  CollectFully();
  EXPECT_FALSE(gc_is_live_object(looping)) << "once its channel stopped";
  gc_clear_roots();
  g_device = nullptr;
}

TEST(NoDevice, TheDevicePrintsWhyEveryCallRunsWithoutEffectAndTheProgramCarriesOn) {
  TempDir tmp;
  WriteFile(tmp.path / "beep.wav", MakeWav(WavLayout()));
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
                   "PlayMusic: 0, missing: -1\n"
                   "MusicState: 0\n"
                   "LoadSound of a missing file: null\n"
                   "carried on\n")
      << r.err;
}

} // namespace
