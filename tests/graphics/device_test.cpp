// tests/graphics/device_test.cpp — the graphics device and its surfaces over real OpenGL
// (Mesa under the test display): pixels read back, premultiplied and additive blending,
// scissor, Cls, PNG surfaces tinted and faded and rebuilt after a new window; batching
// checked through the device's draw-call counters.
// Depends on: graphics (device, surface), host (window, image loading), libstb (writing PNGs).
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include <stb_image_write.h>

#include "graphics/device.h"
#include "graphics/surface.h"
#include "host/desktop_game.h"

namespace {

constexpr int kW = 320, kH = 240;

uint32_t Argb(int a, int r, int g, int b) {
  return static_cast<uint32_t>(a) << 24 | static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 |
         static_cast<uint32_t>(b);
}

// "aarrggbb" for readable failures.
std::string Hex(uint32_t p) {
  char s[16];
  std::snprintf(s, sizeof s, "%08x", p);
  return s;
}

int Chan(uint32_t p, int shift) { return static_cast<int>(p >> shift & 255); }

::testing::AssertionResult Near(uint32_t got, uint32_t want, int tolerance = 1) {
  for (int shift = 0; shift < 32; shift += 8)
    if (std::abs(Chan(got, shift) - Chan(want, shift)) > tolerance)
      return ::testing::AssertionFailure() << "got " << Hex(got) << ", want " << Hex(want);
  return ::testing::AssertionSuccess();
}

class Device : public ::testing::Test {
protected:
  static ZuGlfwGame* host;
  static gxtkGraphics* dev;

  static void OpenWindow() { host->SetGlfwWindow(kW, kH, 8, 8, 8, 8, 0, 0, false); }

  static void SetUpTestSuite() {
    ASSERT_TRUE(glfw2().Init()) << "no display";
    host = new ZuGlfwGame;
    host->SetDelegate(new ZuGameDelegate);
    host->SetSwapInterval(0);
    OpenWindow();
    dev = new gxtkGraphics;
  }
  static void TearDownTestSuite() { glfw2().Terminate(); }

