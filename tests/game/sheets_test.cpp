// tests/game/sheets_test.cpp — the game's image sheets loaded from a data folder: pictures too small for
// their frames.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <stb_image_write.h>

#include "app/app.h"
#include "game/globals.h"
#include "game/my_app.h"
#include "graphics/device.h"
#include "graphics/drawing.h"
#include "graphics/image.h"
#include "host/desktop_game.h"
#include "tests/support/runtime_output.h"
#include "tests/support/temp_files.h"

namespace {

namespace fs = std::filesystem;
using Ints = std::vector<int>;

// The real host's loader over a data folder of the test's own.
class FolderHost : public ZuGlfwGame {
public:
  fs::path data;
  String PathToFilePath(const String& path) override {
    const String prefix("quokka://data/");
    if (!path.StartsWith(prefix)) return path;
    return String((data.string() + "/").c_str()) + path.Slice(prefix.Length());
  }
};

// An opaque RGBA picture of w x h.
void WritePicture(const fs::path& file, int w, int h) {
  fs::create_directories(file.parent_path());
  const std::vector<unsigned char> rgba(static_cast<size_t>(w) * h * 4, 200);
  ASSERT_NE(stbi_write_png(file.c_str(), w, h, 4, rgba.data(), w * 4), 0) << file;
}

class Sheets : public ::testing::Test {
protected:
  static inline TempDir* tmp = nullptr;
  static inline FolderHost* host = nullptr;
  static inline c_MyApp* app = nullptr;
  static void SetUpTestSuite() {
    tmp = new TempDir("sheets");
    host = new FolderHost;
    host->data = tmp->path / "data";
    zu_app_InitGlobals();
    zu_Tessel_InitGlobals();
    zu_graphics_SetGraphicsDevice(new gxtkGraphics); // no window: surfaces keep their pixels only
    app = (new c_MyApp)->m_new();
    // A run-time error's debug stop must end the process, not wait for input.
    if (!std::freopen("/dev/null", "r", stdin)) app = nullptr;
  }
  static void TearDownTestSuite() { delete tmp; }
  void SetUp() override { ASSERT_NE(app, nullptr); }
  // What the loader says of a picture too small for its frames.
  std::string TooSmall(const std::string& file, int w, int h, int frames, int fw, int fh) {
    return "LoadImg: image too small for its frames " + (host->data / file).string() + ": " +
           std::to_string(w) + " x " + std::to_string(h) + " pixels for " + std::to_string(frames) +
           " frames of " + std::to_string(fw) + " x " + std::to_string(fh) + "\n";
  }
};

// A sheet whose picture holds its frames loads (frames row by row, as many rows as needed); one
// too small for them (fewer columns times rows, narrower than a frame, the 1 x 1 damaged file)
// leaves the slot empty with one line naming the file, and the game goes on. The sizes asked
// for are kept either way.
TEST_F(Sheets, APictureTooSmallForItsFramesLeavesTheSlotEmptyWithOneLine) {
  const struct {
    const char* file;
    int level, w, h; // the picture
    int frameW, frameH, frames;
    bool loads;
    std::pair<int, int> last; // the last frame's corner when it loads
  } cases[] = {
      {"Bubbles-hd.png", 2, 1, 1, 32, 32, 64, false, {}},
      {"Bubbles.png", 1, 256, 256, 32, 32, 64, true, {224, 224}},
      {"Bubbles.png", 1, 224, 320, 32, 32, 64, true, {0, 288}},
      {"Bubbles.png", 1, 255, 256, 32, 32, 64, false, {}},
      {"Bubbles.png", 1, 31, 4096, 32, 32, 64, false, {}},
      {"Bubbles-hd2.png", 4, 1024, 1024, 32, 32, 64, true, {896, 896}},
  };
  for (const auto& k : cases) {
    const std::string file = k.file;
    SCOPED_TRACE(file + " " + std::to_string(k.w) + " x " + std::to_string(k.h));
    WritePicture(host->data / file, k.w, k.h);
    app->m_HDLevel = k.level;
    const std::string stem = file.substr(0, file.find_first_of("-."));
    const int fw = k.level * k.frameW, fh = k.level * k.frameH;
    const std::string out =
        StdoutOf([&] { app->p_LoadImg(1, String(stem.c_str()), k.frameW, k.frameH, k.frames, 1); });
    c_Image* image = app->m_Images[1];
    EXPECT_EQ((Ints{app->m_ImageInfo[3], app->m_ImageInfo[4], app->m_ImageInfo[5]}),
              (Ints{fw, fh, k.frames}));
    EXPECT_EQ(out, k.loads ? "" : TooSmall(file, k.w, k.h, k.frames, fw, fh));
    if (!k.loads) {
      EXPECT_EQ(image, nullptr);
      continue;
    }
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->m_frames.Length(), k.frames);
    c_Frame* last = image->m_frames[k.frames - 1];
    EXPECT_EQ(std::make_pair(last->m_x, last->m_y), k.last);
    EXPECT_EQ((Ints{image->m_width, image->m_height}), (Ints{fw, fh}));
  }
}

// The same damaged sheet loaded again (a new window reloads the images) says nothing more. A font
// strip too small for its 128 glyphs is refused the same way; the font slot is still the one the
// text uses (and draws nothing), with the advance and height given.
TEST_F(Sheets, ADamagedSheetOrFontIsNamedOnceAndLeavesItsSlotEmpty) {
  WritePicture(host->data / "menu-hd.png", 3, 3);
  WritePicture(host->data / "fonts" / "shadow_editundo-hd.png", 1, 1);
  app->m_HDLevel = 2, app->m_FontImage = 0;
  const std::string out = StdoutOf([&] {
    for (int i = 0; i < 3; ++i) app->p_LoadImg(99, String("menu"), 256, 256, 4, 1);
  });
  EXPECT_EQ(out, TooSmall("menu-hd.png", 3, 3, 4, 512, 512));
  EXPECT_EQ(app->m_Images[99], nullptr);
  const std::string font = StdoutOf([&] { app->p_LoadFont(90, String("fonts/shadow_editundo"), 7, 10); });
  EXPECT_EQ(font, TooSmall("fonts/shadow_editundo-hd.png", 1, 1, 128, 32, 32));
  EXPECT_EQ(app->m_Images[90], nullptr);
  EXPECT_EQ(app->m_FontImage, 90);
  EXPECT_EQ((Ints{app->m_ImageInfo[270], app->m_ImageInfo[271], app->m_ImageInfo[272]}), (Ints{7, 10, 128}));
}

} // namespace
