// Small triangle lists drawn from memory one after another, gathered into one draw: a software
// rasteriser pays for every change of texture or program between draws. Each gathered vertex
// carries the texture slot it reads (0 none, 1 or 2), so draws that differ only in their texture
// (of two) join. Free of GL: the device sends what is gathered (through gl_upload_ring.h).
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfx/state_cache.h"

namespace gfx {

class CDrawBatch {
 public:
  // Lists up to this many vertices are gathered; a batch this long is sent.
  static constexpr uint32_t kGatherVertices = 96, kBatchVertices = 6144;

  // Whether a draw from memory may be gathered: a small triangle list with a position, whose
  // stage-0 colour reads the texture in a plain form, so a vertex without a texture shows its
  // diffuse colour, as the gathering program draws it.
  static bool Gathers(const CStateCache& state, uint32_t fvf, bool triangleList, uint32_t vertices) {
    return triangleList && vertices <= kGatherVertices && (fvf & D3DFVF_POSITION_MASK) != 0 &&
           StageReadsTexture(state.Stage(0));
  }

  // Whether a draw of this format, stride and texture (nullptr: none) can join what is gathered;
  // if not, what is gathered has to be sent first.
  bool Takes(uint32_t fvf, uint32_t stride, const CTexture* texture) const {
    if (count_ == 0) return true;
    if (fvf != fvf_ || stride != stride_) return false;
    return !texture || !textures_[1] || textures_[0].get() == texture || textures_[1].get() == texture;
  }
  // Gathers the vertices, each followed by its texture slot as a float; only when Takes.
  void Add(const void* vertices, uint32_t count, uint32_t stride, uint32_t fvf, const TexturePtr& texture);
  bool Full() const { return count_ >= kBatchVertices; }
  bool Empty() const { return count_ == 0; }
  void Clear();

  uint32_t Count() const { return count_; }
  uint32_t Fvf() const { return fvf_; }
  // A gathered vertex's stride: the format's own and the slot.
  uint32_t Stride() const { return stride_ + 4; }
  const std::vector<unsigned char>& Vertices() const { return vertices_; }
  // The texture of slot 1 or 2 (index 0 or 1); nullptr when the slot is free.
  CTexture* Texture(uint32_t index) const { return textures_[index].get(); }

 private:
  static bool StageReadsTexture(const CStateCache::StageStates& stage);

  std::vector<unsigned char> vertices_;
  uint32_t fvf_ = 0, stride_ = 0, count_ = 0;
  TexturePtr textures_[2];
};

}  // namespace gfx
