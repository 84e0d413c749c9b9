// tests/audio/playback_test.cpp — real playback through OpenAL Soft's wave writer: what the
// device plays reaches the recording, where and when it should. Each test opens a device,
// acts on a schedule of a second or so, closes the device (which finishes the file) and
// measures the loudness of each channel between the moments it acted. The writer mixes one
// period (1024 frames, 46 ms) at a time once that much time has passed, so a change shows up
// to a period (and any delay of its thread) before the moment the test made it, and hardly
// after: a phase is measured from 30 ms after the moment that began it to 120 ms before the
// moment that ended it.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "audio/device.h"
#include "audio_support.h"
#include "host/desktop_game.h"

namespace {

using namespace audiotest;
using Clock = std::chrono::steady_clock;

constexpr double kAudible = 0.05; // a half-scale tone is ~0.35 before panning
constexpr double kSilent = 0.002;
constexpr float kLeft = -1.5707964f, kRight = 1.5707964f;
enum { L, R };

class Playback : public ::testing::Test {
protected:
  TempDir files;
  ZuGlfwGame host; // LoadAudioData
  gxtkAudio* device = nullptr;
  Clock::time_point start;
  std::vector<std::int16_t> pcm; // the recording, left and right interleaved

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
  gxtkSample* Tone(double seconds) {
    const fs::path p = files.path / ("tone" + std::to_string(seconds) + ".wav");
    WriteFile(p, ToneWav(seconds));
    gxtkSample* s = device->LoadSample(String(p.c_str()));
    EXPECT_NE(s, nullptr);
    return s;
  }
  // Closes the device, which finishes the file, and reads the recording after its 44-byte header.
  void Finish(double until) {
    Until(until);
    device->Close();
    device = nullptr;
    const std::string bytes = ReadFile(WaveOutput());
    pcm = Int16s(bytes.size() > 44 ? bytes.substr(44) : "");
    ASSERT_GE(pcm.size() / 2, static_cast<std::size_t>((until - 0.05) * kWaveRate))
        << "the recording is shorter than the time played";
  }
  // Root-mean-square level (of full scale) of one channel in the phase from moment a to moment
  // b, the margins taken off.
  double Level(double a, double b, int channel) const {
    const std::size_t from = static_cast<std::size_t>((a + 0.03) * kWaveRate);
    const std::size_t to = std::min(pcm.size() / 2, static_cast<std::size_t>((b - 0.12) * kWaveRate));
    if (from >= to) return 0;
    double sum = 0;
    for (std::size_t i = from; i < to; ++i) sum += std::pow(pcm[2 * i + channel] / 32768.0, 2);
    return std::sqrt(sum / static_cast<double>(to - from));
  }
};

// A one-shot panned left, then a short looping sample panned right: each reaches its side
// only, the one-shot ends, the loop plays on past its length until StopChannel.
TEST_F(Playback, PannedSamplesReachTheirSideAndLoopingOnesPlayUntilStopped) {
  gxtkSample* once = Tone(0.25);
  gxtkSample* loop = Tone(0.1);
  device->SetPan(0, kLeft); // before anything plays on the channel
  device->SetPan(3, kRight);
  const double played = Now();
  ASSERT_EQ(device->PlaySample(once, 0, 0), 0);
  Until(0.5);
  const double looped = Now();
  device->PlaySample(loop, 3, 1);
  Until(1.05);
  const double stopped = Now();
  EXPECT_EQ(device->ChannelState(3), 1);
  device->StopChannel(3);
  EXPECT_EQ(device->ChannelState(3), 0);
  Finish(1.35);
  EXPECT_GT(Level(played, played + 0.25, L), std::max(kAudible, 10 * Level(played, played + 0.25, R)));
  EXPECT_LT(Level(played + 0.25, looped, L), kSilent) << "a one-shot sample ends";
  EXPECT_GT(Level(looped + 0.3, stopped, R), std::max(kAudible, 10 * Level(looped + 0.3, stopped, L)))
      << "three lengths and more after it started";
  EXPECT_LT(Level(stopped, 1.35, R), kSilent) << "StopChannel silences it";
}

TEST_F(Playback, MusicPlaysOnItsOwnChannelAndStopsWithStopMusic) {
  WriteFile(files.path / "tune.wav", ToneWav(0.2));
  const std::string music = (files.path / "tune.ogg").string();
  ASSERT_TRUE(RunTool({"oggenc", "-Q", "-o", music, (files.path / "tune.wav").string()}));
  const double played = Now();
  ASSERT_EQ(device->PlayMusic(String(music.c_str()), 1), 0);
  for (int channel = 0; channel < 32; ++channel) device->StopChannel(channel); // they do not reach it
  Until(0.3);
  const double stopped = Now();
  EXPECT_EQ(device->MusicState(), 1);
  device->StopMusic();
  EXPECT_EQ(device->MusicState(), 0);
  Finish(0.6);
  EXPECT_GT(Level(played, stopped, L), kAudible);
  EXPECT_NEAR(Level(played, stopped, L) / Level(played, stopped, R), 1.0, 0.1) << "straight ahead";
  EXPECT_LT(Level(stopped, 0.6, L), kSilent);
}

TEST_F(Playback, SuspendPausesPlayingChannelsAndResumeRestartsThemButNotOnesTheGamePaused) {
  gxtkSample* tone = Tone(0.1);
  device->SetPan(0, kLeft);
  device->SetPan(1, kRight);
  const double both = Now();
  device->PlaySample(tone, 0, 1);
  device->PlaySample(tone, 1, 1);
  Until(0.25);
  const double paused = Now();
  device->PauseChannel(1); // the game pauses the right one
  Until(0.5);
  const double suspended = Now();
  device->Suspend();
  Until(0.75);
  const double resumed = Now();
  device->Resume();
  EXPECT_EQ(device->ChannelState(0), 1);
  EXPECT_EQ(device->ChannelState(1), 2);
  Finish(1.0);
  EXPECT_GT(Level(both, paused, R), kAudible);
  EXPECT_GT(Level(paused, suspended, L), kAudible);
  EXPECT_LT(Level(paused, suspended, R), kSilent);
  EXPECT_LT(Level(suspended, resumed, L), kSilent) << "Suspend pauses what plays";
  EXPECT_GT(Level(resumed, 1.0, L), kAudible) << "Resume restarts it";
  EXPECT_LT(Level(resumed, 1.0, R), kSilent) << "a channel the game paused stays paused";
}

} // namespace
