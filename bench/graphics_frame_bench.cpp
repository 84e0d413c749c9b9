// bench/graphics_frame_bench.cpp — one game-like frame through the batched graphics device
// against the same frame drawn naively, in the same run, on the same window and context.
//
// The frame: 2,000 textured sprites from one 8-frame sheet (each with its own colour, alpha,
// rotation and scale, drawn through the drawing module's zu_graphics_DrawImage2 and so the
// device's SetMatrix/SetColor/SetAlpha/DrawSurface2), then 500 rectangles and 100 ellipses
// of varied sizes. The naive frame draws the same primitives one glBegin/glEnd each, with
// per-primitive state calls: glColor, glBindTexture, glPushMatrix/glTranslatef/glRotatef/
// glScalef/glPopMatrix for sprites. Every frame starts with a clear and ends with glFinish,
// so the rendering work (Mesa renders on the processor here) is inside the time; the time
// spent before glFinish (submitting the frame) is reported as well. Frames of
// the two kinds alternate so that both see the same machine. Reported: wall time and
// process CPU time per frame (median and minimum), their ratios, draw calls and batches,
// and how far the two frames' pixels differ (they draw the same scene).
// Needs a display (make bench provides one).
#include <GL/gl.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

#include "graphics/device.h"
#include "graphics/drawing.h"
#include "graphics/image.h"
#include "host/desktop_game.h"
#include "runtime/gc.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr int kSprites = 2000, kRects = 500, kOvals = 100;
constexpr int kFrameSize = 32, kSheetFrames = 8;
constexpr int kWarmup = 5, kRounds = 40;

struct Sprite {
  float x, y, rotation, scaleX, scaleY, r, g, b, a;
  int frame;
};
struct Shape {
  float x, y, w, h, r, g, b, a;
};

struct Scene {
  std::vector<Sprite> sprites;
  std::vector<Shape> rects, ovals;
};

Scene MakeScene() {
  std::mt19937 rng(20240611);
  auto uni = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
  Scene s;
  for (int i = 0; i < kSprites; ++i) {
    float scale = uni(0.5f, 1.5f);
    s.sprites.push_back({uni(0, kWidth), uni(0, kHeight), uni(0, 360), scale, scale * uni(0.8f, 1.2f),
                         uni(64, 255), uni(64, 255), uni(64, 255), uni(0.3f, 1.0f),
                         static_cast<int>(rng() % kSheetFrames)});
  }
  for (int i = 0; i < kRects; ++i)
    s.rects.push_back({uni(0, kWidth), uni(0, kHeight), uni(2, 40), uni(2, 40), uni(0, 255), uni(0, 255),
                       uni(0, 255), uni(0.2f, 1.0f)});
  for (int i = 0; i < kOvals; ++i) {
    float rad = uni(4, 40);
    s.ovals.push_back({uni(0, kWidth), uni(0, kHeight), rad, rad * uni(0.6f, 1.0f), uni(0, 255), uni(0, 255),
                       uni(0, 255), uni(0.2f, 1.0f)});
  }
  return s;
}

// The sprite sheet: 8 frames of 32 x 32 side by side, each a disc with a ring, in its own
// colour, with soft transparent edges; the handle at each frame's centre.
c_Image* MakeSheet() {
  c_Image* sheet = zu_graphics_CreateImage(kFrameSize, kFrameSize, kSheetFrames, c_Image::HandleAtCentre);
  int w = kFrameSize * kSheetFrames;
  Array<int> pixels(w * kFrameSize);
  for (int f = 0; f < kSheetFrames; ++f)
    for (int y = 0; y < kFrameSize; ++y)
      for (int x = 0; x < kFrameSize; ++x) {
        float dx = x - 15.5f, dy = y - 15.5f, d = std::sqrt(dx * dx + dy * dy);
        int a = d < 12 ? 255 : d < 16 ? static_cast<int>(255 * (16 - d) / 4) : 0;
        int r = (f & 1) ? 255 : 80, g = (f & 2) ? 255 : 80, b = (f & 4) ? 255 : 80;
        if (d > 6 && d < 9) r = g = b = 255;
        pixels[y * w + f * kFrameSize + x] =
            static_cast<int>(static_cast<uint32_t>(a) << 24 | r << 16 | g << 8 | b);
      }
  zu_graphics_device->WritePixels2(sheet->m_surface, pixels, 0, 0, w, kFrameSize, 0, w);
  return sheet;
}

// ============================================================================
// [SECTION] The two ways of drawing the frame
// ============================================================================

