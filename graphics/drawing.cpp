// graphics/drawing.cpp — the drawing context, the matrix stack and the zu_graphics_ functions.
// Depends on: drawing.h, device.h, image.h, host (zu_data_FixDataPath), runtime (zuError).
#include "drawing.h"

#include <cmath>

#include "host/game.h"
#include "runtime/errors.h"

gxtkGraphics* zu_graphics_device = nullptr;
gxtkGraphics* zu_graphics_renderDevice = nullptr;
c_GraphicsContext* zu_graphics_context = nullptr;

c_GraphicsContext::c_GraphicsContext() { gc_assign(m_matrixStack, Array<float>(192)); }

void c_GraphicsContext::mark() {
  gc_mark_q(m_defaultFont);
  gc_mark_q(m_font);
  gc_mark_q(m_matrixStack);
}

namespace {

// The render device, or the run-time error for a call outside a frame.
gxtkGraphics* render_device() {
  if (!zu_graphics_renderDevice)
    zuError(String("Rendering operations can only be performed inside OnRender"));
  return zu_graphics_renderDevice;
}

// Hands a changed matrix to the render device before a draw.
gxtkGraphics* validated_device() {
  gxtkGraphics* device = render_device();
  c_GraphicsContext* c = zu_graphics_context;
  if (c->m_matrixDirty) {
    device->SetMatrix(c->m_ix, c->m_iy, c->m_jx, c->m_jy, c->m_tx, c->m_ty);
    c->m_matrixDirty = 0;
  }
  return device;
}

c_Frame* frame_of(c_Image* image, int frame) {
  if (!image) zuError(String("Cannot draw a null image"));
  if (frame < 0 || frame >= image->m_frames.Length()) zuError(String("Image frame index out of range"));
  return image->m_frames[frame];
}

// The frame's top-left corner at (x, y) of the current matrix's space.
void draw_frame(gxtkGraphics* device, c_Image* image, c_Frame* f, float x, float y) {
  if (image->m_flags & c_Image::WholeSurface)
    device->DrawSurface(image->m_surface, x, y);
  else
    device->DrawSurface2(image->m_surface, x, y, f->m_x, f->m_y, image->m_width, image->m_height);
}

} // namespace

// ============================================================================
// [SECTION] Frame and device
// ============================================================================

void zu_graphics_SetGraphicsDevice(gxtkGraphics* device) { gc_assign(zu_graphics_device, device); }

void zu_graphics_BeginRender() {
  gc_assign(zu_graphics_renderDevice, zu_graphics_device);
  zu_graphics_context->m_matrixSp = 0;
  zu_graphics_SetMatrix(1, 0, 0, 1, 0, 0);
  zu_graphics_SetColor(255, 255, 255);
  zu_graphics_SetAlpha(1);
  zu_graphics_SetBlend(0);
  // The device has just read the window's size in its own BeginRender.
  zu_graphics_SetScissor(0, 0, static_cast<float>(zu_graphics_renderDevice->Width()),
                         static_cast<float>(zu_graphics_renderDevice->Height()));
}

void zu_graphics_EndRender() { zu_graphics_renderDevice = nullptr; }

// ============================================================================
// [SECTION] State
// ============================================================================

void zu_graphics_SetColor(float r, float g, float b) {
  gxtkGraphics* device = render_device();
  c_GraphicsContext* c = zu_graphics_context;
  c->m_colorR = r;
  c->m_colorG = g;
  c->m_colorB = b;
  device->SetColor(r, g, b);
}

void zu_graphics_SetAlpha(float alpha) {
  gxtkGraphics* device = render_device();
  zu_graphics_context->m_alpha = alpha;
  device->SetAlpha(alpha);
}

void zu_graphics_SetBlend(int blend) {
  gxtkGraphics* device = render_device();
  zu_graphics_context->m_blend = blend;
  device->SetBlend(blend);
}

void zu_graphics_SetScissor(float x, float y, float width, float height) {
  gxtkGraphics* device = render_device();
  c_GraphicsContext* c = zu_graphics_context;
  c->m_scissorX = x;
  c->m_scissorY = y;
  c->m_scissorWidth = width;
  c->m_scissorHeight = height;
  device->SetScissor(static_cast<int>(x), static_cast<int>(y), static_cast<int>(width),
                     static_cast<int>(height));
}

// ============================================================================
// [SECTION] Matrix
// ============================================================================

void zu_graphics_SetMatrix(float ix, float iy, float jx, float jy, float tx, float ty) {
  c_GraphicsContext* c = zu_graphics_context;
  c->m_ix = ix;
  c->m_iy = iy;
  c->m_jx = jx;
  c->m_jy = jy;
  c->m_tx = tx;
  c->m_ty = ty;
  c->m_transformed = !(ix == 1 && iy == 0 && jx == 0 && jy == 1 && tx == 0 && ty == 0);
  c->m_matrixDirty = 1;
}

void zu_graphics_SetMatrix2(Array<float> m) { zu_graphics_SetMatrix(m[0], m[1], m[2], m[3], m[4], m[5]); }

