// tests/audio/playback_test.cpp — real playback through OpenAL Soft's wave writer: what the
// device plays reaches the recording, where and when it should. Each test opens a device,
// acts on a schedule of a few hundred milliseconds, closes the device (which finishes the
// file) and checks the loudness of each channel between the moments it acted. The wave
// writer mixes one period (1024 frames, 46 ms) at a time, once that much time has passed, so
// a change shows in the file up to a period (and any delay of the mixer thread) before the
// moment the test made it, and hardly after it: a phase is checked from 30 ms after the
// moment that began it to 120 ms before the moment that ended it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "audio/device.h"
#include "audio_support.h"
#include "host/desktop_game.h"

namespace {

using namespace audiotest;
using Clock = std::chrono::steady_clock;

constexpr int kRate = kWaveRate;
constexpr double kBefore = 0.12;  // seconds left out before a moment
constexpr double kAfter = 0.03;   // and after it
constexpr double kAudible = 0.05; // level of a half-scale tone is ~0.35 before panning
constexpr double kSilent = 0.002;
constexpr float kLeft = -1.5707964f, kRight = 1.5707964f;

enum { L = 0, R = 1 };

class Playback : public ::testing::Test {
protected:
  TempDir files;
  ZuGlfwGame host; // LoadAudioData
  gxtkAudio* device = nullptr;
  Clock::time_point start;

  void SetUp() override {
    device = new gxtkAudio;
    start = Clock::now(); // the wave writer started recording a moment ago
    ASSERT_NE(device->alcContext, nullptr) << "the wave writer did not open";
  }
  void TearDown() override {
    if (device) device->Close();
  }

  // Seconds since the device opened.
  double Now() const { return std::chrono::duration<double>(Clock::now() - start).count(); }
  // Lets the device play until `t` seconds after it opened.
  void Until(double t) const {
    std::this_thread::sleep_until(
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(t)));
  }

  gxtkSample* Tone(double seconds, double hz = 440) {
    WavLayout layout;
    layout.frames = static_cast<int>(seconds * layout.rate);
    layout.toneHz = hz;
    fs::path p = files.path / ("tone" + std::to_string(++made) + ".wav");
    WriteFile(p, MakeWav(layout));
    gxtkSample* s = device->LoadSample(String(p.c_str()));
    EXPECT_NE(s, nullptr);
    return s;
  }

  Recording Finish() {
    device->Close();
    device = nullptr;
    return ReadRecording(WaveOutput(), kRate);
  }

  // Loudness of one channel in the phase from moment a to moment b, margins taken off.
  static double Between(const Recording& r, double a, double b, int channel) {
    return r.Level(a + kAfter, b - kBefore, channel);
  }

  int made = 0;
};

// ============================================================================
// [SECTION] Sounds reach the output
// ============================================================================

TEST_F(Playback, PlayedSampleReachesTheOutputInBothChannels) {
  gxtkSample* tone = Tone(0.3);
  double played = Now();
  ASSERT_EQ(device->PlaySample(tone, 0, 0), 0);
  Until(0.6);
  Recording rec = Finish();
  ASSERT_GE(rec.Frames(), static_cast<std::size_t>(0.55 * kRate))
      << "the recording is shorter than the time played";
  double left = Between(rec, played, played + 0.3, L), right = Between(rec, played, played + 0.3, R);
  EXPECT_GT(left, kAudible);
  EXPECT_GT(right, kAudible);
  EXPECT_NEAR(left / right, 1.0, 0.1) << "a sample straight ahead is as loud left as right";
  EXPECT_LT(Between(rec, played + 0.3, 0.6, L), kSilent) << "a one-shot sample ends";
}

TEST_F(Playback, PanMinus90DegreesIsLeftAndPlus90DegreesIsRight) {
  gxtkSample* tone = Tone(0.1);
  device->SetPan(0, kLeft); // set before anything plays on the channel
  double left = Now();
  device->PlaySample(tone, 0, 1);
  Until(0.3);
  double right = Now();
  device->SetPan(0, kRight);
  Until(0.6);
  Recording rec = Finish();
  EXPECT_GT(Between(rec, left, right, L), 10 * Between(rec, left, right, R));
  EXPECT_GT(Between(rec, right, 0.6, R), 10 * Between(rec, right, 0.6, L));
  EXPECT_GT(Between(rec, left, right, L), kAudible);
  EXPECT_GT(Between(rec, right, 0.6, R), kAudible);
}

