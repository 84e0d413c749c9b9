// graphics/device.h — gxtkGraphics: the graphics device. 2D primitives and textured quads
// through fixed-function OpenGL 1.1 with one interleaved client-side vertex batch; colour
// and matrix are applied to each vertex on the processor, and OpenGL draw calls are issued
// only at state changes (blend, scissor, another kind or texture, a full batch, Flush).
// Depends on: surface.h, runtime (Object, String, Array), host (window size, images,
// glfwGraphicsSeq).
#pragma once

#include <cstdint>

#include "runtime/array.h"
#include "runtime/gc.h"
#include "runtime/string.h"
#include "surface.h"

// One vertex of the batch: 20 bytes, interleaved (stride 20 for all three arrays).
struct gxtkVertex {
  float x, y, u, v;
  uint32_t color; // 4 bytes in memory order r, g, b, a (premultiplied)
};
static_assert(sizeof(gxtkVertex) == 20, "vertex layout");

class gxtkGraphics : public Object {
public:
  static constexpr int MaxVertices = 1024;
  static constexpr int MaxQuads = 256;

  // Fields.
  int width = 0, height = 0;          // window's drawable size, read at construction and BeginRender
  uint32_t packedColor = 0;           // bytes r, g, b, a in memory order, each multiplied by alpha
  float red = 0, green = 0, blue = 0; // last colour set, 0..255
  float alpha = 0;                    // last alpha set, 0..1
  float ix = 1, iy = 0, jx = 0, jy = 1, tx = 0, ty = 0; // (x, y) -> (ix*x + jx*y + tx, iy*x + jy*y + ty)
  bool transformed = false;                             // false exactly when the matrix is the identity
  gxtkVertex batchVertices[MaxVertices];
  uint16_t quadIndices[MaxQuads * 6]; // quad q: 4q, 4q+1, 4q+2, 4q, 4q+2, 4q+3
  int batchKind = 0;  // 1 points, 2 lines, 3 triangles, 4 quads, n >= 5 polygons of n vertices
  int batchCount = 0; // vertices in the batch, 0..1024
  gxtkSurface* batchSurface = nullptr; // texture of the batch, null for untextured primitives

  // Counters: OpenGL draw calls issued (glDrawArrays/glDrawElements), batches drawn and the
  // vertices in them, since construction. Tests and benchmarks read and may reset them.
  long long drawCalls = 0;
  long long verticesDrawn = 0;
  long long batchesDrawn = 0;

  gxtkGraphics(); // reads the window size, fills quadIndices

  // Virtual operations, in slot order.
  virtual int Width();
  virtual int Height();
  virtual int BeginRender(); // returns 1
  virtual void EndRender();  // Flush(); swapping buffers is the host's business
  virtual void DiscardGraphics();
  virtual gxtkSurface* LoadSurface(const String& path); // null when the host cannot load it
  virtual gxtkSurface* CreateSurface(int width, int height);
  virtual bool LoadSurface__UNSAFE__(gxtkSurface* surface, const String& path);
  virtual void Cls(float r, float g, float b); // drops the batch, clears to (r, g, b)/255 with alpha 1
  virtual void SetAlpha(float alpha);
  virtual void SetColor(float r, float g, float b);
  virtual void SetBlend(int blend);                    // 1 additive, otherwise premultiplied alpha; flushes
  virtual void SetScissor(int x, int y, int w, int h); // window pixels, top-left origin; flushes
  virtual void SetMatrix(float ix, float iy, float jx, float jy, float tx, float ty);
  virtual void DrawPoint(float x, float y);
  virtual void DrawRect(float x, float y, float w, float h);
  virtual void DrawLine(float x1, float y1, float x2, float y2);
  virtual void DrawOval(float x, float y, float w, float h);
  virtual void DrawPoly(Array<float> verts);                                            // (x, y) pairs
  virtual void DrawPoly2(Array<float> verts, gxtkSurface* surface, int srcx, int srcy); // (x, y, u, v)
  virtual void DrawSurface(gxtkSurface* surface, float x, float y);
  virtual void DrawSurface2(gxtkSurface* surface, float x, float y, int srcx, int srcy, int srcw, int srch);
  // Rows top to bottom; each int: alpha in the top byte, then red, green, blue in the lowest.
  // Rows `pitch` ints apart from `offset`; a request the array cannot hold reads or writes
  // nothing, and so does a rectangle outside the surface.
  virtual void ReadPixels(Array<int> pixels, int x, int y, int width, int height, int offset, int pitch);
  virtual void WritePixels2(gxtkSurface* surface, Array<int> pixels, int x, int y, int width, int height,
                            int offset, int pitch);

  // Draws whatever the batch holds.
  void Flush();

  void mark() override;

private:
  // Makes room for n vertices of the kind and surface and returns where to write them.
  gxtkVertex* Begin(int kind, int n, gxtkSurface* surface);
  void DrawBatch();
  void Put(gxtkVertex* v, float x, float y); // transformed position, packedColor
};
