#include "platform/gfx/draw_batch.h"

#include "platform/gfx/fixed_function.h"

namespace gfx {

bool CDrawBatch::StageReadsTexture(const CStateCache::StageStates& t) {
  const StageForm color = PlainStageForm(t[D3DTSS_COLOROP], t[D3DTSS_COLORARG1], t[D3DTSS_COLORARG2]);
  const StageForm alpha = t[D3DTSS_ALPHAOP] == D3DTOP_DISABLE
                              ? kDiffuseStage
                              : PlainStageForm(t[D3DTSS_ALPHAOP], t[D3DTSS_ALPHAARG1], t[D3DTSS_ALPHAARG2]);
  return (color == kTextureStage || color == kModulateStage) && alpha != kGeneralStage;
}

void CDrawBatch::Add(const void* vertices, uint32_t count, uint32_t stride, uint32_t fvf,
                     const TexturePtr& texture) {
  float slot = 0;
  if (texture) {
    uint32_t i = 0;
    while (i < 2 && textures_[i] && textures_[i] != texture) ++i;
    if (!textures_[i]) textures_[i] = texture;
    slot = static_cast<float>(i + 1);
  }
  if (count_ == 0) {
    fvf_ = fvf;
    stride_ = stride;
  }
  const auto* from = static_cast<const unsigned char*>(vertices);
  const auto* s = reinterpret_cast<const unsigned char*>(&slot);
  for (uint32_t v = 0; v < count; ++v, from += stride) {
    vertices_.insert(vertices_.end(), from, from + stride);
    vertices_.insert(vertices_.end(), s, s + sizeof slot);
  }
  count_ += count;
}

void CDrawBatch::Clear() {
  vertices_.clear();
  count_ = 0;
  textures_[0].reset();
  textures_[1].reset();
}

}  // namespace gfx