void zu_graphics_Transform(float ix, float iy, float jx, float jy, float tx, float ty) {
  c_GraphicsContext* c = zu_graphics_context;
  zu_graphics_SetMatrix(ix * c->m_ix + iy * c->m_jx, ix * c->m_iy + iy * c->m_jy, jx * c->m_ix + jy * c->m_jx,
                        jx * c->m_iy + jy * c->m_jy, tx * c->m_ix + ty * c->m_jx + c->m_tx,
                        tx * c->m_iy + ty * c->m_jy + c->m_ty);
}

void zu_graphics_Transform2(Array<float> m) { zu_graphics_Transform(m[0], m[1], m[2], m[3], m[4], m[5]); }

void zu_graphics_Translate(float x, float y) { zu_graphics_Transform(1, 0, 0, 1, x, y); }

void zu_graphics_Scale(float x, float y) { zu_graphics_Transform(x, 0, 0, y, 0, 0); }

void zu_graphics_Rotate(float angle) {
  float r = angle * 0.017453292f;
  float s = static_cast<float>(std::sin(static_cast<double>(r)));
  float k = static_cast<float>(std::cos(static_cast<double>(r)));
  zu_graphics_Transform(k, -s, s, k, 0, 0);
}

void zu_graphics_PushMatrix() {
  c_GraphicsContext* c = zu_graphics_context;
  int sp = c->m_matrixSp;
  if (sp == c->m_matrixStack.Length()) {
    Array<float> grown(sp * 2);
    for (int i = 0; i < sp; ++i) grown[i] = c->m_matrixStack[i];
    gc_assign(c->m_matrixStack, grown);
  }
  float* m = &c->m_matrixStack[sp];
  m[0] = c->m_ix;
  m[1] = c->m_iy;
  m[2] = c->m_jx;
  m[3] = c->m_jy;
  m[4] = c->m_tx;
  m[5] = c->m_ty;
  c->m_matrixSp = sp + 6;
}

void zu_graphics_PopMatrix() {
  c_GraphicsContext* c = zu_graphics_context;
  if (c->m_matrixSp < 6) zuError(String("Matrix stack underflow"));
  c->m_matrixSp -= 6;
  const float* m = &c->m_matrixStack[c->m_matrixSp];
  zu_graphics_SetMatrix(m[0], m[1], m[2], m[3], m[4], m[5]);
}

// ============================================================================
// [SECTION] Drawing
// ============================================================================

void zu_graphics_DrawRect(float x, float y, float w, float h) { validated_device()->DrawRect(x, y, w, h); }

void zu_graphics_DrawLine(float x1, float y1, float x2, float y2) {
  validated_device()->DrawLine(x1, y1, x2, y2);
}

void zu_graphics_DrawEllipse(float x, float y, float xRadius, float yRadius) {
  validated_device()->DrawOval(x - xRadius, y - yRadius, 2 * xRadius, 2 * yRadius);
}

void zu_graphics_DrawImage(c_Image* image, float x, float y, int frame) {
  gxtkGraphics* device = validated_device();
  c_Frame* f = frame_of(image, frame); // checked before the image is read
  draw_frame(device, image, f, x - image->m_handleX, y - image->m_handleY);
}

void zu_graphics_DrawImage2(c_Image* image, float x, float y, float rotation, float scaleX, float scaleY,
                            int frame) {
  render_device(); // both checks before the matrix is touched
  c_Frame* f = frame_of(image, frame);
  zu_graphics_PushMatrix();
  zu_graphics_Transform(1, 0, 0, 1, x, y);
  zu_graphics_Rotate(rotation);
  zu_graphics_Transform(scaleX, 0, 0, scaleY, 0, 0);
  zu_graphics_Transform(1, 0, 0, 1, -image->m_handleX, -image->m_handleY);
  draw_frame(validated_device(), image, f, 0, 0);
  zu_graphics_PopMatrix();
}

// ============================================================================
// [SECTION] Images and fonts
// ============================================================================

c_Image* zu_graphics_LoadImage(const String& path, int frameCount, int flags) {
  gxtkSurface* surface = zu_graphics_device->LoadSurface(zu_data_FixDataPath(path));
  return surface ? (new c_Image)->p_Init(surface, frameCount, flags) : nullptr;
}

c_Image* zu_graphics_LoadImage2(const String& path, int frameWidth, int frameHeight, int frameCount,
                                int flags) {
  gxtkSurface* surface = zu_graphics_device->LoadSurface(zu_data_FixDataPath(path));
  if (!surface) return nullptr;
  return (new c_Image)
      ->p_Init2(surface, 0, 0, frameWidth, frameHeight, frameCount, flags, nullptr, 0, 0, surface->Width(),
                surface->Height());
}

c_Image* zu_graphics_CreateImage(int width, int height, int frameCount, int flags) {
  gxtkSurface* surface = zu_graphics_device->CreateSurface(width * frameCount, height);
  return surface ? (new c_Image)->p_Init(surface, frameCount, flags) : nullptr;
}

void zu_graphics_SetFont(c_Image* font, int firstChar) {
  c_GraphicsContext* c = zu_graphics_context;
  if (!font) {
    if (!c->m_defaultFont)
      gc_assign(c->m_defaultFont, zu_graphics_LoadImage(String("pith_font.png"), 96, c_Image::PadX));
    font = c->m_defaultFont;
    firstChar = 32;
  }
  gc_assign(c->m_font, font);
  c->m_firstChar = firstChar;
}
