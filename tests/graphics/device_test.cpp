// tests/graphics/device_test.cpp — the graphics device and its surfaces over real OpenGL (Mesa
// under the test display), checked through pixels read back and the device's draw counters.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

#include <stb_image_write.h>

#include "graphics/device.h"
#include "graphics/surface.h"
#include "host/desktop_game.h"
#include "tests/support/temp_files.h"

namespace {

constexpr int kW = 320, kH = 240;

uint32_t Argb(int a, int r, int g, int b) {
  return static_cast<uint32_t>(a) << 24 | static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 |
         static_cast<uint32_t>(b);
}
uint32_t Rgb(int r, int g, int b) { return Argb(255, r, g, b); } // opaque, as every window pixel is
const uint32_t kBlack = Rgb(0, 0, 0), kWhite = Rgb(255, 255, 255);

// "aarrggbb" for readable failures.
std::string Hex(uint32_t p) {
  char s[16];
  std::snprintf(s, sizeof s, "%08x", p);
  return s;
}

// A window pixel and the colour it should have, each channel to within 1 (rounding).
struct Probe {
  int x, y;
  uint32_t argb;
};

class Device : public ::testing::Test {
protected:
  static ZuGlfwGame* host;
  static gxtkGraphics* dev;
  static TempDir* files;

  static void OpenWindow() { host->SetGlfwWindow(kW, kH, 8, 8, 8, 8, 0, 0, false); }

  static void SetUpTestSuite() {
    ASSERT_TRUE(glfw2().Init()) << "no display";
    host = new ZuGlfwGame;
    host->SetDelegate(new ZuGameDelegate);
    host->SetSwapInterval(0);
    OpenWindow();
    dev = new gxtkGraphics;
    files = new TempDir("graphics");
  }
  static void TearDownTestSuite() {
    delete files;
    glfw2().Terminate();
  }

  // A fresh frame in the state the drawing module leaves at its BeginRender, on black.
  void SetUp() override {
    ASSERT_EQ((std::vector<int>{dev->BeginRender(), dev->Width(), dev->Height()}),
              (std::vector<int>{1, kW, kH}));
    dev->SetMatrix(1, 0, 0, 1, 0, 0);
    dev->SetColor(255, 255, 255);
    dev->SetAlpha(1);
    dev->SetBlend(0);
    dev->SetScissor(0, 0, kW, kH);
    dev->Cls(0, 0, 0);
  }
  void TearDown() override {
    dev->EndRender();
    gxtkSurface::refuseTextureSize = nullptr;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }

  // Reads each probed pixel through the device and checks it.
  static void ExpectPixels(std::initializer_list<Probe> probes) {
    for (const Probe& p : probes) {
      Array<int> px(1);
      dev->ReadPixels(px, p.x, p.y, 1, 1, 0, 1);
      uint32_t got = static_cast<uint32_t>(px[0]);
      bool near = true;
      for (int shift = 0; shift < 32; shift += 8)
        near = near && std::abs(static_cast<int>((got >> shift & 255) - (p.argb >> shift & 255))) <= 1;
      EXPECT_TRUE(near) << "at " << p.x << "," << p.y << ": got " << Hex(got) << ", want " << Hex(p.argb);
    }
  }

