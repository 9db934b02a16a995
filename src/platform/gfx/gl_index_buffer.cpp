#include "platform/gfx/gl_index_buffer.h"

namespace gfx {

CGlIndexBuffer::CGlIndexBuffer(uint32_t count, const ContextToken& token) : token_(token), data_(count) {
  if (!token_ || !token_->alive || data_.empty()) return;
  buffer_ = GlObject::Make(GlKind::Buffer, token_);
  Unlock();
}

void CGlIndexBuffer::Unlock() {
  if (!buffer_ || !token_->alive) return;
  // Uploaded through the array target so the element binding of the device's vertex array
  // is left alone; GL buffers are untyped.
  glBindBuffer(GL_ARRAY_BUFFER, buffer_.Id());
  token_->arrayBuffer = buffer_.Id();
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data_.size() * sizeof(uint16_t)), data_.data(),
               GL_STATIC_DRAW);
}

}  // namespace gfx
