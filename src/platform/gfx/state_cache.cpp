#include "platform/gfx/state_cache.h"

#include <SDL.h>

namespace gfx {

namespace {

// States the pipeline acts on (or deliberately ignores, as dithering and software vertex
// processing); anything else is stored and reported once, so the missing ones show up.
bool KnownRenderState(uint32_t s) {
  switch (s) {
    case D3DRS_ZENABLE:
    case D3DRS_FILLMODE:
    case D3DRS_SHADEMODE:
    case D3DRS_ZWRITEENABLE:
    case D3DRS_ALPHATESTENABLE:
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
    case D3DRS_CULLMODE:
    case D3DRS_ZFUNC:
    case D3DRS_ALPHAREF:
    case D3DRS_ALPHAFUNC:
    case D3DRS_DITHERENABLE:
    case D3DRS_ALPHABLENDENABLE:
    case D3DRS_FOGENABLE:
    case D3DRS_SPECULARENABLE:
    case D3DRS_FOGCOLOR:
    case D3DRS_FOGTABLEMODE:
    case D3DRS_FOGSTART:
    case D3DRS_FOGEND:
    case D3DRS_FOGDENSITY:
    case D3DRS_RANGEFOGENABLE:
    case D3DRS_LIGHTING:
    case D3DRS_AMBIENT:
    case D3DRS_FOGVERTEXMODE:
    case D3DRS_COLORVERTEX:
    case D3DRS_NORMALIZENORMALS:
    case D3DRS_VERTEXBLEND:
    case D3DRS_SOFTWAREVERTEXPROCESSING:
    case D3DRS_LOCALVIEWER:
    case D3DRS_TEXTUREFACTOR:
    case D3DRS_DIFFUSEMATERIALSOURCE:
    case D3DRS_SPECULARMATERIALSOURCE:
    case D3DRS_AMBIENTMATERIALSOURCE:
    case D3DRS_EMISSIVEMATERIALSOURCE:
      return true;
    default:
      return false;
  }
}

}  // namespace

void CStateCache::Reset(bool autoDepthStencil, bool softwareVertexProcessing, uint32_t width,
                        uint32_t height) {
  rs_.fill(0);
  rs_[D3DRS_ZENABLE] = autoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
  rs_[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs_[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs_[D3DRS_ZWRITEENABLE] = 1;
  rs_[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs_[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs_[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs_[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs_[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs_[D3DRS_FOGSTART] = FloatBits(0.0f);
  rs_[D3DRS_FOGEND] = FloatBits(1.0f);
  rs_[D3DRS_FOGDENSITY] = FloatBits(1.0f);
  rs_[D3DRS_LIGHTING] = 1;
  rs_[D3DRS_COLORVERTEX] = 1;
  rs_[D3DRS_LOCALVIEWER] = 1;
  rs_[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
  rs_[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  rs_[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  rs_[D3DRS_SOFTWAREVERTEXPROCESSING] = softwareVertexProcessing ? 1 : 0;
  for (uint32_t s = 0; s < kStages; ++s) {
    auto& t = tss_[s];
    t.fill(0);
    t[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    t[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    t[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    t[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    t[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    t[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    t[D3DTSS_TEXCOORDINDEX] = s;
    t[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
    t[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
    t[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
    t[D3DTSS_MINFILTER] = D3DTEXF_POINT;
    t[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
    t[D3DTSS_MAXANISOTROPY] = 1;
  }
  view_ = projection_ = Matrix{};
  for (auto& w : world_) w = Matrix{};
  material_ = Material{};
  lights_.fill(Light{});
  lightOn_.fill(false);
  viewport_ = Viewport{0, 0, width, height, 0.0f, 1.0f};
  ++transformSerial_;
  ++viewportSerial_;
}

Matrix CStateCache::Transform(TransformState state) const {
  if (state == D3DTS_VIEW) return view_;
  if (state == D3DTS_PROJECTION) return projection_;
  if (state >= D3DTS_WORLD && state <= D3DTS_WORLD3) return world_[state - D3DTS_WORLD];
  return Matrix{};
}

int CStateCache::ActiveLight() const {
  for (uint32_t i = 0; i < kLights; ++i) {
    if (lightOn_[i] && lights_[i].Type >= D3DLIGHT_POINT && lights_[i].Type <= D3DLIGHT_DIRECTIONAL) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

void CStateCache::SetRender(uint32_t state, uint32_t value) {
  if (!KnownRenderState(state) && !warned_[state]) {
    warned_[state] = true;
    SDL_Log("gfx: render state %u is kept but not acted on", static_cast<unsigned>(state));
  }
  rs_[state] = value;
}

bool CStateCache::SetTransform(TransformState state, const Matrix& m) {
  if (state == D3DTS_VIEW) {
    view_ = m;
  } else if (state == D3DTS_PROJECTION) {
    projection_ = m;
  } else if (state >= D3DTS_WORLD && state <= D3DTS_WORLD3) {
    world_[state - D3DTS_WORLD] = m;
  } else {
    return false;
  }
  ++transformSerial_;
  return true;
}

void CStateCache::EnableLight(uint32_t index, bool enable) {
  lightOn_[index] = enable;
  if (enable && index > 0 && !warnedLights_) {
    warnedLights_ = true;
    SDL_Log("gfx: light %u enabled; only the lowest-numbered enabled light is drawn",
            static_cast<unsigned>(index));
  }
}

void CStateCache::SetViewport(const Viewport& vp) {
  viewport_ = vp;
  ++viewportSerial_;
}

}  // namespace gfx