void DrawBatched(gxtkGraphics* dev, const Scene& s, c_Image* sheet) {
  dev->BeginRender();
  zu_graphics_BeginRender();
  dev->Cls(20, 30, 40);
  for (const Sprite& p : s.sprites) {
    zu_graphics_SetColor(p.r, p.g, p.b);
    zu_graphics_SetAlpha(p.a);
    zu_graphics_DrawImage2(sheet, p.x, p.y, p.rotation, p.scaleX, p.scaleY, p.frame);
  }
  for (const Shape& r : s.rects) {
    zu_graphics_SetColor(r.r, r.g, r.b);
    zu_graphics_SetAlpha(r.a);
    zu_graphics_DrawRect(r.x, r.y, r.w, r.h);
  }
  for (const Shape& o : s.ovals) {
    zu_graphics_SetColor(o.r, o.g, o.b);
    zu_graphics_SetAlpha(o.a);
    zu_graphics_DrawEllipse(o.x, o.y, o.w, o.h);
  }
  zu_graphics_EndRender();
  dev->EndRender();
}

// The colour as the device makes it: premultiplied bytes.
void NaiveColor(float r, float g, float b, float a) {
  glColor4ub(static_cast<GLubyte>(static_cast<int>(r * a)), static_cast<GLubyte>(static_cast<int>(g * a)),
             static_cast<GLubyte>(static_cast<int>(b * a)), static_cast<GLubyte>(static_cast<int>(255 * a)));
}

// Returns the number of glBegin/glEnd pairs.
long long DrawNaive(gxtkGraphics* dev, const Scene& s, c_Image* sheet) {
  long long calls = 0;
  dev->BeginRender(); // viewport, projection, blend function: the same starting state
  dev->Cls(20, 30, 40);
  gxtkSurface* surface = sheet->m_surface;
  float w = static_cast<float>(sheet->m_width), h = static_cast<float>(sheet->m_height);
  glEnable(GL_TEXTURE_2D);
  for (const Sprite& p : s.sprites) {
    c_Frame* f = sheet->m_frames[p.frame];
    float u0 = f->m_x * surface->uScale, u1 = (f->m_x + w) * surface->uScale;
    float v0 = f->m_y * surface->vScale, v1 = (f->m_y + h) * surface->vScale;
    glBindTexture(GL_TEXTURE_2D, surface->texture);
    NaiveColor(p.r, p.g, p.b, p.a);
    glPushMatrix();
    glTranslatef(p.x, p.y, 0);
    glRotatef(-p.rotation, 0, 0, 1); // y grows downwards: a positive angle turns anticlockwise
    glScalef(p.scaleX, p.scaleY, 1);
    glTranslatef(-sheet->m_handleX, -sheet->m_handleY, 0);
    glBegin(GL_QUADS);
    glTexCoord2f(u0, v0);
    glVertex2f(0, 0);
    glTexCoord2f(u1, v0);
    glVertex2f(w, 0);
    glTexCoord2f(u1, v1);
    glVertex2f(w, h);
    glTexCoord2f(u0, v1);
    glVertex2f(0, h);
    glEnd();
    glPopMatrix();
    ++calls;
  }
  glDisable(GL_TEXTURE_2D);
  for (const Shape& r : s.rects) {
    NaiveColor(r.r, r.g, r.b, r.a);
    glBegin(GL_QUADS);
    glVertex2f(r.x, r.y);
    glVertex2f(r.x + r.w, r.y);
    glVertex2f(r.x + r.w, r.y + r.h);
    glVertex2f(r.x, r.y + r.h);
    glEnd();
    ++calls;
  }
  for (const Shape& o : s.ovals) {
    NaiveColor(o.r, o.g, o.b, o.a);
    // The device's segment rule for an untransformed ellipse.
    int n = std::abs(static_cast<int>(o.w)) + std::abs(static_cast<int>(o.h));
    n = n <= 11 ? 12 : n > 1024 ? 1024 : n & ~3;
    glBegin(GL_TRIANGLE_FAN);
    for (int i = 0; i < n; ++i) {
      float th = static_cast<float>(i) * 6.2831855f / static_cast<float>(n);
      glVertex2f(o.x + std::cos(th) * o.w, o.y - std::sin(th) * o.h);
    }
    glEnd();
    ++calls;
  }
  return calls;
}

// ============================================================================
// [SECTION] Measuring
// ============================================================================

double CpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

struct Times {
  std::vector<double> submit_ms, wall_ms, cpu_ms;
  double Median(std::vector<double> v) const {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }
  double Min(const std::vector<double>& v) const { return *std::min_element(v.begin(), v.end()); }
};

template <class Draw> void Time(Times& t, Draw draw) {
  double c0 = CpuSeconds();
  auto w0 = std::chrono::steady_clock::now();
  draw();
  auto ws = std::chrono::steady_clock::now();
  glFinish();
  auto w1 = std::chrono::steady_clock::now();
  double c1 = CpuSeconds();
  t.submit_ms.push_back(std::chrono::duration<double, std::milli>(ws - w0).count());
  t.wall_ms.push_back(std::chrono::duration<double, std::milli>(w1 - w0).count());
  t.cpu_ms.push_back((c1 - c0) * 1000.0);
}

