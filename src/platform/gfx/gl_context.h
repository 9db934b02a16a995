// The SDL GL context a device draws with; CDevice::Create makes one and the device on it.
#pragma once
#include <SDL.h>

#include "platform/gfx/gl_object.h"

namespace gfx {

// Clears the shared token before the context goes so that resources outliving the device skip
// their GL deletes.
class CGlContext {
 public:
  CGlContext(SDL_Window* window, SDL_GLContext context);
  ~CGlContext();
  CGlContext(const CGlContext&) = delete;
  CGlContext& operator=(const CGlContext&) = delete;
  const ContextToken& Token() const { return token_; }
  // Makes this context current for the teardown and hands the current one back afterwards
  // (a device created while this one still existed keeps working).
  void MakeCurrentForTeardown();

 private:
  SDL_Window* window_;
  SDL_GLContext context_;
  SDL_Window* restoreWindow_;  // current when this one was made, or at teardown
  SDL_GLContext restoreContext_;
  ContextToken token_;
};

// Whether the current context's renderer rasterises on the processor.
bool SoftwareRenderer();

}  // namespace gfx
