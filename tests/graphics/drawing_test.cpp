// tests/graphics/drawing_test.cpp — the drawing module: frame layout and flags, the default font,
// the matrix and its stack, what reaches a recording render device, run-time errors, marking.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <stb_image_write.h>

#include "graphics/drawing.h"
#include "host/desktop_game.h"
#include "tests/support/collector.h"
#include "tests/support/runtime_output.h"
#include "tests/support/temp_files.h"

namespace fs = std::filesystem;

namespace {

// The host for every test: its data folder ("quokka://data/") is in a fresh temporary folder.
class TestHost : public ZuGlfwGame {
public:
  TempDir tmp{"drawing"};
  fs::path data = tmp.path / "data";
  TestHost() {
    fs::create_directories(data);
    _baseDir = String(tmp.path.c_str());
  }
};
TestHost& Host() {
  static TestHost host; // removed at exit, also in death-test children
  return host;
}

struct Rgb {
  int r, g, b;
};

// Writes a w x h opaque PNG into the data folder; pixel(i, j) gives the colour of column i, row j.
void WritePng(const char* name, int w, int h, const std::function<Rgb(int, int)>& pixel) {
  std::vector<unsigned char> rgba;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      Rgb c = pixel(i, j);
      rgba.insert(rgba.end(), {static_cast<unsigned char>(c.r), static_cast<unsigned char>(c.g),
                               static_cast<unsigned char>(c.b), 255});
    }
  ASSERT_NE(stbi_write_png((Host().data / name).c_str(), w, h, 4, rgba.data(), w * 4), 0);
}

using Corners = std::vector<std::pair<int, int>>;
Corners CornersOf(c_Image* img) {
  Corners out;
  for (c_Frame* f : img->m_frames) out.emplace_back(f->m_x, f->m_y);
  return out;
}

gxtkSurface* BareSurface(int w, int h) {
  gxtkSurface* s = new gxtkSurface; // no pixels, no texture
  s->width = w;
  s->height = h;
  return s;
}

// Instead of drawing, remembers the calls the module makes ("DrawRect(1,2,3,4)"); a surface
// shows as its width.
class RecordingDevice : public gxtkGraphics {
public:
  std::vector<std::string> calls;

  int Width() override { return 300; }
  int Height() override { return 200; }
  void SetColor(float r, float g, float b) override { Log("SetColor", r, g, b); }
  void SetAlpha(float a) override { Log("SetAlpha", a); }
  void SetBlend(int b) override { Log("SetBlend", b); }
  void SetScissor(int x, int y, int w, int h) override { Log("SetScissor", x, y, w, h); }
  std::vector<float> matrix; // the last one handed over
  void SetMatrix(float ix, float iy, float jx, float jy, float tx, float ty) override {
    Log("SetMatrix", ix, iy, jx, jy, tx, ty);
    matrix = {ix, iy, jx, jy, tx, ty};
  }
  void DrawRect(float x, float y, float w, float h) override { Log("DrawRect", x, y, w, h); }
  void DrawLine(float x1, float y1, float x2, float y2) override { Log("DrawLine", x1, y1, x2, y2); }
  void DrawOval(float x, float y, float w, float h) override { Log("DrawOval", x, y, w, h); }
  void DrawSurface(gxtkSurface* s, float x, float y) override { Log("DrawSurface", s->width, x, y); }
  void DrawSurface2(gxtkSurface* s, float x, float y, int sx, int sy, int sw, int sh) override {
    Log("DrawSurface2", s->width, x, y, sx, sy, sw, sh);
  }

private:
  template <class... A> void Log(const char* name, A... args) {
    std::ostringstream s;
    const char* sep = "";
    s << name << "(";
    ((s << sep << args, sep = ","), ...);
    calls.push_back(s.str() + ")");
  }
};

// Every test starts with a fresh context and no render device, as the start-up leaves them.
class Drawing : public ::testing::Test {
protected:
  void SetUp() override {
    Host();
    zu_graphics_context = new c_GraphicsContext;
    zu_graphics_renderDevice = nullptr;
  }
  static c_GraphicsContext* Ctx() { return zu_graphics_context; }
};

