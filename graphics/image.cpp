// graphics/image.cpp — c_Image: initialisation, frame layout, flags, handle; collector marking.
// Depends on: image.h, surface.h, runtime (zuError, the collector).
#include "image.h"

#include "runtime/errors.h"

int c_Image::m_DefaultFlags = 0;

c_Image* c_Image::p_Init(gxtkSurface* surface, int frameCount, int flags) {
  if (m_surface) zuError(String("Image already initialized"));
  gc_assign(m_surface, surface);
  m_width = frameCount > 0 ? surface->Width() / frameCount : 0;
  m_height = surface->Height();
  gc_assign(m_frames, Array<c_Frame*>(frameCount));
  for (int i = 0; i < m_frames.Length(); ++i) gc_assign(m_frames[i], new c_Frame(i * m_width, 0));
  p_ApplyFlags(flags);
  return this;
}

c_Image* c_Image::p_Init2(gxtkSurface* surface, int x, int y, int frameWidth, int frameHeight, int frameCount,
                          int flags, c_Image* source, int srcX, int srcY, int srcWidth, int srcHeight) {
  if (m_surface) zuError(String("Image already initialized"));
  gc_assign(m_surface, surface);
  gc_assign(m_source, source);
  m_width = frameWidth;
  m_height = frameHeight;
  if (!FramesFit(x, y, frameWidth, frameHeight, frameCount, srcWidth, srcHeight))
    zuError(String("Image frame outside surface"));
  gc_assign(m_frames, Array<c_Frame*>(frameCount));
  for (int i = 0; i < m_frames.Length(); ++i) {
    if (x + m_width > srcWidth) {
      x = 0;
      y += m_height;
    }
    gc_assign(m_frames[i], new c_Frame(srcX + x, srcY + y));
    x += m_width;
  }
  p_ApplyFlags(flags);
  return this;
}

bool c_Image::FramesFit(int x, int y, int frameWidth, int frameHeight, int frameCount, int srcWidth,
                        int srcHeight) {
  for (int i = 0; i < frameCount; ++i) {
    if (x + frameWidth > srcWidth) {
      x = 0;
      y += frameHeight;
      if (frameWidth > srcWidth) return false;
    }
    if (y + frameHeight > srcHeight) return false;
    x += frameWidth;
  }
  return true;
}

void c_Image::p_ApplyFlags(int flags) {
  m_flags = flags & ~WholeSurface; // only the layout below earns it
  if (m_flags & PadX) {
    for (c_Frame* f : m_frames) f->m_x += 1;
    m_width -= 2;
  }
  if (m_flags & PadY) {
    for (c_Frame* f : m_frames) f->m_y += 1;
    m_height -= 2;
  }
  if (m_flags & HandleAtCentre) p_SetHandle(m_width * 0.5f, m_height * 0.5f);
  if (m_frames.Length() == 1 && m_frames[0]->m_x == 0 && m_frames[0]->m_y == 0 &&
      m_width == m_surface->Width() && m_height == m_surface->Height())
    m_flags |= WholeSurface;
}

void c_Image::p_SetHandle(float x, float y) {
  m_handleX = x;
  m_handleY = y;
  m_flags &= ~HandleAtCentre;
}

void c_Image::mark() {
  gc_mark_q(m_surface);
  gc_mark_q(m_frames);
  gc_mark_q(m_source);
}
