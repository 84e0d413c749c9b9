// graphics/device.cpp — gxtkGraphics: the vertex batch and the OpenGL 1.1 calls.
#include "device.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "host/desktop_game.h"
#include "host/game.h"
#include "host/window_api.h"

#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif

// ============================================================================
// [SECTION] Construction and frame
// ============================================================================

gxtkGraphics::gxtkGraphics() {
  glfw2().GetWindowSize(&width, &height);
  std::memset(batchVertices, 0, sizeof batchVertices);
  for (int q = 0; q < MaxQuads; ++q) {
    uint16_t* e = quadIndices + q * 6;
    uint16_t b = static_cast<uint16_t>(q * 4);
    e[0] = b;
    e[1] = static_cast<uint16_t>(b + 1);
    e[2] = static_cast<uint16_t>(b + 2);
    e[3] = b;
    e[4] = static_cast<uint16_t>(b + 2);
    e[5] = static_cast<uint16_t>(b + 3);
  }
  batchCount = 0;
}

void gxtkGraphics::mark() { gc_mark_q(batchSurface); }

int gxtkGraphics::Width() { return width; }
int gxtkGraphics::Height() { return height; }

int gxtkGraphics::BeginRender() {
  width = height = 0;
  glfw2().GetWindowSize(&width, &height);

  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, width, height, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();

  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(2, GL_FLOAT, sizeof(gxtkVertex), &batchVertices[0].x);
  glTexCoordPointer(2, GL_FLOAT, sizeof(gxtkVertex), &batchVertices[0].u);
  glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(gxtkVertex), &batchVertices[0].color);

  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_TEXTURE_2D);

  batchCount = 0;
  return 1;
}

void gxtkGraphics::EndRender() { Flush(); }

void gxtkGraphics::DiscardGraphics() {}

void gxtkGraphics::Flush() {
  if (batchCount) DrawBatch();
}

// ============================================================================
// [SECTION] The batch
// ============================================================================

gxtkVertex* gxtkGraphics::Begin(int kind, int n, gxtkSurface* surface) {
  if (batchKind == kind && batchSurface == surface && batchCount + n <= MaxVertices) {
    gxtkVertex* v = batchVertices + batchCount;
    batchCount += n;
    return v;
  }
  if (batchCount) DrawBatch();
  batchKind = kind;
  gc_assign(batchSurface, surface);
  batchCount = n;
  return batchVertices;
}

void gxtkGraphics::DrawBatch() {
  if (batchSurface) {
    glEnable(GL_TEXTURE_2D);
    batchSurface->Bind();
  }
  switch (batchKind) {
  case 1:
    glDrawArrays(GL_POINTS, 0, batchCount);
    ++drawCalls;
    break;
  case 2:
    glDrawArrays(GL_LINES, 0, batchCount);
    ++drawCalls;
    break;
  case 3:
    glDrawArrays(GL_TRIANGLES, 0, batchCount);
    ++drawCalls;
    break;
  case 4:
    glDrawElements(GL_TRIANGLES, batchCount / 4 * 6, GL_UNSIGNED_SHORT, quadIndices);
    ++drawCalls;
    break;
  default:
    for (int i = 0; i < batchCount; i += batchKind) {
      glDrawArrays(GL_TRIANGLE_FAN, i, batchKind);
      ++drawCalls;
    }
    break;
  }
  ++batchesDrawn;
  verticesDrawn += batchCount;
  if (batchSurface) glDisable(GL_TEXTURE_2D);
  batchCount = 0;
}

inline void gxtkGraphics::Put(gxtkVertex* v, float x, float y) {
  if (transformed) {
    v->x = ix * x + jx * y + tx;
    v->y = iy * x + jy * y + ty;
  } else {
    v->x = x;
    v->y = y;
  }
  v->color = packedColor;
}

// ============================================================================
// [SECTION] State
// ============================================================================

