// tests/graphics/device_test.cpp — the graphics device over Mesa's OpenGL and the drawing module.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <tuple>
#include <vector>

#include "graphics/drawing.h"
#include "host/desktop_game.h"
#include "tests/support/runtime_output.h"

namespace {

constexpr int kW = 320, kH = 240;
constexpr uint32_t kBlack = 0xff000000, kWhite = 0xffffffff, kRed = 0xffff0000, kGreen = 0xff00ff00,
                   kBlue = 0xff0000ff, kYellow = 0xffffff00;
using V = std::vector<long long>;

class Device : public ::testing::Test {
protected:
  static inline ZuGlfwGame* host;
  static inline gxtkGraphics* dev;

  static void OpenWindow() { host->SetGlfwWindow(kW, kH, 8, 8, 8, 8, 0, 0, false); }
  // The window and its device, opened by the first test of the process. It is checked in each
  // test's own set-up: a failure there fails the test, where one in the suite's set-up would only
  // have skipped them all.
  static bool Open() {
    if (dev) return true;
    if (!glfw2().Init()) return false;
    host = new ZuGlfwGame;
    host->SetDelegate(new ZuGameDelegate);
    host->SetSwapInterval(0);
    OpenWindow();
    zu_graphics_SetGraphicsDevice(dev = new gxtkGraphics);
    return true;
  }
  static void TearDownTestSuite() {
    if (dev) glfw2().Terminate();
    host = nullptr, dev = nullptr;
  }
  // A frame as the program starts one: identity, white, alpha 1, alpha blending, no scissor; black.
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    ASSERT_TRUE(Open()) << "no display: GLFW could not start (DISPLAY=" << (display ? display : "") << ")";
    zu_graphics_context = new c_GraphicsContext;
    ASSERT_EQ((V{dev->BeginRender(), dev->Width(), dev->Height()}), (V{1, kW, kH}));
    zu_graphics_BeginRender();
    dev->SetMatrix(1, 0, 0, 1, 0, 0); // the module hands its matrix over at its next draw
    dev->Cls(0, 0, 0);
  }
  void TearDown() override {
    if (!dev) return; // no window: SetUp has failed the test already
    dev->EndRender();
    gxtkSurface::refuseTextureSize = nullptr;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
  static void SetColor(uint32_t rgb) { dev->SetColor(rgb >> 16 & 255, rgb >> 8 & 255, rgb & 255); }
  // (x, y, pixel) triples; each channel to within 1 (window pixels are opaque).
  static void ExpectPixels(std::initializer_list<long long> probes) {
    for (const long long* p = probes.begin(); p != probes.end(); p += 3) {
      Array<int> px(1);
      dev->ReadPixels(px, p[0], p[1], 1, 1, 0, 1);
      for (int s = 0; s < 32; s += 8)
        EXPECT_NEAR(px[0] >> s & 255, p[2] >> s & 255, 1) << p[0] << "," << p[1] << std::hex << ": " << px[0];
    }
  }
};

TEST_F(Device, ShapesLandOnTheirPixelsReadTopRowFirstAndClsDropsWhatIsPending) {
  dev->DrawRect(0, 0, 50, 50);
  dev->Cls(10, 255, 128); // exact: a clear does not round
  dev->DrawPoint(5, 7);   // at pixel centres
  dev->DrawLine(100, 12, 120, 12);
  SetColor(kRed);
  dev->DrawRect(10, 20, 30, 40); // x 10..39, y 20..59
  Array<int> px(7);
  dev->ReadPixels(px, 9, 19, 2, 2, 1, 3); // rows 19 and 20 of x 9 and 10, at offset 1, 3 apart
  const uint32_t c = 0xff0aff80;
  EXPECT_EQ((std::vector<uint32_t>(px.begin(), px.end())), (std::vector<uint32_t>{0, c, c, 0, c, kRed, 0}));
  ExpectPixels({39,  20, kRed,   10, 59, kRed, 39,  59, kRed,   40,  59, c,      39,  60, c,
                5,   7,  kWhite, 5,  6,  c,    6,   7,  c,      110, 12, kWhite, 110, 13, c,
                110, 11, c,      99, 12, c,    100, 12, kWhite, 119, 12, kWhite, 120, 12, c});
}

// Rows: under, colour, alpha, blend mode, pixel. Premultiplied alpha blending but for mode 1: adds.
TEST_F(Device, ColoursArePremultipliedAndBlendedOrAddedOverWhatIsThere) {
  const std::tuple<uint32_t, uint32_t, float, int, uint32_t> rows[] = {
      {kBlue, 0xffff000a, 0.5f, 0, 0xff7f0085}, {kBlue, kRed, 1, 0, kRed},
      {kBlue, kRed, 0.5f, 2, 0xff7f0080},       {kBlue, 0xff646464, 0.5f, 1, 0xff3232ff},
      {kBlue, kRed, 1, 1, 0xffff00ff},          {0xffc80000, 0xff640000, 1, 1, kRed}};
  for (auto [under, colour, alpha, blend, want] : rows) {
    dev->Cls(under >> 16 & 255, under >> 8 & 255, under & 255);
    dev->SetBlend(blend);
    SetColor(colour);
    dev->SetAlpha(alpha);
    dev->DrawRect(0, 0, 8, 8);
    ExpectPixels({4, 4, want});
  }
}

// A request reads or writes exactly w x h ints when the array holds them, and nothing otherwise.
TEST_F(Device, PixelRequestsTouchOnlyWhatTheArrayAndTheSurfaceHold) {
  dev->DrawRect(0, 0, 8, 8);
  const int reads[][5] = {// offset, width, height, pitch, fits
                          {0, 4, 1, 4, 1},  {1, 4, 1, 4, 0},  {0, 2, 2, 2, 1},
                          {0, 2, 2, 3, 0},  {-1, 1, 1, 1, 0}, {3, 1, 2, -3, 1},
                          {2, 1, 2, -3, 0}, {0, 1, 0, 1, 0},  {0, 1, 2, 2147483647, 0}};
  for (auto [offset, w, h, pitch, fits] : reads) {
    Array<int> px(4);
    dev->ReadPixels(px, 0, 0, w, h, offset, pitch);
    EXPECT_EQ(std::count(px.begin(), px.end(), -1), fits * w * h) << offset << " " << w << "x" << h;
  }
  // A rectangle of a 3 x 3 surface, inside it or not.
  const int rects[][5] = {
      {1, 1, 2, 2, 1}, {2, 1, 2, 1, 0}, {1, 2, 1, 2, 0}, {-1, 0, 1, 1, 0}, {0, -1, 1, 1, 0}};
  for (auto [x, y, w, h, inside] : rects) {
    gxtkSurface* s = dev->CreateSurface(3, 3);
    dev->WritePixels2(s, Array<int>(4), x, y, w, h, 0, 2);
    EXPECT_EQ(s->pixels != nullptr, inside) << x << "," << y << " " << w << "x" << h; // a pixel copy
  }
  EXPECT_EQ(dev->LoadSurface(String("/nonexistent/missing.png")), nullptr);
  ZuGame* game = std::exchange(ZuGame::_game, nullptr); // without a game nothing can load
  EXPECT_EQ(dev->LoadSurface(String("/nonexistent/missing.png")), nullptr) << "no game";
  ZuGame::_game = game;
}

// Pixels written before the texture exists wait in the pixel copy, later ones reach both, and a
// new context rebuilds the texture from the copy; a refused size is retried at powers of two.
TEST_F(Device, SurfacePixelsArePremultipliedAndReachTheTextureInEveryContext) {
  gxtkSurface::refuseTextureSize = [](int w, int h) { return w == 4 && h == 3; };
  gxtkSurface* s = dev->CreateSurface(4, 3);
  const uint32_t top[] = {kWhite, kRed, 0x80ffffff, 0x00090909}; // white at half alpha, transparent
  Array<int> src(1 + 12);
  for (int i = 0; i < 12; ++i) src[1 + i] = static_cast<int>(i < 4 ? top[i] : kBlue);
  dev->WritePixels2(s, src, 0, 0, 4, 3, 1, 4); // filling the array exactly
  auto texSize = [](gxtkSurface* surface) {
    surface->Bind(); // as its first drawing does
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    return V{w, h};
  };
  EXPECT_EQ(texSize(dev->CreateSurface(5, 3)), (V{5, 3})); // a size OpenGL takes is kept
  const V tex = texSize(s);                                // 4 x 3 refused: the next powers of two
  src[0] = static_cast<int>(kYellow);
  src[1] = static_cast<int>(0x80ff0000);       // red at half alpha
  dev->WritePixels2(s, src, 1, 1, 1, 1, 0, 1); // part of a row, a pixel at a time
  dev->WritePixels2(s, src, 2, 1, 1, 1, 1, 1);
  std::fill(src.begin(), src.end(), static_cast<int>(kGreen));
  dev->WritePixels2(s, src, 0, 2, 4, 1, 0, 4); // a whole row
  const unsigned char* p = s->pixels + (1 * 4 + 2) * 4;
  EXPECT_EQ((V{tex[0], tex[1], p[0], p[1], p[2], p[3]}), (V{4, 4, 128, 0, 0, 128}));
  float quad[] = {0, 0, 0, 0, 1, 0, 1, 0, 1, 1, 1, 1, 0, 1, 0, 1}; // (x, y, u, v)
  for (int context = 0; context < 2; ++context) {
    if (context) dev->EndRender(), OpenWindow(), SetUp(); // a new window, a new context
    dev->SetMatrix(8, 0, 0, 8, 0, 0);                     // texels of 8 x 8 pixels, from the red one on
    dev->DrawSurface2(s, 0, 0, 1, 0, 3, 3);
    dev->SetMatrix(8, 0, 0, 8, 0, 40);
    dev->DrawPoly2(Array<float>(quad, 16), s, 1, 1);
    dev->SetMatrix(8, 0, 0, 8, 20, 40);
    dev->DrawPoly2(Array<float>(quad, 16), s, 0, 2);
    ExpectPixels({4,  4,  kRed,       12, 4,  0xff808080, 20, 4,  kBlack, 4,  12, kYellow,
                  12, 12, 0xff800000, 20, 12, kBlue,      4,  20, kGreen, 28, 4,  kBlack,
                  4,  28, kBlack,     4,  44, kYellow,    24, 44, kGreen});
  }
}

// A full batch is drawn only when the next quad needs room; blend, scissor, kind and texture
// changes break a batch, colour and matrix changes do not.
TEST_F(Device, BatchesBreakWhenFullAndAtBlendScissorKindAndTextureChanges) {
  long long calls = dev->drawCalls, batches = dev->batchesDrawn, vertices = dev->verticesDrawn;
  for (int i = 0; i < 257; ++i) dev->DrawRect(static_cast<float>(i), 0, 1, 1);
  dev->SetColor(1, 2, 3);
  dev->SetMatrix(2, 0, 0, 2, 5, 5);
  dev->DrawRect(0, 0, 1, 1);
  EXPECT_EQ((V{dev->batchCount, dev->drawCalls - calls}), (V{8, 1}));
  dev->SetBlend(1);
  dev->DrawRect(0, 0, 1, 1);
  dev->SetScissor(1, 1, 10, 10);
  dev->DrawOval(0, 0, 4, 4); // twelve points: one fan each
  dev->DrawOval(9, 9, 4, 4);
  gxtkSurface* a = dev->CreateSurface(2, 2);
  for (gxtkSurface* s : {a, a, dev->CreateSurface(2, 2), a}) dev->DrawSurface(s, 0, 0);
  dev->Flush();
  EXPECT_EQ((V{dev->drawCalls - calls, dev->batchesDrawn - batches, dev->verticesDrawn - vertices}),
            (V{8, 7, 1024 + 8 + 4 + 24 + 8 + 4 + 4}));
  ExpectPixels({255, 0, kWhite}); // the last quad of the full batch
}

// The drawing module: BeginRender resets colour, alpha, blend, scissor and the matrix stack; a
// changed matrix reaches the device at the next draw; the scissor clips whole pixels, y from the
// top; images are drawn with their handle at the point given, DrawImage2 scaling about it.
TEST_F(Device, TheDrawingModuleResetsTheStateClipsAndDrawsImagesAtTheirHandles) {
  gxtkSurface* s = dev->CreateSurface(12, 4); // two frames of 6 x 4, red then green
  Array<int> px(48);
  for (int i = 0; i < 48; ++i) px[i] = static_cast<int>(i % 12 < 6 ? kRed : kGreen);
  dev->WritePixels2(s, px, 0, 0, 12, 4, 0, 12);
  c_Image* img = (new c_Image)->p_Init(s, 2, c_Image::PadX | c_Image::PadY | c_Image::HandleAtCentre);
  zu_graphics_SetColor(0, 0, 0);
  zu_graphics_SetAlpha(0.5f);
  zu_graphics_Translate(5, 5);
  zu_graphics_PushMatrix();
  zu_graphics_BeginRender();
  zu_graphics_SetScissor(0, 10, kW, kH); // the window's size, not its place: still a scissor
  zu_graphics_DrawRect(0, 0, 4, 20);
  zu_graphics_SetScissor(2, 0, kW, kH), zu_graphics_DrawRect(0, 30, 4, 2); // nor is it here
  zu_graphics_SetScissor(0.9f, 2.5f, 200.9f, 100.5f);                      // x 0..199, y 2..101
  zu_graphics_DrawRect(198, 98, 4, 8);
  zu_graphics_Translate(10, 0);
  zu_graphics_DrawEllipse(140, 50, 10, 5); // x 150 +- 10, y 50 +- 5
  zu_graphics_DrawImage(img, 20, 20, 1);   // frame 1: 4 x 2 from (7, 1), its handle (2, 1) at (30, 20)
  zu_graphics_DrawImage2(img, 50, 50, 0, 4, 4, 0);
  zu_graphics_SetScissor(0, 0, kW, 100); // the window's place and width, not its height
  zu_graphics_DrawRect(290, 90, 4, 20);  // x 300..303 after the translation
  ExpectPixels({1,   30,  kBlack, 3,   30,  kWhite, 1,   5,   kBlack, 1,   15, kWhite, 199, 101, kWhite,
                200, 101, kBlack, 199, 102, kBlack, 150, 50,  kWhite, 158, 50, kWhite, 162, 50,  kBlack,
                150, 57,  kBlack, 28,  19,  kGreen, 31,  20,  kGreen, 27,  20, kBlack, 32,  20,  kBlack,
                29,  21,  kBlack, 52,  46,  kRed,   67,  53,  kRed,   51,  50, kBlack, 68,  50,  kBlack,
                60,  54,  kBlack, 301, 99,  kWhite, 301, 100, kBlack});
}

// Ovals: segments follow the radii on screen (whole pixels when untransformed), in fours, 12 to
// 1024 (rows: the matrix, the size, the segments). Polygons: 1 to 1024 vertices.
TEST_F(Device, MatricesMoveTheVerticesAndOvalsAndPolygonsGetTheirKinds) {
  const float ovals[][7] = {
      {1, 0, 0, 1, 4, 4, 12},      {1, 0, 0, 1, 17.8f, 15.8f, 12},    {1, 0, 0, 1, 26, 26, 24},
      {1, 0, 0, 1, 2048, 8, 1024}, {1, 0, 0, 1, 1e10f, -1e10f, 1024}, {2, 0, 0, 2, 17.8f, 15.8f, 32},
      {0, 1, -1, 0, 30, 10, 20},   {0, 2, 0, 1, 20, 8, 24},           {1, 0, 0, 1, 100, 60, 80}};
  for (auto [ix, iy, jx, jy, w, h, n] : ovals) {
    dev->Cls(0, 0, 0);
    dev->SetMatrix(ix, iy, jx, jy, 0, 0);
    dev->DrawOval(0, 0, w, h);
    EXPECT_EQ(dev->batchCount, n) << w << " " << ix << " " << iy;
  }
  for (auto [n, count] : {std::pair{0, 0}, {1, 1}, {1024, 1024}, {1025, 0}}) {
    dev->Cls(0, 0, 0);
    dev->DrawPoly(Array<float>(n * 2));
    EXPECT_EQ(dev->batchCount, count) << n;
  }
  const float points[][8] = {// each entry on its own; where the point (3, 5) lands
                             {1, 0, 0, 1, 0, 0, 3.5f, 5.5f},  {2, 0, 0, 1, 0, 0, 6.5f, 5.5f},
                             {1, 1, 0, 1, 0, 0, 3.5f, 8.5f},  {1, 0, 1, 1, 0, 0, 8.5f, 5.5f},
                             {1, 0, 0, 2, 0, 0, 3.5f, 10.5f}, {1, 0, 0, 1, 7, 0, 10.5f, 5.5f},
                             {1, 0, 0, 1, 0, 7, 3.5f, 12.5f}};
  for (auto [ix, iy, jx, jy, tx, ty, x, y] : points) {
    dev->SetMatrix(ix, iy, jx, jy, tx, ty);
    dev->DrawPoint(3, 5);
    const gxtkVertex& v = dev->batchVertices[dev->batchCount - 1];
    EXPECT_EQ((std::vector<float>{v.x, v.y}), (std::vector<float>{x, y})) << ix << iy << jx << jy << tx << ty;
  }
}

// Frame size, corners, handle and flags of a strip (frame width 0) or of frames laid out row by row.
// Rows: the surface, frame width and height, frames, flags, start x and source rectangle; the image's
// frame size, frame corners, handle and flags.
TEST_F(Device, FramesAreLaidOutAndFlagsPadCentreAndMarkOnlyAWholeSurface) {
  const int C = c_Image::HandleAtCentre, X = c_Image::PadX, Y = c_Image::PadY, W = c_Image::WholeSurface;
  struct Laid {
    int width, height;
    std::vector<std::pair<int, int>> corners;
    int handleX, handleY, flags;
  };
  // clang-format off
  const std::tuple<int, int, int, int, int, int, std::vector<int>, Laid> rows[] = {
      {20, 10, 0, 0, 1, 0, {}, {20, 10, {{0, 0}}, 0, 0, 65536}},
      {20, 10, 0, 0, 2, W, {}, {10, 10, {{0, 0}, {10, 0}}, 0, 0, 0}},
      {40, 20, 0, 0, 2, C | Y, {}, {20, 18, {{0, 1}, {20, 1}}, 10, 9, 4}},
      {30, 12, 0, 0, 3, X | Y, {}, {8, 10, {{1, 1}, {11, 1}, {21, 1}}, 0, 0, 6}},
      {64, 96, 32, 32, 5, 0, {0, 0, 0, 64, 96}, {32, 32, {{0, 0}, {32, 0}, {0, 32}, {32, 32}, {0, 64}}, 0, 0, 0}},
      {200, 200, 32, 32, 2, 0, {32, 100, 50, 64, 64}, {32, 32, {{132, 50}, {100, 82}}, 0, 0, 0}},
      {20, 10, 10, 10, 1, 0, {0, 0, 0, 20, 10}, {10, 10, {{0, 0}}, 0, 0, 0}},
      {16, 16, 16, 16, 1, C, {0, 0, 0, 16, 16}, {16, 16, {{0, 0}}, 8, 8, 65536}}};
  // clang-format on
  int row = 0;
  for (auto& [w, h, fw, fh, frames, flags, src, want] : rows) {
    SCOPED_TRACE("row " + std::to_string(row++));
    gxtkSurface* s = dev->CreateSurface(w, h);
    c_Image* img =
        fw ? (new c_Image)
                 ->p_Init2(s, src[0], 0, fw, fh, frames, flags, nullptr, src[1], src[2], src[3], src[4])
           : (new c_Image)->p_Init(s, frames, flags);
    std::vector<std::pair<int, int>> corners;
    for (c_Frame* f : img->m_frames) corners.emplace_back(f->m_x, f->m_y);
    EXPECT_EQ(img->m_width, want.width) << "frame width";
    EXPECT_EQ(img->m_height, want.height) << "frame height";
    EXPECT_EQ(corners, want.corners) << "frame corners";
    EXPECT_EQ(img->m_handleX, want.handleX) << "handle x";
    EXPECT_EQ(img->m_handleY, want.handleY) << "handle y";
    EXPECT_EQ(img->m_flags, want.flags) << "flags";
  }
}

// Depths 2 and 4 are premultiplied by alpha / 255, truncated; 1 and 3 have no alpha. Rows: the
// depth, two pixels in, the same out.
TEST_F(Device, LoadedPixelsArePremultipliedOnlyWhereTheyHaveAlpha) {
  const std::tuple<int, std::vector<int>, std::vector<int>> rows[] = {
      {1, {200, 100}, {200, 100}},
      {2, {200, 100, 255, 255}, {78, 100, 255, 255}},
      {3, {200, 100, 50, 255, 255, 255}, {200, 100, 50, 255, 255, 255}},
      {4, {255, 200, 100, 128, 255, 255, 255, 255}, {128, 100, 50, 128, 255, 255, 255, 255}}};
  for (auto& [depth, in, want] : rows) {
    unsigned char* data = static_cast<unsigned char*>(std::malloc(in.size()));
    std::copy(in.begin(), in.end(), data);
    gxtkSurface* s = new gxtkSurface;
    s->SetData(data, 2, 1, depth);
    EXPECT_EQ(std::vector<int>(s->pixels, s->pixels + in.size()), want) << depth;
  }
}

TEST_F(Device, MatricesComposeWithTheNewTransformFirstAndTheStackRestoresThemExactly) {
  c_GraphicsContext* c = zu_graphics_context;
  auto Matrix = [c] { return std::vector<float>{c->m_ix, c->m_iy, c->m_jx, c->m_jy, c->m_tx, c->m_ty}; };
  float m[] = {1, 2, 3, 4, 5, 6}, t[] = {2, 3, 4, 5, 6, 7};
  zu_graphics_SetMatrix2(Array<float>(m, 6));
  zu_graphics_Transform2(Array<float>(t, 6)); // (x, y) -> m(t(x, y))
  EXPECT_EQ(Matrix(), (std::vector<float>{11, 16, 19, 28, 32, 46}));
  zu_graphics_SetMatrix(2, 0, 0, 3, 1, 1);
  zu_graphics_Scale(0.5f, 2);
  EXPECT_EQ(Matrix(), (std::vector<float>{1, 0, 0, 6, 1, 1}));
  zu_graphics_SetMatrix(1, 0, 0, 1, 10, 0);
  zu_graphics_Rotate(30); // anticlockwise on screen, y down
  const float turned[] = {0.8660254f, -0.5f, 0.5f, 0.8660254f, 10, 0};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(Matrix()[i], turned[i], 1e-6) << i;
  for (int i = 0; i <= 6; ++i) { // the identity and each entry changed on its own
    float e[] = {1, 0, 0, 1, 0, 0};
    if (i < 6) e[i] += 0.5f;
    zu_graphics_SetMatrix2(Array<float>(e, 6));
    EXPECT_EQ(c->m_transformed, i < 6) << i;
  }
  std::vector<std::vector<float>> saved;
  for (int i = 0; i < 40; ++i) { // beyond the 32 levels the stack starts with
    zu_graphics_SetMatrix(i, i + 0.5f, -i, 2, i * 3.f, 1.f - i);
    saved.push_back(Matrix());
    zu_graphics_PushMatrix();
  }
  EXPECT_EQ((std::vector<int>{c->m_matrixStack.Length(), c->m_matrixSp}), (std::vector<int>{384, 240}));
  for (int i = 39; i >= 0; --i) {
    zu_graphics_PopMatrix();
    EXPECT_EQ(Matrix(), saved[i]) << i;
  }
}

// Whether frames fit a source, worked out by hand from the row-by-row layout: a loader asks this
// before Init2, which stops the program for a layout that does not fit.
TEST(ImageLayout, FramesFitOnlyWhenEveryFrameOfTheRowByRowLayoutLiesInTheSource) {
  const struct {
    int x, y, frameWidth, frameHeight, frames, srcWidth, srcHeight;
    bool fits;
  } rows[] = {
      {0, 0, 32, 32, 5, 64, 96, true},  {0, 0, 32, 32, 6, 64, 96, true},   {0, 0, 32, 32, 7, 64, 96, false},
      {0, 0, 33, 8, 1, 32, 64, false},  {0, 0, 8, 8, 3, 16, 8, false},     {0, 0, 64, 64, 0, 1, 1, true},
      {32, 0, 32, 32, 3, 64, 64, true}, {32, 0, 32, 32, 4, 64, 64, false}, {0, 0, 64, 64, 64, 1, 1, false},
  };
  for (const auto& r : rows)
    EXPECT_EQ(c_Image::FramesFit(r.x, r.y, r.frameWidth, r.frameHeight, r.frames, r.srcWidth, r.srcHeight),
              r.fits)
        << r.frames << " frames of " << r.frameWidth << " x " << r.frameHeight << " from (" << r.x << ", "
        << r.y << ") in " << r.srcWidth << " x " << r.srcHeight;
}

TEST(DrawingDeath, MisusesAreRunTimeErrors) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  zu_graphics_context = new c_GraphicsContext;
  zu_graphics_SetGraphicsDevice(new gxtkGraphics); // no window: nothing reaches the screen
  zu_graphics_BeginRender();
  c_Image* img = (new c_Image)->p_Init(zu_graphics_device->CreateSurface(16, 8), 2, 0);
  EXPECT_RUNTIME_ERROR(img->p_Init(img->m_surface, 1, 0), "Image already initialized");
  EXPECT_RUNTIME_ERROR((new c_Image)->p_Init2(img->m_surface, 0, 0, 8, 8, 3, 0, nullptr, 0, 0, 16, 8),
                       "Image frame outside surface"); // a second row of one
  EXPECT_RUNTIME_ERROR((new c_Image)->p_Init2(img->m_surface, 0, 0, 17, 8, 1, 0, nullptr, 0, 0, 16, 8),
                       "Image frame outside surface"); // wider than the source
  EXPECT_RUNTIME_ERROR(zu_graphics_DrawImage(img, 0, 0, 2), "Image frame index out of range");
  EXPECT_RUNTIME_ERROR(zu_graphics_DrawImage2(img, 0, 0, 0, 1, 1, -1), "Image frame index out of range");
  EXPECT_RUNTIME_ERROR(zu_graphics_DrawImage(nullptr, 0, 0, 0), "Cannot draw a null image");
  zu_graphics_PushMatrix();
  zu_graphics_PopMatrix();
  EXPECT_RUNTIME_ERROR(zu_graphics_PopMatrix(), "Matrix stack underflow");
  zu_graphics_EndRender();
  EXPECT_RUNTIME_ERROR(zu_graphics_DrawImage(img, 0, 0, 0),
                       "Rendering operations can only be performed inside OnRender");
}

} // namespace
