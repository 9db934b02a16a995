// A 16-bit index buffer in the managed pool: a CPU copy that Unlock sends to its GL buffer.
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
  uint32_t Count() const override { return static_cast<uint32_t>(data_.size()); }
  uint16_t* Lock() override { return data_.empty() ? nullptr : data_.data(); }
  void Unlock() override;
  const uint16_t* Data() const override { return data_.data(); }

  GLuint Name() const { return buffer_.Id(); }

 private:
  ContextToken token_;
  std::vector<uint16_t> data_;
  GlObject buffer_;
};

}  // namespace gfx
