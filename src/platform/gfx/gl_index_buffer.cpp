#include "platform/gfx/gl_index_buffer.h"

#include <algorithm>
#include <cstring>

#include "platform/gfx/gl_backend.h"

namespace gfx {
namespace {
constexpr uint32_t kRangeChunk = 48;
}  // namespace

// Uploads go through the element target (WebGL refuses an index buffer that was ever bound as
// anything else); the device's record of its vertex array's element binding follows.
CGlIndexBuffer::CGlIndexBuffer(uint32_t count, const ContextToken& token) : count_(count), token_(token) {
  if (!token_ || !token_->alive || count_ == 0) return;
  buffer_ = GlObject::Make(GlKind::Buffer, token_);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer_.Id());
  token_->elementBuffer = buffer_.Id();
  data_.resize(count_);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(count_ * sizeof(uint16_t)), data_.data(),
               GL_STATIC_DRAW);
  if (backend::BuffersReadable()) std::vector<uint16_t>().swap(data_);
}

uint16_t* CGlIndexBuffer::Copy() const {
  if (count_ == 0) return nullptr;
  if (data_.empty()) {
    data_.resize(count_);
    if (buffer_ && token_->alive && !zero_) {
      glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer_.Id());
      token_->elementBuffer = buffer_.Id();
      const GLsizeiptr bytes = static_cast<GLsizeiptr>(count_ * sizeof(uint16_t));
      const void* p = glMapBufferRange(GL_ELEMENT_ARRAY_BUFFER, 0, bytes, GL_MAP_READ_BIT);
      if (p) std::memcpy(data_.data(), p, static_cast<size_t>(bytes));
      glUnmapBuffer(GL_ELEMENT_ARRAY_BUFFER);
    }
  }
  return data_.data();
}

void CGlIndexBuffer::Unlock() {
  if (!buffer_ || !token_->alive || data_.empty()) return;
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer_.Id());
  token_->elementBuffer = buffer_.Id();
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(count_ * sizeof(uint16_t)), data_.data(),
               GL_STATIC_DRAW);
  zero_ = false;
  MeasureRanges();
  if (backend::BuffersReadable()) std::vector<uint16_t>().swap(data_);
}

void CGlIndexBuffer::MeasureRanges() {
  chunkRanges_.assign((count_ + kRangeChunk - 1) / kRangeChunk * 2, 0);
  for (uint32_t c = 0; c * kRangeChunk < count_; ++c) {
    const auto first = data_.begin() + c * kRangeChunk;
    const auto [low, high] =
        std::minmax_element(first, data_.begin() + std::min(count_, (c + 1) * kRangeChunk));
    chunkRanges_[c * 2] = *low;
    chunkRanges_[c * 2 + 1] = *high;
  }
}

bool CGlIndexBuffer::IndexRange(uint32_t start, uint32_t count, uint32_t& low, uint32_t& high) const {
  if (chunkRanges_.empty() || count == 0 || start + count > count_) return false;
  low = 0xFFFF;
  high = 0;
  for (uint32_t c = start / kRangeChunk; c <= (start + count - 1) / kRangeChunk; ++c) {
    low = std::min<uint32_t>(low, chunkRanges_[c * 2]);
    high = std::max<uint32_t>(high, chunkRanges_[c * 2 + 1]);
  }
  return true;
}

}  // namespace gfx
