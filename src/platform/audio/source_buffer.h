// What the static and the streaming buffer share: one OpenAL source with the buffer's volume and
// 3D values (kept here, so a reopened output gets them back), and the hooks the device calls on
// every live buffer while holding its lock.
#pragma once
#include <AL/al.h>

#include <memory>

#include "platform/audio/buffer.h"
#include "platform/audio/sample_format.h"

namespace audio {

class CAlContext;

class CSourceBuffer : public CBuffer {
 public:
  ~CSourceBuffer() override;

  Result SetVolume(int32_t volume) override;
  Result SetPosition(float x, float y, float z) override;
  Result SetVelocity(float x, float y, float z) override;
  Result SetMinDistance(float distance) override;
  Result SetMaxDistance(float distance) override;
  Result Restore() override { return DS_OK; }

  // Lock held by the caller for all of these.
  // The output is about to close: give up every OpenAL object, keep the state.
  virtual void DropAl() = 0;
  // A new output is open: make the objects again and carry on as before.
  virtual void RebuildAl() = 0;
  // Streaming only: keep the queue fed and signal what the play cursor passed.
  virtual void Service() {}
  // Streaming only: a notification was signalled and its refill has not come yet.
  virtual bool AwaitingRefill() const { return false; }
  virtual void GiveUpRefill() {}
  // The listener's rolloff factor changed (it applies to every 3D source).
  void ApplySourceParams();
  // The whole output holds (the game is paused): a playing source pauses where it is, and plays
  // on from there when the hold ends. Sources that were not playing are left alone, and so is one
  // stopped or played again meanwhile.
  void Hold(bool on);

 protected:
  CSourceBuffer(std::shared_ptr<CAlContext> context, const BufferDesc& desc, const SampleFormat& format);
  // Generates the source and applies the kept values; false when OpenAL has none to give.
  bool MakeSource();
  void DeleteSource();
  void ApplyDistances();
  bool Is3D() const { return (flags_ & DSBCAPS_CTRL3D) != 0; }
  // A stop during the hold stays a stop: the end of the hold does not play the source again.
  void DropHold() { held_ = false; }

  std::shared_ptr<CAlContext> context_;
  const SampleFormat format_;
  const uint32_t flags_;
  const uint32_t bytes_;
  ALuint source_ = 0;

 private:
  float gain_ = 1.0f;
  float position_[3] = {0, 0, 0};
  float velocity_[3] = {0, 0, 0};
  float minDistance_ = 1.0f;
  float maxDistance_ = 1.0e9f;
  bool held_ = false;
};

}  // namespace audio
