// tests/game/menu_test.cpp — the menu, options box and pause menu driven through the game's updates.
#include <cstdlib>

#include "tests/game/play_fixture.h"

namespace {

using namespace play;

// Left, right: focus on gear 0, wheel 1, panel 2; A, B, X act on it.
TEST_F(Play, KeysMoveTheFocusAndConfirmActsOnIt) {
  const struct {
    Ints keys;
    int focus, options, panel, screen;
  } cases[] = {
      {{kLeft, kEnter}, 0, 1, 0, 1}, {{kLeft, kLeft}, 0, 0, 0, 1}, {{kRight, kRight, kComplete}, 2, 0, 1, 1},
      {{kSelect}, 1, 0, 0, 10},      {{kCancel}, 1, 0, 0, 10},     {{kLeft, kRight, 86}, 1, 0, 0, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.keys));
    game->m_GameMode = game->m_MenuFocus = 1,
    game->m_OptionsOpen = game->m_SidePanelOpen = game->m_KeyLatch = 0;
    for (int key : c.keys) Press(key), Update(), Release(key), Update();
    ExpectAll({Is("focus", game->m_MenuFocus, c.focus), Is("options box", game->m_OptionsOpen, c.options),
               Is("score panel", game->m_SidePanelOpen, c.panel), Is("screen", game->m_GameMode, c.screen)});
    if (c.screen == 10) {
      EXPECT_EQ(game->m_ControlMode, 0) << "started from the keyboard";
    }
    game->m_OptionsOpen = game->m_OptionsSlide = 0, Update();
  }
  game->m_GameMode = 1, game->m_MenuFocus = 0, game->m_KeyLatch = 0, Update(40);
  const float gear = game->m_GearAngle; // the options gear turns while it has the focus, and only then
  Update(), game->m_MenuFocus = 1;
  const float turned = game->m_GearAngle;
  Update();
  ExpectAll({Is("the gear turns with the focus", turned != gear, true),
             Is("and stands without it", game->m_GearAngle, turned)});
  game->m_MenuFocus = 0;
  Click(600, 100);
  ExpectAll({Is("a press on the panel takes the focus", game->m_MenuFocus, 2),
             Is("panel", game->m_SidePanelOpen, 0)});
  Click(600, 100), Update(10);
  EXPECT_EQ(game->m_SidePanelOpen, 1) << "the next press opens it";
  Click(600, 100), Update(40);
  EXPECT_EQ(game->m_SidePanelOpen, 0) << "and the next closes it";
  Click(570, 432); // the play button lies over the panel: its press starts a game
  ExpectAll({Is("panel", game->m_SidePanelOpen, 0), Is("screen", game->m_GameMode, 10),
             Is("started by the pointer", game->m_ControlMode, 2), Is("focus", game->m_MenuFocus, 1)});
}

// The wheel's hub is at (38, 416) at 640 x 480. At rest on item 1 the items stand at angles 16,
// 48 and 80 degrees, 140, 179 and 131 units out: item 0 at (76.6, 281.4), item 1 at
// (171.0, 296.2), item 2 at (167.0, 393.3). A tap selects an item, a tap on the selected one
// starts a game, and a drag spins the wheel, which comes to rest on an item.
TEST_F(Play, TheWheelSpinsWhenDraggedSelectsATappedItemAndStartsOnATapOnTheSelectedOne) {
  Click(167, 393);
  ExpectAll({Is("a tap on item 2", game->m_MenuSel, 2),
             Is("a tap on another item starts nothing", game->m_GameMode, 1), Is("its sound", Plays(99), 1)});
  Update(40);
  EXPECT_EQ(game->m_MenuSpin, -64) << "the wheel turns to item 2 and rests";
  Click(171, 296); // item 2 now stands where item 1 stood
  ExpectAll({Is("a tap on the selected item starts a game", game->m_GameMode, 10),
             Is("of item 2's length", game->m_GameLength, 3), Is("by the pointer", game->m_ControlMode, 2)});
  // Presses clear of every item, inside the 500-unit box around the hub.
  const struct {
    const char* name;
    float x, y, dx, dy;
    int rests;
  } drags[] = {{"right and down turns the wheel back", 100, 200, 10, 10, 0},
               {"left and up turns it on", 250, 380, -10, -10, 2}};
  for (const auto& d : drags) {
    SCOPED_TRACE(d.name);
    game->m_GameMode = 1, game->m_MenuSel = 1, game->m_MenuAngle = game->m_MenuSpin = -32;
    game->m_MenuSpinVel = 0, game->m_MenuFocus = 0, Update(2);
    float x = d.x, y = d.y, fastest = 0;
    Pointer(4, x, y);
    for (int i = 0; i < 10; ++i)
      Pointer(6, x += d.dx, y += d.dy), fastest = std::max(fastest, std::fabs(game->m_MenuSpinVel));
    Pointer(5, x, y), Update(60);
    EXPECT_GT(fastest, 10) << "the drag set the wheel spinning";
    ExpectAll({Is("item", game->m_MenuSel, d.rests),
               Is("at rest on the item", game->m_MenuSpin, -32.0 * d.rests),
               Is("a drag focuses the wheel", game->m_MenuFocus, 1),
               Is("a drag starts nothing", game->m_GameMode, 1)});
  }
}

