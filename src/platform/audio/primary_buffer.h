// The primary buffer: the device's mix. It plays nothing itself and only hands out the listener.
#pragma once
#include <memory>

#include "platform/audio/buffer.h"
#include "platform/audio/listener.h"

namespace audio {

class CPrimaryBuffer : public CBuffer {
 public:
  explicit CPrimaryBuffer(std::shared_ptr<CAlContext> context) : listener_(std::move(context)) {}

  Result Lock(uint32_t, uint32_t, void**, uint32_t*, void**, uint32_t*, uint32_t) override {
    return DSERR_INVALIDCALL;
  }
  Result Unlock(void*, uint32_t, void*, uint32_t) override { return DSERR_INVALIDCALL; }
  Result Restore() override { return DS_OK; }
  // The mix runs whenever the device is open.
  Result Play(uint32_t) override { return DS_OK; }
  Result Stop() override { return DS_OK; }
  Result GetStatus(uint32_t* status) override;
  Result GetCurrentPosition(uint32_t*, uint32_t*) override { return DSERR_INVALIDCALL; }
  Result SetCurrentPosition(uint32_t) override { return DSERR_INVALIDCALL; }
  Result SetVolume(int32_t) override { return DSERR_CONTROLUNAVAIL; }
  Result SetPosition(float, float, float) override { return DSERR_CONTROLUNAVAIL; }
  Result SetVelocity(float, float, float) override { return DSERR_CONTROLUNAVAIL; }
  Result SetMinDistance(float) override { return DSERR_CONTROLUNAVAIL; }
  Result SetMaxDistance(float) override { return DSERR_CONTROLUNAVAIL; }
  Result SetNotificationPositions(uint32_t, const PositionNotify*) override { return DSERR_CONTROLUNAVAIL; }
  CListener* GetListener() override { return &listener_; }

 private:
  CListener listener_;
};

}  // namespace audio
