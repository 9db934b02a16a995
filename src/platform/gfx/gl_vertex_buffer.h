// A vertex buffer in the managed pool: a CPU copy that Unlock sends to its GL buffer.
#pragma once
#include <memory>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfx/gl_object.h"

namespace gfx {

// Shared-from-this so that binding it to the device keeps it alive, as D3D's AddRef does.
class CGlVertexBuffer final : public CVertexBuffer, public std::enable_shared_from_this<CGlVertexBuffer> {
 public:
  CGlVertexBuffer(uint32_t count, uint32_t fvf, const ContextToken& token);
  uint32_t Fvf() const override { return fvf_; }
  uint32_t Stride() const override { return stride_; }
  uint32_t Count() const override { return count_; }
  void* Lock() override { return data_.empty() ? nullptr : data_.data(); }
  void Unlock() override;
  const void* Data() const override { return data_.data(); }

  GLuint Name() const { return buffer_.Id(); }

 private:
  uint32_t count_, fvf_, stride_;
  ContextToken token_;
  std::vector<unsigned char> data_;
  GlObject buffer_;
};

}  // namespace gfx