  // A 4 x 2 PNG: top row white, red, white at half alpha, transparent; bottom row green.
  static gxtkSurface* LoadTestImage() {
    std::vector<unsigned char> p = {255, 255, 255, 255, 255, 0, 0, 255, 255, 255, 255, 128, 9, 9, 9, 0};
    for (int i = 0; i < 4; ++i) p.insert(p.end(), {0, 255, 0, 255});
    std::string path = (files->path / "test.png").string();
    EXPECT_NE(stbi_write_png(path.c_str(), 4, 2, 4, p.data(), 4 * 4), 0);
    return dev->LoadSurface(String(path.c_str()));
  }
};
ZuGlfwGame* Device::host;
gxtkGraphics* Device::dev;
TempDir* Device::files;

TEST_F(Device, RectanglesPointsAndLinesLandOnTheirPixelsRowsTopToBottom) {
  dev->SetColor(255, 0, 0);
  dev->DrawRect(10, 20, 30, 40); // x 10..39, y 20..59
  dev->SetColor(0, 255, 0);
  dev->DrawRect(0, 0, 2, 1); // one row at the very top
  // 64 x 64 from the top-left corner, into an array at offset 3 with rows 70 apart.
  Array<int> px(3 + 64 * 70);
  dev->ReadPixels(px, 0, 0, 64, 64, 3, 70);
  auto at = [&](int x, int y) { return Hex(static_cast<uint32_t>(px[3 + y * 70 + x])); };
  const std::string red = Hex(Rgb(255, 0, 0)), green = Hex(Rgb(0, 255, 0)), black = Hex(kBlack);
  EXPECT_EQ((std::vector<std::string>{at(0, 0), at(1, 0), at(0, 1), at(10, 20), at(39, 59)}),
            (std::vector<std::string>{green, green, black, red, red}));
  EXPECT_EQ((std::vector<std::string>{at(9, 20), at(40, 20), at(10, 19), at(10, 60)}),
            (std::vector<std::string>{black, black, black, black}));
  EXPECT_EQ(px[0], 0); // before the offset: untouched

  dev->SetColor(255, 255, 255);
  dev->DrawPoint(5, 7); // at pixel centres
  dev->DrawLine(100, 12, 120, 12);
  ExpectPixels({{5, 7, kWhite}, {5, 6, kBlack}, {6, 7, kBlack}, {110, 12, kWhite}, {110, 13, kBlack}});
}

TEST_F(Device, ColoursArePremultipliedOrAddedByTheBlendMode) {
  dev->Cls(0, 0, 255);
  dev->SetColor(255, 0, 10);
  dev->SetAlpha(0.5f);
  dev->DrawRect(0, 0, 8, 8);
  dev->SetBlend(1);
  dev->SetColor(100, 100, 100);
  dev->SetAlpha(0.5f); // adds the premultiplied colour (50, 50, 50) as it is
  dev->DrawRect(20, 0, 8, 8);
  dev->SetColor(255, 0, 0);
  dev->SetAlpha(1);
  dev->DrawRect(20, 0, 4, 4); // red saturates
  dev->SetBlend(0);
  // Over blue: red 127, blue 5 + 255 * 128/255; alpha stays 1.
  ExpectPixels({{4, 4, Rgb(127, 0, 133)}, {26, 6, Rgb(50, 50, 255)}, {21, 1, Rgb(255, 50, 255)}});
}

TEST_F(Device, ScissorClipsWithYFlippedAndTheWholeWindowTurnsItOff) {
  dev->SetScissor(10, 20, 30, 5); // x 10..39, y 20..24 from the top
  EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
  dev->DrawRect(0, 0, 64, 64);
  dev->SetScissor(0, 0, kW, kH);
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
  dev->DrawRect(100, 100, 2, 2);
  ExpectPixels({{10, 20, kWhite}, {39, 24, kWhite}, {101, 101, kWhite}}); // inside; unclipped again
  ExpectPixels({{9, 22, kBlack}, {40, 22, kBlack}, {20, 19, kBlack}, {20, 25, kBlack}}); // outside
}

TEST_F(Device, ClsDropsPendingDrawsAndClearsWithAlphaOne) {
  dev->DrawRect(0, 0, 50, 50);
  long long calls = dev->drawCalls;
  dev->Cls(10, 20, 30);
  EXPECT_EQ(dev->batchCount, 0);
  dev->Flush();
  EXPECT_EQ(dev->drawCalls, calls);
  ExpectPixels({{25, 25, Rgb(10, 20, 30)}, {100, 100, Rgb(10, 20, 30)}});
}

TEST_F(Device, PixelRequestsOutsideTheArrayOrTheSurfaceMoveNothing) {
  dev->DrawRect(0, 0, 8, 8);
  Array<int> px(4);
  const int cases[][4] = {{0, 2, 3, 2},  {1, 2, 2, 2},       {-1, 1, 1, 1},
                          {1, 1, 3, -1}, {0, 1, 2, INT_MAX}, {0, 0, 1, 1}};
  for (auto [offset, w, h, pitch] : cases) { // offset, width, height, pitch
    dev->ReadPixels(px, 0, 0, w, h, offset, pitch);
    EXPECT_EQ((std::vector<int>(px.begin(), px.end())), (std::vector<int>{0, 0, 0, 0})) << offset << " " << w;
  }
  dev->ReadPixels(px, 0, 0, 1, 2, 3, -3); // a negative pitch that stays inside: rows upwards
  EXPECT_EQ(static_cast<uint32_t>(px[0]), kWhite);

  gxtkSurface* s = dev->CreateSurface(3, 3);
  Array<int> blue(9);
  for (int& p : blue) p = static_cast<int>(Rgb(0, 0, 255));
  dev->WritePixels2(s, blue, 2, 2, 2, 2, 0, 2);  // past the right and bottom edges
  dev->WritePixels2(s, blue, -1, 0, 2, 2, 0, 2); // before the left edge
  dev->WritePixels2(s, blue, 0, 0, 3, 3, 1, 3);  // more than the array holds
  EXPECT_EQ(s->pixels, nullptr);                 // nothing was written, so no pixel copy either
  s->Discard();
}

TEST_F(Device, PngSurfaceIsPremultipliedTintedAndFaded) {
  gxtkSurface* s = LoadTestImage();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ((std::vector<int>{s->Width(), s->Height(), s->depth}), (std::vector<int>{4, 2, 4}));
  // Premultiplied in memory: white at alpha 128 is 128, 128, 128, 128; transparent is 0.
  EXPECT_EQ(std::vector<int>(s->pixels + 8, s->pixels + 16),
            (std::vector<int>{128, 128, 128, 128, 0, 0, 0, 0}));
  EXPECT_EQ(dev->LoadSurface(String((files->path / "missing.png").c_str())), nullptr);

  // Each texel 8 x 8 pixels. Tinted orange at full alpha over black.
  dev->SetColor(255, 128, 0);
  dev->SetMatrix(8, 0, 0, 8, 0, 0);
  dev->DrawSurface(s, 0, 0);
  // Faded white over blue, below.
  dev->SetColor(0, 0, 200);
  dev->SetMatrix(1, 0, 0, 1, 0, 0);
  dev->DrawRect(0, 40, 32, 16);
  dev->SetColor(255, 255, 255);
  dev->SetAlpha(0.5f);
  dev->SetMatrix(8, 0, 0, 8, 0, 40);
  dev->DrawSurface(s, 0, 0);
  // Tinted: white, red, half-alpha white (premultiplied), transparent, green, beyond the surface.
  ExpectPixels({{4, 4, Rgb(255, 128, 0)},
                {12, 4, Rgb(255, 0, 0)},
                {20, 4, Rgb(128, 64, 0)},
                {28, 4, kBlack},
                {4, 12, Rgb(0, 128, 0)},
                {36, 4, kBlack}});
  ExpectPixels({{4, 44, Rgb(127, 127, 227)}, {28, 44, Rgb(0, 0, 200)}}); // faded over blue; transparent
}

TEST_F(Device, SurfaceIsRebuiltFromItsPixelsInANewContext) {
  gxtkSurface* s = LoadTestImage();
  ASSERT_NE(s, nullptr);
  int seq = glfwGraphicsSeq;
  dev->EndRender();
  OpenWindow(); // new window, new context
  ASSERT_EQ(glfwGraphicsSeq, seq + 1);
  SetUp();
  dev->SetMatrix(8, 0, 0, 8, 0, 0);
  dev->DrawSurface2(s, 0, 0, 1, 0, 3, 2); // from the red texel on
  dev->Flush();
  EXPECT_EQ(s->contextSeq, seq + 1);
  ExpectPixels(
      {{4, 4, Rgb(255, 0, 0)}, {12, 4, Rgb(128, 128, 128)}, {20, 4, kBlack}, {4, 12, Rgb(0, 255, 0)}});
  s->Discard();
  EXPECT_EQ(s->pixels, nullptr);
}

TEST_F(Device, WrittenPixelsOfAnOddWidthSurfaceAreKeptPremultipliedAndDrawn) {
  gxtkSurface* s = dev->CreateSurface(3, 3);
  EXPECT_EQ(s->pixels, nullptr);
  Array<int> src(1 + 9);
  for (int i = 0; i < 9; ++i) src[1 + i] = static_cast<int>(Rgb(0, 0, 255)); // blue
  dev->WritePixels2(s, src, 0, 0, 3, 3, 1, 3);                               // whole rows: one upload
  src[0] = static_cast<int>(Rgb(255, 255, 0));
  src[1] = static_cast<int>(Argb(128, 255, 0, 0));
  dev->WritePixels2(s, src, 1, 1, 2, 1, 0, 2); // part of a row: row by row
  ASSERT_NE(s->pixels, nullptr);
  const unsigned char* p = s->pixels + (1 * 3 + 2) * 4; // (2, 1): red at half alpha, premultiplied
  EXPECT_EQ((std::vector<int>{p[0], p[1], p[2], p[3]}), (std::vector<int>{128, 0, 0, 128}));

  dev->SetMatrix(8, 0, 0, 8, 0, 0);
  dev->DrawSurface(s, 0, 0);
  const uint32_t blue = Rgb(0, 0, 255);
  ExpectPixels({{4, 4, blue}, {12, 12, Rgb(255, 255, 0)}, {20, 12, Rgb(128, 0, 0)}, {20, 20, blue}});
}

TEST_F(Device, RefusedTextureSizeIsRetriedAtPowerOfTwo) {
  gxtkSurface::refuseTextureSize = [](int w, int h) { return w == 100 && h == 60; };
  gxtkSurface* s = dev->CreateSurface(100, 60);
  EXPECT_NE(s->contextSeq, glfwGraphicsSeq); // no texture memory until it is first drawn
  s->Bind();                                 // as its first drawing does
  GLint tw = 0, th = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &tw);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &th);
  EXPECT_EQ((std::vector<int>{tw, th}), (std::vector<int>{128, 64}));

  std::vector<int> fill(100 * 60, static_cast<int>(Rgb(0, 255, 0)));
  dev->WritePixels2(s, Array<int>(fill.data(), 100 * 60), 0, 0, 100, 60, 0, 100);
  dev->DrawSurface(s, 10, 10);
  // The image sits in the texture's top-left corner and fills exactly its quad.
  const uint32_t green = Rgb(0, 255, 0);
  ExpectPixels({{10, 10, green}, {109, 69, green}, {110, 40, kBlack}, {50, 70, kBlack}});
}

