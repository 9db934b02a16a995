// A sound buffer as the game sees it: the operations of DirectSound 8's secondary buffer with its
// 3D and notification interfaces folded in, and of the primary buffer (which only yields the
// listener). An operation the buffer was not created for answers DSERR_CONTROLUNAVAIL.
#pragma once
#include <cstdint>

#include "platform/audio/types.h"

namespace audio {

class CListener;

class CBuffer {
 public:
  virtual ~CBuffer() = default;
  CBuffer(const CBuffer&) = delete;
  CBuffer& operator=(const CBuffer&) = delete;

  // Up to two regions: the second one is set when the range wraps past the buffer end.
  virtual Result Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* bytes1, void** region2,
                      uint32_t* bytes2, uint32_t flags) = 0;
  virtual Result Unlock(void* region1, uint32_t bytes1, void* region2, uint32_t bytes2) = 0;
  virtual Result Restore() = 0;
  virtual Result Play(uint32_t flags) = 0;
  // Keeps the play position: the next Play carries on from there.
  virtual Result Stop() = 0;
  virtual Result GetStatus(uint32_t* status) = 0;
  virtual Result GetCurrentPosition(uint32_t* play, uint32_t* write) = 0;
  virtual Result SetCurrentPosition(uint32_t offset) = 0;
  // Hundredths of a decibel, DSBVOLUME_MIN..DSBVOLUME_MAX.
  virtual Result SetVolume(int32_t volume) = 0;

  // 3D control, applied at once (DirectSound's left-handed coordinates).
  virtual Result SetPosition(float x, float y, float z) = 0;
  virtual Result SetVelocity(float x, float y, float z) = 0;
  virtual Result SetMinDistance(float distance) = 0;
  virtual Result SetMaxDistance(float distance) = 0;

  // Position notifications: each event is set when the play cursor reaches its offset, and the
  // DSBPN_OFFSETSTOP one when the buffer stops. Only while stopped; replaces earlier ones.
  virtual Result SetNotificationPositions(uint32_t count, const PositionNotify* notifies) = 0;

  // The primary buffer's listener; nullptr for the others.
  virtual CListener* GetListener() { return nullptr; }

 protected:
  CBuffer() = default;
};

}  // namespace audio
