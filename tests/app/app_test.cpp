// tests/app/app_test.cpp — input at its bounds, the app and its delegate, display modes, random, abs.
#include <gtest/gtest.h>

#include <cmath>
#include <unistd.h>

#include "app/app.h"
#include "app/random.h"
#include "audio/device.h"
#include "audio/sound.h"
#include "tests/support/checks.h"

namespace {

// A host with a device size, display modes and `present` pads in the first ports; pad p holds
// buttons p and 31, stick x at p + 0.5.
class Host : public ZuGame {
public:
  int present = 0, polls = 0, width = 640, height = 480;
  std::vector<std::pair<int, int>> modes;
  int GetDeviceWidth() override { return width; }
  int GetDeviceHeight() override { return height; }
  bool PollJoystick(int port, Array<float> x, Array<float> y, Array<float> z, Array<bool> buttons) override {
    ++polls;
    if (port >= present) return false;
    buttons[port] = buttons[31] = true;
    x[1] = port + 0.5f, y[0] = -1, z[1] = 1;
    return true;
  }
  Array<ZuDisplayMode*> GetDisplayModes() override {
    Array<ZuDisplayMode*> out(static_cast<int>(modes.size()));
    for (int i = 0; i < out.Length(); ++i) {
      gc_assign(out[i], new ZuDisplayMode);
      out[i]->width = modes[i].first, out[i]->height = modes[i].second;
    }
    return out;
  }
};

class Input : public ::testing::Test {
protected:
  Host host;
  c_InputDevice* in = (new c_InputDevice)->m_new();
  void SetUp() override { zu_input_SetInputDevice(in); }
  void Update() { in->p_EndUpdate(), in->p_BeginUpdate(); }
};

TEST_F(Input, KeysHitOncePerPressAndOnlyInTheirRange) {
  for (int code : {0, 1, 65, 511, 512, -1}) in->p_KeyEvent(1, code);
  for (int i = 0; i < 3; ++i) in->p_KeyEvent(1, 66); // auto-repeat: one hit
  in->p_KeyEvent(2, 65);
  in->p_KeyEvent(1, 65); // pressed again: a second hit
  // {code, down, hits}; 1 is the left button, which presses touch 0 (384) too.
  const int expected[][3] = {{0, 0, 0},   {1, 1, 1},   {65, 1, 2},  {66, 1, 1},
                             {384, 1, 1}, {511, 1, 1}, {512, 0, 0}, {-1, 0, 0}};
  for (auto [code, down, hits] : expected)
    EXPECT_EQ(std::make_pair(zu_input_KeyDown(code), zu_input_KeyHit(code)), std::make_pair(down == 1, hits))
        << code;
  Update();
  ExpectAll({Is("held: no new hit", zu_input_KeyHit(65), 0),
             Is("touch 0 held: no new hit", zu_input_KeyHit(384), 0),
             Is("still held", zu_input_KeyDown(65), true)});
  in->p_KeyEvent(2, 1);
  EXPECT_FALSE(zu_input_KeyDown(384)) << "touch 0, the left button let go";
  // 33 hits and 32 characters an update; the end of the update clears what it queued.
  for (int k = 0; k < 40; ++k) in->p_KeyEvent(1, 100 + k), in->p_KeyEvent(3, 100 + k);
  std::string hits, chars;
  for (int k = 0; k < 40; ++k)
    hits += std::to_string(zu_input_KeyHit(100 + k)), chars += (char)zu_input_GetChar();
  EXPECT_EQ(hits, std::string(33, '1') + "0000000");
  EXPECT_EQ(chars, std::string("defghijklmnopqrstuvwxyz{|}~\x7f\x80\x81\x82\x83") + std::string(8, '\0'));
  Update();
  in->p_KeyEvent(3, 65536 + 37);
  EXPECT_EQ(zu_input_GetChar(), 65536 + 37);
  ExpectAll({Is("keyboard on: said", in->p_SetKeyboardEnabled(true), true),
             Is("the host's keyboard", host.KeyboardEnabled(), true)});
  for (int k = 0; k < 40; ++k) EXPECT_EQ(zu_input_KeyHit(100 + k), 0);
}

TEST_F(Input, MouseTouchesAndMotion) {
  in->p_MouseEvent(4, 0, 10, 20);
  ExpectAll({Is("mouse hit", zu_input_MouseHit(0), 1),
             Is("the left button presses touch 0", zu_input_TouchDown(0), 1),
             Is("touch -383 is key 1, the left button", zu_input_TouchDown(-383), 1),
             Is("touch x", zu_input_TouchX(0), 10), Is("mouse y", zu_input_MouseY(), 20)});
  in->p_MouseEvent(6, 0, 30, 40), in->p_MouseEvent(5, 0, 0, 0);
  ExpectAll({Is("mouse down", zu_input_MouseDown(0), 0), Is("touch 0 down", zu_input_TouchDown(0), 0),
             Is("touch y, where the last motion left it", zu_input_TouchY(0), 40)});
  in->p_TouchEvent(7, 0, 5, 6); // touch 0 presses the mouse too
  EXPECT_TRUE(zu_input_MouseDown(0));
  in->p_TouchEvent(8, 0, 0, 0), in->p_TouchEvent(7, 31, 7, 8), in->p_TouchEvent(9, 31, 9, 9);
  ExpectAll({Is("touch 31 down", zu_input_TouchDown(31), 1),
             Is("only touch 0 presses the mouse", zu_input_MouseDown(0), 0),
             Is("touch 31's x", zu_input_TouchX(31), 9), Is("mouse x", zu_input_MouseX(), 5)});
  for (int index : {32, -1}) in->p_TouchEvent(7, index, 1, 1); // no such touch: not the back key
  ExpectAll({Is("the back key", zu_input_KeyDown(416), 0),
             Is("the key before touch 0", zu_input_KeyDown(383), 0),
             Is("touch 32's x", zu_input_TouchX(32), 0), Is("touch 32's y", zu_input_TouchY(32), 0),
             Is("touch -1's x", zu_input_TouchX(-1), 0), Is("touch -1's y", zu_input_TouchY(-1), 0)});
  in->p_MouseEvent(4, 2, 0, 0), in->p_KeyEvent(1, 511);
  ExpectAll({Is("mouse button 2 is key 3", zu_input_KeyDown(3), 1),
             Is("mouse button 510 is key 511", zu_input_MouseDown(510), 1),
             Is("touch 127 is key 511", zu_input_TouchDown(127), 1),
             Is("no mouse button 511", zu_input_MouseDown(511), 0), Is("nor -1", zu_input_MouseDown(-1), 0),
             Is("no touch 128", zu_input_TouchDown(128), 0), Is("nor -384", zu_input_TouchDown(-384), 0)});
  in->p_MotionEvent(10, 0, 0.1f, 0.2f, 0.3f);
  in->p_MotionEvent(9, 0, 9, 9, 9); // not an accelerometer event
  EXPECT_EQ((std::vector<float>{zu_input_AccelX(), zu_input_AccelY(), zu_input_AccelZ()}),
            (std::vector<float>{0.1f, 0.2f, 0.3f}));
}

// Pads are polled until the first absent one; a pad gone mid-press reads released and centred.
TEST_F(Input, PadsReadTheirOwnButtonsAndAxes) {
  const int steps[][2] = {{4, 4}, {4, 4}, {1, 2}, {0, 1}}; // {pads present, polls}
  for (int step = 0; step < 4; ++step) {
    host.present = steps[step][0], host.polls = 0;
    Update();
    EXPECT_EQ(host.polls, steps[step][1]);
    for (int unit = 0; unit < 4; ++unit) {
      bool here = unit < host.present;
      EXPECT_EQ(zu_input_JoyDown(unit, unit) && zu_input_JoyDown(31, unit), here) << step << unit;
      EXPECT_FALSE(zu_input_JoyDown((unit + 1) % 4, unit)) << step << unit;
      EXPECT_EQ(zu_input_JoyHit(31, unit), here && step == 0) << step << unit;
      EXPECT_EQ((std::vector<float>{zu_input_JoyX(1, unit), zu_input_JoyY(0, unit), zu_input_JoyZ(1, unit)}),
                (here ? std::vector<float>{unit + 0.5f, -1, 1} : std::vector<float>{0, 0, 0}));
    }
  }
  in->p_KeyEvent(1, 65), in->p_KeyEvent(1, 1); // the left button holds touch 0, code 384: a pad 4's first
  ExpectAll({Is("button -191 of pad 0", zu_input_JoyDown(-191, 0), 0),
             Is("no pad 4", zu_input_JoyDown(0, 4), 0), Is("no pad -1", zu_input_JoyDown(0, -1), 0),
             Is("no third stick", zu_input_JoyX(2, 0), 0), Is("no stick -1", zu_input_JoyX(-1, 0), 0),
             Is("no pad 4's y", zu_input_JoyY(0, 4), 0), Is("no pad -1's z", zu_input_JoyZ(0, -1), 0)});
}

class TestApp : public c_App {
public:
  std::string log;
  int p_OnUpdate() override { return log += "update" + std::to_string(zu_input_KeyHit(65)) + " ", 0; }
  int p_OnBack() override { return log += "back ", 0; }
  int p_OnClose() override { return log += "close ", 0; }
};

// Back and close act at the key down; updates are bracketed by the input state; display modes
// collapse duplicates in first-seen order, and with no desktop mode the desktop is the device size.
TEST(App, TheDelegateAndDisplayModes) {
  Host host;
  zu_app__game = &host;
  TestApp* app = static_cast<TestApp*>((new TestApp)->m_new());
  c_GameDelegate* d = zu_app__delegate;
  ASSERT_EQ(host.Delegate(), d);
  zu_input_SetInputDevice(d->m__input = (new c_InputDevice)->m_new());
  for (int key : {416, 432, 415, 433}) d->KeyEvent(2, key); // releases and other keys do nothing
  EXPECT_EQ(app->log, "") << "releases of the back and close keys";
  for (int key : {416, 432, 65}) d->KeyEvent(1, key);
  for (int i = 0; i < 2; ++i) d->UpdateGame();
  EXPECT_EQ(app->log, "back close update1 update0 ");
  host.width = 800; // one side changing is a new size
  d->UpdateGame();
  EXPECT_EQ(std::make_pair(zu_app_DeviceWidth(), zu_app_DeviceHeight()), std::make_pair(800, 480));
  d->TouchEvent(7, 2, 3, 4);
  d->MouseEvent(6, 0, 5, 6);
  d->MotionEvent(11, 0, 1, 1, 1);
  d->MotionEvent(10, 0, 7, 8, 9);
  ExpectAll({Is("touch 2's x", zu_input_TouchX(2), 3), Is("mouse y", zu_input_MouseY(), 6),
             Is("only event 10 is the accelerometer", zu_input_AccelX(), 7),
             Is("its z", zu_input_AccelZ(), 9)});
  host.modes = {{1024, 768}, {800, 600},  {640, 480}, {800, 600},
                {1024, 768}, {1024, 600}, {800, 768}, {768, 1024}};
  zu_app_EnumDisplayModes();
  std::vector<std::pair<int, int>> listed;
  for (c_DisplayMode* m : zu_app__displayModes) listed.push_back({m->m__width, m->m__height});
  listed.push_back({zu_app__desktopMode->m__width, zu_app__desktopMode->m__height});
  EXPECT_EQ(listed,
            (std::vector<std::pair<int, int>>{
                {1024, 768}, {800, 600}, {640, 480}, {1024, 600}, {800, 768}, {768, 1024}, {800, 480}}));
  EXPECT_EXIT((close(0), dup2(2, 1), (new TestApp)->m_new()), ::testing::ExitedWithCode(255),
              "Quokka Runtime Error : App has already been created");
}

// A device that notes its suspend and resume in the app's log, then does them.
class NotingAudio : public gxtkAudio {
public:
  std::vector<std::string>* log;
  explicit NotingAudio(std::vector<std::string>* log) : log(log) {}
  int Suspend() override { return log->push_back("audio suspend"), gxtkAudio::Suspend(); }
  int Resume() override { return log->push_back("audio resume"), gxtkAudio::Resume(); }
};
class FocusApp : public c_App {
public:
  std::vector<std::string> log;
  int p_OnSuspend() override { return log.push_back("app suspend"), 0; }
  int p_OnResume() override { return log.push_back("app resume"), 0; }
};
ALint SourceState(ALuint source) {
  ALint state = -1;
  alGetSourcei(source, AL_SOURCE_STATE, &state);
  return state;
}

// The window losing the focus pauses the sound device after the app hears of it; getting it back
// resumes the device before the app hears of it: the music plays again, a channel the game paused
// stays so (the device's own pausing of each channel is the audio tests'). OpenAL's null back end
// plays into nothing.
TEST(App, FocusPausesAndResumesTheMusicAndTheChannelsAroundTheAppsCallbacks) {
  setenv("ALSOFT_DRIVERS", "null", 1);
  Host host;
  zu_app__game = &host;
  zu_app__app = nullptr; // one app a process: this test makes its own
  FocusApp* app = static_cast<FocusApp*>((new FocusApp)->m_new());
  c_GameDelegate* d = zu_app__delegate;
  auto* audio = new NotingAudio(&app->log);
  gc_assign(d->m__audio, audio);
  zu_audio_SetAudioDevice(audio);
  ASSERT_NE(audio->alcContext, nullptr) << "no OpenAL context on the null back end";
  ALuint buffer = 0; // a second of silence, looped
  alGenBuffers(1, &buffer);
  const std::vector<short> silence(22050);
  alBufferData(buffer, AL_FORMAT_MONO16, silence.data(), 2 * 22050, 22050);
  auto* sample = new gxtkSample(buffer);
  ASSERT_EQ(audio->PlaySample(sample, gxtkAudio::kMusicChannel, 1), 0);
  ASSERT_EQ(audio->PlaySample(sample, 1, 1), 0);
  audio->PauseChannel(1); // paused by the game
  const ALuint music = audio->channels[gxtkAudio::kMusicChannel].source, paused = audio->channels[1].source;

  d->SuspendGame();
  EXPECT_EQ(app->log, (std::vector<std::string>{"app suspend", "audio suspend"}));
  EXPECT_EQ(SourceState(music), AL_PAUSED) << "music";
  EXPECT_EQ(audio->MusicState(), 1) << "the music is still the game's playing tune";
  app->log.clear();

  d->ResumeGame();
  EXPECT_EQ(app->log, (std::vector<std::string>{"audio resume", "app resume"}));
  EXPECT_EQ(SourceState(music), AL_PLAYING) << "music";
  EXPECT_EQ(SourceState(paused), AL_PAUSED) << "channel the game paused";
  audio->Close();
}

// The seeds 1234 -> 3067928073 -> 889114580 (x * 1664525 + 1013904223), read as their top 24 bits.
TEST(App, RandomNumbersAndMath) {
  zu_random_Seed = 1234;
  EXPECT_FLOAT_EQ(zu_random_Rnd(), 0.71430767f);
  EXPECT_FLOAT_EQ(zu_random_Rnd2(10, 20), 12.070131f);
  zu_random_Seed = -1; // 4294967295 -> 1012239698
  EXPECT_FLOAT_EQ(zu_random_Rnd3(4), 0.94272161f);
  ExpectAll({Is("|-3|", zu_math_Abs(-3), 3), Is("|-2.5|", zu_math_Abs2(-2.5f), 2.5f),
             Is("|0| carries no sign", std::signbit(zu_math_Abs2(0.0f)), false)});
}

} // namespace
