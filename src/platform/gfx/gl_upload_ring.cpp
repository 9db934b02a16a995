#include "platform/gfx/gl_upload_ring.h"

#include <cstring>

namespace gfx {

namespace {

// A frame's memory draws (text, particles, gathered draws) take tens of kilobytes; the ring is
// renewed when full, so a larger one only holds memory.
constexpr size_t kRingStart = 256u << 10;

}  // namespace

void CGlUploadRing::Start(const ContextToken& token) {
  token_ = token;
  buffer_ = GlObject::Make(GlKind::Buffer, token_);
  size_ = kRingStart;
  glBindBuffer(GL_ARRAY_BUFFER, buffer_.Id());
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(size_), nullptr, GL_STREAM_DRAW);
  token_->arrayBuffer = buffer_.Id();
}

bool CGlUploadRing::Upload(const void* data, size_t bytes, uint32_t stride, size_t& offset) {
  // Start on a whole vertex so the attribute pointers stay put and the draw just offsets.
  offset = (next_ + stride - 1) / stride * stride;
  if (token_->arrayBuffer != buffer_.Id()) {
    glBindBuffer(GL_ARRAY_BUFFER, buffer_.Id());
    token_->arrayBuffer = buffer_.Id();
  }
  if (offset + bytes > size_) {
    // Orphan: the driver keeps the old storage for draws still in flight.
    while (bytes > size_) size_ *= 2;
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(size_), nullptr, GL_STREAM_DRAW);
    offset = 0;
  }
  // Unsynchronised: this range has not been written since the last orphaning, so no draw in
  // flight reads it and the driver need not wait.
  void* dst = glMapBufferRange(GL_ARRAY_BUFFER, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(bytes),
                               GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
  if (!dst) return false;
  std::memcpy(dst, data, bytes);
  glUnmapBuffer(GL_ARRAY_BUFFER);
  next_ = offset + bytes;
  return true;
}

}  // namespace gfx
