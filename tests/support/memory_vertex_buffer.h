// A vertex buffer kept in memory, for test devices: the bytes a mesh uploads stay readable.
// Devices that keep a bound buffer alive take a share of it (made with make_shared).
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gfx/device.h"

namespace testdev {

class CMemoryVertexBuffer : public gfx::CVertexBuffer,
                            public std::enable_shared_from_this<CMemoryVertexBuffer> {
 public:
  // The stride follows from the vertex format.
  CMemoryVertexBuffer(uint32_t count, uint32_t fvf);
  uint32_t Fvf() const override { return fvf_; }
  uint32_t Stride() const override { return stride_; }
  uint32_t Count() const override { return count_; }
  void* Lock() override { return data_.data(); }
  void Unlock() override { ++unlocks; }
  const void* Data() const override { return data_.data(); }
  int unlocks = 0;

 private:
  uint32_t fvf_, stride_, count_;
  std::vector<uint8_t> data_;
};

}  // namespace testdev
