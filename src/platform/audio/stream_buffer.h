// A secondary buffer with position notifications, played the way DirectSound plays it: a ring of
// bytes the game locks and fills while a cursor runs round it. OpenAL gets the ring as a queue of
// short chunks, copied just before they play, so what the game writes ahead of the cursor is what
// is heard; chunks end at the notification offsets, so an event is set when its offset is reached.
#pragma once
#include <array>
#include <vector>

#include "platform/audio/source_buffer.h"

namespace audio {

class CStreamBuffer : public CSourceBuffer {
 public:
  CStreamBuffer(std::shared_ptr<CAlContext> context, const BufferDesc& desc, const SampleFormat& format);
  ~CStreamBuffer() override;
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
  Result SetNotificationPositions(uint32_t count, const PositionNotify* notifies) override;

  void DropAl() override;
  void RebuildAl() override;
  void Service() override;
  bool AwaitingRefill() const override { return (awaitingRefill_ && playing_) || awaitingFirstPlay_; }
  void GiveUpRefill() override { awaitingRefill_ = awaitingFirstPlay_ = false; }

 private:
  static constexpr int kChunks = 6;
  struct Chunk {
    ALuint buffer = 0;
    uint32_t start = 0;
    uint32_t length = 0;
  };

  bool MakeAl();
  void FreeAl();
  void QueueMore();
  // Takes back the chunks OpenAL has finished and signals what the cursor passed.
  void Reclaim();
  // Stops OpenAL and puts the cursor exactly where playback was.
  void Halt();
  void SignalPassed(uint32_t start, uint32_t length);
  void SignalAt(uint32_t offset);
  void SignalStop();
  bool OverlapsLock(uint32_t start, uint32_t length) const;

  std::vector<uint8_t> memory_;
  std::vector<uint8_t> scratch_;
  std::vector<PositionNotify> notifies_;
  std::array<Chunk, kChunks> chunks_{};
  int head_ = 0;
  int count_ = 0;
  uint32_t chunkBytes_ = 0;
  uint32_t cursor_ = 0;
  uint32_t queueEnd_ = 0;
  bool playing_ = false;
  bool looping_ = false;
  bool reachedEnd_ = false;
  bool locked_ = false;
  uint32_t lockStart_ = 0;
  uint32_t lockBytes_ = 0;
  bool awaitingRefill_ = false;
  // From the notifications' set-up to the first play: the worker that will feed the buffer is
  // starting it, and a loopback render waits so the piece starts at the same step however late
  // that thread runs.
  bool awaitingFirstPlay_ = false;
};

}  // namespace audio
