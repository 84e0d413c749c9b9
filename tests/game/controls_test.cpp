// tests/game/controls_test.cpp — c_MyApp's controls and sound cues: the control query with its
// pad rules, sticks and flips, the key-pair controller, the analogue state, effect files and
// channels, sound modes and the tune; sound through a recording device on the null back end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "game/globals.h"
#include "game/my_app.h"

namespace {

// OpenAL Soft plays into nothing in this process; set before the one device opens.
const int kNullBackend = setenv("ALSOFT_DRIVERS", "null", 1);

// The audio device, writing down what the sound module asks of it instead of playing.
class RecordingAudio : public gxtkAudio {
public:
  std::vector<std::string> loads, calls; // calls: "play 3 0", "rate 3 1.5", "music PATH 1", ...
  gxtkSample* LoadSample(const String& path) override {
    loads.push_back(path.ToUtf8());
    return new gxtkSample();
  }
  int PlaySample(gxtkSample*, int ch, int flags) override { return Note("play %d %d", ch, flags); }
  int StopChannel(int ch) override { return Note("stop %d", ch); }
  int SetRate(int ch, float v) override { return Note("rate %d %g", ch, v); }
  int SetVolume(int ch, float v) override { return Note("volume %d %g", ch, v); }
  int SetPan(int ch, float v) override { return Note("pan %d %g", ch, v); }
  int PlayMusic(const String& path, int flags) override {
    return Note("music %s %d", path.ToUtf8().c_str(), flags);
  }
  int StopMusic() override { return Note("stop music"); }

private:
  template <class... A> int Note(const char* format, A... a) {
    char b[200];
    std::snprintf(b, sizeof b, format, a...);
    calls.push_back(b);
    return 0;
  }
};

// One application per process: the host, the globals, the game and the audio device.
ZuGame* host;
RecordingAudio* audio;
c_MyApp* app;

class Game : public ::testing::Environment {
public:
  void SetUp() override {
    ASSERT_EQ(kNullBackend, 0);
    host = new ZuGame;
    zu_app_InitGlobals();
    zu_Tessel_InitGlobals();
    app = (new c_MyApp)->m_new();
    for (int i = 0; i < 33; ++i) app->m_SfxMap[i] = i; // as start-up maps them
    audio = new RecordingAudio;
    zu_audio_SetAudioDevice(audio);
  }
  void TearDown() override { audio->Close(); }
};
const auto* const kGame = ::testing::AddGlobalTestEnvironment(new Game);

class Controls : public ::testing::Test {
protected:
  c_InputDevice* in = nullptr;
  void SetUp() override {
    in = (new c_InputDevice)->m_new();
    zu_input_SetInputDevice(in);
    zu_Tessel_iCadeControls = 0;
    zu_Tessel_HasMusicStream = 1;
    zu_Tessel_DebugMode = 0;
    for (int i = 0; i < 20; ++i) app->m_VButtons[i] = 0;
    for (int i = 0; i < 25; ++i) app->m_Settings[i] = 0;
    app->m_Settings[5] = 1;
    app->m_AnalogX = app->m_AnalogY = app->m_KeyAnalogX = app->m_KeyAnalogY = 0;
    audio->loads.clear();
    audio->calls.clear();
  }
  void Press(int code) { in->p_KeyEvent(1, code); }
  void Release(int code) { in->p_KeyEvent(2, code); }
  void PadButton(int pad, int button) { Press(256 + 32 * pad + button); }
  void Type(char c) { in->p_KeyEvent(3, c); }
  // What the update does with queued characters while the key-pair mode is on.
  void Decode() {
    while (int c = zu_input_GetChar()) app->p_iCadeChar(c);
  }
};

// ============================================================================
// [SECTION] Sticks and pads
// ============================================================================

TEST_F(Controls, LeftStickCountsInModeOneAfterItsFlip) {
  in->m__joyStates[0]->m_joyY[0] = 0.5f;
  EXPECT_FLOAT_EQ(app->p_StickY(0, 0), -0.5f); // flip setting 0 inverts
  EXPECT_EQ(app->p_PlayKey(0, 1, 0), 1);
  EXPECT_EQ(app->p_PlayKey(0, 0, 0), 0); // mode 0 ignores the stick
  EXPECT_EQ(app->p_PlayKey(8, 1, 0), 0);
  EXPECT_EQ(app->p_PlayKey(0, 1, 1), 0); // another pad's stick is still

  app->m_Settings[15] = 1;
  EXPECT_FLOAT_EQ(app->p_StickY(0, 0), 0.5f);
  EXPECT_EQ(app->p_PlayKey(0, 1, 0), 0);
  EXPECT_EQ(app->p_PlayKey(8, 1, 0), 1);

  in->m__joyStates[2]->m_joyX[0] = -0.7f;
  EXPECT_FLOAT_EQ(app->p_StickX(0, 2), -0.7f);
  EXPECT_EQ(app->p_PlayKey(3, 1, 2), 1);
  EXPECT_EQ(app->p_PlayKey(5, 1, 2), 0);
  EXPECT_EQ(app->p_StickX(0, -1), 0);
  EXPECT_EQ(app->p_StickY(0, -1), 0);
}

TEST_F(Controls, PadArgumentSelectsTheSources) {
  PadButton(1, 14); // back on pad 1
  EXPECT_EQ(app->p_PlayKey(99, 1, 1), 1);
  EXPECT_EQ(app->p_PlayKey(98, 1, 1), 1);
  EXPECT_EQ(app->p_PlayKey(99, 1, 0), 0);
  EXPECT_EQ(app->p_PlayKey(99, 1, -1), 0); // pad -1 reads no pad

  Press(27); // Escape
  EXPECT_EQ(app->p_PlayKey(99, 1, -1), 1);
  EXPECT_EQ(app->p_PlayKey(98, 1, -1), 0); // pause never comes from pad -1
  EXPECT_EQ(app->p_PlayKey(99, 1, -2), 0);
  Release(27);

  app->m_VButtons[19] = 1; // a back-key hit this update
  EXPECT_EQ(app->p_PlayKey(99, 1, -1), 1);
  app->m_VButtons[16] = 2;
  EXPECT_EQ(app->p_PlayKey(16, 1, -1), 0); // not a control

  Press(1); // the left mouse button is also touch 0, code 384: not button 0 of a pad 4
  EXPECT_EQ(app->p_PlayKey(10, 1, 4), 0);
  EXPECT_EQ(app->p_PlayKeyAll(10, 1), 0);
}

TEST_F(Controls, HeldKeyCountsOncePerPad) {
  Press(32);
  EXPECT_EQ(app->p_PlayKeyAll(10, 1), 4);
  PadButton(2, 0);
  EXPECT_EQ(app->p_PlayKeyAll(10, 1), 4);
  Release(32);
  EXPECT_EQ(app->p_PlayKeyAll(10, 1), 1);
  EXPECT_EQ(app->p_PlayKeyAll(11, 1), 0);
}

// ============================================================================
// [SECTION] Key-pair controller
// ============================================================================

TEST_F(Controls, KeyPairLettersPressAndRelease) {
  Type('q'); // typed before the switch: thrown away
  app->p_iCade(1);
  EXPECT_EQ(zu_Tessel_iCadeControls, 1);
  EXPECT_TRUE(host->KeyboardEnabled());
  EXPECT_EQ(app->m_j, 0);
  EXPECT_EQ(zu_input_GetChar(), 0);

  Press(87); // W on the keyboard belongs to the controller now
  EXPECT_EQ(app->p_PlayKey(0, 1, 0), 0);
  Type('w');
  Decode();
  EXPECT_EQ(app->m_VButtons[0], 2);
  EXPECT_EQ(app->p_PlayKey(0, 1, 0), 1);
  Type('e');
  Decode();
  EXPECT_EQ(app->m_VButtons[0], 0);
  EXPECT_EQ(app->p_PlayKey(0, 1, 0), 0);

  Type('L'); // upper case alike: button 17
  Type('Y');
  Type('!');
  Decode();
  EXPECT_EQ(app->m_VButtons[17], 2);
  EXPECT_EQ(app->p_PlayKey(13, 1, -1), 2); // Y, L and R report the value itself on pad -1
  EXPECT_EQ(app->p_PlayKey(13, 1, 0), 1);
  EXPECT_EQ(app->p_PlayKey(99, 1, -1), 1);
  PadButton(0, 6);
  EXPECT_EQ(app->p_PlayKey(98, 1, 0), 0); // no pause control in this mode

  app->m_VButtons[19] = 1;
  app->p_iCade(0);
  EXPECT_EQ(zu_Tessel_iCadeControls, 0);
  EXPECT_FALSE(host->KeyboardEnabled());
  EXPECT_EQ(app->m_VButtons[13], 0);
  EXPECT_EQ(app->m_VButtons[17], 0);
  EXPECT_EQ(app->m_VButtons[19], 1);
  EXPECT_EQ(app->p_PlayKey(0, 1, 0), 1); // W is a key again
}

TEST_F(Controls, AnalogueStateRampsAndShowsInDebug) {
  in->m__joyStates[0]->m_joyY[0] = 0.1f; // inside the dead zone
  app->p_AnalogueControl();
  EXPECT_EQ(app->m_AnalogY, 0);
  in->m__joyStates[0]->m_joyY[0] = 0.5f;
  app->p_AnalogueControl();
  EXPECT_FLOAT_EQ(app->m_AnalogY, -0.5f);
  in->m__joyStates[0]->m_joyY[0] = 0;

  Press(39); // right
  for (int i = 0; i < 8; ++i) app->p_AnalogueControl();
  EXPECT_FLOAT_EQ(app->m_AnalogX, 1.0f); // 8 x 0.15, clamped
  Release(39);
  app->p_AnalogueControl();
  EXPECT_FLOAT_EQ(app->m_KeyAnalogX, 0.8f);
  EXPECT_FLOAT_EQ(app->m_AnalogX, 0.8f);

  zu_Tessel_DebugMode = 1;
  app->m_DrawCount = 0;
  app->p_AnalogueControl();
  ASSERT_EQ(app->m_DrawCount, 30);
  EXPECT_EQ(app->m_DrawQueue[0], KIND_OVAL);
  EXPECT_EQ(app->m_DrawQueue[15], KIND_OVAL);
  EXPECT_NEAR(app->m_DrawQueue[16] - app->m_DrawQueue[1], 52 * 0.6f, 1e-3);
  EXPECT_EQ(app->m_Alpha, 1); // the draw state is reset afterwards
}

// ============================================================================
// [SECTION] Sound cues
// ============================================================================

TEST_F(Controls, EffectFileNames) {
  app->p_LoadSFX(7);
  app->p_LoadSFX(28);
  app->p_LoadSFX(0);
  app->p_LoadSFX(100); // no slot 100
  app->p_LoadSFX(-1);
  EXPECT_EQ(audio->loads, (std::vector<std::string>{"quokka://data/sfx/007.wav", "quokka://data/sfx/028.wav",
                                                    "quokka://data/sfx/000.wav"}));
  EXPECT_NE(app->m_Sounds[7], nullptr);
  EXPECT_EQ(app->p_SfxFile(100).ToUtf8(), "sfx/100.wav");
}

TEST_F(Controls, EffectsRotateOverTwentyFourChannels) {
  app->p_LoadSFX(99);
  app->m_SfxChannel = 0; // as after start-up
  app->p_PlaySFX(99, 1.5f, 0.5f, 0.25f);
  EXPECT_EQ(audio->calls,
            (std::vector<std::string>{"stop 1", "play 1 0", "rate 1 1.5", "volume 1 0.5", "pan 1 0.25"}));
  for (int i = 2; i <= 25; ++i) app->p_PlaySFX(99, 1, 1, 0);
  std::vector<std::string> plays;
  for (const std::string& c : audio->calls)
    if (c.rfind("play ", 0) == 0) plays.push_back(c);
  ASSERT_EQ(plays.size(), 25u);
  EXPECT_EQ(plays[22], "play 23 0");
  EXPECT_EQ(plays[23], "play 0 0");
  EXPECT_EQ(plays[24], "play 1 0"); // the 25th cuts off the first

  audio->calls.clear();
  app->p_PlaySFX(-1, 1, 1, 0); // outside the slots, or never loaded: nothing
  app->p_PlaySFX(100, 1, 1, 0);
  app->p_PlaySFX(50, 1, 1, 0);
  EXPECT_TRUE(audio->calls.empty());
}

TEST_F(Controls, SoundModeGatesEffectsAndMusic) {
  app->p_LoadSFX(10);
  app->m_TuneName = String();
  app->m_MusicOn = 0;
  app->m_Settings[5] = 3; // music only
  int channel = app->m_SfxChannel;
  app->p_PlaySFX(10, 1, 1, 0);
  EXPECT_EQ(app->m_SfxChannel, channel);
  app->m_Settings[5] = 0;
  app->p_PlaySFX(10, 1, 1, 0);
  EXPECT_TRUE(audio->calls.empty());

  app->m_Settings[5] = 2; // effects only: the tune is remembered, not played
  app->p_PlayTune(String("theme"), 1);
  EXPECT_EQ(app->m_TuneName.ToUtf8(), "theme");
  EXPECT_EQ(app->m_MusicOn, 0);
  EXPECT_TRUE(audio->calls.empty());

  app->m_Settings[5] = 1;
  app->p_PlayTune(String("-1"), 1); // the last tune again
  EXPECT_EQ(audio->calls, (std::vector<std::string>{"music quokka://data/sfx/theme.ogg 1"}));
  EXPECT_EQ(app->m_MusicOn, 1);
  app->p_PlayTune(String("other"), 0); // a playing tune stops first
  EXPECT_EQ(audio->calls.at(1), "stop music");
  EXPECT_EQ(audio->calls.at(2), "music quokka://data/sfx/other.ogg 0");

  audio->calls.clear();
  app->p_PlayTune(String(), 1);
  zu_Tessel_HasMusicStream = 0;
  app->p_PlayTune(String("theme"), 1);
  EXPECT_TRUE(audio->calls.empty());
  EXPECT_EQ(app->m_TuneName.ToUtf8(), "other");
  app->p_StopTune();
  EXPECT_EQ(audio->calls, (std::vector<std::string>{"stop music"}));
  EXPECT_EQ(app->m_MusicOn, 0);
}

} // namespace
