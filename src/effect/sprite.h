// Images drawn flat on the screen or as textured quads in the world. Screen drawing uses a
// 640x480 virtual screen scaled to the back buffer at draw time; draws set no render states.
#pragma once
#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <string>

#include "platform/gfx/device.h"
#include "resource/texture_file.h"

class CSprite {
 public:
  // Loads the image with one mip level; a missing or unreadable file is logged and leaves the
  // sprite without a texture (it still draws, untextured).
  explicit CSprite(const char* fileName);
  // The form the resource cache constructs with.
  explicit CSprite(const std::string& fileName) : CSprite(fileName.c_str()) {}
  ~CSprite();
  CSprite(const CSprite&) = delete;
  CSprite& operator=(const CSprite&) = delete;

  gfx::CTexture* GetTexture() const { return texture_.get(); }
  // Pixel size of mip level 0; meaningful only while there is a texture.
  uint32_t GetWidth() const { return width_; }
  uint32_t GetHeight() const { return height_; }

  // Rectangle (x0, y0)-(x1, y1) on the virtual screen with texture coordinates (u0, v0)-(u1, v1)
  // at those corners; `color` (0xAARRGGBB) modulates the texture.
  void Draw2D(float x0, float y0, float x1, float y1, float u0, float v0, float u1, float v1, uint32_t color);
  // Rectangle in the local XY plane (z = 0) of `world`, the whole texture with v = 0 at y1.
  void Draw3D(const gfx::Matrix& world, uint32_t color, float x0, float y0, float x1, float y1);

 private:
  gfx::TexturePtr texture_;
  uint32_t width_ = 0, height_ = 0;
};

// A corner of a quad drawn in screen pixels: the vertex format kScreenFvf.
struct ScreenVertex {
  float x, y, z, rhw;
  uint32_t diffuse;
  float u, v;
};
static_assert(sizeof(ScreenVertex) == 28);
inline constexpr uint32_t kScreenFvf = gfx::D3DFVF_XYZRHW | gfx::D3DFVF_DIFFUSE | gfx::D3DFVF_TEX1;

// The 2D states of the fader, the front-end frames and the camera mask: no depth, no lighting,
// no fog, stage 0 texture x current for colour and alpha, source-alpha blending, CCW culling.
void Set2DRenderStates(gfx::CDevice& device);
// Stage 0: texture x diffuse for colour and alpha, as the alpha-blended 3D passes draw.
void SetTextureTimesDiffuse(gfx::CDevice& device);

// Virtual screen to back-buffer factors, written as single-precision decimals (the vertical one
// is slightly less than 1/480).
inline constexpr float kVirtualScaleX = 0.0015625f;
inline constexpr float kVirtualScaleY = 0.0020833f;

namespace app {
// The sprite of "data/image/black.bmp" that the fader and the camera mask draw with: made by the
// game's graphics start-up and let go before the device.
const boost::shared_ptr<CSprite>& GetBlackSprite();
void SetBlackSprite(boost::shared_ptr<CSprite> sprite);
}  // namespace app
