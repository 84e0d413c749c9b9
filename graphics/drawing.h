// graphics/drawing.h — the drawing module: the drawing context (colour, alpha, blend, scissor,
// the 2D matrix and its stack, the font) and the zu_graphics_ functions the game calls.
// Depends on: device.h, image.h, host (zu_data_FixDataPath), runtime.
//
// The module keeps its own copy of every state value and forwards each change to the render
// device, which exists only between zu_graphics_BeginRender and zu_graphics_EndRender. State
// setters and draws outside that bracket, popping an empty matrix stack, and drawing a frame
// an image does not have are run-time errors. Matrix changes never call the device: the
// matrix is handed over, when it has changed, by the next draw.
#pragma once

#include "device.h"
#include "image.h"
#include "runtime/array.h"
#include "runtime/gc.h"
#include "runtime/string.h"

class c_GraphicsContext : public Object {
public:
  // Fields, in order.
  c_Image* m_defaultFont = nullptr; // the built-in font, loaded on first need
  c_Image* m_font = nullptr;
  int m_firstChar = 0; // character code of the font's first frame
  int m_matrixSp = 0;  // floats on the matrix stack, a multiple of 6
  float m_ix = 1, m_iy = 0, m_jx = 0, m_jy = 1, m_tx = 0,
        m_ty = 0;        // (x, y) -> (ix*x + jx*y + tx, iy*x + jy*y + ty)
  int m_transformed = 0; // 1 unless the matrix is exactly the identity
  int m_matrixDirty = 0; // 1 when the render device has not been given the current matrix
  float m_colorR = 0, m_colorG = 0, m_colorB = 0; // 0..255
  float m_alpha = 0;                              // 0..1
  int m_blend = 0;                                // 0 alpha blending, 1 additive
  float m_scissorX = 0, m_scissorY = 0, m_scissorWidth = 0, m_scissorHeight = 0;
  Array<float> m_matrixStack; // six floats a matrix; doubles when full

  c_GraphicsContext(); // identity matrix, a 192-float stack (32 levels)

  void mark() override;
};

extern gxtkGraphics* zu_graphics_device;       // set once at start-up
extern gxtkGraphics* zu_graphics_renderDevice; // the device inside a frame, null otherwise
extern c_GraphicsContext* zu_graphics_context; // created by the start-up (zuInit)

// ============================================================================
// [SECTION] Frame and device
// ============================================================================

void zu_graphics_SetGraphicsDevice(gxtkGraphics* device);
// Makes the device the render device and resets matrix, colour, alpha, blend and scissor
// (to the render device's whole window: its Width() and Height()); the font stays.
void zu_graphics_BeginRender();
void zu_graphics_EndRender();

// ============================================================================
// [SECTION] State: stored here and forwarded to the render device at once
// ============================================================================

void zu_graphics_SetColor(float r, float g, float b);
void zu_graphics_SetAlpha(float alpha);
void zu_graphics_SetBlend(int blend);
void zu_graphics_SetScissor(float x, float y, float width, float height);

// ============================================================================
// [SECTION] Matrix: no device call; the next draw hands the matrix over
// ============================================================================

void zu_graphics_SetMatrix(float ix, float iy, float jx, float jy, float tx, float ty);
void zu_graphics_SetMatrix2(Array<float> m); // the first six floats
// Multiplies the current matrix on the right: the given transform applies to points first.
void zu_graphics_Transform(float ix, float iy, float jx, float jy, float tx, float ty);
void zu_graphics_Transform2(Array<float> m);
void zu_graphics_Translate(float x, float y);
void zu_graphics_Scale(float x, float y);
// Degrees; with y growing downwards a positive angle turns anticlockwise on screen.
void zu_graphics_Rotate(float angle);
void zu_graphics_PushMatrix();
void zu_graphics_PopMatrix();

// ============================================================================
// [SECTION] Drawing
// ============================================================================

void zu_graphics_DrawRect(float x, float y, float w, float h);
void zu_graphics_DrawLine(float x1, float y1, float x2, float y2);
void zu_graphics_DrawEllipse(float x, float y, float xRadius, float yRadius);
// The frame with the image's handle at (x, y).
void zu_graphics_DrawImage(c_Image* image, float x, float y, int frame);
// The frame turned by `rotation` degrees and scaled about its handle, the handle at (x, y).
void zu_graphics_DrawImage2(c_Image* image, float x, float y, float rotation, float scaleX, float scaleY,
                            int frame);

// ============================================================================
// [SECTION] Images and fonts (null when the file cannot be loaded)
// ============================================================================

c_Image* zu_graphics_LoadImage(const String& path, int frameCount, int flags);
c_Image* zu_graphics_LoadImage2(const String& path, int frameWidth, int frameHeight, int frameCount,
                                int flags);
c_Image* zu_graphics_CreateImage(int width, int height, int frameCount, int flags);
// A null font selects the default font "pith_font.png" (96 frames, PadX; loaded on first
// need, null when missing) with first character 32.
void zu_graphics_SetFont(c_Image* font, int firstChar);