  // A fresh frame in the state the drawing module leaves at its BeginRender, on black.
  void SetUp() override {
    ASSERT_EQ(dev->BeginRender(), 1);
    ASSERT_EQ(dev->Width(), kW);
    ASSERT_EQ(dev->Height(), kH);
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

  // The window pixel (x, y), through the device.
  static uint32_t Pixel(int x, int y) {
    Array<int> p(1);
    dev->ReadPixels(p, x, y, 1, 1, 0, 1);
    return static_cast<uint32_t>(p[0]);
  }

  static std::string TempPng(const char* name, int w, int h, const std::vector<unsigned char>& rgba) {
    std::string path = ::testing::TempDir() + "lexorm_" + std::to_string(getpid()) + "_" + name;
    EXPECT_NE(stbi_write_png(path.c_str(), w, h, 4, rgba.data(), w * 4), 0);
    return path;
  }
};
ZuGlfwGame* Device::host;
gxtkGraphics* Device::dev;

// ============================================================================
// [SECTION] Pixels
// ============================================================================

TEST_F(Device, RectangleLandsInItsColourAtItsPlaceRowsTopToBottom) {
  dev->SetColor(255, 0, 0);
  dev->DrawRect(10, 20, 30, 40); // x 10..39, y 20..59
  dev->SetColor(0, 255, 0);
  dev->DrawRect(0, 0, 2, 1); // one row at the very top

  // 64 x 64 from the top-left corner, into an array at offset 3 with rows 70 apart.
  Array<int> px(3 + 64 * 70);
  dev->ReadPixels(px, 0, 0, 64, 64, 3, 70);
  auto at = [&](int x, int y) { return static_cast<uint32_t>(px[3 + y * 70 + x]); };
  const uint32_t red = Argb(255, 255, 0, 0), black = Argb(255, 0, 0, 0);
  EXPECT_EQ(Hex(at(0, 0)), Hex(Argb(255, 0, 255, 0)));
  EXPECT_EQ(Hex(at(1, 0)), Hex(Argb(255, 0, 255, 0)));
  EXPECT_EQ(Hex(at(0, 1)), Hex(black));
  EXPECT_EQ(Hex(at(10, 20)), Hex(red));
  EXPECT_EQ(Hex(at(39, 59)), Hex(red));
  EXPECT_EQ(Hex(at(25, 40)), Hex(red));
  EXPECT_EQ(Hex(at(9, 20)), Hex(black));
  EXPECT_EQ(Hex(at(40, 20)), Hex(black));
  EXPECT_EQ(Hex(at(10, 19)), Hex(black));
  EXPECT_EQ(Hex(at(10, 60)), Hex(black));
  EXPECT_EQ(px[0], 0); // before the offset: untouched
  // The same corner read alone, away from the origin.
  EXPECT_EQ(Hex(Pixel(39, 59)), Hex(red));
}

TEST_F(Device, PointsAndLinesHitTheirPixels) {
  dev->DrawPoint(5, 7);
  EXPECT_FLOAT_EQ(dev->batchVertices[0].x, 5.5f); // pixel centres
  EXPECT_FLOAT_EQ(dev->batchVertices[0].y, 7.5f);
  dev->DrawLine(0, 12, 20, 12);
  EXPECT_FLOAT_EQ(dev->batchVertices[1].y, 12.5f);
  EXPECT_EQ(Hex(Pixel(5, 7)), "ffffffff");
  EXPECT_EQ(Hex(Pixel(5, 6)), "ff000000");
  EXPECT_EQ(Hex(Pixel(6, 7)), "ff000000");
  EXPECT_EQ(Hex(Pixel(10, 12)), "ffffffff");
  EXPECT_EQ(Hex(Pixel(10, 13)), "ff000000");
}

TEST_F(Device, PremultipliedAlphaBlending) {
  dev->Cls(0, 0, 255);
  dev->SetColor(255, 0, 0);
  dev->SetAlpha(0.5f); // vertex (127, 0, 0, 127)
  dev->DrawRect(0, 0, 8, 8);
  // src + dst * (1 - 127/255): red 127, blue 255 * 128/255 = 128, alpha stays 1.
  EXPECT_TRUE(Near(Pixel(4, 4), Argb(255, 127, 0, 128)));
}

TEST_F(Device, AdditiveBlending) {
  dev->Cls(100, 50, 0);
  dev->SetBlend(1);
  dev->SetColor(100, 100, 100);
  dev->SetAlpha(0.5f); // adds the premultiplied colour (50, 50, 50) as it is
  dev->DrawRect(0, 0, 8, 8);
  dev->SetColor(200, 0, 0);
  dev->SetAlpha(1);
  dev->DrawRect(0, 0, 4, 4); // red saturates
  EXPECT_TRUE(Near(Pixel(6, 6), Argb(255, 150, 100, 50)));
  EXPECT_TRUE(Near(Pixel(1, 1), Argb(255, 255, 100, 50)));
  dev->SetBlend(0);
}

TEST_F(Device, ScissorClipsWithYFlipped) {
  dev->SetScissor(10, 20, 30, 5); // x 10..39, y 20..24 from the top
  EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
  dev->DrawRect(0, 0, 64, 64);
  dev->SetScissor(0, 0, kW, kH);
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
  dev->DrawRect(100, 100, 2, 2); // unclipped again
  EXPECT_EQ(Hex(Pixel(10, 20)), "ffffffff");
  EXPECT_EQ(Hex(Pixel(39, 24)), "ffffffff");
  EXPECT_EQ(Hex(Pixel(9, 22)), "ff000000");
  EXPECT_EQ(Hex(Pixel(40, 22)), "ff000000");
  EXPECT_EQ(Hex(Pixel(20, 19)), "ff000000");
  EXPECT_EQ(Hex(Pixel(20, 25)), "ff000000");
  EXPECT_EQ(Hex(Pixel(101, 101)), "ffffffff");
}

TEST_F(Device, ClsDropsPendingDrawsAndClearsWithAlphaOne) {
  dev->DrawRect(0, 0, 50, 50);
  long long calls = dev->drawCalls;
  dev->Cls(10, 20, 30);
  EXPECT_EQ(dev->batchCount, 0);
  dev->Flush();
  EXPECT_EQ(dev->drawCalls, calls);
  EXPECT_EQ(Hex(Pixel(25, 25)), Hex(Argb(255, 10, 20, 30)));
  EXPECT_EQ(Hex(Pixel(100, 100)), Hex(Argb(255, 10, 20, 30)));
}

// ============================================================================
// [SECTION] Surfaces
// ============================================================================

// A 4 x 2 PNG: top row white, red, white at half alpha, transparent; bottom row green.
std::vector<unsigned char> TestImage() {
  std::vector<unsigned char> p = {255, 255, 255, 255, 255, 0, 0, 255, 255, 255, 255, 128, 9, 9, 9, 0};
  for (int i = 0; i < 4; ++i) p.insert(p.end(), {0, 255, 0, 255});
  return p;
}

TEST_F(Device, PngSurfaceIsPremultipliedTintedAndFaded) {
  gxtkSurface* s = dev->LoadSurface(String(TempPng("tint.png", 4, 2, TestImage()).c_str()));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Width(), 4);
  EXPECT_EQ(s->Height(), 2);
  EXPECT_EQ(s->depth, 4);
  EXPECT_EQ(s->format, static_cast<unsigned>(GL_RGBA));
  EXPECT_EQ(s->contextSeq, glfwGraphicsSeq);
  // Premultiplied in memory: white at alpha 128 is 128, 128, 128, 128; transparent is 0.
  const unsigned char* half = s->pixels + 2 * 4;
  EXPECT_EQ(half[0], 128);
  EXPECT_EQ(half[3], 128);
  EXPECT_EQ(s->pixels[3 * 4], 0);