TEST_F(Playback, StopChannelSilencesIt) {
  gxtkSample* tone = Tone(0.1);
  double played = Now();
  device->PlaySample(tone, 3, 1);
  Until(0.3);
  double stopped = Now();
  device->StopChannel(3);
  EXPECT_EQ(device->ChannelState(3), 0);
  Until(0.6);
  Recording rec = Finish();
  EXPECT_GT(Between(rec, played, stopped, L), kAudible);
  EXPECT_LT(Between(rec, stopped, 0.6, L), kSilent);
  EXPECT_LT(Between(rec, stopped, 0.6, R), kSilent);
}

TEST_F(Playback, LoopingSampleIsStillAudibleAfterItsLength) {
  gxtkSample* tone = Tone(0.1);
  double played = Now();
  device->PlaySample(tone, 5, 1);
  Until(0.6);
  EXPECT_EQ(device->ChannelState(5), 1);
  Recording rec = Finish();
  // Three lengths and more after it started.
  EXPECT_GT(Between(rec, played + 0.3, 0.6, L), kAudible);
  EXPECT_GT(Between(rec, played + 0.3, 0.6, R), kAudible);
}

// ============================================================================
// [SECTION] Music
// ============================================================================

TEST_F(Playback, MusicPlaysOnItsOwnChannelAndStopsWithStopMusic) {
  WavLayout layout;
  layout.frames = layout.rate / 5;
  WriteFile(files.path / "tune.wav", MakeWav(layout));
  fs::path music = files.path / "tune.ogg";
  std::string why;
  ASSERT_TRUE(RunTool({"oggenc", "-Q", "-o", music.string(), (files.path / "tune.wav").string()}, &why))
      << why;
  double played = Now();
  ASSERT_EQ(device->PlayMusic(String(music.c_str()), 1), 0);
  EXPECT_EQ(device->MusicState(), 1);
  for (int channel = 0; channel < 32; ++channel) {
    device->StopChannel(channel); // the sound channels do not reach it
    EXPECT_EQ(device->ChannelState(channel), 0);
  }
  Until(0.3);
  double stopped = Now();
  EXPECT_EQ(device->MusicState(), 1);
  device->StopMusic();
  EXPECT_EQ(device->MusicState(), 0);
  Until(0.6);
  Recording rec = Finish();
  EXPECT_GT(Between(rec, played, stopped, L), kAudible);
  EXPECT_LT(Between(rec, stopped, 0.6, L), kSilent);
}

// ============================================================================
// [SECTION] Suspend and resume
// ============================================================================

TEST_F(Playback, SuspendPausesPlayingChannelsAndResumeLeavesGamePausedOnes) {
  gxtkSample* tone = Tone(0.1);
  device->SetPan(0, kLeft);
  device->SetPan(1, kRight);
  double both = Now();
  device->PlaySample(tone, 0, 1);
  device->PlaySample(tone, 1, 1);
  Until(0.25);
  double paused = Now();
  device->PauseChannel(1); // the game pauses the right one
  Until(0.5);
  double suspended = Now();
  device->Suspend();
  EXPECT_EQ(device->ChannelState(0), 1) << "suspending keeps the records";
  EXPECT_EQ(device->ChannelState(1), 2);
  Until(0.75);
  double resumed = Now();
  device->Resume();
  Until(1.0);
  EXPECT_EQ(device->ChannelState(0), 1);
  EXPECT_EQ(device->ChannelState(1), 2);
  ALint state = 0;
  alGetSourcei(device->channels[1].source, AL_SOURCE_STATE, &state);
  EXPECT_EQ(state, AL_PAUSED);
  Recording rec = Finish();
  EXPECT_GT(Between(rec, both, paused, L), kAudible);
  EXPECT_GT(Between(rec, both, paused, R), kAudible);
  EXPECT_GT(Between(rec, paused, suspended, L), kAudible);
  EXPECT_LT(Between(rec, paused, suspended, R), kSilent);
  EXPECT_LT(Between(rec, suspended, resumed, L), kSilent) << "Suspend pauses what plays";
  EXPECT_LT(Between(rec, suspended, resumed, R), kSilent);
  EXPECT_GT(Between(rec, resumed, 1.0, L), kAudible) << "Resume restarts it";
  EXPECT_LT(Between(rec, resumed, 1.0, R), kSilent) << "a channel the game paused stays paused";
}

} // namespace
