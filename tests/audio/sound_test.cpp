// tests/audio/sound_test.cpp — the sound and music module over a device that records what
// reaches it (on OpenAL Soft's null back end): data paths, null sounds, channels, music.
#include <gtest/gtest.h>

#include "audio/sound.h"
#include "audio_support.h"
#include "host/desktop_game.h"
#include "tests/support/collector.h"

namespace {

using namespace audiotest;

// The real device, noting the paths it is asked to load, the music state at each load, and
// the samples it is asked to play.
class SpyAudio : public gxtkAudio {
public:
  std::vector<std::string> loads;
  std::vector<int> musicStateAtLoad;
  int plays = 0;
  gxtkSample* LoadSample(const String& path) override {
    loads.push_back(path.ToUtf8());
    musicStateAtLoad.push_back(MusicState());
    return gxtkAudio::LoadSample(path);
  }
  int PlaySample(gxtkSample* sample, int channel, int flags) override {
    ++plays;
    return gxtkAudio::PlaySample(sample, channel, flags);
  }
};

class Sound : public ::testing::Test {
protected:
  TempDir files;
  ZuGlfwGame host;
  SpyAudio* spy = nullptr;

  void SetUp() override {
    spy = new SpyAudio;
    ASSERT_NE(spy->alcContext, nullptr);
    zu_audio_SetAudioDevice(spy);
  }
  void TearDown() override {
    spy->Close();
    zu_audio_SetAudioDevice(nullptr);
  }
  std::string Wav(const std::string& name, double seconds = 0.1) {
    WavLayout layout;
    layout.frames = static_cast<int>(seconds * layout.rate);
    WriteFile(files.path / name, MakeWav(layout));
    return (files.path / name).string();
  }
  ALint Al(int channel, ALenum param) const {
    ALint v = -1;
    alGetSourcei(spy->channels[channel].source, param, &v);
    return v;
  }
};

TEST_F(Sound, PlaySoundOfANullSoundOrSampleDoesNotTouchTheDevice) {
  zu_audio_PlaySound(nullptr, 0, 0);
  zu_audio_PlaySound((new c_Sound)->m_new2(), 0, 0);
  zu_audio_PlaySound((new c_Sound)->m_new(nullptr), 0, 1);
  EXPECT_EQ(spy->plays, 0);
  EXPECT_EQ(spy->channels[0].source, 0u);
  EXPECT_EQ(spy->ChannelState(0), 0);
}

TEST_F(Sound, GamePathsReachTheDeviceThroughFixDataPath) {
  std::string absolute = Wav("a.wav");
  EXPECT_EQ(zu_audio_LoadSound(String("sfx/001.wav")), nullptr) << "no such file beside the test program";
  c_Sound* sound = zu_audio_LoadSound(String(absolute.c_str()));
  ASSERT_NE(sound, nullptr);
  EXPECT_NE(sound->m_sample, nullptr);
  EXPECT_EQ(zu_audio_PlayMusic(String("sfx/tune.ogg"), 1), -1);
  EXPECT_EQ(spy->loads,
            (std::vector<std::string>{"quokka://data/sfx/001.wav", absolute, "quokka://data/sfx/tune.ogg"}));
}

TEST_F(Sound, SoundsAndMusicLoadFromTheDataFolderBesideTheProgram) {
  BesideProgram beside;
  std::string game = beside.Put("data", "beep.wav", MakeWav(WavLayout())).substr(5); // from "data/" on
  c_Sound* sound = zu_audio_LoadSound(String(game.c_str()));
  int music = zu_audio_PlayMusic(String(game.c_str()), 0);
  EXPECT_NE(sound, nullptr);
  EXPECT_EQ(music, 0);
  EXPECT_EQ(spy->MusicState(), 1);
}

TEST_F(Sound, OneSoundPlaysOnTwoChannelsAtOnceAndASecondReplacesTheFirstOnABusyChannel) {
  c_Sound* a = zu_audio_LoadSound(String(Wav("a.wav", 0.3).c_str()));
  c_Sound* b = zu_audio_LoadSound(String(Wav("b.wav", 0.3).c_str()));
  zu_audio_PlaySound(a, 0, 0);
  zu_audio_PlaySound(a, 1, 1);
  EXPECT_EQ(Al(0, AL_SOURCE_STATE), AL_PLAYING);
  EXPECT_EQ(Al(1, AL_SOURCE_STATE), AL_PLAYING);
  EXPECT_EQ(Al(0, AL_BUFFER), static_cast<ALint>(a->m_sample->buffer));
  EXPECT_EQ(Al(1, AL_BUFFER), static_cast<ALint>(a->m_sample->buffer));
  EXPECT_EQ(Al(0, AL_LOOPING), 0) << "flags 0 plays once";
  EXPECT_EQ(Al(1, AL_LOOPING), 1) << "other flags loop";
  zu_audio_PlaySound(b, 1, 0);
  EXPECT_EQ(Al(1, AL_BUFFER), static_cast<ALint>(b->m_sample->buffer));
  EXPECT_EQ(Al(1, AL_SOURCE_STATE), AL_PLAYING);
  EXPECT_EQ(spy->plays, 3);
}

TEST_F(Sound, ChannelSettingsAndStopReachTheDevice) {
  c_Sound* a = zu_audio_LoadSound(String(Wav("a.wav").c_str()));
  zu_audio_PlaySound(a, 5, 1);
  zu_audio_SetChannelVolume(5, 0.5f);
  zu_audio_SetChannelRate(5, 2.0f);
  zu_audio_SetChannelPan(5, 1.5707964f);
  float gain = 0, pitch = 0, x = 0, y = 0, z = 0;
  alGetSourcef(spy->channels[5].source, AL_GAIN, &gain);
  alGetSourcef(spy->channels[5].source, AL_PITCH, &pitch);
  alGetSource3f(spy->channels[5].source, AL_POSITION, &x, &y, &z);
  EXPECT_FLOAT_EQ(gain, 0.5f);
  EXPECT_FLOAT_EQ(pitch, 2.0f);
  EXPECT_FLOAT_EQ(x, 1.0f);
  zu_audio_StopChannel(5);
  EXPECT_EQ(spy->ChannelState(5), 0);
  EXPECT_EQ(Al(5, AL_SOURCE_STATE), AL_STOPPED);
}

TEST_F(Sound, PlayMusicStopsTheOldMusicBeforeLoadingTheNew) {
  ASSERT_EQ(zu_audio_PlayMusic(String(Wav("one.wav").c_str()), 1), 0);
  ASSERT_EQ(spy->MusicState(), 1);
  ASSERT_EQ(zu_audio_PlayMusic(String(Wav("two.wav").c_str()), 1), 0);
  EXPECT_EQ(spy->musicStateAtLoad, (std::vector<int>{0, 0}));
  EXPECT_EQ(spy->MusicState(), 1);
  zu_audio_PauseMusic();
  EXPECT_EQ(spy->MusicState(), 2);
  zu_audio_ResumeMusic();
  EXPECT_EQ(spy->MusicState(), 1);
  zu_audio_StopMusic();
  EXPECT_EQ(spy->MusicState(), 0);
  EXPECT_EQ(zu_audio_PlayMusic(String((files.path / "missing.ogg").c_str()), 1), -1);
  EXPECT_EQ(spy->MusicState(), 0);
}

c_Sound* g_sound;

TEST_F(Sound, ASoundKeepsItsSampleThroughTheCollector) {
  gc_clear_roots();
  gc_root(zu_audio_device); // as the program's zuInit does
  gc_root(g_sound);
  gc_assign(g_sound, zu_audio_LoadSound(String(Wav("a.wav").c_str())));
  ASSERT_NE(g_sound, nullptr);
  gxtkSample* sample = g_sound->m_sample;
  CollectFully();
  EXPECT_TRUE(gc_is_live_object(g_sound));
  EXPECT_TRUE(gc_is_live_object(sample));
  EXPECT_TRUE(gc_is_live_object(spy));
  g_sound = nullptr;
  gc_clear_roots();
}

} // namespace