TEST_F(Drawing, FramesAreLaidOutAcrossAStripOrRowByRowInTheSourceRectangle) {
  WritePng("strip.png", 960, 10, [](int i, int) { return Rgb{i % 256, 0, 0}; });
  zu_graphics_SetGraphicsDevice(new gxtkGraphics); // no window: the surface gets no texture
  c_Image* strip = zu_graphics_LoadImage(String("strip.png"), 96, c_Image::PadX);
  ASSERT_NE(strip, nullptr);
  EXPECT_EQ((std::vector<int>{strip->m_width, strip->m_height}), (std::vector<int>{8, 10}));
  Corners want;
  for (int i = 0; i < 96; ++i) want.emplace_back(1 + 10 * i, 0); // one in from each 10-pixel cell
  EXPECT_EQ(CornersOf(strip), want);
  EXPECT_EQ(zu_graphics_LoadImage2(String("missing.png"), 8, 8, 1, 0), nullptr);

  gxtkSurface* s = BareSurface(64, 96);
  c_Image* rows = (new c_Image)->p_Init2(s, 0, 0, 32, 32, 5, 0, nullptr, 0, 0, 64, 96);
  EXPECT_EQ(CornersOf(rows), (Corners{{0, 0}, {32, 0}, {0, 32}, {32, 32}, {0, 64}}));
  EXPECT_EQ((new c_Image)->p_Init2(s, 0, 0, 8, 8, 0, 0, nullptr, 0, 0, 64, 96)->m_frames.Length(), 0);
  // Offset by the source rectangle's corner, starting mid-row.
  c_Image* src = (new c_Image)->p_Init(BareSurface(200, 200), 1, 0);
  c_Image* part = (new c_Image)->p_Init2(BareSurface(200, 200), 32, 0, 32, 32, 2, 0, src, 100, 50, 64, 64);
  EXPECT_EQ(part->m_source, src);
  EXPECT_EQ(CornersOf(part), (Corners{{132, 50}, {100, 82}}));
}

TEST_F(Drawing, FlagsPadTheFramesCentreTheHandleAndMarkOnlyAWholeSurface) {
  auto flags = [](int frames, int flags) {
    return (new c_Image)->p_Init(BareSurface(20, 10), frames, flags)->m_flags;
  };
  EXPECT_EQ(flags(1, 0), c_Image::WholeSurface);
  EXPECT_EQ(flags(1, c_Image::PadX), c_Image::PadX);
  EXPECT_EQ(flags(2, c_Image::WholeSurface), 0); // the caller cannot claim it
  gxtkSurface* s = BareSurface(20, 10);
  EXPECT_EQ((new c_Image)->p_Init2(s, 0, 0, 10, 10, 1, 0, nullptr, 0, 0, 20, 10)->m_flags, 0);

  // The centre of the padded frame; SetHandle replaces it.
  c_Image* img = (new c_Image)->p_Init(BareSurface(40, 20), 2, c_Image::HandleAtCentre | c_Image::PadY);
  EXPECT_EQ((std::vector<float>{float(img->m_width), float(img->m_height), img->m_handleX, img->m_handleY}),
            (std::vector<float>{20, 18, 10, 9}));
  EXPECT_EQ(img->m_flags, c_Image::PadY);
  img->p_SetHandle(3, 4);
  EXPECT_EQ((std::vector<float>{img->m_handleX, img->m_handleY}), (std::vector<float>{3, 4}));
}

TEST_F(Drawing, TheDefaultFontIsLoadedOnFirstNeedAndKept) {
  zu_graphics_SetGraphicsDevice(new gxtkGraphics);
  fs::remove(Host().data / "pith_font.png");
  zu_graphics_SetFont(nullptr, 40);
  EXPECT_EQ(Ctx()->m_font, nullptr); // missing: no font, and no error
  EXPECT_EQ(Ctx()->m_firstChar, 32);

  WritePng("pith_font.png", 960, 12, [](int, int) { return Rgb{255, 255, 255}; });
  zu_graphics_SetFont(nullptr, 40);
  c_Image* font = Ctx()->m_font;
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->m_frames.Length(), 96);
  EXPECT_EQ(font->m_frames[1]->m_x, 11); // 96 frames with PadX

  zu_graphics_SetFont((new c_Image)->p_Init(BareSurface(8, 8), 1, 0), 65);
  EXPECT_EQ(Ctx()->m_firstChar, 65);
  zu_graphics_SetFont(nullptr, 0);
  EXPECT_EQ(Ctx()->m_font, font); // the same image, not loaded again
  EXPECT_EQ(Ctx()->m_firstChar, 32);
}

