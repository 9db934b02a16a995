#include "platform/audio/listener.h"

#include <mutex>

#include "platform/audio/al_context.h"

namespace audio {
namespace {
bool InRange(float v) { return v >= 0.0f && v <= 10.0f; }
}  // namespace

Result CListener::SetPosition(float x, float y, float z) {
  std::lock_guard<std::mutex> lock(context_->Mutex());
  ListenerState& s = context_->Listener();
  s.position[0] = x, s.position[1] = y, s.position[2] = z;
  context_->ApplyListener();
  return DS_OK;
}

Result CListener::SetVelocity(float x, float y, float z) {
  std::lock_guard<std::mutex> lock(context_->Mutex());
  ListenerState& s = context_->Listener();
  s.velocity[0] = x, s.velocity[1] = y, s.velocity[2] = z;
  context_->ApplyListener();
  return DS_OK;
}

Result CListener::SetOrientation(float frontX, float frontY, float frontZ, float topX, float topY,
                                 float topZ) {
  const float cross[3] = {frontY * topZ - frontZ * topY, frontZ * topX - frontX * topZ,
                          frontX * topY - frontY * topX};
  if (cross[0] == 0 && cross[1] == 0 && cross[2] == 0) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(context_->Mutex());
  ListenerState& s = context_->Listener();
  s.front[0] = frontX, s.front[1] = frontY, s.front[2] = frontZ;
  s.top[0] = topX, s.top[1] = topY, s.top[2] = topZ;
  context_->ApplyListener();
  return DS_OK;
}

Result CListener::SetRolloffFactor(float factor) {
  if (!InRange(factor)) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(context_->Mutex());
  context_->Listener().rolloff = factor;
  context_->ApplyListener();
  return DS_OK;
}

Result CListener::SetDopplerFactor(float factor) {
  if (!InRange(factor)) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(context_->Mutex());
  context_->Listener().doppler = factor;
  context_->ApplyListener();
  return DS_OK;
}

Result CListener::GetPosition(float* x, float* y, float* z) const {
  std::lock_guard<std::mutex> lock(context_->Mutex());
  const ListenerState& s = context_->Listener();
  if (x) *x = s.position[0];
  if (y) *y = s.position[1];
  if (z) *z = s.position[2];
  return DS_OK;
}

}  // namespace audio