std::vector<uint8_t> ReadFrame() {
  std::vector<uint8_t> p(static_cast<size_t>(kWidth) * kHeight * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
  return p;
}

} // namespace

int main() {
  gc_init1();
  if (!glfw2().Init()) {
    std::fprintf(stderr, "bench_graphics_frame: no display\n");
    return 1;
  }
  ZuGlfwGame* host = new ZuGlfwGame;
  host->SetDelegate(new ZuGameDelegate);
  host->SetSwapInterval(0);
  host->SetGlfwWindow(kWidth, kHeight, 8, 8, 8, 8, 0, 0, false);

  gxtkGraphics* dev = new gxtkGraphics;
  zu_graphics_SetGraphicsDevice(dev);
  zu_graphics_context = new c_GraphicsContext;
  c_Image* sheet = MakeSheet();
  Scene scene = MakeScene();

  // Same scene, same pixels? (Edges of rotated quads may round differently.)
  DrawBatched(dev, scene, sheet);
  glFinish();
  std::vector<uint8_t> batchedPixels = ReadFrame();
  DrawNaive(dev, scene, sheet);
  glFinish();
  std::vector<uint8_t> naivePixels = ReadFrame();
  long long differing = 0;
  int maxDiff = 0;
  for (size_t i = 0; i < batchedPixels.size(); i += 4) {
    int d = 0;
    for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(batchedPixels[i + c] - naivePixels[i + c]));
    maxDiff = std::max(maxDiff, d);
    if (d > 8) ++differing;
  }

  for (int i = 0; i < kWarmup; ++i) {
    DrawBatched(dev, scene, sheet);
    glFinish();
    DrawNaive(dev, scene, sheet);
    glFinish();
  }
  Times batched, naive;
  long long calls0 = dev->drawCalls, batches0 = dev->batchesDrawn;
  long long naiveCalls = 0;
  for (int i = 0; i < kRounds; ++i) {
    Time(batched, [&] { DrawBatched(dev, scene, sheet); });
    Time(naive, [&] { naiveCalls = DrawNaive(dev, scene, sheet); });
  }
  long long batchedCalls = (dev->drawCalls - calls0) / kRounds;
  long long batchedBatches = (dev->batchesDrawn - batches0) / kRounds;

  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  std::printf("graphics frame: %d textured sprites from one %d-frame sheet (colour, alpha, rotation, scale "
              "each), %d rectangles, %d ellipses; %dx%d window, renderer %s\n",
              kSprites, kSheetFrames, kRects, kOvals, kWidth, kHeight, renderer ? renderer : "?");
  std::printf(
      "%d rounds after %d warm-up rounds, batched and naive frames alternating, each ending in glFinish\n",
      kRounds, kWarmup);
  std::printf("  batched (device):  wall median %7.3f ms (min %7.3f), CPU median %7.3f ms (min %7.3f), "
              "submitting before glFinish %6.3f ms; %lld draw calls in %lld batches per frame\n",
              batched.Median(batched.wall_ms), batched.Min(batched.wall_ms), batched.Median(batched.cpu_ms),
              batched.Min(batched.cpu_ms), batched.Median(batched.submit_ms), batchedCalls, batchedBatches);
  std::printf("  naive (glBegin):   wall median %7.3f ms (min %7.3f), CPU median %7.3f ms (min %7.3f), "
              "submitting before glFinish %6.3f ms; %lld draw calls (glBegin/glEnd) per frame\n",
              naive.Median(naive.wall_ms), naive.Min(naive.wall_ms), naive.Median(naive.cpu_ms),
              naive.Min(naive.cpu_ms), naive.Median(naive.submit_ms), naiveCalls);
  std::printf(
      "  ratio naive / batched (medians): wall %.2fx, CPU %.2fx, submitting %.2fx; draw calls %.1fx fewer\n",
      naive.Median(naive.wall_ms) / batched.Median(batched.wall_ms),
      naive.Median(naive.cpu_ms) / batched.Median(batched.cpu_ms),
      naive.Median(naive.submit_ms) / batched.Median(batched.submit_ms),
      static_cast<double>(naiveCalls) / static_cast<double>(batchedCalls));
  std::printf(
      "  same scene check: %lld of %d pixels differ by more than 8 levels (%.3f%%), largest difference %d\n",
      differing, kWidth * kHeight, 100.0 * differing / (kWidth * kHeight), maxDiff);

  glfw2().Terminate();
  return 0;
}
