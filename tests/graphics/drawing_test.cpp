// tests/graphics/drawing_test.cpp — the drawing module: frame layout and flags, the default
// font, the matrix and its stack, what reaches the render device (a recording device), the
// run-time errors, collector marking, and images drawn through the real device over OpenGL
// with the pixels read back (also after the window is re-opened).
// Depends on: graphics (drawing, image, device), host (window, data paths, image loading),
// runtime, libstb (writing PNGs).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include <stb_image_write.h>

#include "graphics/drawing.h"
#include "host/desktop_game.h"

namespace fs = std::filesystem;

namespace {

// ============================================================================
// [SECTION] Helpers
// ============================================================================

// The host for every test: its data folder ("quokka://data/") is a fresh temporary folder.
class TestHost : public ZuGlfwGame {
public:
  fs::path base;
  TestHost() {
    char name[] = "/tmp/lexorm-drawing-XXXXXX";
    base = mkdtemp(name);
    fs::create_directories(base / "data");
    _baseDir = String(base.c_str());
  }
  ~TestHost() override {
    std::error_code ec;
    fs::remove_all(base, ec);
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
  std::string path = (Host().base / "data" / name).string();
  ASSERT_NE(stbi_write_png(path.c_str(), w, h, 4, rgba.data(), w * 4), 0);
}

gxtkSurface* BareSurface(int w, int h) {
  gxtkSurface* s = new gxtkSurface; // no pixels, no texture
  s->width = w;
  s->height = h;
  return s;
}

// Instead of drawing, remembers the calls the module makes ("DrawRect(1,2,3,4)").
class RecordingDevice : public gxtkGraphics {
public:
  std::vector<std::string> calls;
  gxtkSurface* surface = nullptr;

