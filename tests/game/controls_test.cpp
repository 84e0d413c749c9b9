// tests/game/controls_test.cpp — controls and sound cues: the control query with its pad rules,
// sticks and flips, the key-pair controller, the analogue state, effect files and channels,
// sound modes and the tune; sound through a recording device.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/game/game_support.h"

namespace {

using Calls = std::vector<std::string>;
using Ints = std::vector<int>;

RecordingAudio* audio = nullptr;

// A fresh input device for every case; settings cleared, sound mode 1 (all).
class Controls : public ::testing::Test {
protected:
  c_MyApp* app = Game();
  c_InputDevice* in = (new c_InputDevice)->m_new();
  void SetUp() override {
    if (!audio) zu_audio_SetAudioDevice(audio = new RecordingAudio);
    for (int i = 0; i < 33; ++i) app->m_SfxMap[i] = i; // as start-up maps them
    zu_input_SetInputDevice(in);
    zu_Tessel_iCadeControls = zu_Tessel_DebugMode = 0;
    zu_Tessel_HasMusicStream = 1;
    for (int i = 0; i < 25; ++i) app->m_Settings[i] = i == 5 ? 1 : 0;
    for (int i = 0; i < 20; ++i) app->m_VButtons[i] = 0;
    app->m_AnalogX = app->m_AnalogY = app->m_KeyAnalogX = app->m_KeyAnalogY = 0;
    audio->Clear();
  }
  void PadButton(int pad, int button) { Press(256 + 32 * pad + button); }
  int Key(int control, int pad) { return app->p_PlayKey(control, 1, pad); }
  // Typed characters; while the key-pair mode is on the update hands them to the decoder.
  void Type(const char* text) {
    for (; *text; ++text) in->p_KeyEvent(3, *text);
    if (zu_Tessel_iCadeControls == 1)
      while (int c = zu_input_GetChar()) app->p_iCadeChar(c);
  }
};

// [SECTION] Sticks and pads

TEST_F(Controls, SticksCountInModeOneAfterTheirFlip) {
  in->m__joyStates[0]->m_joyY[0] = 0.5f;
  in->m__joyStates[2]->m_joyX[0] = -0.7f;
  EXPECT_FLOAT_EQ(app->p_StickY(0, 0), -0.5f); // flip setting 0 inverts
  EXPECT_FLOAT_EQ(app->p_StickX(0, 2), -0.7f);
  EXPECT_EQ(app->p_StickX(0, -1), 0);
  EXPECT_EQ(app->p_StickY(0, -1), 0);
  // Flip setting, control, mode, pad, held: mode 0 and other pads ignore the stick.
  const int probes[][5] = {{0, 0, 1, 0, 1}, {0, 0, 0, 0, 0}, {0, 8, 1, 0, 0}, {0, 0, 1, 1, 0},
                           {0, 3, 1, 2, 1}, {0, 5, 1, 2, 0}, {1, 0, 1, 0, 0}, {1, 8, 1, 0, 1}};
  for (const auto& p : probes) {
    app->m_Settings[15] = p[0];
    EXPECT_EQ(app->p_PlayKey(p[1], p[2], p[3]), p[4]) << p[0] << " " << p[1] << " " << p[2] << " " << p[3];
  }
}

TEST_F(Controls, PadArgumentSelectsTheSourcesAndAHeldKeyCountsOncePerPad) {
  PadButton(1, 14); // back and pause on pad 1; pad -1 reads no pad
  EXPECT_EQ((Ints{Key(99, 1), Key(98, 1), Key(99, 0), Key(99, -1)}), (Ints{1, 1, 0, 0}));
  Press(27); // Escape: pause never comes from pad -1, and pads below -1 read nothing
  EXPECT_EQ((Ints{Key(99, -1), Key(98, -1), Key(99, -2)}), (Ints{1, 0, 0}));
  Release(27);
  app->m_VButtons[19] = 1; // a back-key hit this update
  app->m_VButtons[16] = 2;
  EXPECT_EQ((Ints{Key(99, -1), Key(16, -1)}), (Ints{1, 0})); // 16 is no control
  Press(1); // the left mouse button is also touch 0, code 384: not button 0 of a pad 4
  EXPECT_EQ((Ints{Key(10, 4), app->p_PlayKeyAll(10, 1)}), (Ints{0, 0}));
  Press(32); // Space is A on every pad, and a pad's own A adds nothing
  PadButton(2, 0);
  EXPECT_EQ(app->p_PlayKeyAll(10, 1), 4);
  Release(32);
  EXPECT_EQ(app->p_PlayKeyAll(10, 1), 1);
}

// [SECTION] Key-pair controller and the analogue state

TEST_F(Controls, KeyPairLettersPressAndRelease) {
  Type("q"); // typed before the switch: thrown away
  app->p_iCade(1);
  EXPECT_TRUE(host->KeyboardEnabled());
  EXPECT_EQ(zu_input_GetChar(), 0);
  Press(87); // W on the keyboard belongs to the controller now; a typed w presses up, e lets go
  EXPECT_EQ(Key(0, 0), 0);
  Type("w");
  EXPECT_EQ(Key(0, 0), 1);
  Type("e");
  EXPECT_EQ(Key(0, 0), 0);
  Type("LY!"); // upper case alike: L holds button 17 (back), Y button 13
  PadButton(0, 6);
  // Y, L and R report the value itself on pad -1; there is no pause control in this mode.
  EXPECT_EQ((Ints{Key(13, -1), Key(13, 0), Key(99, -1), Key(98, 0)}), (Ints{2, 1, 1, 0}));
  app->m_VButtons[19] = 1;
  app->p_iCade(0);
  EXPECT_FALSE(host->KeyboardEnabled());
  EXPECT_EQ(At(app->m_VButtons, {13, 17, 19}), (Ints{0, 0, 1}));
  EXPECT_EQ(Key(0, 0), 1); // W is a key again
}

TEST_F(Controls, AnalogueStateHasADeadZoneRampsWithKeysAndShowsInDebug) {
  for (float y : {0.1f, 0.5f}) {
    in->m__joyStates[0]->m_joyY[0] = y;
    app->p_AnalogueControl();
    EXPECT_FLOAT_EQ(app->m_AnalogY, y < 0.2f ? 0 : -y) << y; // after the flip
  }
  in->m__joyStates[0]->m_joyY[0] = 0;
  Press(39); // right: 8 x 0.15, clamped to 1; let go, it falls back by 0.2 an update
  for (int i = 0; i < 8; ++i) app->p_AnalogueControl();
  EXPECT_FLOAT_EQ(app->m_AnalogX, 1.0f);
  Release(39);
  zu_Tessel_DebugMode = 1;
  app->m_DrawCount = 0;
  app->p_AnalogueControl();
  EXPECT_FLOAT_EQ(app->m_AnalogX, 0.8f);
  ASSERT_EQ(Field(0), (std::vector<float>{KIND_OVAL, KIND_OVAL})); // the stick's rest and its place
  EXPECT_NEAR(Record(1)[1] - Record(0)[1], 52 * 0.8f, 1e-3);
  EXPECT_EQ(app->m_Alpha, 1); // the draw state is reset afterwards
}

// [SECTION] Sound cues

TEST_F(Controls, EffectsLoadFromNumberedFilesAndRotateOverTwentyFourChannels) {
  for (int n : {7, 28, 0, 100, -1}) app->p_LoadSFX(n); // there is no slot 100
  EXPECT_EQ(audio->loads,
            (Calls{"quokka://data/sfx/007.wav", "quokka://data/sfx/028.wav", "quokka://data/sfx/000.wav"}));
  EXPECT_EQ(app->p_SfxFile(100).ToUtf8(), "sfx/100.wav");

  app->m_SfxChannel = 0; // as after start-up
  app->p_PlaySFX(7, 1.5f, 0.5f, 0.25f);
  EXPECT_EQ(audio->calls, (Calls{"stop 1", "play 1 0", "rate 1 1.5", "volume 1 0.5", "pan 1 0.25"}));
  for (int i = 2; i <= 25; ++i) app->p_PlaySFX(7, 1, 1, 0);
  ASSERT_EQ(audio->channels.size(), 25u);
  EXPECT_EQ(Ints(audio->channels.end() - 3, audio->channels.end()), (Ints{23, 0, 1}));

  audio->calls.clear();
  for (int n : {-1, 100, 50}) app->p_PlaySFX(n, 1, 1, 0); // outside the slots, or never loaded
  EXPECT_TRUE(audio->calls.empty());
}

TEST_F(Controls, SoundModeGatesEffectsAndMusic) {
  app->p_LoadSFX(10);
  app->m_TuneName = String();
  app->m_MusicOn = 0;
  for (int mode : {3, 0}) app->m_Settings[5] = mode, app->p_PlaySFX(10, 1, 1, 0); // music only, silence
  app->m_Settings[5] = 2; // effects only: the tune is remembered, not played
  app->p_PlayTune(String("theme"), 1);
  EXPECT_EQ(app->m_TuneName.ToUtf8(), "theme");
  EXPECT_EQ(app->m_MusicOn, 0);
  EXPECT_TRUE(audio->calls.empty());

  app->m_Settings[5] = 1;
  app->p_PlayTune(String("-1"), 1);    // the last tune again
  app->p_PlayTune(String("other"), 0); // a playing tune stops first
  EXPECT_EQ(audio->calls, (Calls{"music quokka://data/sfx/theme.ogg 1", "stop music",
                                 "music quokka://data/sfx/other.ogg 0"}));
  EXPECT_EQ(app->m_MusicOn, 1);
  audio->calls.clear();
  app->p_PlayTune(String(), 1); // no name, or no music stream: nothing
  zu_Tessel_HasMusicStream = 0;
  app->p_PlayTune(String("theme"), 1);
  app->p_StopTune();
  EXPECT_EQ(audio->calls, Calls{"stop music"});
  EXPECT_EQ(app->m_TuneName.ToUtf8(), "other");
  EXPECT_EQ(app->m_MusicOn, 0);
}

} // namespace
