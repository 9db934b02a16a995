#include "platform/gfx/gl_vertex_buffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gfx/gl_backend.h"

namespace gfx {
namespace {
constexpr uint32_t kBoundsChunk = 32;
}  // namespace

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
  MeasureBounds();
  if (backend::BuffersReadable()) std::vector<unsigned char>().swap(data_);
}

void CGlVertexBuffer::MeasureBounds() {
  const uint32_t position = fvf_ & D3DFVF_POSITION_MASK;
  chunkBounds_.clear();
  if (position == 0 || position == D3DFVF_XYZRHW) return;
  chunkBounds_.resize((count_ + kBoundsChunk - 1) / kBoundsChunk * 6);
  for (uint32_t c = 0; c * kBoundsChunk < count_; ++c) {
    float* box = &chunkBounds_[c * 6];
    const uint32_t end = std::min(count_, (c + 1) * kBoundsChunk);
    for (uint32_t v = c * kBoundsChunk; v < end; ++v) {
      float p[3];
      std::memcpy(p, data_.data() + static_cast<size_t>(v) * stride_, sizeof p);
      for (int i = 0; i < 3; ++i) {
        // A NaN or infinite coordinate leaves nothing to bound: the chunk is never culled.
        if (!std::isfinite(p[i])) p[i] = p[i] < 0 ? -3.0e38f : 3.0e38f;
        box[i] = v == c * kBoundsChunk ? p[i] : std::min(box[i], p[i]);
        box[i + 3] = v == c * kBoundsChunk ? p[i] : std::max(box[i + 3], p[i]);
      }
    }
  }
}

bool CGlVertexBuffer::Bounds(uint32_t first, uint32_t last, float box[6]) const {
  if (chunkBounds_.empty() || first > last || last >= count_) return false;
  for (uint32_t c = first / kBoundsChunk; c <= last / kBoundsChunk; ++c) {
    const float* b = &chunkBounds_[c * 6];
    for (int i = 0; i < 3; ++i) {
      box[i] = c == first / kBoundsChunk ? b[i] : std::min(box[i], b[i]);
      box[i + 3] = c == first / kBoundsChunk ? b[i + 3] : std::max(box[i + 3], b[i + 3]);
    }
  }
  return true;
}

}  // namespace gfx