TEST_F(Device, ThreeHundredRectsAreTwoDrawsAndKindChangesStartNewBatches) {
  long long calls = dev->drawCalls, batches = dev->batchesDrawn;
  for (int i = 0; i < 256; ++i) dev->DrawRect(static_cast<float>(i), 0, 1, 1);
  EXPECT_EQ((std::vector<long long>{dev->batchCount, dev->drawCalls}), (std::vector<long long>{1024, calls}));
  for (int i = 256; i < 300; ++i) dev->DrawRect(static_cast<float>(i), 0, 1, 1);
  // The full batch of 256 quads is drawn only when the next quad needs room.
  EXPECT_EQ((std::vector<long long>{dev->batchCount, dev->drawCalls}),
            (std::vector<long long>{44 * 4, calls + 1}));
  dev->Flush();
  EXPECT_EQ((std::vector<long long>{dev->drawCalls, dev->batchesDrawn}),
            (std::vector<long long>{calls + 2, batches + 2}));
  ExpectPixels({{299, 0, kWhite}});

  dev->DrawPoint(1, 1);
  dev->DrawRect(2, 2, 1, 1);
  dev->DrawPoint(3, 3);
  dev->Flush();
  EXPECT_EQ(dev->batchesDrawn, batches + 5);
}

TEST_F(Device, BlendScissorAndTextureChangesFlushColourAndMatrixDoNot) {
  long long calls = dev->drawCalls;
  dev->DrawRect(0, 0, 1, 1);
  dev->SetColor(1, 2, 3);
  dev->SetAlpha(0.25f);
  dev->SetMatrix(2, 0, 0, 2, 5, 5);
  dev->DrawRect(0, 0, 1, 1);
  EXPECT_EQ((std::vector<long long>{dev->batchCount, dev->drawCalls}), (std::vector<long long>{8, calls}));
  dev->SetBlend(1);
  EXPECT_EQ(dev->drawCalls, calls + 1);
  dev->DrawRect(0, 0, 1, 1);
  dev->SetScissor(1, 1, 10, 10);
  EXPECT_EQ((std::vector<long long>{dev->batchCount, dev->drawCalls}),
            (std::vector<long long>{0, calls + 2}));
  dev->SetScissor(0, 0, kW, kH);
  dev->SetBlend(0);

  gxtkSurface* a = dev->CreateSurface(2, 2);
  gxtkSurface* b = dev->CreateSurface(2, 2);
  long long batches = dev->batchesDrawn;
  for (gxtkSurface* s : {a, a, b, a}) dev->DrawSurface(s, 0, 0);
  dev->Flush();
  EXPECT_EQ((std::vector<long long>{dev->drawCalls, dev->batchesDrawn}),
            (std::vector<long long>{calls + 5, batches + 3}));
  a->Discard();
  b->Discard();
}