  int Width() override { return 300; }
  int Height() override { return 200; }
  void SetColor(float r, float g, float b) override { Log("SetColor", {r, g, b}); }
  void SetAlpha(float a) override { Log("SetAlpha", {a}); }
  void SetBlend(int b) override { Log("SetBlend", {double(b)}); }
  void SetScissor(int x, int y, int w, int h) override {
    Log("SetScissor", {double(x), double(y), double(w), double(h)});
  }
  void SetMatrix(float ix, float iy, float jx, float jy, float tx, float ty) override {
    Log("SetMatrix", {ix, iy, jx, jy, tx, ty});
  }
  void DrawRect(float x, float y, float w, float h) override { Log("DrawRect", {x, y, w, h}); }
  void DrawLine(float x1, float y1, float x2, float y2) override { Log("DrawLine", {x1, y1, x2, y2}); }
  void DrawOval(float x, float y, float w, float h) override { Log("DrawOval", {x, y, w, h}); }
  void DrawSurface(gxtkSurface* s, float x, float y) override {
    surface = s;
    Log("DrawSurface", {x, y});
  }
  void DrawSurface2(gxtkSurface* s, float x, float y, int sx, int sy, int sw, int sh) override {
    surface = s;
    Log("DrawSurface2", {x, y, double(sx), double(sy), double(sw), double(sh)});
  }

private:
  void Log(const char* name, std::initializer_list<double> args) {
    std::string s = std::string(name) + "(";
    char buf[32];
    for (double a : args) {
      std::snprintf(buf, sizeof buf, "%s%g", s.back() == '(' ? "" : ",", a);
      s += buf;
    }
    calls.push_back(s + ")");
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

// ============================================================================
// [SECTION] Images: frame layout and flags
// ============================================================================

TEST_F(Drawing, AStripWithPadXHasEightPixelFramesOneInFromEachCell) {
  WritePng("strip.png", 960, 10, [](int i, int) { return Rgb{i % 256, 0, 0}; });
  zu_graphics_SetGraphicsDevice(new gxtkGraphics); // no window: the surface gets no texture

  c_Image* img = zu_graphics_LoadImage(String("strip.png"), 96, c_Image::PadX);
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(img->m_width, 8);
  EXPECT_EQ(img->m_height, 10);
  EXPECT_EQ(img->m_flags, c_Image::PadX);
  ASSERT_EQ(img->m_frames.Length(), 96);
  for (int i = 0; i < 96; ++i) {
    EXPECT_EQ(img->m_frames[i]->m_x, 1 + 10 * i) << i;
    EXPECT_EQ(img->m_frames[i]->m_y, 0) << i;
  }
  EXPECT_EQ(zu_graphics_LoadImage(String("missing.png"), 1, 0), nullptr);
  EXPECT_EQ(zu_graphics_LoadImage2(String("missing.png"), 8, 8, 1, 0), nullptr);
}

TEST_F(Drawing, WholeSurfaceOnlyForOneFullSizeFrameWithoutPadding) {
  auto flags = [](int frames, int flags) {
    return (new c_Image)->p_Init(BareSurface(20, 10), frames, flags)->m_flags;
  };
  EXPECT_EQ(flags(1, 0), c_Image::WholeSurface);
  EXPECT_EQ(flags(1, c_Image::PadX), c_Image::PadX);
  EXPECT_EQ(flags(1, c_Image::PadY), c_Image::PadY);
  EXPECT_EQ(flags(2, c_Image::WholeSurface), 0); // the caller cannot claim it
  gxtkSurface* s = BareSurface(20, 10);
  EXPECT_EQ((new c_Image)->p_Init2(s, 0, 0, 10, 10, 1, 0, nullptr, 0, 0, 20, 10)->m_flags, 0);
  EXPECT_EQ((new c_Image)->p_Init2(s, 0, 0, 20, 10, 1, 0, nullptr, 0, 0, 20, 10)->m_flags,
            c_Image::WholeSurface);
}

TEST_F(Drawing, Init2LaysFramesOutRowByRowInTheSourceRectangle) {
  gxtkSurface* s = BareSurface(64, 96);
  c_Image* img = (new c_Image)->p_Init2(s, 0, 0, 32, 32, 5, 0, nullptr, 0, 0, 64, 96);
  const int want[5][2] = {{0, 0}, {32, 0}, {0, 32}, {32, 32}, {0, 64}};
  ASSERT_EQ(img->m_frames.Length(), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(img->m_frames[i]->m_x, want[i][0]) << i;
    EXPECT_EQ(img->m_frames[i]->m_y, want[i][1]) << i;
  }
  // Offset by the source rectangle's corner, starting mid-row.
  c_Image* src = (new c_Image)->p_Init(BareSurface(200, 200), 1, 0);
  c_Image* part = (new c_Image)->p_Init2(BareSurface(200, 200), 32, 0, 32, 32, 2, 0, src, 100, 50, 64, 64);
  EXPECT_EQ(part->m_source, src);
  EXPECT_EQ(part->m_frames[0]->m_x, 132);
  EXPECT_EQ(part->m_frames[0]->m_y, 50);
  EXPECT_EQ(part->m_frames[1]->m_x, 100);
  EXPECT_EQ(part->m_frames[1]->m_y, 82);
  EXPECT_EQ((new c_Image)->p_Init2(s, 0, 0, 8, 8, 0, 0, nullptr, 0, 0, 64, 96)->m_frames.Length(), 0);
}

TEST_F(Drawing, HandleAtCentreIsSetFromThePaddedSizeAndSetHandleReplacesIt) {
  c_Image* img = (new c_Image)->p_Init(BareSurface(40, 20), 2, c_Image::HandleAtCentre | c_Image::PadY);
  EXPECT_EQ(img->m_width, 20);
  EXPECT_EQ(img->m_height, 18);
  EXPECT_EQ(img->m_handleX, 10.0f);
  EXPECT_EQ(img->m_handleY, 9.0f);
  EXPECT_EQ(img->m_flags, c_Image::PadY);
  img->p_SetHandle(3, 4);
  EXPECT_EQ(img->m_handleX, 3.0f);
  EXPECT_EQ(img->m_handleY, 4.0f);
}

TEST_F(Drawing, TheDefaultFontIsLoadedOnFirstNeedAndKept) {
  zu_graphics_SetGraphicsDevice(new gxtkGraphics);
  fs::remove(Host().base / "data" / "pith_font.png");
  zu_graphics_SetFont(nullptr, 40);
  EXPECT_EQ(Ctx()->m_font, nullptr); // missing: no font, and no error
  EXPECT_EQ(Ctx()->m_firstChar, 32);

  WritePng("pith_font.png", 960, 12, [](int, int) { return Rgb{255, 255, 255}; });
  zu_graphics_SetFont(nullptr, 40);
  c_Image* font = Ctx()->m_font;
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(Ctx()->m_defaultFont, font);
  EXPECT_EQ(font->m_frames.Length(), 96);
  EXPECT_EQ(font->m_width, 8);
  EXPECT_EQ(font->m_frames[1]->m_x, 11);

  c_Image* other = (new c_Image)->p_Init(BareSurface(8, 8), 1, 0);
  zu_graphics_SetFont(other, 65);
  EXPECT_EQ(Ctx()->m_font, other);
  EXPECT_EQ(Ctx()->m_firstChar, 65);
  zu_graphics_SetFont(nullptr, 0);
  EXPECT_EQ(Ctx()->m_font, font); // the same image, not loaded again
  EXPECT_EQ(Ctx()->m_firstChar, 32);
}

// ============================================================================
// [SECTION] The matrix
// ============================================================================

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
  EXPECT_EQ(Ctx()->m_matrixSp, 240);
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
  float x = c->m_ix * 1 + c->m_jx * 0 + c->m_tx, y = c->m_iy * 1 + c->m_jy * 0 + c->m_ty;
  EXPECT_NEAR(x, 10, 1e-5);
  EXPECT_NEAR(y, -1, 1e-5);
  zu_graphics_SetMatrix(2, 0, 0, 1, 0, 0);
  zu_graphics_Scale(0.5f, 1);
  EXPECT_EQ(c->m_transformed, 0); // exactly the identity again
}

// ============================================================================
// [SECTION] What reaches the render device
// ============================================================================

TEST_F(Drawing, BeginRenderResetsTheStateAndDrawsHandOverAChangedMatrixOnce) {
  RecordingDevice* dev = new RecordingDevice;
  zu_graphics_SetGraphicsDevice(dev);
  zu_graphics_Translate(5, 5);
  zu_graphics_PushMatrix();
  zu_graphics_BeginRender();
  EXPECT_EQ(Ctx()->m_matrixSp, 0);
  EXPECT_EQ(Ctx()->m_scissorWidth, 300.0f);
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
  EXPECT_EQ(dev->surface, whole->m_surface);
  zu_graphics_DrawImage(strip, 100, 50, 2);
  EXPECT_EQ(dev->surface, strip->m_surface);
  zu_graphics_DrawImage2(strip, 100, 50, 0, 2, 3, 3);
  EXPECT_EQ(Ctx()->m_matrixSp, 0);
  zu_graphics_DrawRect(0, 0, 1, 1);
  const std::vector<std::string> want = {
      "SetMatrix(1,0,0,1,0,0)",   "DrawSurface(92,46)",          "DrawSurface2(98,49,21,1,8,10)",
      "SetMatrix(2,0,0,3,96,47)", "DrawSurface2(0,0,31,1,8,10)", "SetMatrix(1,0,0,1,0,0)",
      "DrawRect(0,0,1,1)"};
  EXPECT_EQ(dev->calls, want);
}

// ============================================================================
// [SECTION] Run-time errors
// ============================================================================

// The runtime reports on standard output and the death test reads standard error; with
// nothing on standard input the debug stop ends the process with status 255.
void PrepareToDie() {
  std::fflush(stdout);
  dup2(2, 1);
  if (!std::freopen("/dev/null", "r", stdin)) std::exit(3);
}

#define EXPECT_RUNTIME_ERROR(statement, text)                                                                \
  EXPECT_EXIT(                                                                                               \
      {                                                                                                      \
        PrepareToDie();                                                                                      \
        statement;                                                                                           \
        std::exit(0);                                                                                        \
      },                                                                                                     \
      ::testing::ExitedWithCode(255), "(^|\n)Quokka Runtime Error : " text "\n")

class DrawingDeath : public Drawing {
protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Drawing::SetUp();
  }
};

TEST_F(DrawingDeath, ImagesAreInitialisedOnceAndFramesMustFitTheSource) {
  EXPECT_RUNTIME_ERROR((new c_Image)->p_Init(BareSurface(8, 8), 1, 0)->p_Init(BareSurface(8, 8), 1, 0),
                       "Image already initialized");
  EXPECT_RUNTIME_ERROR((new c_Image)
                           ->p_Init(BareSurface(8, 8), 1, 0)
                           ->p_Init2(BareSurface(8, 8), 0, 0, 8, 8, 1, 0, nullptr, 0, 0, 8, 8),
                       "Image already initialized");
  // A fourth row in a three-row source; a frame wider than the source.
  EXPECT_RUNTIME_ERROR((new c_Image)->p_Init2(BareSurface(64, 96), 0, 0, 32, 32, 7, 0, nullptr, 0, 0, 64, 96),
                       "Image frame outside surface");
  EXPECT_RUNTIME_ERROR((new c_Image)->p_Init2(BareSurface(64, 96), 0, 0, 65, 32, 1, 0, nullptr, 0, 0, 64, 96),
                       "Image frame outside surface");
}

#define OUTSIDE "Rendering operations can only be performed inside OnRender"

TEST_F(DrawingDeath, DrawingOutsideAFramePoppingTooMuchAndMissingFramesAreReported) {
  zu_graphics_SetGraphicsDevice(new RecordingDevice);
  EXPECT_RUNTIME_ERROR(zu_graphics_SetColor(1, 2, 3), OUTSIDE);
  EXPECT_RUNTIME_ERROR(zu_graphics_SetScissor(0, 0, 1, 1), OUTSIDE);
  EXPECT_RUNTIME_ERROR(zu_graphics_DrawRect(0, 0, 1, 1), OUTSIDE);
  c_Image* img = (new c_Image)->p_Init(BareSurface(16, 8), 2, 0);
  EXPECT_RUNTIME_ERROR(zu_graphics_DrawImage(img, 0, 0, 0), OUTSIDE);

  zu_graphics_PushMatrix();
  zu_graphics_PopMatrix();
  EXPECT_RUNTIME_ERROR(zu_graphics_PopMatrix(), "Matrix stack underflow");

  zu_graphics_BeginRender();
  EXPECT_RUNTIME_ERROR(zu_graphics_DrawImage(img, 0, 0, 2), "Image frame index out of range");
  EXPECT_RUNTIME_ERROR(zu_graphics_DrawImage2(img, 0, 0, 0, 1, 1, -1), "Image frame index out of range");
  EXPECT_RUNTIME_ERROR(zu_graphics_DrawImage(new c_Image, 0, 0, 0), "Image frame index out of range");
  EXPECT_RUNTIME_ERROR(zu_graphics_DrawImage(nullptr, 0, 0, 0), "Cannot draw a null image");
  EXPECT_RUNTIME_ERROR(zu_graphics_DrawImage2(nullptr, 0, 0, 0, 1, 1, 0), "Cannot draw a null image");
}

// ============================================================================
// [SECTION] The collector
// ============================================================================

c_Image* g_kept;

TEST_F(Drawing, ContextAndImagesKeepTheirFieldsAliveThroughACollection) {
  auto end_cycle = [] {
    gc_ext_malloced(gc_sweep_threshold + 1);
    gc_collect(nullptr);
  };
  gc_clear_roots();
  gc_root(zu_graphics_context);
  gc_root(g_kept);
  end_cycle();
  gc_assign(zu_graphics_context, new c_GraphicsContext); // as the start-up does
  c_Image* font = (new c_Image)->p_Init(BareSurface(32, 8), 4, 0);
  zu_graphics_SetFont(font, 32);
  for (int i = 0; i < 40; ++i) zu_graphics_PushMatrix(); // a grown stack
  gc_assign(g_kept, (new c_Image)->p_Init2(BareSurface(8, 8), 0, 0, 8, 8, 1, 0, font, 0, 0, 8, 8));
  c_Image* lost = (new c_Image)->p_Init(BareSurface(8, 8), 1, 0);
  // The second cycle starts from the roots alone: only mark() reaches the fields.
  end_cycle();
  end_cycle();
  gc_flush_free_list();
  EXPECT_FALSE(gc_is_live_object(lost));
  EXPECT_TRUE(gc_is_live_object(Ctx()->m_matrixStack.rep));
  EXPECT_TRUE(gc_is_live_object(font));
  EXPECT_TRUE(gc_is_live_object(font->m_surface));
  EXPECT_TRUE(gc_is_live_object(font->m_frames.rep));
  EXPECT_TRUE(gc_is_live_object(font->m_frames[3]));
  EXPECT_TRUE(gc_is_live_object(g_kept->m_surface));
  gc_clear_roots();
  g_kept = nullptr;
}

// ============================================================================
// [SECTION] Pixels through the real device
// ============================================================================

class Rendering : public Drawing {
protected:
  static gxtkGraphics* dev;