void gxtkGraphics::Cls(float r, float g, float b) {
  batchCount = 0;
  glClearColor(r / 255.0f, g / 255.0f, b / 255.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
}

namespace {
uint32_t PackColor(float r, float g, float b, float a) {
  unsigned char bytes[4] = {static_cast<unsigned char>(static_cast<int>(r * a)),
                            static_cast<unsigned char>(static_cast<int>(g * a)),
                            static_cast<unsigned char>(static_cast<int>(b * a)),
                            static_cast<unsigned char>(static_cast<int>(255.0f * a))};
  uint32_t packed;
  std::memcpy(&packed, bytes, 4);
  return packed;
}
} // namespace

void gxtkGraphics::SetAlpha(float a) {
  alpha = a;
  packedColor = PackColor(red, green, blue, alpha);
}

void gxtkGraphics::SetColor(float r, float g, float b) {
  red = r;
  green = g;
  blue = b;
  packedColor = PackColor(red, green, blue, alpha);
}

void gxtkGraphics::SetBlend(int blend) {
  Flush();
  if (blend == 1)
    glBlendFunc(GL_ONE, GL_ONE);
  else
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
}

void gxtkGraphics::SetScissor(int x, int y, int w, int h) {
  Flush();
  if (x == 0 && y == 0 && w == Width() && h == Height()) {
    glDisable(GL_SCISSOR_TEST);
  } else {
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, Height() - y - h, w, h);
  }
}

void gxtkGraphics::SetMatrix(float mix, float miy, float mjx, float mjy, float mtx, float mty) {
  ix = mix;
  iy = miy;
  jx = mjx;
  jy = mjy;
  tx = mtx;
  ty = mty;
  transformed = !(ix == 1 && iy == 0 && jx == 0 && jy == 1 && tx == 0 && ty == 0);
}

// ============================================================================
// [SECTION] Primitives
// ============================================================================

void gxtkGraphics::DrawPoint(float x, float y) {
  gxtkVertex* v = Begin(1, 1, nullptr);
  Put(v, x, y);
  v->x += 0.5f;
  v->y += 0.5f;
}

void gxtkGraphics::DrawLine(float x1, float y1, float x2, float y2) {
  gxtkVertex* v = Begin(2, 2, nullptr);
  Put(v, x1, y1);
  Put(v + 1, x2, y2);
  for (int i = 0; i < 2; ++i) {
    v[i].x += 0.5f;
    v[i].y += 0.5f;
  }
}

void gxtkGraphics::DrawRect(float x, float y, float w, float h) {
  gxtkVertex* v = Begin(4, 4, nullptr);
  Put(v, x, y);
  Put(v + 1, x + w, y);
  Put(v + 2, x + w, y + h);
  Put(v + 3, x, y + h);
}

void gxtkGraphics::DrawOval(float x, float y, float w, float h) {
  float xr = w * 0.5f, yr = h * 0.5f;
  float cx = x + xr, cy = y + yr;
  // The radii on screen, in whole pixels, decide the number of segments. Kept in floating
  // point until clamped, so that no radius, however large (or not a number), overflows an int.
  float size;
  if (transformed) {
    float dx = std::sqrt((xr * ix) * (xr * ix) + (xr * iy) * (xr * iy));
    float dy = std::sqrt((yr * jx) * (yr * jx) + (yr * jy) * (yr * jy));
    size = dx + dy;
  } else {
    size = std::fabs(std::trunc(xr)) + std::fabs(std::trunc(yr));
  }
  int n;
  if (!(size >= 12))
    n = 12;
  else if (size >= MaxVertices)
    n = MaxVertices;
  else
    n = static_cast<int>(size) & ~3;

  gxtkVertex* v = Begin(n, n, nullptr);
  for (int i = 0; i < n; ++i) {
    float th = static_cast<float>(i) * 6.2831855f / static_cast<float>(n);
    Put(v + i, cx + std::cos(th) * xr, cy - std::sin(th) * yr);
  }
}

void gxtkGraphics::DrawPoly(Array<float> verts) {
  int n = verts.Length() / 2;
  if (n < 1 || n > MaxVertices) return;
  gxtkVertex* v = Begin(n, n, nullptr);
  const float* p = verts.begin();
  for (int i = 0; i < n; ++i) Put(v + i, p[i * 2], p[i * 2 + 1]);
}

namespace {
// Texture coordinates are computed from uScale and vScale, which the texture of the
// current context sets: make it before the first coordinates are computed.
inline void EnsureTexture(gxtkSurface* s) {
  if (s->contextSeq != glfwGraphicsSeq) s->Bind();
}
} // namespace

void gxtkGraphics::DrawPoly2(Array<float> verts, gxtkSurface* surface, int srcx, int srcy) {
  int n = verts.Length() / 4;
  if (n < 1 || n > MaxVertices) return;
  EnsureTexture(surface);
  gxtkVertex* v = Begin(n, n, surface);
  const float* p = verts.begin();
  for (int i = 0; i < n; ++i, p += 4) {
    Put(v + i, p[0], p[1]);
    v[i].u = (p[2] + static_cast<float>(srcx)) * surface->uScale;
    v[i].v = (p[3] + static_cast<float>(srcy)) * surface->vScale;
  }
}