TEST_F(Drawing, FortyPushesDoubleTheStackAndPopsRestoreEachMatrixExactly) {
  EXPECT_EQ(Ctx()->m_matrixStack.Length(), 192);
  auto current = [] {
    c_GraphicsContext* c = Ctx();
    return std::vector<float>{c->m_ix, c->m_iy, c->m_jx, c->m_jy, c->m_tx, c->m_ty};
  };
  std::vector<std::vector<float>> saved;
  for (int i = 0; i < 40; ++i) {
    zu_graphics_Rotate(7.3f * i + 1); // outside a frame: matrix changes need no device
    zu_graphics_Translate(0.1f * i, -3.7f);
    saved.push_back(current());
    zu_graphics_PushMatrix();
  }
  EXPECT_EQ(Ctx()->m_matrixStack.Length(), 384);
  zu_graphics_SetMatrix(1, 0, 0, 1, 0, 0);
  for (int i = 39; i >= 0; --i) {
    zu_graphics_PopMatrix();
    EXPECT_EQ(current(), saved[i]) << i;
    EXPECT_EQ(Ctx()->m_transformed, 1);
  }
  EXPECT_EQ(Ctx()->m_matrixSp, 0);
}

TEST_F(Drawing, TranslateThenRotateAppliesTheRotationFirst) {
  zu_graphics_Translate(10, 0);
  zu_graphics_Rotate(90);
  c_GraphicsContext* c = Ctx();
  EXPECT_NEAR(c->m_ix + c->m_tx, 10, 1e-5); // (1, 0) turns to (0, -1), then moves by (10, 0)
  EXPECT_NEAR(c->m_iy + c->m_ty, -1, 1e-5);
  zu_graphics_SetMatrix(2, 0, 0, 1, 0, 0);
  zu_graphics_Scale(0.5f, 1);
  EXPECT_EQ(c->m_transformed, 0); // exactly the identity again
}

TEST_F(Drawing, BeginRenderResetsTheStateAndDrawsHandOverAChangedMatrixOnce) {
  RecordingDevice* dev = new RecordingDevice;
  zu_graphics_SetGraphicsDevice(dev);
  zu_graphics_Translate(5, 5);
  zu_graphics_PushMatrix();
  zu_graphics_BeginRender();
  EXPECT_EQ(Ctx()->m_matrixSp, 0);
  zu_graphics_SetScissor(1.9f, 2.5f, 10.99f, -3.7f);
  zu_graphics_DrawRect(1, 2, 3, 4);
  zu_graphics_Translate(10, 0);
  zu_graphics_DrawLine(0, 0, 1, 1);
  zu_graphics_DrawEllipse(10, 20, 3, 4);
  zu_graphics_EndRender();
  EXPECT_EQ(zu_graphics_renderDevice, nullptr);
  const std::vector<std::string> want = {
      "SetColor(255,255,255)",   "SetAlpha(1)",       "SetBlend(0)",
      "SetScissor(0,0,300,200)", // the render device's own size
      "SetScissor(1,2,10,-3)",   // cut towards zero
      "SetMatrix(1,0,0,1,0,0)",  "DrawRect(1,2,3,4)", "SetMatrix(1,0,0,1,10,0)",
      "DrawLine(0,0,1,1)",       "DrawOval(7,16,6,8)"};
  EXPECT_EQ(dev->calls, want);
}

TEST_F(Drawing, ImagesDrawThroughTheWholeSurfaceOrTheirFrameRectangle) {
  RecordingDevice* dev = new RecordingDevice;
  zu_graphics_SetGraphicsDevice(dev);
  c_Image* whole = (new c_Image)->p_Init(BareSurface(16, 8), 1, c_Image::HandleAtCentre);
  c_Image* strip = (new c_Image)->p_Init(BareSurface(40, 12), 4, c_Image::PadX | c_Image::PadY);
  strip->p_SetHandle(2, 1);
  zu_graphics_BeginRender();
  dev->calls.clear();
  zu_graphics_DrawImage(whole, 100, 50, 0);
  zu_graphics_DrawImage(strip, 100, 50, 2);
  zu_graphics_DrawImage2(strip, 100, 50, 0, 2, 3, 3);
  EXPECT_EQ(Ctx()->m_matrixSp, 0);
  zu_graphics_DrawRect(0, 0, 1, 1);
  const std::vector<std::string> want = {
      "SetMatrix(1,0,0,1,0,0)",   "DrawSurface(16,92,46)",          "DrawSurface2(40,98,49,21,1,8,10)",
      "SetMatrix(2,0,0,3,96,47)", "DrawSurface2(40,0,0,31,1,8,10)", "SetMatrix(1,0,0,1,0,0)",
      "DrawRect(0,0,1,1)"};
  EXPECT_EQ(dev->calls, want);
}

