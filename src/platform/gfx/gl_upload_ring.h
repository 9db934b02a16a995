// The buffer that draws from memory go through: each upload takes the next free range, and a
// full ring is renewed (orphaned), so no upload waits for a draw still reading an earlier one.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/gfx/gl_object.h"

namespace gfx {

class CGlUploadRing {
 public:
  // Makes the buffer and leaves it bound as the array buffer.
  void Start(const ContextToken& token);
  void Release() { buffer_.Release(); }
  GLuint Id() const { return buffer_.Id(); }
  // Copies `bytes` in, starting on a whole vertex of `stride`; `offset` receives where.
  bool Upload(const void* data, size_t bytes, uint32_t stride, size_t& offset);

 private:
  ContextToken token_;
  GlObject buffer_;
  size_t size_ = 0, next_ = 0;
};

}  // namespace gfx
