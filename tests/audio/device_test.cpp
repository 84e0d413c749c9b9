// tests/audio/device_test.cpp — gxtkAudio on OpenAL Soft's null back end (real time, no
// output): opening, the channel state machine, source stealing through the source-limit
// seam, loading and refusing samples, music, deferred buffer deletion, the collector's
// marking of playing samples; and, in a child process where no back end works, the device
// that opens nothing and lets the program carry on.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "audio/device.h"
#include "audio_support.h"
#include "host/desktop_game.h"
#include "tests/support/subprocess.h"

namespace {

using namespace audiotest;

// What the fake reader for ".pcm" files hands over, whatever the file holds.
struct FakePcm {
  int channels = 1, format = 2, frames = 100, hertz = 22050;
} g_fake;

unsigned char* FakeReader(std::FILE*, int* length, int* channels, int* format, int* hertz) {
  std::size_t bytes = static_cast<std::size_t>(g_fake.frames) * (g_fake.channels > 0 ? g_fake.channels : 1) *
                      (g_fake.format > 0 ? g_fake.format : 1);
  auto* data = static_cast<unsigned char*>(std::calloc(bytes ? bytes : 1, 1));
  *length = g_fake.frames;
  *channels = g_fake.channels;
  *format = g_fake.format;
  *hertz = g_fake.hertz;
  return data;
}

class Device : public ::testing::Test {
protected:
  TempDir files;
  ZuGlfwGame host; // LoadAudioData
  gxtkAudio* device = nullptr;

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

