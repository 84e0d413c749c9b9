// graphics/surface.cpp — gxtkSurface: pixel copy, premultiplication, texture per context.
#include "surface.h"

#include <GL/gl.h>
#include <climits>
#include <cstdlib>

#include "host/desktop_game.h"

#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif

bool (*gxtkSurface::refuseTextureSize)(int width, int height) = nullptr;

namespace {

// 1 below 2, otherwise the smallest power of two not below n.
int Pow2Size(int n) {
  int p = 1;
  while (p < n && p < (1 << 30)) p <<= 1;
  return p;
}

unsigned int FormatForDepth(int depth) {
  switch (depth) {
  case 1:
    return GL_LUMINANCE;
  case 2:
    return GL_LUMINANCE_ALPHA;
  case 3:
    return GL_RGB;
  default:
    return GL_RGBA;
  }
}

// Colour channels times alpha / 255 for depths 2 and 4; other depths stay as they are.
void Premultiply(unsigned char* p, int width, int height, int depth) {
  long long n = static_cast<long long>(width) * height;
  if (depth == 4) {
    for (long long i = 0; i < n; ++i, p += 4) {
      unsigned a = p[3];
      p[0] = static_cast<unsigned char>(p[0] * a / 255);
      p[1] = static_cast<unsigned char>(p[1] * a / 255);
      p[2] = static_cast<unsigned char>(p[2] * a / 255);
    }
  } else if (depth == 2) {
    for (long long i = 0; i < n; ++i, p += 2) p[0] = static_cast<unsigned char>(p[0] * p[1] / 255u);
  }
}

} // namespace

gxtkSurface::~gxtkSurface() { gxtkSurface::Discard(); }

void gxtkSurface::Discard() {
  if (contextSeq == glfwGraphicsSeq && contextSeq > 0) {
    GLuint t = texture;
    glDeleteTextures(1, &t);
    contextSeq = -1;
  }
  std::free(pixels);
  pixels = nullptr;
}

int gxtkSurface::Width() { return width; }
int gxtkSurface::Height() { return height; }
bool gxtkSurface::Loaded() { return true; }
void gxtkSurface::OnUnsafeLoadComplete() { Bind(); }

void gxtkSurface::SetData(unsigned char* data, int w, int h, int d) {
  if (pixels && pixels != data) std::free(pixels);
  pixels = data;
  width = w;
  height = h;
  depth = d;
  format = FormatForDepth(d);
  if (pixels) Premultiply(pixels, w, h, d);
}

void gxtkSurface::SetSubData(int x, int y, int w, int h, const unsigned int* src, int pitch) {
  // Only a rectangle inside the surface is written (width - w cannot overflow: w > 0).
  if (format != GL_RGBA || w <= 0 || h <= 0 || x < 0 || y < 0 || x > width - w || y > height - h) return;
  if (!pixels) {
    long long bytes = static_cast<long long>(width) * height * 4;
    if (bytes <= 0) return;
    pixels = static_cast<unsigned char*>(std::calloc(static_cast<std::size_t>(bytes), 1));
    if (!pixels) return;
    gc_ext_malloced(bytes > INT_MAX ? INT_MAX : static_cast<int>(bytes));
  }
  for (int i = 0; i < h; ++i) {
    const unsigned int* s = src + static_cast<long long>(i) * pitch;
    unsigned char* d = pixels + (static_cast<long long>(y + i) * width + x) * 4;
    for (int j = 0; j < w; ++j, d += 4) {
      unsigned p = s[j];
      unsigned a = p >> 24;
      d[0] = static_cast<unsigned char>(((p >> 16) & 255) * a / 255);
      d[1] = static_cast<unsigned char>(((p >> 8) & 255) * a / 255);
      d[2] = static_cast<unsigned char>((p & 255) * a / 255);
      d[3] = static_cast<unsigned char>(a);
    }
  }
  if (contextSeq != glfwGraphicsSeq || contextSeq <= 0) return;
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (w == width) {
    glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE,
                    pixels + static_cast<long long>(y) * width * 4);
  } else {
    for (int i = 0; i < h; ++i)
      glTexSubImage2D(GL_TEXTURE_2D, 0, x, y + i, w, 1, GL_RGBA, GL_UNSIGNED_BYTE,
                      pixels + (static_cast<long long>(y + i) * width + x) * 4);
  }
}

void gxtkSurface::Bind() {
  if (glfwGraphicsSeq == 0) return;
  if (contextSeq == glfwGraphicsSeq) {
    glBindTexture(GL_TEXTURE_2D, texture);
    return;
  }
  contextSeq = glfwGraphicsSeq;
  GLuint t = 0;
  glGenTextures(1, &t);
  texture = t;
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

  // Errors left by earlier calls must not read as a refusal of this size.
  for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
  }
  int texWidth = width, texHeight = height;
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), texWidth, texHeight, 0, format, GL_UNSIGNED_BYTE,
               nullptr);
  bool refused = glGetError() != GL_NO_ERROR;
  if (!refused && refuseTextureSize && refuseTextureSize(texWidth, texHeight)) refused = true;
  if (refused) {
    texWidth = Pow2Size(width);
    texHeight = Pow2Size(height);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), texWidth, texHeight, 0, format,
                 GL_UNSIGNED_BYTE, nullptr);
  }
  uScale = 1.0f / static_cast<float>(texWidth);
  vScale = 1.0f / static_cast<float>(texHeight);

  if (pixels) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, format, GL_UNSIGNED_BYTE, pixels);
  }
}
