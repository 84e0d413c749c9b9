// tests/app/display_modes_test.cpp — display modes listed from the host.
#include <gtest/gtest.h>

#include "app/app.h"

namespace {

class ModeHost : public ZuGame {
public:
  std::vector<std::pair<int, int>> modes;
  bool desktop = true;
  Array<ZuDisplayMode*> GetDisplayModes() override {
    Array<ZuDisplayMode*> out(static_cast<int>(modes.size()));
    for (size_t i = 0; i < modes.size(); ++i) {
      ZuDisplayMode* m = new ZuDisplayMode;
      m->width = modes[i].first;
      m->height = modes[i].second;
      gc_assign(out[static_cast<int>(i)], m);
    }
    return out;
  }
  ZuDisplayMode* GetDesktopMode() override {
    if (!desktop) return nullptr;
    ZuDisplayMode* m = new ZuDisplayMode;
    m->width = 1920;
    m->height = 1080;
    return m;
  }
};

TEST(DisplayModes, DuplicatesCollapseInFirstSeenOrder) {
  ModeHost host;
  zu_app__game = &host;
  // 800 x 600 at two colour depths, then others; the host lists them as it likes.
  host.modes = {{1024, 768}, {800, 600}, {640, 480}, {800, 600}, {1024, 768}, {1280, 1024}};
  zu_app_EnumDisplayModes();
  ASSERT_EQ(zu_app__displayModes.Length(), 4);
  int expected[4][2] = {{1024, 768}, {800, 600}, {640, 480}, {1280, 1024}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(zu_app__displayModes[i]->m__width, expected[i][0]);
    EXPECT_EQ(zu_app__displayModes[i]->m__height, expected[i][1]);
  }
  EXPECT_EQ(zu_app__desktopMode->m__width, 1920);

  host.modes.clear();
  host.desktop = false;
  zu_app__devWidth = 640;
  zu_app__devHeight = 480;
  zu_app_EnumDisplayModes();
  EXPECT_EQ(zu_app__displayModes.rep, &Array<c_DisplayMode*>::nullRep);
  EXPECT_EQ(zu_app__desktopMode->m__width, 640); // no desktop mode: the device size
  EXPECT_EQ(zu_app__desktopMode->m__height, 480);
  zu_app__game = nullptr;
}

} // namespace