  static void SetUpTestSuite() {
    ASSERT_TRUE(glfw2().Init()) << "no display";
    Host().SetSwapInterval(0);
    Host().SetGlfwWindow(320, 240, 8, 8, 8, 0, 0, 0, false);
    dev = new gxtkGraphics;
    // Frame 0 magenta, frame 1 a different colour at each of its 4 x 3 pixels.
    WritePng("frames.png", 8, 3, [](int i, int j) {
      return i < 4 ? Rgb{255, 0, 255} : Rgb{30 + 50 * (i - 4), 30 + 70 * j, 90};
    });
  }
  static void TearDownTestSuite() { glfw2().Terminate(); }
  void SetUp() override {
    Drawing::SetUp();
    zu_graphics_SetGraphicsDevice(dev);
  }

  // One frame on the background colour: draws, then reads the w x h pixels at (x, y) as rgb.
  static std::vector<Rgb> Render(Rgb bg, const std::function<void()>& draw, int x, int y, int w, int h) {
    dev->BeginRender();
    zu_graphics_BeginRender();
    dev->Cls(bg.r, bg.g, bg.b);
    draw();
    Array<int> px(w * h);
    dev->ReadPixels(px, x, y, w, h, 0, w);
    zu_graphics_EndRender();
    dev->EndRender();
    std::vector<Rgb> out;
    for (int p : px) out.push_back({p >> 16 & 255, p >> 8 & 255, p & 255});
    return out;
  }

