#include "platform/gfx/gl_vertex_buffer.h"

#include <cstring>

#include "platform/gfx/gl_backend.h"

namespace gfx {

CGlVertexBuffer::CGlVertexBuffer(uint32_t count, uint32_t fvf, const ContextToken& token)
    : count_(count),
      fvf_(fvf),
      stride_(FvfStride(fvf)),
      size_(static_cast<size_t>(count) * FvfStride(fvf)),
      token_(token) {
  if (!token_ || !token_->alive || size_ == 0) return;
  buffer_ = GlObject::Make(GlKind::Buffer, token_);
  glBindBuffer(GL_ARRAY_BUFFER, buffer_.Id());
  token_->arrayBuffer = buffer_.Id();
  data_.resize(size_);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(size_), data_.data(), GL_STATIC_DRAW);
  if (backend::BuffersReadable()) std::vector<unsigned char>().swap(data_);
}

unsigned char* CGlVertexBuffer::Copy() const {
  if (size_ == 0) return nullptr;
  if (data_.empty()) {
    data_.resize(size_);
    if (buffer_ && token_->alive && !zero_) {
      glBindBuffer(GL_ARRAY_BUFFER, buffer_.Id());
      token_->arrayBuffer = buffer_.Id();
      const void* p = glMapBufferRange(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(size_), GL_MAP_READ_BIT);
      if (p) std::memcpy(data_.data(), p, size_);
      glUnmapBuffer(GL_ARRAY_BUFFER);
    }
  }
  return data_.data();
}

void CGlVertexBuffer::Unlock() {
  if (!buffer_ || !token_->alive || data_.empty()) return;
  glBindBuffer(GL_ARRAY_BUFFER, buffer_.Id());
  token_->arrayBuffer = buffer_.Id();
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(size_), data_.data(), GL_STATIC_DRAW);
  zero_ = false;
  if (backend::BuffersReadable()) std::vector<unsigned char>().swap(data_);
}

}  // namespace gfx