// Escape (the back control) on the menu saves and ends the program; with the score panel open it
// only closes it, however long it is held and whatever else is held (the options box: below). The
// program's end is watched in a child process: it ends with status 0, or with 3 when it went on.
// Opens the panel, then holds Down and Escape, one after the other, for 150 updates.
void HoldBackAndDown(c_MyApp* game, bool downFirst) {
  game->m_SidePanelOpen = 1, RunUpdates(5);
  Press(downFirst ? kDown : kEscape), RunUpdates(40); // the panel scrolls faster while Down is held
  Press(downFirst ? kEscape : kDown), RunUpdates(150);
}
TEST_F(Play, ABackPressThatClosesThePanelNeverAlsoEndsTheProgram) {
  for (bool downFirst : {true, false}) {
    SCOPED_TRACE(downFirst ? "Down held, then Escape" : "Escape held, then Down");
    auto held = [&] { HoldBackAndDown(game, downFirst), std::exit(game->m_SidePanelOpen == 0 ? 3 : 4); };
    EXPECT_EXIT(held(), ::testing::ExitedWithCode(3), "") << "closed, and the program went on";
    auto again = [&] {
      HoldBackAndDown(game, downFirst);
      Release(kEscape), Release(kDown), RunUpdates(2), Press(kEscape), RunUpdates(2);
      std::exit(3);
    };
    EXPECT_EXIT(again(), ::testing::ExitedWithCode(0), "") << "let go and pressed again on the menu, it ends";
  }
}

// The wheel's key repeat lets go of the key latch; with the panel open it must not, or the key
// that opened the panel, still held, closes it again while Down scrolls the credits.
TEST_F(Play, KeysHeldWithThePanelOpenNeverRepeat) {
  game->m_MenuFocus = 2, Press(kSelect), Update();
  ASSERT_EQ(game->m_SidePanelOpen, 1);
  Press(kDown), Update(100);
  EXPECT_EQ(game->m_SidePanelOpen, 1);
  EXPECT_EQ(game->m_MenuSel, 1) << "the wheel does not step behind the panel";
  Release(kDown), Release(kSelect), game->m_SidePanelOpen = 0;
}

// The back key closes the options box once it has slid in, even while an arrow key is held (that
// keeps the box's own key latch set); the press that closed it does not also end the program.
// A back key already held as the box opens does not close it.
TEST_F(Play, BackClosesTheOptionsBoxWithAnArrowHeldButNotWhenHeldAsItOpens) {
  game->m_GameMode = 1, game->m_OptionsOpen = 1, game->m_OptionsSlide = 30;
  Press(kDown), Update(3);
  EXPECT_EQ(game->m_OptionsOpen, 1) << "Down alone closed the box";
  Press(kEscape), Update();
  EXPECT_EQ(game->m_OptionsOpen, 0) << "Escape with Down held left the box open";
  Update(40); // both still held while the box slides away and the menu runs
  EXPECT_EQ(game->m_OptionsSlide, 0) << "the box did not slide away";
  Release(kEscape), Release(kDown), Update();
  Press(kEscape), game->m_OptionsOpen = 1, Update(40);
  ExpectAll({Is("the box slid in", game->m_OptionsSlide, 30),
             Is("open, though the Escape was held as it opened", game->m_OptionsOpen, 1)});
  Release(kEscape), Update(), Press(kEscape), Update();
  EXPECT_EQ(game->m_OptionsOpen, 0) << "a new Escape left the box open";
}