void gxtkGraphics::DrawSurface(gxtkSurface* surface, float x, float y) {
  gxtkGraphics::DrawSurface2(surface, x, y, 0, 0, surface->Width(), surface->Height());
}

void gxtkGraphics::DrawSurface2(gxtkSurface* surface, float x, float y, int srcx, int srcy, int srcw,
                                int srch) {
  EnsureTexture(surface);
  float w = static_cast<float>(srcw), h = static_cast<float>(srch);
  float u0 = static_cast<float>(srcx) * surface->uScale;
  float u1 = static_cast<float>(srcx + srcw) * surface->uScale;
  float v0 = static_cast<float>(srcy) * surface->vScale;
  float v1 = static_cast<float>(srcy + srch) * surface->vScale;
  gxtkVertex* v = Begin(4, 4, surface);
  Put(v, x, y);
  v[0].u = u0;
  v[0].v = v0;
  Put(v + 1, x + w, y);
  v[1].u = u1;
  v[1].v = v0;
  Put(v + 2, x + w, y + h);
  v[2].u = u1;
  v[2].v = v1;
  Put(v + 3, x, y + h);
  v[3].u = u0;
  v[3].v = v1;
}

// ============================================================================
// [SECTION] Pixels and surfaces
// ============================================================================

namespace {
// True when an array of `length` ints holds `h` rows of `w` from `offset`, rows `pitch` apart
// (a negative pitch runs upwards). Worked out in 64 bits: no overflow.
bool HoldsRows(int length, int offset, int w, int h, int pitch) {
  if (w <= 0 || h <= 0) return false;
  long long last = static_cast<long long>(h - 1) * pitch;
  return offset + (last < 0 ? last : 0) >= 0 && offset + (last > 0 ? last : 0) + w <= length;
}
} // namespace

void gxtkGraphics::ReadPixels(Array<int> pixels, int x, int y, int w, int h, int offset, int pitch) {
  Flush();
  if (!HoldsRows(pixels.Length(), offset, w, h, pitch)) return; // nothing outside the array
  std::size_t rowBytes = static_cast<std::size_t>(w) * 4;
  unsigned char* buf = static_cast<unsigned char*>(std::malloc(rowBytes * static_cast<std::size_t>(h)));
  if (!buf) return;
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(x, Height() - y - h, w, h, GL_BGRA, GL_UNSIGNED_BYTE, buf);
  int* out = pixels.begin();
  for (int i = 0; i < h; ++i) {
    // OpenGL's rows run bottom to top: the top row is the last one read.
    const unsigned char* row = buf + rowBytes * static_cast<std::size_t>(h - 1 - i);
    int* dst = out + offset + static_cast<long long>(i) * pitch;
    for (int j = 0; j < w; ++j) {
      const unsigned char* p = row + j * 4; // b, g, r, a
      uint32_t argb = static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[2]) << 16 |
                      static_cast<uint32_t>(p[1]) << 8 | p[0];
      dst[j] = static_cast<int>(argb);
    }
  }
  std::free(buf);
}

void gxtkGraphics::WritePixels2(gxtkSurface* surface, Array<int> pixels, int x, int y, int w, int h,
                                int offset, int pitch) {
  if (!HoldsRows(pixels.Length(), offset, w, h, pitch)) return; // nothing outside the array
  surface->SetSubData(x, y, w, h, reinterpret_cast<const unsigned int*>(pixels.begin() + offset), pitch);
}

gxtkSurface* gxtkGraphics::CreateSurface(int w, int h) {
  gxtkSurface* surface = new gxtkSurface;
  surface->width = w;
  surface->height = h;
  surface->depth = 4;
  surface->format = GL_RGBA;
  // Its texture is made when it is first drawn: an image made ahead of need (and perhaps never
  // drawn) costs no texture memory until then. Pixels written before that wait in `pixels`.
  return surface;
}

gxtkSurface* gxtkGraphics::LoadSurface(const String& path) {
  gxtkSurface* surface = new gxtkSurface;
  if (!LoadSurface__UNSAFE__(surface, path)) return nullptr;
  surface->Bind();
  return surface;
}

bool gxtkGraphics::LoadSurface__UNSAFE__(gxtkSurface* surface, const String& path) {
  if (!ZuGame::_game) return false;
  int w = 0, h = 0, d = 0;
  unsigned char* data = ZuGame::_game->LoadImageData(path, &w, &h, &d);
  if (!data) return false;
  surface->SetData(data, w, h, d);
  return true;
}
