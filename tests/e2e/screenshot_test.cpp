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
TEST_F(Screenshots, MenuGameAndPauseMenuAreWrittenAt640x480) {
  const fs::path folder = LEXORM_SCREENSHOTS;
  fs::create_directories(folder);
  Program p;
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
