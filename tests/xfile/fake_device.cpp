#include "fake_device.h"

#include "platform/gfxutil/mesh.h"

namespace xtest {

gfx::VertexBufferPtr CFakeDevice::CreateVertexBuffer(uint32_t count, uint32_t f) {
  ++buffersCreated;
  return std::make_shared<CFakeVertexBuffer>(count, f, gfxutil::GetFvfLayout(f).stride);
}

}  // namespace xtest
