#include "effect/sprite.h"

#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "core/graphics.h"
#include "core/log.h"
#include "resource/texture_file.h"

namespace {

struct WorldVertex {  // D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1
  float x, y, z;
  uint32_t diffuse;
  float u, v;
};
static_assert(sizeof(WorldVertex) == 24);

constexpr uint32_t kWorldFvf = gfx::D3DFVF_XYZ | gfx::D3DFVF_DIFFUSE | gfx::D3DFVF_TEX1;

boost::shared_ptr<CSprite> g_blackSprite;

}  // namespace

namespace app {
const boost::shared_ptr<CSprite>& GetBlackSprite() { return g_blackSprite; }
void SetBlackSprite(boost::shared_ptr<CSprite> sprite) { g_blackSprite = std::move(sprite); }
}  // namespace app

CSprite::CSprite(const char* fileName) {
  texture_ = LoadTexture(fileName, 1);
  if (!texture_) {
    Log("NotFound %s\n", fileName ? fileName : "");
    return;
  }
  width_ = texture_->Width();
  height_ = texture_->Height();
}

CSprite::~CSprite() { texture_.reset(); }

void CSprite::Draw2D(float x0, float y0, float x1, float y1, float u0, float v0, float u1, float v1,
                     uint32_t color) {
  gfx::CDevice* device = app::GetDevice();
  if (!device) return;
  device->SetTexture(0, texture_.get());
  const float sx = kVirtualScaleX * app::GetScreenWidth(), sy = kVirtualScaleY * app::GetScreenHeight();
  ScreenVertex v[6] = {
      {x0, y0, 0, 1, color, u0, v0}, {x1, y1, 0, 1, color, u1, v1}, {x0, y1, 0, 1, color, u0, v1},
      {x0, y0, 0, 1, color, u0, v0}, {x1, y0, 0, 1, color, u1, v0}, {x1, y1, 0, 1, color, u1, v1},
  };
  for (ScreenVertex& p : v) {
    p.x *= sx;
    p.y *= sy;
  }
  device->SetVertexShader(kScreenFvf);
  device->DrawPrimitiveUP(gfx::D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex));
  device->SetTexture(0, nullptr);
}

void CSprite::Draw3D(const gfx::Matrix& world, uint32_t color, float x0, float y0, float x1, float y1) {
  gfx::CDevice* device = app::GetDevice();
  if (!device) return;
  device->SetTransform(gfx::D3DTS_WORLD, world);
  device->SetTexture(0, texture_.get());
  const WorldVertex v[6] = {
      {x0, y0, 0, color, 0, 1}, {x1, y1, 0, color, 1, 0}, {x0, y1, 0, color, 0, 0},
      {x0, y0, 0, color, 0, 1}, {x1, y0, 0, color, 1, 1}, {x1, y1, 0, color, 1, 0},
  };
  device->SetVertexShader(kWorldFvf);
  device->DrawPrimitiveUP(gfx::D3DPT_TRIANGLELIST, 2, v, sizeof(WorldVertex));
  device->SetTexture(0, nullptr);
}

void SetTextureTimesDiffuse(gfx::CDevice& device) {
  using namespace gfx;
  device.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device.SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device.SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
}

void Set2DRenderStates(gfx::CDevice& device) {
  using namespace gfx;
  device.SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  device.SetRenderState(D3DRS_ZWRITEENABLE, 0);
  device.SetRenderState(D3DRS_LIGHTING, 0);
  device.SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
  device.SetRenderState(D3DRS_FOGENABLE, 0);
  device.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device.SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_CURRENT);
  device.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device.SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
  device.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device.SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
}