  // Each texel 8 x 8 pixels. Tinted orange at full alpha over black.
  dev->SetColor(255, 128, 0);
  dev->SetMatrix(8, 0, 0, 8, 0, 0);
  dev->DrawSurface(s, 0, 0);
  // Faded white over blue, four texels to the right.
  dev->SetColor(255, 255, 255);
  dev->SetMatrix(1, 0, 0, 1, 0, 0);
  dev->Flush();
  dev->SetColor(0, 0, 200);
  dev->DrawRect(0, 40, 32, 16);
  dev->SetColor(255, 255, 255);
  dev->SetAlpha(0.5f);
  dev->SetMatrix(8, 0, 0, 8, 0, 40);
  dev->DrawSurface(s, 0, 0);
  dev->SetAlpha(1);

  EXPECT_TRUE(Near(Pixel(4, 4), Argb(255, 255, 128, 0)));    // white, tinted
  EXPECT_TRUE(Near(Pixel(12, 4), Argb(255, 255, 0, 0)));     // red, tinted
  EXPECT_TRUE(Near(Pixel(20, 4), Argb(255, 128, 64, 0)));    // half alpha: premultiplied, tinted
  EXPECT_TRUE(Near(Pixel(28, 4), Argb(255, 0, 0, 0)));       // transparent
  EXPECT_TRUE(Near(Pixel(4, 12), Argb(255, 0, 128, 0)));     // green, tinted
  EXPECT_TRUE(Near(Pixel(4, 44), Argb(255, 127, 127, 227))); // white faded over blue
  EXPECT_TRUE(Near(Pixel(28, 44), Argb(255, 0, 0, 200)));    // transparent: blue shows
  EXPECT_TRUE(Near(Pixel(36, 4), Argb(255, 0, 0, 0)));       // beyond the surface
}

TEST_F(Device, SurfaceIsRebuiltFromItsPixelsInANewContext) {
  gxtkSurface* s = dev->LoadSurface(String(TempPng("reopen.png", 4, 2, TestImage()).c_str()));
  ASSERT_NE(s, nullptr);
  int seq = glfwGraphicsSeq;
  EXPECT_EQ(s->contextSeq, seq);
  dev->EndRender();

  OpenWindow(); // new window, new context
  ASSERT_EQ(glfwGraphicsSeq, seq + 1);
  SetUp();
  dev->SetMatrix(8, 0, 0, 8, 0, 0);
  dev->DrawSurface2(s, 0, 0, 1, 0, 3, 2); // from the red texel on
  dev->Flush();
  EXPECT_EQ(s->contextSeq, seq + 1);
  EXPECT_TRUE(Near(Pixel(4, 4), Argb(255, 255, 0, 0)));
  EXPECT_TRUE(Near(Pixel(12, 4), Argb(255, 128, 128, 128)));
  EXPECT_TRUE(Near(Pixel(4, 12), Argb(255, 0, 255, 0)));
  EXPECT_TRUE(Near(Pixel(28, 4), Argb(255, 0, 0, 0)));
  s->Discard();
  EXPECT_EQ(s->pixels, nullptr);
  EXPECT_EQ(s->contextSeq, -1);
}

TEST_F(Device, WrittenPixelsOfAnOddWidthSurface) {
  gxtkSurface* s = dev->CreateSurface(3, 3);
  EXPECT_EQ(s->pixels, nullptr);
  EXPECT_EQ(s->contextSeq, glfwGraphicsSeq);
  Array<int> src(1 + 9);
  for (int i = 0; i < 9; ++i) src[1 + i] = static_cast<int>(Argb(255, 0, 0, 255)); // blue
  dev->WritePixels2(s, src, 0, 0, 3, 3, 1, 3);                                     // whole rows: one upload
  src[0] = static_cast<int>(Argb(255, 255, 255, 0));
  src[1] = static_cast<int>(Argb(128, 255, 0, 0));
  dev->WritePixels2(s, src, 1, 1, 2, 1, 0, 2); // part of a row: row by row
  ASSERT_NE(s->pixels, nullptr);
  const unsigned char* p = s->pixels + (1 * 3 + 2) * 4; // (2, 1): red at half alpha, premultiplied
  EXPECT_EQ(p[0], 128);
  EXPECT_EQ(p[1], 0);
  EXPECT_EQ(p[3], 128);

  dev->SetMatrix(8, 0, 0, 8, 0, 0);
  dev->DrawSurface(s, 0, 0);
  EXPECT_TRUE(Near(Pixel(4, 4), Argb(255, 0, 0, 255)));
  EXPECT_TRUE(Near(Pixel(12, 12), Argb(255, 255, 255, 0)));
  EXPECT_TRUE(Near(Pixel(20, 12), Argb(255, 128, 0, 0)));
  EXPECT_TRUE(Near(Pixel(20, 20), Argb(255, 0, 0, 255)));
}

TEST_F(Device, RefusedTextureSizeIsRetriedAtPowerOfTwo) {
  gxtkSurface::refuseTextureSize = [](int w, int h) { return w == 100 && h == 60; };
  gxtkSurface* s = dev->CreateSurface(100, 60);
  EXPECT_FLOAT_EQ(s->uScale, 1.0f / 128);
  EXPECT_FLOAT_EQ(s->vScale, 1.0f / 64);
  GLint tw = 0, th = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &tw);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &th);
  EXPECT_EQ(tw, 128);
  EXPECT_EQ(th, 64);

  std::vector<int> fill(100 * 60, static_cast<int>(Argb(255, 0, 255, 0)));
  Array<int> src(fill.data(), 100 * 60);
  dev->WritePixels2(s, src, 0, 0, 100, 60, 0, 100);
  dev->DrawSurface(s, 10, 10);
  const gxtkVertex* v = dev->batchVertices;
  EXPECT_FLOAT_EQ(v[2].u, 100.0f / 128);
  EXPECT_FLOAT_EQ(v[2].v, 60.0f / 64);
  EXPECT_FLOAT_EQ(v[2].x, 110);
  EXPECT_FLOAT_EQ(v[2].y, 70);
  // The image sits in the texture's top-left corner and fills exactly its quad.
  EXPECT_EQ(Hex(Pixel(10, 10)), "ff00ff00");
  EXPECT_EQ(Hex(Pixel(109, 69)), "ff00ff00");
  EXPECT_EQ(Hex(Pixel(110, 40)), "ff000000");
  EXPECT_EQ(Hex(Pixel(50, 70)), "ff000000");
}

