// graphics/image.h — c_Image: frames of a surface with a handle, and c_Frame, one frame's corner.
// Depends on: surface.h, runtime (Object, Array, zuError, the collector).
//
// An image is initialised once, either as a strip of equal frames across its surface (Init)
// or as frames laid out row by row in a rectangle of a source (Init2). Its flags trim a
// one-pixel border around each frame (PadX, PadY), put the handle at the frame's centre
// (HandleAtCentre), and mark an image whose one frame is its whole surface (WholeSurface).
#pragma once

#include "runtime/array.h"
#include "runtime/gc.h"
#include "surface.h"

class c_Frame : public Object {
public:
  int m_x = 0, m_y = 0; // top-left corner on the surface, in pixels

  c_Frame(int x, int y) : m_x(x), m_y(y) {}
};

class c_Image : public Object {
public:
  static constexpr int HandleAtCentre = 1;   // handle at (width/2, height/2); the bit is then cleared
  static constexpr int PadX = 2;             // frame x + 1, width - 2
  static constexpr int PadY = 4;             // frame y + 1, height - 2
  static constexpr int WholeSurface = 65536; // set here only: one frame at (0, 0) of the surface's size

  static int m_DefaultFlags; // 0

  // Fields, in order.
  gxtkSurface* m_surface = nullptr;
  int m_width = 0, m_height = 0; // one frame's size, borders taken off
  Array<c_Frame*> m_frames;
  int m_flags = 0;
  float m_handleX = 0, m_handleY = 0; // the frame's point placed at the drawing position
  c_Image* m_source = nullptr;        // the image whose surface this one shares, or null

  // frameCount equal frames side by side across the surface, each surface width /
  // frameCount wide (no frames for a count below 1). A second initialisation is the
  // run-time error "Image already initialized".
  c_Image* p_Init(gxtkSurface* surface, int frameCount, int flags);
  // frameCount frames of frameWidth x frameHeight, left to right and row by row from (x, y)
  // inside the source rectangle (srcX, srcY, srcWidth, srcHeight) of the surface; a frame
  // that does not fit is the run-time error "Image frame outside surface".
  c_Image* p_Init2(gxtkSurface* surface, int x, int y, int frameWidth, int frameHeight, int frameCount,
                   int flags, c_Image* source, int srcX, int srcY, int srcWidth, int srcHeight);
  // True when frameCount frames of frameWidth x frameHeight, laid out as p_Init2 lays them out
  // from (x, y), fit a source of srcWidth x srcHeight: a loader can refuse a picture too small
  // for its frames instead of meeting the run-time error.
  static bool FramesFit(int x, int y, int frameWidth, int frameHeight, int frameCount, int srcWidth,
                        int srcHeight);
  void p_ApplyFlags(int flags);
  // Sets the handle and clears HandleAtCentre.
  void p_SetHandle(float x, float y);

  void mark() override;
};
