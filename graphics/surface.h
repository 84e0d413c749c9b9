// graphics/surface.h — gxtkSurface: a texture-backed image that keeps its pixels in memory
// too, so that its texture can be rebuilt when the host opens a new window (a new OpenGL
// context, glfwGraphicsSeq raised).
// Depends on: runtime (Object, String). device.cpp/surface.cpp use OpenGL 1.1 and the host.
#pragma once

#include "runtime/gc.h"
#include "runtime/string.h"

class gxtkSurface : public Object {
public:
  // Fields.
  unsigned char* pixels = nullptr; // own copy, row-major, width*depth bytes a row; free()d; may be null
  int width = 0, height = 0;
  int depth = 0;                // bytes per pixel, 1..4
  unsigned int format = 0;      // GL_LUMINANCE, GL_LUMINANCE_ALPHA, GL_RGB or GL_RGBA (by depth)
  int contextSeq = -1;          // glfwGraphicsSeq when the texture was made; -1: no texture
  unsigned int texture = 0;     // GL texture name
  float uScale = 0, vScale = 0; // 1 / texture width, 1 / texture height

  gxtkSurface() = default;
  ~gxtkSurface() override; // deletes a texture of the current context, frees the pixels

  // Deletes the texture if it belongs to the current context; frees the pixel copy.
  virtual void Discard();
  virtual int Width();
  virtual int Height();
  virtual bool Loaded();               // always true
  virtual void OnUnsafeLoadComplete(); // Bind()

  // Takes ownership of data (a malloc'd block): stores the size and depth, chooses the
  // format, premultiplies depths 2 and 4 in place. No texture.
  void SetData(unsigned char* data, int width, int height, int depth);
  // GL_RGBA surfaces only: writes the w x h rectangle at (x, y) from src (ints with alpha in
  // the top byte, then red, green, blue in the lowest; rows pitch ints apart) into the pixel
  // copy premultiplied (allocating it when there is none) and into the texture of the current
  // context. A rectangle that does not lie inside the surface writes nothing.
  void SetSubData(int x, int y, int w, int h, const unsigned int* src, int pitch);
  // Binds the texture, making it first (from the pixel copy) when the surface has none in
  // the current context. Nothing when no context exists yet (glfwGraphicsSeq 0).
  void Bind();

  // Test seam: when set, it is asked after the exact-size glTexImage2D and a true answer
  // counts as OpenGL refusing that size (the power-of-two retry follows). Null in the product.
  static bool (*refuseTextureSize)(int width, int height);
};