TEST_F(Device, MissingImageGivesNull) {
  EXPECT_EQ(dev->LoadSurface(String("/nonexistent/lexorm.png")), nullptr);
}

// ============================================================================
// [SECTION] Batching
// ============================================================================

TEST_F(Device, ThreeHundredRectsAreTwoDraws) {
  long long calls = dev->drawCalls, batches = dev->batchesDrawn;
  for (int i = 0; i < 256; ++i) dev->DrawRect(static_cast<float>(i), 0, 1, 1);
  EXPECT_EQ(dev->batchCount, 1024);
  EXPECT_EQ(dev->drawCalls, calls); // full, not drawn yet
  for (int i = 256; i < 300; ++i) dev->DrawRect(static_cast<float>(i), 0, 1, 1);
  EXPECT_EQ(dev->drawCalls, calls + 1); // the 256 quads
  EXPECT_EQ(dev->batchCount, 44 * 4);
  dev->Flush();
  EXPECT_EQ(dev->drawCalls, calls + 2);
  EXPECT_EQ(dev->batchesDrawn, batches + 2);
  EXPECT_EQ(dev->batchCount, 0);
  EXPECT_EQ(Hex(Pixel(299, 0)), "ffffffff");
}

TEST_F(Device, KindChangesStartNewBatches) {
  long long batches = dev->batchesDrawn;
  dev->DrawPoint(1, 1);
  dev->DrawRect(2, 2, 1, 1);
  dev->DrawPoint(3, 3);
  dev->Flush();
  EXPECT_EQ(dev->batchesDrawn, batches + 3);
}