// A window can leave full screen without the game (a browser's own Escape): the option follows
// it, and the next switch goes full screen again. A window that cannot tell leaves the game's own.
TEST_F(Play, TheFullScreenOptionFollowsTheWindow) {
  game->m_OptionsOpen = 1, game->m_OptionsSlide = 30, game->m_Fullscreen = 0;
  host->windows.clear();
  Click(300, 220);
  host->fullscreen = 1, Update();
  EXPECT_EQ(game->m_Fullscreen, 1) << "full screen as asked";
  host->fullscreen = 0, Update();
  EXPECT_EQ(game->m_Fullscreen, 0) << "the option still said full screen after the window left it";
  Click(300, 220);
  EXPECT_EQ(host->windows, (std::vector<std::string>{"1280x1024 full", "1280x1024 full"}));
  host->fullscreen = -1, game->m_Fullscreen = 1, Update();
  EXPECT_EQ(game->m_Fullscreen, 1) << "a window that cannot tell changed the option";
  game->m_Fullscreen = 0, game->m_OptionsOpen = 0, host->windows.clear();
  Update(40);
}

// Rows at y 140, 180, 220, 260, 300: sound mode, key-pair controller, full screen, stick flips.
TEST_F(Play, OptionRowsCycleSoundSwitchControllerScreenAndFlips) {
  game->m_OptionsOpen = 1, game->m_OptionsSlide = 30, game->m_Settings[15] = game->m_Settings[16] = 0;
  Ints modes;
  for (int i = 0; i < 4; ++i) Click(300, 140), modes.push_back(game->m_Settings[5]);
  game->m_OptionsSel = 1, Press(kEnter), Update(3), Release(kEnter), Update(); // once, on its row only
  modes.push_back(game->m_Settings[5]);
  EXPECT_EQ(modes, (Ints{2, 3, 0, 1, 2})) << "the sound mode after each press";
  Click(300, 260), Click(300, 300), Click(300, 300);
  ExpectAll({Is("left stick flipped once", game->m_Settings[15], 1),
             Is("right stick twice", game->m_Settings[16], 0),
             Is("no row of its own", game->m_Settings[17], 0)});
  game->m_VButtons[10] = 2, game->m_VButtons[19] = 1;
  Click(300, 180); // on, with every controller button let go
  ExpectAll({Is("key-pair controller", zu_Tessel_iCadeControls, 1), Is("button 10", game->m_VButtons[10], 0),
             Is("button 19", game->m_VButtons[19], 0)});
  game->m_VButtons[10] = 2, Click(300, 180); // a held controller button never locks the box
  EXPECT_EQ(zu_Tessel_iCadeControls, 0);
  Click(300, 220), Click(300, 220); // full screen at the desktop's size, and back
  EXPECT_EQ(host->windows, (std::vector<std::string>{"1280x1024 full", "640x480 window"}));
  game->m_OptionsSel = 0, Press(kDown), Update(3), Release(kDown), Update(); // the cursor: one row a press
  const int row = game->m_OptionsSel;
  Tap(kUp), Tap(kEnter); // confirm on the gear's row closes the box
  const int closed = !game->m_OptionsOpen;
  game->m_OptionsOpen = 1, game->m_OptionsSlide = 30;
  Press(kEscape), Update(), Release(kEscape); // back closes the box and saves
  ExpectAll({Is("row", row, 1), Is("closed from the gear's row", closed, 1),
             Is("box", game->m_OptionsOpen, 0),
             Is("saved with sound mode 2", host->state.substr(0, 12), "0|0|0|0|0|2|")});
  game->m_GameMode = 10, game->m_TuneName = String("tune"), game->m_MusicOn = 1, audio->Clear();
  game->p_OptionsActivate(1); // in a game, from 2 (effects) to 3 (music): the tune starts
  ExpectAll(
      {Is("the tune", Calls("music quokka://data/sfx/tune.ogg 1"), 1), Is("music on", game->m_MusicOn, 1)});
  audio->Clear(), game->p_OptionsActivate(1); // and to 0 (off): it stops
  EXPECT_EQ(audio->calls, std::vector<std::string>{"stop music"});
  EXPECT_EQ(game->m_MusicOn, 0);
}

