// The back buffer: a framebuffer of the device's own, scaled into the window at each present,
// or (on a software rasteriser, at the window's size) the window's own buffer drawn into
// directly. Also what reads pictures back: the back buffer, screenshots and, for tests, what
// the last present put in the window.
#pragma once
#include <SDL.h>

#include <cstdint>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfx/gl_object.h"

namespace gfx {

class CGlBackBuffer {
 public:
  CGlBackBuffer(SDL_Window* window, const ContextToken& token, bool software)
      : window_(window), token_(token), software_(software) {}

  // A back-buffer format D3D accepts (a colour format).
  static bool ColorFormat(uint32_t format);
  // Whether the parameters' format may be asked for: a colour format, or none (the desktop's)
  // for a window.
  static bool FormatAllowed(const PresentParameters& pp);

  // (Re)makes the back buffer for these parameters (a zero size windowed takes the window's);
  // false, keeping the old one, when it cannot be made.
  bool Create(const PresentParameters& pp, bool shortcuts);
  // Drawing into the window's buffer is one of the shortcuts: switching them starts anew.
  void FollowShortcuts(bool shortcuts);
  bool Resize(uint32_t width, uint32_t height, bool shortcuts);
  void Release();

  uint32_t Width() const { return width_; }
  uint32_t Height() const { return height_; }
  const PresentParameters& Params() const { return pp_; }
  // Binds the back buffer as the framebuffer drawn into and read from.
  void Bind() const { glBindFramebuffer(GL_FRAMEBUFFER, Framebuffer()); }
  void BindForDrawing() const { glBindFramebuffer(GL_DRAW_FRAMEBUFFER, Framebuffer()); }

  // The picture into the window (scaled with bars where the sizes differ), then the swap.
  void Present();
  // The back buffer as 0xAARRGGBB, top row first; opaque for formats without alpha.
  bool Read(std::vector<uint32_t>& argb, uint32_t& width, uint32_t& height) const;

  void CapturePresents(bool on) { capture_ = on; }
  void ScribbleAfterSwap(bool on) { scribble_ = on; }
  bool ReadLastPresent(std::vector<uint32_t>& argb, uint32_t& width, uint32_t& height) const;

 private:
  GLuint Framebuffer() const { return direct_ ? 0 : fbo_.Id(); }
  bool WindowHolds(const PresentParameters& pp, uint32_t w, uint32_t h, bool shortcuts) const;
  bool MakeOwn(uint32_t w, uint32_t h);
  bool ReadFramebuffer(GLuint fbo, int width, int height, std::vector<uint32_t>& argb) const;

  SDL_Window* window_;
  ContextToken token_;
  bool software_;
  PresentParameters pp_;
  uint32_t width_ = 0, height_ = 0;
  bool direct_ = false;  // drawing straight into the window's back buffer
  GlObject fbo_, colorBuffer_, depthBuffer_;

  bool capture_ = false;
  bool scribble_ = false;
  std::vector<uint32_t> presented_;
  uint32_t presentedWidth_ = 0, presentedHeight_ = 0;
};

}  // namespace gfx
