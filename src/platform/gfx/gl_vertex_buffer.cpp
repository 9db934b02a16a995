#include "platform/gfx/gl_vertex_buffer.h"

namespace gfx {

CGlVertexBuffer::CGlVertexBuffer(uint32_t count, uint32_t fvf, const ContextToken& token)
    : count_(count),
      fvf_(fvf),
      stride_(FvfStride(fvf)),
      token_(token),
      data_(static_cast<size_t>(count) * FvfStride(fvf)) {
  if (!token_ || !token_->alive || data_.empty()) return;
  buffer_ = GlObject::Make(GlKind::Buffer, token_);
  Unlock();
}

void CGlVertexBuffer::Unlock() {
  if (!buffer_ || !token_->alive) return;
  glBindBuffer(GL_ARRAY_BUFFER, buffer_.Id());
  token_->arrayBuffer = buffer_.Id();
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data_.size()), data_.data(), GL_STATIC_DRAW);
}

}  // namespace gfx