TEST_F(Play, ThePauseMenuResumesOnceSlidOutAndQuitRecordsTheScore) {
  Start(1);
  game->m_PenSpeed = 5.5f, Update(5), Tap(kEscape), Update(12), Tap(kRight);
  ExpectAll({Is("paused", game->m_Paused, 1), Is("slid in to mid-screen", game->m_PauseSlide, 240),
             Is("right: a quarter faster", game->m_PenSpeed, 5.75)});
  host->padButtons = 1 << 6, Update(), host->padButtons = 0, Update(); // a pad's back button resumes:
  // the menu slides out at 24 an update and the game plays on below -32
  const int paused = UpdatesWhile([&] { return game->m_Paused == 1; }, 50);
  ExpectAll({Is("one update went into the release", paused, 11), Is("slid out", game->m_PauseSlide, -48)});
  game->m_Score = 1234;
  Update(), Tap(kEscape), Update(12), Tap(kUp), Tap(kUp), Tap(kEnter); // up to quit, and no further
  ExpectAll({Is("quit, and no further", game->m_PauseSel, -1), Is("ended", game->m_GameEnded, 1),
             Is("by quitting", game->m_QuitGame, -1), Is("not paused", game->m_Paused, 0)});
  UpdatesToMenu();
  EXPECT_EQ(game->m_HighScores[30], 1234) << "newest of the 30-second game's last ten";
}

TEST_F(Play, SuspendPausesAGameAndSavesAndResumeComesBackPausedWithTheMenuShown) {
  EXPECT_EQ(startUp, "Data folder not found: /no/such/\nHighscores Loaded\nHighscores Loaded\n"); // said once
  game->m_GameMode = 10, game->m_Paused = 0, host->state.clear();
  for (int i = 0; i < 20; ++i) game->m_VButtons[i] = 2;
  host->SetKeyboardEnabled(true);
  game->p_OnSuspend();
  ExpectAll({Is("the keyboard let go", host->KeyboardEnabled(), false),
             Is("update rate", zu_app__updateRate, 5), Is("saved", host->state.empty(), false)});
  game->p_OnResume();
  ExpectAll({Is("update rate", zu_app__updateRate, 60), Is("paused", game->m_Paused, 1),
             Is("menu shown", game->m_PauseMenuShown, 1), Is("at mid-screen", game->m_PauseSlide, 240),
             Is("virtual buttons let go", game->m_VButtons[0], 0), Is("up to 18", game->m_VButtons[18], 0),
             Is("the back key's count is kept", game->m_VButtons[19], 2)});
  game->m_VButtons[19] = game->m_Paused = 0, game->m_HDScale = game->m_Down = 1, game->m_TouchY[0] = 16;
  for (int x : {32, 31}) { // the icon at (16, 16) spans 0..32
    game->m_TouchX[0] = x, game->m_TouchLatch = 0, game->m_Paused = 0, game->p_InGame();
    ExpectAll({Is("paused at x " + std::to_string(x), game->m_Paused, x < 32),
               Is("touch latch at x " + std::to_string(x), game->m_TouchLatch, x < 32)});
  }
  // One-update presses (1) of buttons 0..18 end with the update; held ones (2) stay; 19 is the back key.
  game->m_SidePanelOpen = 1, game->m_GameMode = 1, game->m_Down = 0, game->m_Paused = 0;
  for (int i = 0; i < 19; ++i) game->m_VButtons[i] = i == 5 ? 2 : 1;
  Press(416), Press(kEscape), Update();
  ExpectAll({Is("back closes the panel", game->m_SidePanelOpen, 0), Is("key latch", game->m_KeyLatch, 1),
             Is("touch latch", game->m_TouchLatch, 1), Is("a one-update press", game->m_VButtons[0], 0),
             Is("held", game->m_VButtons[5], 2), Is("button 18's one-update press", game->m_VButtons[18], 0),
             Is("the back key's hit", game->m_VButtons[19], 1)});
  game->m_SidePanelOpen = 1, Update(); // held: does not act again
  EXPECT_EQ(game->m_SidePanelOpen, 1);
  Release(kEscape), Release(416), game->m_VButtons[5] = 0, Update();
  EXPECT_EQ(game->m_KeyLatch, 0);
  game->m_SidePanelOpen = 0;
}

