#include "support/memory_vertex_buffer.h"

#include "platform/gfxutil/mesh.h"

namespace testdev {

CMemoryVertexBuffer::CMemoryVertexBuffer(uint32_t count, uint32_t fvf)
    : fvf_(fvf), stride_(gfxutil::GetFvfLayout(fvf).stride), count_(count), data_(size_t(count) * stride_) {}

}  // namespace testdev
