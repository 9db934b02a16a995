// A vertex buffer in the managed pool. Lock hands out a CPU copy that Unlock sends to the GL
// buffer and then lets go, so the vertices are not held twice (a software renderer keeps its
// own copy in system memory); the copy is read back from GL when asked for again.
#pragma once
#include <memory>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfx/gl_object.h"

namespace gfx {

// Shared-from-this so that binding it to the device keeps it alive, as D3D's AddRef does.
class CGlVertexBuffer final : public CVertexBuffer, public std::enable_shared_from_this<CGlVertexBuffer> {
 public:
  CGlVertexBuffer(uint32_t count, uint32_t fvf, const ContextToken& token);
  uint32_t Fvf() const override { return fvf_; }
  uint32_t Stride() const override { return stride_; }
  uint32_t Count() const override { return count_; }
  void* Lock() override { return Copy(); }
  void Unlock() override;
  const void* Data() const override { return Copy(); }

  GLuint Name() const { return buffer_.Id(); }
  // The box around the positions of vertices first..last, as of the last Unlock: min x, y, z,
  // max x, y, z. False when none is known (nothing unlocked yet, no untransformed position).
  bool Bounds(uint32_t first, uint32_t last, float box[6]) const;

 private:
  unsigned char* Copy() const;
  void MeasureBounds();

  uint32_t count_, fvf_, stride_;
  size_t size_;
  ContextToken token_;
  mutable std::vector<unsigned char> data_;  // empty while only GL holds the vertices
  bool zero_ = true;                         // GL holds nothing but zeros yet
  GlObject buffer_;
  std::vector<float> chunkBounds_;  // a box per run of kBoundsChunk vertices
};

}  // namespace gfx