  static void ExpectPixels(const std::vector<Rgb>& got, int w, const std::function<Rgb(int, int)>& want,
                           int tolerance = 0) {
    for (size_t k = 0; k < got.size(); ++k) {
      int i = static_cast<int>(k) % w, j = static_cast<int>(k) / w;
      Rgb g = got[k], e = want(i, j);
      EXPECT_TRUE(std::abs(g.r - e.r) <= tolerance && std::abs(g.g - e.g) <= tolerance &&
                  std::abs(g.b - e.b) <= tolerance)
          << "at " << i << "," << j << ": got " << g.r << " " << g.g << " " << g.b << ", want " << e.r << " "
          << e.g << " " << e.b;
    }
  }

  // Frame 1 of frames.png with its handle (1, 1) drawn at (50, 40): its corner lands at (49, 39).
  static void ExpectFrameOneAtItsHandle(c_Image* img) {
    std::vector<Rgb> got = Render(
        {0, 0, 0}, [&] { zu_graphics_DrawImage(img, 50, 40, 1); }, 47, 37, 8, 7);
    ExpectPixels(got, 8, [](int i, int j) {
      int u = i - 2, v = j - 2; // image pixel
      return u >= 0 && u < 4 && v >= 0 && v < 3 ? Rgb{30 + 50 * u, 30 + 70 * v, 90} : Rgb{0, 0, 0};
    });
  }
};
gxtkGraphics* Rendering::dev;

TEST_F(Rendering, DrawImagePlacesTheFrameByItsHandle) {
  c_Image* img = zu_graphics_LoadImage(String("frames.png"), 2, 0);
  ASSERT_NE(img, nullptr);
  img->p_SetHandle(1, 1);
  ExpectFrameOneAtItsHandle(img);
}

TEST_F(Rendering, DrawImage2TurnsAndScalesAboutTheHandleTintedAndFaded) {
  const Rgb texel[2][3] = {{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}},
                           {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}}};
  WritePng("six.png", 3, 2, [&](int i, int j) { return texel[j][i]; });
  c_Image* img = zu_graphics_LoadImage(String("six.png"), 1, 0);
  ASSERT_NE(img, nullptr);
  ASSERT_TRUE(img->m_flags & c_Image::WholeSurface);
  img->p_SetHandle(1, 1);

