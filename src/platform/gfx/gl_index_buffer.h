// A 16-bit index buffer in the managed pool; like the vertex buffer, its CPU copy lives only
// from Lock to Unlock (or while Data is read) and is read back from GL when needed again.
#pragma once
#include <memory>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfx/gl_object.h"

namespace gfx {

// Shared-from-this so that binding it to the device keeps it alive, as D3D's AddRef does.
class CGlIndexBuffer final : public CIndexBuffer, public std::enable_shared_from_this<CGlIndexBuffer> {
 public:
  CGlIndexBuffer(uint32_t count, const ContextToken& token);
  uint32_t Count() const override { return count_; }
  uint16_t* Lock() override { return Copy(); }
  void Unlock() override;
  const uint16_t* Data() const override { return Copy(); }

  GLuint Name() const { return buffer_.Id(); }
  // The lowest and highest index among count indices from start, as of the last Unlock; false
  // when not known.
  bool IndexRange(uint32_t start, uint32_t count, uint32_t& low, uint32_t& high) const;

 private:
  uint16_t* Copy() const;
  void MeasureRanges();

  uint32_t count_;
  ContextToken token_;
  mutable std::vector<uint16_t> data_;  // empty while only GL holds the indices
  bool zero_ = true;
  GlObject buffer_;
  std::vector<uint16_t> chunkRanges_;  // lowest and highest index per run of kRangeChunk
};

}  // namespace gfx
