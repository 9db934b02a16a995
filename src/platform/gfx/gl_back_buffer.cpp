#include "platform/gfx/gl_back_buffer.h"

#include <algorithm>
#include <utility>

#include "platform/gfx/gl_backend.h"
#include "platform/gfx/present_rect.h"

namespace gfx {

bool CGlBackBuffer::ColorFormat(uint32_t format) {
  switch (format) {
    case D3DFMT_R8G8B8:
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
      return true;
    default:
      return false;
  }
}

bool CGlBackBuffer::FormatAllowed(const PresentParameters& pp) {
  if (pp.Windowed && pp.BackBufferFormat == D3DFMT_UNKNOWN) return true;
  return ColorFormat(pp.BackBufferFormat);
}

bool CGlBackBuffer::Create(const PresentParameters& pp, bool shortcuts) {
  uint32_t w = pp.BackBufferWidth, h = pp.BackBufferHeight;
  if (pp.Windowed && (w == 0 || h == 0)) {
    // D3D takes the window's client area for a zero size.
    int ww = 0, wh = 0;
    SDL_GetWindowSize(window_, &ww, &wh);
    if (w == 0) w = static_cast<uint32_t>(std::max(ww, 1));
    if (h == 0) h = static_cast<uint32_t>(std::max(wh, 1));
  }
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
  if (w == 0 || h == 0 || w > static_cast<uint32_t>(maxSize) || h > static_cast<uint32_t>(maxSize))
    return false;

  const bool direct = WindowHolds(pp, w, h, shortcuts);
  if (direct) {
    fbo_.Release();
    colorBuffer_.Release();
    depthBuffer_.Release();
  } else if (!MakeOwn(w, h)) {
    Bind();
    return false;
  }
  direct_ = direct;
  Bind();
  width_ = w;
  height_ = h;
  pp_ = pp;
  pp_.BackBufferWidth = w;
  pp_.BackBufferHeight = h;
  // Windowed presents are immediate in D3D8; full screen waits for the refresh unless told not to.
  SDL_GL_SetSwapInterval(pp.Windowed || pp.FullScreen_PresentationInterval == 0x80000000u ? 0 : 1);
  return true;
}

void CGlBackBuffer::FollowShortcuts(bool shortcuts) {
  if (direct_ != WindowHolds(pp_, width_, height_, shortcuts)) Create(pp_, shortcuts);
}

bool CGlBackBuffer::Resize(uint32_t width, uint32_t height, bool shortcuts) {
  PresentParameters pp = pp_;
  pp.BackBufferWidth = width;
  pp.BackBufferHeight = height;
  return Create(pp, shortcuts);
}

void CGlBackBuffer::Release() {
  fbo_.Release();
  colorBuffer_.Release();
  depthBuffer_.Release();
}

// A software rasteriser pays for the copy from our framebuffer to the window as for a whole
// screen of drawing, and must finish the frame before it can start it; so when the window's
// buffer matches the back buffer, it is drawn into directly. Only there: its back buffer keeps
// the picture after a swap (a screenshot between frames reads it), which a GPU's need not.
bool CGlBackBuffer::WindowHolds(const PresentParameters& pp, uint32_t w, uint32_t h, bool shortcuts) const {
  if (!shortcuts || !software_ || pp.BackBufferFormat == D3DFMT_A8R8G8B8) return false;
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(window_, &dw, &dh);
  return static_cast<uint32_t>(dw) == w && static_cast<uint32_t>(dh) == h && backend::WindowDepthStencil();
}

bool CGlBackBuffer::MakeOwn(uint32_t w, uint32_t h) {
  GlObject color = GlObject::Make(GlKind::Renderbuffer, token_);
  glBindRenderbuffer(GL_RENDERBUFFER, color.Id());
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, static_cast<GLsizei>(w), static_cast<GLsizei>(h));
  GlObject depth = GlObject::Make(GlKind::Renderbuffer, token_);
  glBindRenderbuffer(GL_RENDERBUFFER, depth.Id());
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, static_cast<GLsizei>(w),
                        static_cast<GLsizei>(h));
  GlObject fbo = GlObject::Make(GlKind::Framebuffer, token_);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo.Id());
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color.Id());
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth.Id());
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
  fbo_ = std::move(fbo);
  colorBuffer_ = std::move(color);
  depthBuffer_ = std::move(depth);
  return true;
}

void CGlBackBuffer::Present() {
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(window_, &dw, &dh);
  if (direct_ && (static_cast<uint32_t>(dw) != width_ || static_cast<uint32_t>(dh) != height_)) {
    // The window changed size under the back buffer: the frame moves into a framebuffer of our
    // own, which is scaled to the window from now on.
    if (!MakeOwn(width_, height_)) return;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo_.Id());
    glBlitFramebuffer(0, 0, static_cast<GLint>(width_), static_cast<GLint>(height_), 0, 0,
                      static_cast<GLint>(width_), static_cast<GLint>(height_), GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);
    direct_ = false;
  }
  if (!direct_) {
    const PresentRect r = ComputePresentRect(width_, height_, dw, dh);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_.Id());
    if (r.width != dw || r.height != dh) {
      glClearColor(0, 0, 0, 1);
      glClear(GL_COLOR_BUFFER_BIT);
    }
    const bool sameSize = r.width == static_cast<int>(width_) && r.height == static_cast<int>(height_);
    glBlitFramebuffer(0, 0, static_cast<GLint>(width_), static_cast<GLint>(height_), r.x, r.y, r.x + r.width,
                      r.y + r.height, GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
  }
  if (capture_ && dw > 0 && dh > 0 && ReadFramebuffer(0, dw, dh, presented_)) {
    presentedWidth_ = static_cast<uint32_t>(dw);
    presentedHeight_ = static_cast<uint32_t>(dh);
  }
  SDL_GL_SwapWindow(window_);
  if (scribble_) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClearColor(1, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  Bind();
}

bool CGlBackBuffer::ReadFramebuffer(GLuint fbo, int width, int height, std::vector<uint32_t>& argb) const {
  if (width <= 0 || height <= 0) return false;
  argb.resize(static_cast<size_t>(width) * height);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
  if (fbo == 0) glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, argb.data());
  // GL reads bottom row first.
  for (int y = 0; y < height / 2; ++y) {
    std::swap_ranges(argb.begin() + static_cast<ptrdiff_t>(y) * width,
                     argb.begin() + static_cast<ptrdiff_t>(y + 1) * width,
                     argb.begin() + static_cast<ptrdiff_t>(height - 1 - y) * width);
  }
  glBindFramebuffer(GL_READ_FRAMEBUFFER, Framebuffer());
  return glGetError() == GL_NO_ERROR;
}

bool CGlBackBuffer::Read(std::vector<uint32_t>& argb, uint32_t& width, uint32_t& height) const {
  if (!ReadFramebuffer(Framebuffer(), static_cast<int>(width_), static_cast<int>(height_), argb))
    return false;
  // Formats without alpha read as opaque.
  if (pp_.BackBufferFormat != D3DFMT_A8R8G8B8) {
    for (auto& p : argb) p |= 0xFF000000u;
  }
  width = width_;
  height = height_;
  return true;
}

bool CGlBackBuffer::ReadLastPresent(std::vector<uint32_t>& argb, uint32_t& width, uint32_t& height) const {
  if (presented_.empty()) return false;
  argb = presented_;
  width = presentedWidth_;
  height = presentedHeight_;
  return true;
}

}  // namespace gfx