TEST_F(Play, TheVirtualScreenFitsTheLargerScaleAndDetailFollowsTheDevice) {
  // Device size, scale, virtual size, detail level: 2 from 631 pixels either way, 4 from 1231.
  const struct {
    int w, h;
    float scale, vw, vh;
    int level;
  } cases[] = {{640, 480, 1, 640, 480, 2},
               {480, 640, 640.0f / 720, 540, 720, 2},
               {1280, 720, 2, 640, 360, 4},
               {630, 630, 630.0f / 480, 480, 480, 1},
               {631, 400, 631.0f / 640, 640, 405.71f, 2},
               {400, 631, 631.0f / 720, 456.42f, 720, 2},
               {1231, 400, 1231.0f / 640, 640, 207.96f, 4},
               {1230, 1230, 1230.0f / 480, 480, 480, 2},
               {0, 0, 1230.0f / 480, 480, 480, 2},
               {1231, 1, 1231.0f / 640, 640, 0.52f, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
    Resize(c.w, c.h), game->p_PickDetailLevel();
    EXPECT_NEAR(game->m_ScaleY, c.scale, 1e-4) << "scale";
    EXPECT_NEAR(zu_Tessel_jscrw, c.vw, 1e-2) << "virtual width";
    EXPECT_NEAR(zu_Tessel_jscrh, c.vh, 1e-2) << "virtual height";
    ExpectAll({Is("detail", game->m_HDLevel, c.level), Is("its scale", game->m_HDScale, 1.0f / c.level),
               Is("the pause menu's layout", game->m_Landscape, c.vh <= c.vw)});
  }
  EXPECT_EQ(game->m_LoadStep, 1); // a new size reloads: 20 updates, then the screen carries on
  game->m_GameMode = 10, game->m_Paused = 1;
  const int updates = UpdatesWhile([&] { return game->m_LoadStep > 0; }, 100);
  ExpectAll({Is("updates reloading", updates, 20), Is("the game carries on", game->m_GameMode, 10)});
  game->m_GameMode = 1, Resize(1231, 400), Update(30), Resize(1231, 400); // room for one line
  game->m_HighScores[10] = 5, game->m_HighScores[40] = 7, Update();
  EXPECT_NE(TextAt(-1, 0, 1e9).find("Highscore5Last7"), std::string::npos) << TextAt(-1, 0, 1e9);
}

// Every glyph of both score lists, seven-digit scores included, lies inside the panel (right of
// its bar) and the screen, at every shape of screen; the headings start 20 units into the panel.
TEST_F(Play, TheScoreListsStayInsideThePanelAtEverySize) {
  const struct {
    int w, h;
    const char* heading; // the top ten's heading: as many lines as fit below it, at most 10
  } sizes[] = {{640, 480, "Top10"}, {480, 640, "Top10"}, {1280, 720, "Top6"}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(std::to_string(size.w) + "x" + std::to_string(size.h));
    Resize(size.w, size.h), Update(25);
    ASSERT_EQ(game->m_LoadStep, 0);
    game->m_GameMode = 1, game->m_MenuIntro = 0, game->m_SidePanelOpen = 0, game->m_SidePanelX = 0;
    game->m_MenuSel = 1;
    for (int k = 0; k < 10; ++k)
      game->m_HighScores[10 + k] = 9876543 - k, game->m_HighScores[40 + k] = 1234567 + k;
    Update(2);
    const float w = zu_Tessel_jscrw, h = zu_Tessel_jscrh, left = w - 140;
    int glyphs = 0, outside = 0;
    float firstX = 0;
    std::string top, last;
    for (int i = 0; i < Records(); ++i) {
      const float* r = Record(i);
      const bool listed = r[0] == kFontSlot && r[11] > 199 && r[12] == 100 && (r[10] == 255 || r[10] == 200);
      if (!listed) continue;
      const float half = 8 * r[4]; // the glyph's 16-unit cell as drawn
      ++glyphs;
      outside += r[1] - half < left + 3 || r[1] + half > w || r[2] - half < 0 || r[2] + half > h;
      if (top.empty() && r[10] == 255) firstX = r[1];
      (r[10] == 255 ? top : last) += static_cast<char>(32 + r[6]);
    }
    EXPECT_GT(glyphs, 2 * 7 + 8) << "two headings and a score each at least";
    EXPECT_EQ(outside, 0) << "glyphs outside the panel or the screen, of " << glyphs;
    EXPECT_EQ(top.substr(0, std::string(size.heading).size()), size.heading) << top;
    EXPECT_NE(top.find("9876543"), std::string::npos) << top;
    EXPECT_NE(last.find("1234567"), std::string::npos) << last;
    EXPECT_NEAR(firstX, left + 20 + 7 * 1.5f, 0.01) << "the heading's first letter, after the leading space";
  }
}

} // namespace