  // 90 degrees anticlockwise and twice the size about the handle at (200, 100): image pixel
  // (i, j) becomes the 2 x 2 block at (198 + 2j, 100 - 2i). Read x 197..202, y 95..102.
  const Rgb bg{0, 0, 200};
  std::vector<Rgb> got = Render(
      bg,
      [&] {
        zu_graphics_SetColor(255, 128, 64);
        zu_graphics_SetAlpha(0.5f);
        zu_graphics_DrawImage2(img, 200, 100, 90, 2, 2, 0);
      },
      197, 95, 6, 8);
  // Vertex colour (127, 64, 32) and alpha 127: texel · colour / 255 over background · 128 / 255.
  ExpectPixels(
      got, 6,
      [&](int x, int y) {
        int sx = 197 + x, sy = 95 + y;
        if (sx < 198 || sx >= 202 || sy < 96 || sy >= 102) return bg;
        Rgb t = texel[(sx - 198) / 2][(101 - sy) / 2];
        return Rgb{t.r * 127 / 255 + bg.r * 128 / 255, t.g * 64 / 255 + bg.g * 128 / 255,
                   t.b * 32 / 255 + bg.b * 128 / 255};
      },
      2);
}

TEST_F(Rendering, AnImageStillDrawsAfterTheWindowIsReopened) {
  c_Image* img = zu_graphics_LoadImage(String("frames.png"), 2, 0);
  ASSERT_NE(img, nullptr);
  img->p_SetHandle(1, 1);
  ExpectFrameOneAtItsHandle(img);
  int seq = glfwGraphicsSeq;
  Host().SetGlfwWindow(320, 240, 8, 8, 8, 0, 0, 0, false); // a new OpenGL context
  ASSERT_EQ(glfwGraphicsSeq, seq + 1);
  ExpectFrameOneAtItsHandle(img);
}

} // namespace