TEST_F(Drawing, DrawImage2TurnsAndScalesAboutTheHandleInTheCurrentMatrix) {
  RecordingDevice* dev = new RecordingDevice;
  zu_graphics_SetGraphicsDevice(dev);
  c_Image* img = (new c_Image)->p_Init(BareSurface(16, 8), 1, 0);
  img->p_SetHandle(2, 1);
  zu_graphics_BeginRender();
  zu_graphics_Translate(10, 0);
  zu_graphics_DrawImage2(img, 100, 50, 90, 2, 3, 0);
  // An image point p goes to (110, 50) + turn(scale(p - handle)): scaled by (2, 3) first, then
  // turned 90 degrees anticlockwise on screen, (x, y) -> (y, -x). The handle lands at (110, 50).
  const float want[6] = {0, -2, 3, 0, 110 - 3, 50 + 4};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(dev->matrix.at(i), want[i], 1e-4) << i;
  EXPECT_EQ(dev->calls.back(), "DrawSurface(16,0,0)");
  EXPECT_EQ(Ctx()->m_matrixSp, 0);
  EXPECT_EQ(Ctx()->m_tx, 10); // the matrix of before is back
}

class DrawingDeath : public Drawing {
protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Drawing::SetUp();
  }
};

TEST_F(DrawingDeath, MisusesAreReported) {
  c_Image* img = (new c_Image)->p_Init(BareSurface(8, 8), 1, 0);
  EXPECT_RUNTIME_ERROR(img->p_Init(BareSurface(8, 8), 1, 0), "Image already initialized");
  // A fourth row in a three-row source; a frame wider than the source.
  EXPECT_RUNTIME_ERROR((new c_Image)->p_Init2(BareSurface(64, 96), 0, 0, 32, 32, 7, 0, nullptr, 0, 0, 64, 96),
                       "Image frame outside surface");
  EXPECT_RUNTIME_ERROR((new c_Image)->p_Init2(BareSurface(64, 96), 0, 0, 65, 32, 1, 0, nullptr, 0, 0, 64, 96),
                       "Image frame outside surface");

  // Drawing outside a frame, popping too much, frames the image does not have.
#define OUTSIDE "Rendering operations can only be performed inside OnRender"
  zu_graphics_SetGraphicsDevice(new RecordingDevice);
  EXPECT_RUNTIME_ERROR(zu_graphics_SetColor(1, 2, 3), OUTSIDE);
  EXPECT_RUNTIME_ERROR(zu_graphics_DrawRect(0, 0, 1, 1), OUTSIDE);
  img = (new c_Image)->p_Init(BareSurface(16, 8), 2, 0);
  EXPECT_RUNTIME_ERROR(zu_graphics_DrawImage(img, 0, 0, 0), OUTSIDE);
#undef OUTSIDE

  zu_graphics_PushMatrix();
  zu_graphics_PopMatrix();
  EXPECT_RUNTIME_ERROR(zu_graphics_PopMatrix(), "Matrix stack underflow");
  zu_graphics_BeginRender();
  EXPECT_RUNTIME_ERROR(zu_graphics_DrawImage(img, 0, 0, 2), "Image frame index out of range");
  EXPECT_RUNTIME_ERROR(zu_graphics_DrawImage2(img, 0, 0, 0, 1, 1, -1), "Image frame index out of range");
  EXPECT_RUNTIME_ERROR(zu_graphics_DrawImage(new c_Image, 0, 0, 0), "Image frame index out of range");
  EXPECT_RUNTIME_ERROR(zu_graphics_DrawImage(nullptr, 0, 0, 0), "Cannot draw a null image");
}

c_Image* g_kept;

TEST_F(Drawing, ContextAndImagesKeepTheirFieldsAliveThroughACollection) {
  gc_clear_roots();
  gc_root(zu_graphics_context);
  gc_root(g_kept);
  ForceSweep();
  gc_assign(zu_graphics_context, new c_GraphicsContext); // as the start-up does
  c_Image* font = (new c_Image)->p_Init(BareSurface(32, 8), 4, 0);
  zu_graphics_SetFont(font, 32);
  for (int i = 0; i < 40; ++i) zu_graphics_PushMatrix(); // a grown stack
  gc_assign(g_kept, (new c_Image)->p_Init2(BareSurface(8, 8), 0, 0, 8, 8, 1, 0, font, 0, 0, 8, 8));
  c_Image* lost = (new c_Image)->p_Init(BareSurface(8, 8), 1, 0);
  CollectFully(); // the second cycle starts from the roots alone: only mark() reaches the fields
  EXPECT_FALSE(gc_is_live_object(lost));
  std::vector<const void*> fields = {Ctx()->m_matrixStack.rep, font,
                                     font->m_surface,          font->m_frames.rep,
                                     font->m_frames[3],        g_kept->m_surface};
  for (size_t i = 0; i < fields.size(); ++i) EXPECT_TRUE(gc_is_live_object(fields[i])) << "field " << i;
  gc_clear_roots();
  g_kept = nullptr;
}

} // namespace
