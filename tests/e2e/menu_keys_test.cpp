// tests/e2e/menu_keys_test.cpp — Escape on the menu, and held over the credits panel and the options box.
#include "program.h"

using namespace e2e;

namespace {

class MenuKeys : public UnderWindowManager {};
// The score-and-credits panel drawn open: its dark face spans the top of the window, where the
// menu at rest shows the light backdrop and the logo.
bool PanelOpen(const Frame& f) { return f.w == 640 && f.Count(180, 0, 460, 40, Dark) > 280 * 40 * 9 / 10; }
bool PanelClosed(const Frame& f) { return MenuAtRest(f) && f.Count(180, 0, 460, 40, Dark) < 200; }
bool BoxClosed(const Frame& f) { return MenuAtRest(f) && !OptionsOpen(f); }
// Escape on the menu until the program ends, at most five presses: the menu takes no keys while
// a closed box still slides away (a sixth of a second, longer on a busy machine).
bool EndWithEscape(Program& p) {
  for (int i = 0; i < 5 && p.Running(); ++i) {
    p.Key("Escape");
    p.Exited(2000);
  }
  return !p.Running();
}

// The sound mode stepped in the options box and saved as it closes; the state file removed.
// Escape on the menu at rest writes the state again, whole, and ends the program with status 0.
TEST_F(MenuKeys, EscapeOnTheMenuSavesAndEndsWithStatusZero) {
  Program p;
  ASSERT_TRUE(p.WaitMenu()) << p.Output();
  p.Click(38, 416);
  ASSERT_TRUE(p.WaitFrame(OptionsOpen)) << "no options box";
  p.Click(300, 140); // SFX + Music to SFX
  ASSERT_TRUE(p.WaitFrame([](const Frame& f) { return SoundRowTail(f) < 10; })) << "no step";
  p.Key("Escape");
  ASSERT_TRUE(p.Wait([&] {
    const auto s = StateFields(p.StateFile());
    return s.size() == kStateFields && s[kSoundMode] == "2";
  })) << "closing the box did not save the sound mode: "
      << ReadFile(p.StateFile());
  ASSERT_TRUE(p.WaitFrame(BoxClosed)) << "the box stayed";
  ASSERT_TRUE(fs::remove(p.StateFile()));
  ASSERT_TRUE(p.Running()) << "the Escape that closed the box also ended the program";
  ASSERT_TRUE(EndWithEscape(p)) << "Escape on the menu did not end the program";
  EXPECT_EQ(p.status, 0) << p.Output();
  const std::string text = ReadFile(p.StateFile());
  EXPECT_EQ(StateProblems(text), "") << text;
  const auto s = Fields(text);
  ASSERT_EQ(s.size(), kStateFields) << text;
  EXPECT_EQ(s[kSoundMode], "2") << "the sound mode saved on leaving";
}

// With Down held (it scrolls the credits), a held Escape closes the panel or the box, and that
// press, repeating by itself for well over a second, never also ends the program. Let go and
// pressed again on the menu, Escape ends it with status 0.
TEST_F(MenuKeys, AHeldEscapeClosesThePanelOrTheOptionsBoxAndNothingMore) {
  struct Case {
    const char* name;
    std::function<void(Program&)> open;
    bool (*opened)(const Frame&);
    bool (*closed)(const Frame&);
  };
  const std::vector<Case> cases{
      {"the credits panel", [](Program& p) { p.Key("Right"), p.Key("Right"), p.Key("space"); }, PanelOpen,
       PanelClosed},
      {"the options box", [](Program& p) { p.Click(38, 416); }, OptionsOpen, BoxClosed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Program p;
    ASSERT_TRUE(p.WaitMenu()) << p.Output();
    c.open(p);
    ASSERT_TRUE(p.WaitFrame(c.opened)) << "it did not open";
    p.KeyDown("Down");
    Sleep(200);
    p.KeyDown("Escape");
    EXPECT_TRUE(p.WaitFrame(c.closed)) << "a held Escape did not close it";
    Sleep(1500); // the key repeats from about 0.7 s on
    EXPECT_TRUE(p.Running()) << "the held Escape ended the program, status " << p.status;
    p.KeyUp("Escape");
    p.KeyUp("Down");
    ASSERT_TRUE(p.Running()) << "letting go ended the program, status " << p.status;
    ASSERT_TRUE(p.WaitFrame(MenuAtRest)) << "no menu";
    ASSERT_TRUE(EndWithEscape(p)) << "Escape on the menu did not end the program";
    EXPECT_EQ(p.status, 0) << p.Output();
    EXPECT_EQ(StateProblems(ReadFile(p.StateFile())), "");
  }
}

} // namespace