TEST_F(Device, BlendScissorAndTextureChangesFlushColourAndMatrixDoNot) {
  long long calls = dev->drawCalls;
  dev->DrawRect(0, 0, 1, 1);
  dev->SetColor(1, 2, 3);
  dev->SetAlpha(0.25f);
  dev->SetMatrix(2, 0, 0, 2, 5, 5);
  dev->DrawRect(0, 0, 1, 1);
  EXPECT_EQ(dev->batchCount, 8);
  EXPECT_EQ(dev->drawCalls, calls);
  dev->SetBlend(1);
  EXPECT_EQ(dev->batchCount, 0);
  EXPECT_EQ(dev->drawCalls, calls + 1);
  dev->DrawRect(0, 0, 1, 1);
  dev->SetScissor(1, 1, 10, 10);
  EXPECT_EQ(dev->batchCount, 0);
  EXPECT_EQ(dev->drawCalls, calls + 2);
  dev->SetScissor(0, 0, kW, kH);
  dev->SetBlend(0);

  gxtkSurface* a = dev->CreateSurface(2, 2);
  gxtkSurface* b = dev->CreateSurface(2, 2);
  long long batches = dev->batchesDrawn;
  dev->DrawSurface(a, 0, 0);
  dev->DrawSurface(a, 4, 0);
  dev->DrawSurface(b, 8, 0);
  dev->DrawSurface(a, 12, 0);
  dev->Flush();
  EXPECT_EQ(dev->batchesDrawn, batches + 3);
  EXPECT_EQ(dev->drawCalls, calls + 5);
  a->Discard();
  b->Discard();
}

TEST_F(Device, OvalSegmentCounts) {
  dev->DrawOval(0, 0, 4, 4);
  EXPECT_EQ(dev->batchKind, 12);
  EXPECT_EQ(dev->batchCount, 12);
  dev->DrawOval(0, 0, 50, 50);
  EXPECT_EQ(dev->batchKind, 48);
  EXPECT_EQ(dev->batchCount, 48);
  long long calls = dev->drawCalls;
  dev->DrawOval(10, 10, 50, 50); // same kind: one batch, one fan each
  EXPECT_EQ(dev->batchCount, 96);
  dev->DrawOval(0, 0, 3000, 3000);
  EXPECT_EQ(dev->drawCalls, calls + 2);
  EXPECT_EQ(dev->batchKind, 1024);
  EXPECT_EQ(dev->batchCount, 1024);
  dev->SetMatrix(2, 0, 0, 2, 0, 0); // transformed: radii measured on screen, 50 + 50
  dev->DrawOval(0, 0, 50, 50);
  EXPECT_EQ(dev->batchKind, 100);
  // The points lie on the ellipse: the first at angle 0 (right), a quarter on at the top.
  const gxtkVertex* v = dev->batchVertices;
  EXPECT_NEAR(v[0].x, 100, 1e-3);
  EXPECT_NEAR(v[0].y, 50, 1e-3);
  EXPECT_NEAR(v[25].x, 50, 1e-3);
  EXPECT_NEAR(v[25].y, 0, 1e-3);
}

TEST_F(Device, PolygonsOfNoneOrTooManyVerticesDrawNothing) {
  dev->DrawPoly(Array<float>());
  EXPECT_EQ(dev->batchCount, 0);
  dev->DrawPoly(Array<float>(1025 * 2));
  EXPECT_EQ(dev->batchCount, 0);
  dev->DrawPoly(Array<float>(1024 * 2));
  EXPECT_EQ(dev->batchCount, 1024);
  long long calls = dev->drawCalls;
  float tri[] = {0, 0, 10, 0, 0, 10};
  dev->DrawPoly(Array<float>(tri, 6)); // three vertices: kind 3
  EXPECT_EQ(dev->batchKind, 3);
  EXPECT_EQ(dev->drawCalls, calls + 1); // the 1024-gon, one fan
  dev->Flush();
  EXPECT_EQ(Hex(Pixel(2, 2)), "ffffffff");
  EXPECT_EQ(Hex(Pixel(8, 8)), "ff000000");
}

TEST_F(Device, HalfAlphaWhiteIsVertexBytes127) {
  dev->SetColor(255, 255, 255);
  dev->SetAlpha(0.5f);
  dev->DrawPoint(0, 0);
  unsigned char bytes[4];
  std::memcpy(bytes, &dev->batchVertices[0].color, 4);
  EXPECT_EQ(bytes[0], 127);
  EXPECT_EQ(bytes[1], 127);
  EXPECT_EQ(bytes[2], 127);
  EXPECT_EQ(bytes[3], 127);
  dev->SetColor(255, 0, 10); // byte order r, g, b, a
  dev->SetAlpha(1);
  dev->DrawPoint(0, 0);
  std::memcpy(bytes, &dev->batchVertices[1].color, 4);
  EXPECT_EQ(bytes[0], 255);
  EXPECT_EQ(bytes[1], 0);
  EXPECT_EQ(bytes[2], 10);
  EXPECT_EQ(bytes[3], 255);
}

} // namespace
