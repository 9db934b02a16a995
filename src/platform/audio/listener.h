// The 3D listener of the primary buffer. Values are applied at once and survive a reopened output.
#pragma once
#include <memory>

#include "platform/audio/types.h"

namespace audio {

class CAlContext;

class CListener {
 public:
  explicit CListener(std::shared_ptr<CAlContext> context) : context_(std::move(context)) {}
  CListener(const CListener&) = delete;
  CListener& operator=(const CListener&) = delete;

  Result SetPosition(float x, float y, float z);
  Result SetVelocity(float x, float y, float z);
  Result SetOrientation(float frontX, float frontY, float frontZ, float topX, float topY, float topZ);
  Result SetRolloffFactor(float factor);  // 0..10
  Result SetDopplerFactor(float factor);  // 0..10
  Result GetPosition(float* x, float* y, float* z) const;

 private:
  std::shared_ptr<CAlContext> context_;
};

}  // namespace audio