  fs::path Wav(const std::string& name, double seconds, int channels = 1, int bits = 16) {
    WavLayout layout;
    layout.frames = static_cast<int>(seconds * layout.rate);
    layout.channels = channels;
    layout.bits = bits;
    fs::path p = files.path / name;
    WriteFile(p, MakeWav(layout));
    return p;
  }
  gxtkSample* Load(double seconds, const std::string& name = "") {
    fs::path p = Wav(name.empty() ? "s" + std::to_string(++made) + ".wav" : name, seconds);
    gxtkSample* s = device->LoadSample(String(p.c_str()));
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
    for (int i = 0; i < 200; ++i) {
      if (Al(channel, AL_SOURCE_STATE) == AL_STOPPED) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  int made = 0;
};

// ============================================================================
// [SECTION] Opening
// ============================================================================

TEST(DeviceOpen, PrintsOneLineSetsNoAttenuationAndGivesTheMusicChannelASource) {
  ZuGlfwGame host;
  testing::internal::CaptureStdout();
  gxtkAudio* device = new gxtkAudio;
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "opening openal device\n");
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

// ============================================================================
// [SECTION] The channel state machine
// ============================================================================

TEST_F(Device, PlaySampleOnABusyChannelRestartsItWithTheNewSample) {
  gxtkSample* looping = Load(0.5);
  gxtkSample* shortOne = Load(0.02);
  ASSERT_EQ(device->PlaySample(looping, 2, 1), 0);
  ALuint source = Source(2);
  EXPECT_EQ(Al(2, AL_LOOPING), 1);
  ASSERT_EQ(device->PlaySample(shortOne, 2, 0), 0);
  EXPECT_EQ(Source(2), source) << "the channel keeps its source";
  EXPECT_EQ(device->channels[2].sample, shortOne);
  EXPECT_EQ(Al(2, AL_BUFFER), static_cast<ALint>(shortOne->buffer));
  EXPECT_EQ(Al(2, AL_LOOPING), 0);
  EXPECT_EQ(device->ChannelState(2), 1);
  ASSERT_TRUE(WaitStopped(2)) << "the looping sample would never stop";
  EXPECT_EQ(device->ChannelState(2), 0);
}

TEST_F(Device, AFinishedOneShotReadsZero) {
  gxtkSample* s = Load(0.02);
  device->PlaySample(s, 7, 0);
  EXPECT_EQ(device->ChannelState(7), 1);
  ASSERT_TRUE(WaitStopped(7));
  EXPECT_EQ(device->channels[7].state, 1) << "the record learns of the end only when asked";
  EXPECT_EQ(device->ChannelState(7), 0);
  EXPECT_EQ(device->channels[7].state, 0);
}

TEST_F(Device, PauseOnAFinishedChannelLeavesZeroAndResumeThenDoesNothing) {
  gxtkSample* s = Load(0.02);
  device->PlaySample(s, 4, 0);
  ASSERT_TRUE(WaitStopped(4));
  device->PauseChannel(4);
  EXPECT_EQ(device->ChannelState(4), 0);
  EXPECT_EQ(Al(4, AL_SOURCE_STATE), AL_STOPPED);
  device->ResumeChannel(4);
  EXPECT_EQ(device->ChannelState(4), 0);
  EXPECT_EQ(Al(4, AL_SOURCE_STATE), AL_STOPPED) << "nothing was started again";
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
  EXPECT_EQ(device->ChannelState(0), 2);
  EXPECT_EQ(Al(0, AL_SOURCE_STATE), AL_PAUSED);
  device->PauseChannel(0); // again: still paused
  EXPECT_EQ(device->ChannelState(0), 2);
  device->ResumeChannel(0);
  EXPECT_EQ(device->ChannelState(0), 1);
  EXPECT_EQ(Al(0, AL_SOURCE_STATE), AL_PLAYING);
  device->PauseChannel(0);
  device->StopChannel(0); // a paused channel stops too
  EXPECT_EQ(device->ChannelState(0), 0);
  EXPECT_EQ(Al(0, AL_SOURCE_STATE), AL_STOPPED);
  device->ResumeChannel(0);
  EXPECT_EQ(Al(0, AL_SOURCE_STATE), AL_STOPPED);
}

TEST_F(Device, VolumePanAndRateCanBeSetBeforeAnythingPlays) {
  device->SetVolume(9, 0.25f);
  device->SetRate(9, 1.5f);
  device->SetPan(9, 0);
  ALuint source = Source(9);
  ASSERT_NE(source, 0u);
  float x = 9, y = 9, z = 9, gain = 0, pitch = 0;
  alGetSource3f(source, AL_POSITION, &x, &y, &z);
  EXPECT_FLOAT_EQ(x, 0);
  EXPECT_FLOAT_EQ(y, 0);
  EXPECT_FLOAT_EQ(z, -1) << "pan 0 is straight ahead";
  device->SetPan(9, 1.5707964f);
  alGetSource3f(source, AL_POSITION, &x, &y, &z);
  EXPECT_FLOAT_EQ(x, 1);
  EXPECT_NEAR(z, 0, 1e-6);
  device->SetPan(9, -1.5707964f);
  alGetSource3f(source, AL_POSITION, &x, &y, &z);
  EXPECT_FLOAT_EQ(x, -1);

  device->PlaySample(Load(0.1), 9, 0);
  EXPECT_EQ(Source(9), source);
  alGetSourcef(source, AL_GAIN, &gain);
  alGetSourcef(source, AL_PITCH, &pitch);
  EXPECT_FLOAT_EQ(gain, 0.25f);
  EXPECT_FLOAT_EQ(pitch, 1.5f);
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

// ============================================================================
// [SECTION] Sources running out (the source-limit seam)
// ============================================================================

TEST_F(Device, WhenSourcesRunOutAStoppedChannelsSourceIsTaken) {
  Open(3); // the music channel takes one: two are left for the sound channels
  gxtkSample* looping = Load(0.2);
  gxtkSample* shortOne = Load(0.02);
  ASSERT_EQ(device->PlaySample(looping, 0, 1), 0);
  ASSERT_EQ(device->PlaySample(shortOne, 1, 0), 0);
  ALuint shortSource = Source(1);

  // Both still play: nothing to take.
  EXPECT_EQ(device->PlaySample(looping, 2, 0), -1);
  EXPECT_EQ(Source(2), 0u);
  EXPECT_EQ(device->ChannelState(2), 0);
  device->SetVolume(3, 0.5f); // falls on no source
  EXPECT_EQ(Source(3), 0u);

  // Once the short one has ended, its source moves to the channel that needs one.
  ASSERT_TRUE(WaitStopped(1));
  ASSERT_EQ(device->PlaySample(looping, 2, 1), 0);
  EXPECT_EQ(Source(2), shortSource);
  EXPECT_EQ(Source(1), 0u);
  EXPECT_EQ(device->ChannelState(2), 1);
  EXPECT_EQ(device->ChannelState(0), 1) << "a playing channel keeps its source";
  EXPECT_EQ(Al(0, AL_SOURCE_STATE), AL_PLAYING);

  // The music channel's source is never taken, even while no music plays.
  ALuint musicSource = device->channels[32].source;
  EXPECT_EQ(device->MusicState(), 0);
  EXPECT_EQ(device->PlaySample(looping, 5, 0), -1);
  EXPECT_EQ(device->channels[32].source, musicSource);
  // A channel the game stopped gives its source up.
  device->StopChannel(0);
  EXPECT_EQ(device->PlaySample(looping, 5, 0), 0);
  EXPECT_EQ(Source(0), 0u);
  EXPECT_NE(Source(5), 0u);
}

// ============================================================================
// [SECTION] Loading samples
// ============================================================================

TEST_F(Device, LoadsEveryLayoutOpenALPlaysIntoOneBuffer) {
  ZuGlfwGame::SetAudioReader(".pcm", FakeReader);
  WriteFile(files.path / "x.pcm", "any");
  for (auto [channels, format] : {std::pair{1, 1}, {1, 2}, {2, 1}, {2, 2}}) {
    g_fake = FakePcm{channels, format, 300, 11025};
    gxtkSample* s = device->LoadSample(String((files.path / "x.pcm").c_str()));
    ASSERT_NE(s, nullptr) << channels << " channels, " << format << " bytes";
    ALint c = 0, bits = 0, hz = 0, size = 0;
    alGetBufferi(s->buffer, AL_CHANNELS, &c);
    alGetBufferi(s->buffer, AL_BITS, &bits);
    alGetBufferi(s->buffer, AL_FREQUENCY, &hz);
    alGetBufferi(s->buffer, AL_SIZE, &size);
    EXPECT_EQ(c, channels);
    EXPECT_EQ(bits, 8 * format);
    EXPECT_EQ(hz, 11025);
    EXPECT_EQ(size, 300 * channels * format);
  }
  ZuGlfwGame::SetAudioReader(".pcm", nullptr);
}

TEST_F(Device, ASampleOpenALCannotPlayIsNotLoaded) {
  ZuGlfwGame::SetAudioReader(".pcm", FakeReader);
  WriteFile(files.path / "x.pcm", "any");
  for (auto [channels, format] : {std::pair{3, 2}, {6, 2}, {0, 2}, {1, 3}, {2, 4}, {1, 0}}) {
    g_fake = FakePcm{channels, format, 300, 22050};
    EXPECT_EQ(device->LoadSample(String((files.path / "x.pcm").c_str())), nullptr)
        << channels << " channels, " << format << " bytes per sample";
  }
  g_fake = FakePcm{1, 2, 0, 22050};
  EXPECT_EQ(device->LoadSample(String((files.path / "x.pcm").c_str())), nullptr) << "no frames";
  g_fake = FakePcm{1, 2, 100, 0};
  EXPECT_EQ(device->LoadSample(String((files.path / "x.pcm").c_str())), nullptr) << "rate 0";
  ZuGlfwGame::SetAudioReader(".pcm", nullptr);
}

TEST_F(Device, AMissingOrUndecodableFileLoadsNothing) {
  WriteFile(files.path / "junk.wav", "RIFF....not a wave file");
  WriteFile(files.path / "junk.ogg", "OggS and then nothing");
  WriteFile(files.path / "tune.mp3", "ID3");
  for (const char* name : {"missing.wav", "junk.wav", "junk.ogg", "tune.mp3"})
    EXPECT_EQ(device->LoadSample(String((files.path / name).c_str())), nullptr) << name;
}

// ============================================================================
// [SECTION] Music
// ============================================================================

TEST_F(Device, MusicUsesChannel32Only) {
  fs::path tune = Wav("tune.wav", 0.2);
  ASSERT_EQ(device->PlayMusic(String(tune.c_str()), 1), 0);
  EXPECT_EQ(device->MusicState(), 1);
  EXPECT_EQ(Al(32, AL_SOURCE_STATE), AL_PLAYING);
  EXPECT_EQ(Al(32, AL_LOOPING), 1);
  device->SetMusicVolume(0.5f);
  float gain = 0;
  alGetSourcef(Source(32), AL_GAIN, &gain);
  EXPECT_FLOAT_EQ(gain, 0.5f);
  device->PauseMusic();
  EXPECT_EQ(device->MusicState(), 2);
  EXPECT_EQ(Al(32, AL_SOURCE_STATE), AL_PAUSED);
  device->ResumeMusic();
  EXPECT_EQ(device->MusicState(), 1);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(Source(i), 0u) << "music touched channel " << i;
  device->StopMusic();
  EXPECT_EQ(device->MusicState(), 0);
  EXPECT_EQ(Al(32, AL_SOURCE_STATE), AL_STOPPED);
}

TEST_F(Device, PlayMusicOfAMissingFileReturnsMinusOneAndLeavesTheMusicStopped) {
  ASSERT_EQ(device->PlayMusic(String(Wav("tune.wav", 0.2).c_str()), 1), 0);
  ASSERT_EQ(device->MusicState(), 1);
  EXPECT_EQ(device->PlayMusic(String((files.path / "missing.ogg").c_str()), 1), -1);
  EXPECT_EQ(device->MusicState(), 0);
  EXPECT_EQ(Al(32, AL_SOURCE_STATE), AL_STOPPED) << "the old music was stopped";
}

// ============================================================================
// [SECTION] Deferred deletion of discarded buffers
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
  EXPECT_EQ(looping->buffer, 0u);
  EXPECT_EQ(oneShot->buffer, 0u);
  EXPECT_EQ(gxtkAudio::discarded, (std::vector<ALuint>{loopBuffer, shotBuffer}));
  EXPECT_TRUE(alIsBuffer(loopBuffer));

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

// ============================================================================
// [SECTION] The collector
// ============================================================================

gxtkAudio* g_device;

void ForceSweep() {
  gc_ext_malloced(gc_sweep_threshold + 1);
  gc_collect(nullptr);
}

void CollectFully() {
  ForceSweep();
  ForceSweep();
  gc_flush_free_list();
}

TEST_F(Device, TheCollectorKeepsSamplesThatStillPlayAndDiscardsTheBuffersOfOthers) {
  gc_clear_roots();
  g_device = device;
  gc_root(g_device);
  CollectFully();               // what earlier tests left behind goes now
  gxtkAudio::discarded.clear(); // with the buffer names of their closed devices

  gxtkSample* looping = Load(0.1);
  gxtkSample* finished = Load(0.02);
  gxtkSample* unplayed = Load(0.02);
  ALuint finishedBuffer = finished->buffer, unplayedBuffer = unplayed->buffer;
  device->PlaySample(looping, 0, 1);
  device->PlaySample(finished, 1, 0);
  ASSERT_TRUE(WaitStopped(1));
  CollectFully();
  EXPECT_TRUE(gc_is_live_object(device));
  EXPECT_TRUE(gc_is_live_object(looping)) << "a playing sample the game dropped stays";
  EXPECT_FALSE(gc_is_live_object(finished));
  EXPECT_FALSE(gc_is_live_object(unplayed));
  std::vector<ALuint> handed = gxtkAudio::discarded;
  std::sort(handed.begin(), handed.end());
  EXPECT_EQ(handed, (std::vector<ALuint>{std::min(finishedBuffer, unplayedBuffer),
                                         std::max(finishedBuffer, unplayedBuffer)}))
      << "a collected sample hands its buffer over for deletion";
  device->FlushDiscarded();
  EXPECT_TRUE(gxtkAudio::discarded.empty());

  device->StopChannel(0);
  CollectFully();
  EXPECT_FALSE(gc_is_live_object(looping)) << "once its channel stopped";
  gc_clear_roots();
  g_device = nullptr;
}

// ============================================================================
// [SECTION] No usable device
// ============================================================================

TEST(NoDevice, TheDevicePrintsWhyEveryCallRunsWithoutEffectAndTheProgramCarriesOn) {
  TempDir tmp;
  WavLayout layout;
  WriteFile(tmp.path / "beep.wav", MakeWav(layout));
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
