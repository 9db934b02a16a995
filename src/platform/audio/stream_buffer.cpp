#include "platform/audio/stream_buffer.h"

#include <algorithm>
#include <mutex>

#include "platform/audio/al_context.h"
#include "platform/os/host_loop.h"
#include "platform/os/thread.h"

namespace audio {

CStreamBuffer::CStreamBuffer(std::shared_ptr<CAlContext> context, const BufferDesc& desc,
                             const SampleFormat& format)
    : CSourceBuffer(std::move(context), desc, format) {}

CStreamBuffer::~CStreamBuffer() {
  std::lock_guard<std::mutex> lock(context_->Mutex());
  context_->Unregister(this);
  FreeAl();
  context_->AddHeldBytes(-static_cast<int64_t>(memory_.size() + scratch_.size()));
}

bool CStreamBuffer::Init() {
  const uint8_t silence =
      format_.alFormat == AL_FORMAT_MONO8 || format_.alFormat == AL_FORMAT_STEREO8 ? 0x80 : 0;
  memory_.assign(bytes_, silence);
  // Short chunks keep the cursor close to what is heard; the whole queue stays within half the
  // ring so it never reaches the part the game is refilling.
  const uint32_t block = format_.blockAlign;
  // Where the frame loop feeds the queue (a browser), a slow frame must not starve it: longer
  // chunks there.
  const uint32_t perSecond = os::HostDrivesLoop() ? 10 : 50;
  const uint32_t frames = std::max<uint32_t>(format_.rate / perSecond, 256);
  const uint32_t limit = std::max<uint32_t>(bytes_ / (2 * kChunks) / block * block, block);
  chunkBytes_ = std::min(frames * block, limit);
  if (format_.convert != SampleFormat::Convert::kNone)
    scratch_.resize(static_cast<size_t>(chunkBytes_ / block) * format_.alBlockAlign);
  context_->AddHeldBytes(static_cast<int64_t>(memory_.size() + scratch_.size()));
  // Without an output the buffer waits, as the older ones do, for the rebuild when it is back.
  if (context_->Alive() && !MakeAl()) return false;
  context_->Register(this);
  return true;
}

bool CStreamBuffer::MakeAl() {
  if (!MakeSource()) return false;
  for (Chunk& c : chunks_) {
    alGetError();
    alGenBuffers(1, &c.buffer);
    if (alGetError() != AL_NO_ERROR) {
      c.buffer = 0;
      FreeAl();
      return false;
    }
  }
  head_ = 0;
  count_ = 0;
  return true;
}

void CStreamBuffer::FreeAl() {
  if (source_) {
    alSourceStop(source_);
    alSourcei(source_, AL_BUFFER, 0);  // also empties the queue
  }
  DeleteSource();
  for (Chunk& c : chunks_) {
    if (c.buffer) alDeleteBuffers(1, &c.buffer);
    if (c.buffer && c.length) context_->AddHeldBytes(-static_cast<int64_t>(c.length));
    c = Chunk{};
  }
  count_ = 0;
}

bool CStreamBuffer::OverlapsLock(uint32_t start, uint32_t length) const {
  if (!locked_) return false;
  const uint32_t size = static_cast<uint32_t>(memory_.size());
  const uint32_t first = std::min(lockBytes_, size - lockStart_);
  auto overlaps = [&](uint32_t a, uint32_t n) { return n && a < start + length && start < a + n; };
  return overlaps(lockStart_, first) || overlaps(0, lockBytes_ - first);
}

void CStreamBuffer::QueueMore() {
  if (!source_) return;
  const uint32_t size = static_cast<uint32_t>(memory_.size());
  const uint32_t block = format_.blockAlign;
  while (count_ < kChunks && !(reachedEnd_ && !looping_)) {
    const uint32_t start = queueEnd_;
    uint32_t length = std::min(chunkBytes_, size - start);
    for (const PositionNotify& n : notifies_) {
      if (n.offset == DSBPN_OFFSETSTOP) continue;
      const uint32_t split = (n.offset + block - 1) / block * block;
      if (split > start && split < start + length) length = split - start;
    }
    length -= length % block;
    if (length == 0) length = std::min(block, size - start);
    if (OverlapsLock(start, length)) break;  // the game is still writing there
    Chunk& c = chunks_[(head_ + count_) % kChunks];
    const uint8_t* data = memory_.data() + start;
    const uint32_t frames = length / block;
    if (format_.convert == SampleFormat::Convert::kNone) {
      alBufferData(c.buffer, format_.alFormat, data, static_cast<ALsizei>(frames * block),
                   static_cast<ALsizei>(format_.rate));
    } else {
      ConvertFrames(format_, data, frames, scratch_.data());
      alBufferData(c.buffer, format_.alFormat, scratch_.data(),
                   static_cast<ALsizei>(frames * format_.alBlockAlign), static_cast<ALsizei>(format_.rate));
    }
    alSourceQueueBuffers(source_, 1, &c.buffer);
    if (c.length) context_->AddHeldBytes(-static_cast<int64_t>(c.length));
    c.start = start;
    c.length = length;
    context_->AddHeldBytes(static_cast<int64_t>(length));
    ++count_;
    queueEnd_ = start + length;
    if (queueEnd_ >= size) {
      queueEnd_ = 0;
      reachedEnd_ = true;
      if (!looping_) break;
    }
  }
}

void CStreamBuffer::SignalPassed(uint32_t start, uint32_t length) {
  const uint32_t size = static_cast<uint32_t>(memory_.size());
  for (const PositionNotify& n : notifies_) {
    if (n.offset == DSBPN_OFFSETSTOP || !n.event) continue;
    uint32_t at = n.offset;
    if (at <= start) at += size;  // the cursor reaches it on the way round
    if (at > start + length) continue;
    if (at == start + length && at >= size && !looping_) continue;  // a single pass does not wrap
    n.event->Set();
    awaitingRefill_ = true;
  }
}

void CStreamBuffer::SignalAt(uint32_t offset) {
  for (const PositionNotify& n : notifies_) {
    if (n.offset == DSBPN_OFFSETSTOP || !n.event) continue;
    if (n.offset / format_.blockAlign == offset / format_.blockAlign) {
      n.event->Set();
      awaitingRefill_ = true;
    }
  }
}

void CStreamBuffer::SignalStop() {
  for (const PositionNotify& n : notifies_)
    if (n.offset == DSBPN_OFFSETSTOP && n.event) n.event->Set();
}

void CStreamBuffer::Reclaim() {
  if (!source_ || count_ == 0) return;
  const uint32_t size = static_cast<uint32_t>(memory_.size());
  ALint processed = 0;
  alGetSourcei(source_, AL_BUFFERS_PROCESSED, &processed);
  while (processed-- > 0 && count_ > 0) {
    Chunk& c = chunks_[head_];
    alSourceUnqueueBuffers(source_, 1, &c.buffer);
    cursor_ = (c.start + c.length) % size;
    SignalPassed(c.start, c.length);
    head_ = (head_ + 1) % kChunks;
    --count_;
  }
}

void CStreamBuffer::Halt() {
  if (!source_) return;
  Reclaim();
  ALint frame = 0;
  alGetSourcei(source_, AL_SAMPLE_OFFSET, &frame);
  if (count_ > 0) {
    const Chunk& c = chunks_[head_];
    const uint32_t into = std::min(static_cast<uint32_t>(frame) * format_.blockAlign, c.length);
    cursor_ = (c.start + into) % static_cast<uint32_t>(memory_.size());
  }
  alSourceStop(source_);
  alSourcei(source_, AL_BUFFER, 0);
  head_ = 0;
  count_ = 0;
}

void CStreamBuffer::Service() {
  if (!playing_ || !source_) return;
  Reclaim();
  if (reachedEnd_ && !looping_ && count_ == 0) {
    // A single pass ran to the end: it stops there, and the next play starts from the top.
    playing_ = false;
    cursor_ = 0;
    alSourceStop(source_);
    SignalStop();
    return;
  }
  QueueMore();
  ALint state = AL_STOPPED;
  alGetSourcei(source_, AL_SOURCE_STATE, &state);
  // Also picks up after an underrun, when the queue ran dry before the pump came round.
  if (count_ > 0 && state != AL_PLAYING) alSourcePlay(source_);
}

Result CStreamBuffer::Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* bytes1, void** region2,
                           uint32_t* bytes2, uint32_t flags) {
  if (!region1 || !bytes1) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(context_->Mutex());
  const uint32_t size = static_cast<uint32_t>(memory_.size());
  if (flags & DSBLOCK_ENTIREBUFFER) {
    offset = 0;
    bytes = size;
  } else if (flags & DSBLOCK_FROMWRITECURSOR) {
    offset = queueEnd_;
  }
  if (locked_ || offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
  const uint32_t first = std::min(bytes, size - offset);
  if (bytes > first && !region2) return DSERR_INVALIDPARAM;
  *region1 = memory_.data() + offset;
  *bytes1 = first;
  if (region2) *region2 = bytes > first ? memory_.data() : nullptr;
  if (bytes2) *bytes2 = bytes - first;
  locked_ = true;
  lockStart_ = offset;
  lockBytes_ = bytes;
  return DS_OK;
}

Result CStreamBuffer::Unlock(void*, uint32_t, void*, uint32_t) {
  std::lock_guard<std::mutex> lock(context_->Mutex());
  if (!locked_) return DSERR_INVALIDCALL;
  locked_ = false;
  awaitingRefill_ = false;
  context_->RefillAnswered();
  return DS_OK;
}

Result CStreamBuffer::Play(uint32_t flags) {
  std::lock_guard<std::mutex> lock(context_->Mutex());
  looping_ = (flags & DSBPLAY_LOOPING) != 0;
  if (awaitingFirstPlay_) {
    awaitingFirstPlay_ = false;
    context_->RefillAnswered();
  }
  if (playing_) return DS_OK;
  playing_ = true;
  reachedEnd_ = false;
  queueEnd_ = cursor_;
  if (source_) {
    QueueMore();
    if (count_ > 0) alSourcePlay(source_);
    // Started by the music's worker just as the game paused: it waits for the hold to end.
    if (context_->IsHeld()) Hold(true);
  }
  SignalAt(cursor_);
  return DS_OK;
}

Result CStreamBuffer::Stop() {
  std::lock_guard<std::mutex> lock(context_->Mutex());
  DropHold();
  if (!playing_) return DS_OK;
  Halt();
  playing_ = false;
  SignalStop();
  return DS_OK;
}

Result CStreamBuffer::GetStatus(uint32_t* status) {
  if (!status) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(context_->Mutex());
  *status = playing_ ? (DSBSTATUS_PLAYING | (looping_ ? DSBSTATUS_LOOPING : 0u)) : 0u;
  return DS_OK;
}

Result CStreamBuffer::GetCurrentPosition(uint32_t* play, uint32_t* write) {
  std::lock_guard<std::mutex> lock(context_->Mutex());
  uint32_t position = cursor_;
  if (playing_ && source_ && count_ > 0) {
    ALint frame = 0;
    alGetSourcei(source_, AL_SAMPLE_OFFSET, &frame);
    // The offset counts from the oldest chunk still queued, finished or not.
    uint32_t into = static_cast<uint32_t>(frame) * format_.blockAlign;
    int i = 0;
    while (i < count_ - 1 && into >= chunks_[(head_ + i) % kChunks].length)
      into -= chunks_[(head_ + i++) % kChunks].length;
    const Chunk& c = chunks_[(head_ + i) % kChunks];
    position = (c.start + std::min(into, c.length)) % static_cast<uint32_t>(memory_.size());
  }
  if (play) *play = position;
  if (write) *write = playing_ ? queueEnd_ : position;
  return DS_OK;
}

Result CStreamBuffer::SetCurrentPosition(uint32_t offset) {
  std::lock_guard<std::mutex> lock(context_->Mutex());
  if (offset >= memory_.size()) return DSERR_INVALIDPARAM;
  offset -= offset % format_.blockAlign;
  if (playing_ && source_) {
    Halt();
    cursor_ = offset;
    queueEnd_ = offset;
    reachedEnd_ = false;
    QueueMore();
    if (count_ > 0) alSourcePlay(source_);
  } else {
    cursor_ = offset;
  }
  return DS_OK;
}

Result CStreamBuffer::SetNotificationPositions(uint32_t count, const PositionNotify* notifies) {
  if (count > 0 && !notifies) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(context_->Mutex());
  if (playing_) return DSERR_INVALIDCALL;
  for (uint32_t i = 0; i < count; ++i) {
    if (!notifies[i].event) return DSERR_INVALIDPARAM;
    if (notifies[i].offset != DSBPN_OFFSETSTOP && notifies[i].offset >= memory_.size())
      return DSERR_INVALIDPARAM;
  }
  notifies_.assign(notifies, notifies + count);
  awaitingFirstPlay_ = std::any_of(notifies_.begin(), notifies_.end(),
                                   [](const PositionNotify& n) { return n.offset != DSBPN_OFFSETSTOP; });
  return DS_OK;
}

void CStreamBuffer::DropAl() {
  Halt();
  FreeAl();
}

void CStreamBuffer::RebuildAl() {
  if (!MakeAl() || !playing_) return;
  queueEnd_ = cursor_;
  reachedEnd_ = false;
  QueueMore();
  if (count_ > 0) alSourcePlay(source_);
}

}  // namespace audio
