// tests/e2e/damaged_data_test.cpp — the real program beside a data folder holding a damaged file.
#include "program.h"

#include <stb_image_write.h>

using namespace e2e;

namespace {

class DamagedData : public UnderWindowManager {};

// A PNG of 1 x 1 pixels, whole and decodable.
std::string OnePixel() {
  std::string png;
  const unsigned char rgba[4] = {200, 100, 50, 255};
  stbi_write_png_to_func(
      [](void* to, void* data, int n) { static_cast<std::string*>(to)->append(static_cast<char*>(data), n); },
      &png, 1, 1, 4, rgba, 4);
  return png;
}
int Occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The tile sheet of the 640 x 480 window (Bubbles-hd.png) decodes to 1 x 1 pixels, far too small
// for its 64 tiles: the program names it in one line, reaches the menu, and a game starts and
// takes a traced chain (its tiles are not drawn, the board is there), then pauses.
TEST_F(DamagedData, ATileSheetTooSmallForItsTilesIsNamedAndTheGameGoesOn) {
  Program p(Launch{AllShortWords(), {}, {}, {{"Bubbles-hd.png", OnePixel()}}});
  ASSERT_TRUE(p.WaitMenu()) << p.Output();
  const std::string file = (fs::canonical(p.dir) / "data" / "Bubbles-hd.png").string();
  const std::string out = p.Output();
  EXPECT_EQ(Occurrences(out, "Bubbles-hd.png"), 1) << out;
  EXPECT_EQ(Occurrences(out, "LoadImg: image too small for its frames " + file +
                                 ": 1 x 1 pixels for 64 frames of 64 x 64\n"),
            1)
      << out;
  p.Key("space");
  // The clock and score line show; a chain traced on the board is printed as it ends.
  EXPECT_TRUE(p.WaitFrame([](const Frame& f) { return !MenuAtRest(f) && !LoadingScreen(f); })) << "no game";
  EXPECT_TRUE(p.Wait([&] {
    p.Drag({CellCentre(0, 6), CellCentre(1, 6)});
    return !Chains(p.Output()).empty();
  })) << "no chain was taken on the board";
  p.Key("Escape");
  EXPECT_TRUE(p.WaitFrame(PauseMenu)) << "no pause menu";
  EXPECT_TRUE(p.Running()) << "ended with status " << p.status << ": " << p.Output();
  EXPECT_EQ(Occurrences(p.Output(), "Runtime Error"), 0) << p.Output();
}

} // namespace
