// A managed texture: RGBA8 with its mip chain, kept by the GL context across a Reset.
#pragma once
#include <memory>

#include "platform/gfx/device.h"
#include "platform/gfx/gl_object.h"

namespace gfx {

// Shared-from-this so that binding it to the device keeps it alive, as D3D's AddRef does.
class CGlTexture final : public CTexture, public std::enable_shared_from_this<CGlTexture> {
 public:
  // levels 0 means the whole chain down to 1x1.
  CGlTexture(uint32_t width, uint32_t height, uint32_t levels, const ContextToken& token);
  uint32_t Width() const override { return width_; }
  uint32_t Height() const override { return height_; }
  uint32_t Levels() const override { return levels_; }
  bool SetLevel(uint32_t level, const uint32_t* argb) override;

  GLuint Name() const { return texture_.Id(); }
  // The first level sampling may use (binds the texture on the active unit when it changes).
  void SetBaseLevel(uint32_t level);
  bool Valid() const { return static_cast<bool>(texture_); }

 private:
  uint32_t width_, height_, levels_;
  uint32_t baseLevel_ = 0;
  ContextToken token_;
  GlObject texture_;
};

}  // namespace gfx
