// A 16-bit index buffer kept in memory, for test devices (made with make_shared, as the vertex
// buffer).
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gfx/device.h"

namespace testdev {

class CMemoryIndexBuffer : public gfx::CIndexBuffer, public std::enable_shared_from_this<CMemoryIndexBuffer> {
 public:
  explicit CMemoryIndexBuffer(uint32_t count) : data_(count) {}
  uint32_t Count() const override { return uint32_t(data_.size()); }
  uint16_t* Lock() override { return data_.data(); }
  void Unlock() override {}
  const uint16_t* Data() const override { return data_.data(); }

 private:
  std::vector<uint16_t> data_;
};

}  // namespace testdev