TEST_F(Device, OvalSegmentCountsFollowTheRadiiOnScreen) {
  dev->DrawOval(0, 0, 4, 4);
  EXPECT_EQ(dev->batchKind, 12);
  long long calls = dev->drawCalls;
  dev->DrawOval(0, 0, 50, 50);
  dev->DrawOval(10, 10, 50, 50); // same kind: one batch, one fan each
  EXPECT_EQ((std::vector<long long>{dev->batchKind, dev->batchCount, dev->drawCalls}),
            (std::vector<long long>{48, 96, calls + 1}));
  dev->DrawOval(0, 0, 1e10f, -1e10f); // radii beyond any int: the most segments
  EXPECT_EQ(dev->batchKind, 1024);
  dev->Cls(0, 0, 0);
  dev->SetMatrix(2, 0, 0, 2, 0, 0); // transformed: radii measured on screen, 50 + 50
  dev->DrawOval(0, 0, 50, 50);
  EXPECT_EQ(dev->batchKind, 100);
  // The points lie on the ellipse: the first at angle 0 (right), a quarter on at the top.
  const gxtkVertex* v = dev->batchVertices;
  for (auto [i, x, y] : {std::tuple{0, 100.f, 50.f}, {25, 50.f, 0.f}}) {
    EXPECT_NEAR(v[i].x, x, 1e-3) << i;
    EXPECT_NEAR(v[i].y, y, 1e-3) << i;
  }
}

TEST_F(Device, PolygonsOfNoneOrTooManyVerticesDrawNothing) {
  dev->DrawPoly(Array<float>());
  dev->DrawPoly(Array<float>(1025 * 2));
  EXPECT_EQ(dev->batchCount, 0);
  dev->DrawPoly(Array<float>(1024 * 2)); // the most a batch takes
  long long calls = dev->drawCalls;
  float tri[] = {0, 0, 10, 0, 0, 10};
  dev->DrawPoly(Array<float>(tri, 6)); // three vertices: kind 3
  EXPECT_EQ(dev->batchKind, 3);
  EXPECT_EQ(dev->drawCalls, calls + 1); // the 1024-gon, one fan
  ExpectPixels({{2, 2, kWhite}, {8, 8, kBlack}});
}

} // namespace
