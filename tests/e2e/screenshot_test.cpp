// tests/e2e/screenshot_test.cpp — the README's pictures, grabbed from the real window at 640 x 480.
#include "program.h"
#include <stb_image.h>

using namespace e2e;

namespace {

class Screenshots : public UnderWindowManager {};
// The size of the PNG in the file, 0 x 0 when it is not one.
std::pair<int, int> PngSize(const fs::path& file) {
  int w = 0, h = 0, channels = 0;
  return stbi_info(file.c_str(), &w, &h, &channels) ? std::pair{w, h} : std::pair{0, 0};
}

// The menu at rest, a game with a word being traced (two tiles taken with the keys), the pause
// menu: menu.png, game.png and pause.png in the build's screenshots folder, which `make
// screenshots` optimises into docs/screenshots.
// A player's progress to show on the menu: the 60-second tables after ten games (group 1's sum
// worked out by hand: the sum of (k + 4) times both entries k, 98603), "QUIZ" (76) the best
// and "ORANGES" (63) the longest word; default settings (sum 5 + 640 + 704 + 120 + 14 = 1483).
std::string Progress() {
  std::string text = "0|0|0|0|0|1|0|0|0|0|64|64|10|0|1|0|0|0|0|0|0|0|0|0|0|1483|0|0|0|0|0|0|0|0|0|";
  auto zeroGroup = [] {
    std::string g;
    for (int i = 0; i < 21; ++i) g += "0|";
    return g;
  };
  text += zeroGroup();
  text += "1384|655|1120|1120|968|204|812|968|655|96|540|433|433|1384|310|540|204|812|96|310|98603|";
  for (int g = 2; g < 8; ++g) text += zeroGroup();
  text += "|0||0|QUIZ|76|ORANGES|63|"; // 30 seconds: none; 60 seconds
  for (int i = 4; i < 100; ++i) text += "|0|";
  return text;
}

TEST_F(Screenshots, MenuGameAndPauseMenuAreWrittenAt640x480) {
  const fs::path folder = LEXORM_SCREENSHOTS;
  fs::create_directories(folder);
  TempDir player("screenshots");
  ASSERT_EQ(StateProblems(Progress()), "");
  WriteFile(player.path / ".quokkastate", Progress());
  Program p(Launch{{}, {}, player.path});
  ASSERT_TRUE(p.WaitMenu()) << p.Output();
  std::vector<std::pair<std::string, Frame>> shots{{"menu.png", p.Grab()}};
  p.Key("space");
  ASSERT_TRUE(p.WaitFrame(FullBoard)) << "no board";
  const int inkBefore = p.Grab().Count(196, 18, 340, 46, Yellow);
  for (const char* key : {"space", "Up", "space"}) p.Key(key); // from the middle tile upwards
  Frame game;
  ASSERT_TRUE(p.WaitFrame([&](const Frame& f) {
    game = f;
    return TilesInPlace(f) == 47 && f.Count(196, 18, 340, 46, Yellow) > inkBefore + 40;
  })) << "no word traced";
  shots.emplace_back("game.png", game);
  p.Key("Escape");
  Frame pause;
  ASSERT_TRUE(p.WaitFrame([&](const Frame& f) { return PauseMenu(pause = f); })) << "no pause menu";
  shots.emplace_back("pause.png", pause);
  for (const auto& [name, frame] : shots) {
    fs::remove(folder / name);
    EXPECT_TRUE(WritePng(frame, folder / name)) << name;
    EXPECT_EQ(PngSize(folder / name), (std::pair{640, 480})) << name;
  }
}

} // namespace
