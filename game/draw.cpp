// game/draw.cpp — the draw state, the record helpers of the draw queue, the palette, frame
// starts (fixed colour and fading backdrop), random helpers and image slot loading.
// Depends on: my_app.h, globals.h, app (random, Millisecs), graphics (images, device), host (paths),
// runtime (zuPrint).
#include <cmath>
#include <set>
#include <string>

#include "app/random.h"
#include "globals.h"
#include "graphics/device.h"
#include "graphics/drawing.h"
#include "graphics/image.h"
#include "host/game.h"
#include "my_app.h"
#include "runtime/errors.h"

namespace {

constexpr int kImageSlots = 100;
constexpr float kBgKeep = -123; // a backdrop channel or alpha at or below this keeps its value

bool ValidSlot(int slot) { return slot >= 0 && slot < kImageSlots; }

float Clamp(float v, float low, float high) { return v < low ? low : (v > high ? high : v); }

// The file name of an image at the current detail level.
String DetailName(const String& name, int level) {
  if (level == 2) return name + String("-hd.png");
  if (level == 4) return name + String("-hd2.png");
  return name + String(".png");
}

// A sheet of the game's data: frameCount frames of w x h laid out row by row over the picture.
// A picture too small for them is a damaged data file like one that does not decode: one line
// naming it (once, however often the game loads it again), and the slot stays empty, so nothing
// is drawn for it. Null too for a missing or undecodable file (the host has said why).
c_Image* LoadSheet(const String& file, int w, int h, int frameCount, int flags) {
  const String path = zu_data_FixDataPath(file);
  gxtkSurface* surface = zu_graphics_device->LoadSurface(path);
  if (!surface) return nullptr;
  const int sw = surface->Width(), sh = surface->Height();
  if (c_Image::FramesFit(0, 0, w, h, frameCount, sw, sh))
    return (new c_Image)->p_Init2(surface, 0, 0, w, h, frameCount, flags, nullptr, 0, 0, sw, sh);
  surface->Discard(); // its pixels and texture now; the collector takes the rest
  static std::set<std::string> said;
  String onDisk = ZuGame::_game ? ZuGame::_game->PathToFilePath(path) : String();
  if (onDisk.Length() == 0) onDisk = path;
  const std::string line = "LoadImg: image too small for its frames " + onDisk.ToUtf8() + ": " +
                           std::to_string(sw) + " x " + std::to_string(sh) + " pixels for " +
                           std::to_string(frameCount) + " frames of " + std::to_string(w) + " x " +
                           std::to_string(h);
  if (said.insert(line).second) zuPrint(String::FromUtf8(line.data(), static_cast<int>(line.size())));
  return nullptr;
}

} // namespace

// [SECTION] Draw state

int c_MyApp::p_ResetDraw() {
  m_SizeX = 1;
  m_SizeY = 1;
  m_Rot = 0;
  m_Red = m_Green = m_Blue = 255;
  m_Alpha = 1;
  m_Blend = 1;
  return 0;
}

int c_MyApp::p_SetSize(float sx, float sy) {
  m_SizeX = sx;
  m_SizeY = sy == NOT_GIVEN ? sx : sy;
  return 0;
}

int c_MyApp::p_SetRot(float a) {
  m_Rot = -a;
  return 0;
}

int c_MyApp::p_SetCol(float r, float g, float b, float a) {
  m_Red = r;
  m_Green = g;
  m_Blue = b;
  if (a > NOT_GIVEN) m_Alpha = a;
  return 0;
}

int c_MyApp::p_Alpha(float a) {
  m_Alpha = a;
  return 0;
}

int c_MyApp::p_Ink(int n, float brightness) {
  static const float kPalette[10][3] = {
      {0.3f, 0.3f, 0.3f}, // grey, for every number outside 1..9
      {1.0f, 0.1f, 0.1f}, {1.0f, 0.5f, 0.1f}, {1.0f, 1.0f, 0.1f}, {0.1f, 1.0f, 0.1f}, {0.1f, 1.0f, 1.0f},
      {0.1f, 0.1f, 1.0f}, {0.5f, 0.1f, 1.0f}, {1.0f, 0.1f, 0.5f}, {1.0f, 1.0f, 1.0f},
  };
  const float* c = kPalette[n >= 1 && n <= 9 ? n : 0];
  m_Red = Clamp(c[0] * brightness * 255, 0, 255);
  m_Green = Clamp(c[1] * brightness * 255, 0, 255);
  m_Blue = Clamp(c[2] * brightness * 255, 0, 255);
  return 0;
}

// [SECTION] Records

// Appends one record of the given kind with the current rotation, alpha, colour and blend;
// floats 8, 9 and 14 keep what they held. Dropped when the queue is full.
static void AppendRecord(c_MyApp* app, float kind, float x, float y, float a, float b, float frame) {
  int at = app->m_DrawCount;
  if (at < 0 || at > kLastRecordStart) return;
  float* r = &app->m_DrawQueue[at];
  r[0] = kind;
  r[1] = x;
  r[2] = y;
  r[3] = app->m_Rot;
  r[4] = a;
  r[5] = b;
  r[6] = frame;
  r[7] = app->m_Alpha;
  r[10] = app->m_Red;
  r[11] = app->m_Green;
  r[12] = app->m_Blue;
  r[13] = static_cast<float>(app->m_Blend);
  app->m_DrawCount = at + kRecordFloats;
}

