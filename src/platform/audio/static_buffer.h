// A secondary buffer played from one OpenAL buffer: sound effects, loaded whole. The buffer's
// bytes are kept here too; unlocking uploads them.
#pragma once
#include <vector>

#include "platform/audio/source_buffer.h"

namespace audio {

class CStaticBuffer : public CSourceBuffer {
 public:
  CStaticBuffer(std::shared_ptr<CAlContext> context, const BufferDesc& desc, const SampleFormat& format);
  ~CStaticBuffer() override;
  // Lock held; false when a live output has no OpenAL objects to give.
  bool Init();

  Result Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* bytes1, void** region2,
              uint32_t* bytes2, uint32_t flags) override;
  Result Unlock(void* region1, uint32_t bytes1, void* region2, uint32_t bytes2) override;
  Result Play(uint32_t flags) override;
  Result Stop() override;
  Result GetStatus(uint32_t* status) override;
  Result GetCurrentPosition(uint32_t* play, uint32_t* write) override;
  Result SetCurrentPosition(uint32_t offset) override;
  Result SetNotificationPositions(uint32_t, const PositionNotify*) override { return DSERR_CONTROLUNAVAIL; }

  void DropAl() override;
  void RebuildAl() override;

 private:
  bool MakeAl();
  void Upload();

  std::vector<uint8_t> memory_;
  ALuint alBuffer_ = 0;
  bool locked_ = false;
  // Saved across a reopened output.
  ALint savedState_ = AL_INITIAL;
  ALint savedOffset_ = 0;
  ALint savedLooping_ = AL_FALSE;
};

}  // namespace audio