int c_MyApp::p_DrawImg(int slot, float x, float y, int frame) {
  AppendRecord(this, static_cast<float>(slot), x, y, m_SizeX, m_SizeY, static_cast<float>(frame));
  return 0;
}

int c_MyApp::p_Rect(float x, float y, float w, float h) {
  AppendRecord(this, KIND_RECT, x, y, w, h, 0);
  return 0;
}

int c_MyApp::p_Oval(float x, float y, float rx, float ry) {
  AppendRecord(this, KIND_OVAL, x, y, rx, ry, 0);
  return 0;
}

int c_MyApp::p_Line(float x1, float y1, float x2, float y2) {
  AppendRecord(this, KIND_LINE, x1, y1, x2, y2, 0);
  return 0;
}

// [SECTION] Frame starts

int c_MyApp::p_CLS2D(float r, float g, float b, float a) {
  if (r > NOT_GIVEN) {
    m_ClsRed = r;
    m_ClsGreen = g;
    m_ClsBlue = b;
    m_ClsAlpha = a;
  }
  p_ResetDraw();
  m_DrawCount = 0;
  return 0;
}

int c_MyApp::p_DoBG(float r, float g, float b, float a) {
  if (r == -1) {
    // One full turn of the colour wheel every 57.6 seconds.
    double phi = zu_app_Millisecs() / 160.0 * (M_PI / 180.0);
    r = std::trunc(130 + 30 * std::sin(phi));
    g = std::trunc(130 + 30 * std::cos(phi));
    b = std::trunc(130 - 30 * std::cos(phi));
  }
  if (r > kBgKeep) m_BgTargetRed = r;
  if (g > kBgKeep) m_BgTargetGreen = g;
  if (b > kBgKeep) m_BgTargetBlue = b;
  m_BgRed += (m_BgTargetRed - m_BgRed) * 0.125f;
  m_BgGreen += (m_BgTargetGreen - m_BgGreen) * 0.125f;
  m_BgBlue += (m_BgTargetBlue - m_BgBlue) * 0.125f;
  m_ClsRed = m_BgRed;
  m_ClsGreen = m_BgGreen;
  m_ClsBlue = m_BgBlue;
  m_ClsAlpha = a == kBgKeep ? 1 : Clamp(a, 0, 1);
  p_ResetDraw();
  m_DrawCount = 0;
  return 0;
}

// [SECTION] Random helpers

int c_MyApp::p_Rand(int low, int high) {
  float r = zu_random_Rnd();
  return static_cast<int>(std::floor(low + r * (high + 0.99f - low)));
}

int c_MyApp::p_SeedRnd(int seed) {
  if (seed == SEED_FROM_CLOCK) seed = zu_app_Millisecs();
  zu_random_Seed = seed;
  for (int i = 0; i < 21; ++i) zu_random_Rnd();
  return 0;
}

// [SECTION] Image slots

int c_MyApp::p_LoadImg(int slot, const String& name, int w, int h, int frames, int flags) {
  if (!ValidSlot(slot)) return 0;
  gc_assign(m_Images[slot], static_cast<c_Image*>(nullptr));
  if (zu_graphics_device)
    gc_assign(m_Images[slot],
              LoadSheet(DetailName(name, m_HDLevel), m_HDLevel * w, m_HDLevel * h, frames, flags));
  m_ImageInfo[3 * slot] = m_HDLevel * w;
  m_ImageInfo[3 * slot + 1] = m_HDLevel * h;
  m_ImageInfo[3 * slot + 2] = frames;
  return 0;
}

int c_MyApp::p_LoadFont(int slot, const String& name, int advance, int height) {
  if (!ValidSlot(slot)) return 0;
  gc_assign(m_Images[slot], static_cast<c_Image*>(nullptr));
  if (zu_graphics_device)
    gc_assign(m_Images[slot], LoadSheet(DetailName(name, m_HDLevel), 16 * m_HDLevel, 16 * m_HDLevel, 128,
                                        c_Image::HandleAtCentre));
  m_ImageInfo[3 * slot] = advance;
  m_ImageInfo[3 * slot + 1] = height;
  m_ImageInfo[3 * slot + 2] = 128;
  m_FontImage = slot;
  return 0;
}

int c_MyApp::p_ReserveImg(int slot, int w, int h) {
  if (!ValidSlot(slot)) return 0;
  gc_assign(m_Images[slot], static_cast<c_Image*>(nullptr));
  if (zu_graphics_device && w > 0 && h > 0)
    gc_assign(m_Images[slot], zu_graphics_CreateImage(w, h, 1, c_Image::HandleAtCentre));
  m_ImageInfo[3 * slot] = w;
  m_ImageInfo[3 * slot + 1] = h;
  m_ImageInfo[3 * slot + 2] = 1;
  return 0;
}
