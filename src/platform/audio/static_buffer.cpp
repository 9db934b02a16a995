#include "platform/audio/static_buffer.h"

#include <algorithm>
#include <mutex>

#include "platform/audio/al_context.h"

namespace audio {

CStaticBuffer::CStaticBuffer(std::shared_ptr<CAlContext> context, const BufferDesc& desc,
                             const SampleFormat& format)
    : CSourceBuffer(std::move(context), desc, format) {}

CStaticBuffer::~CStaticBuffer() {
  std::lock_guard<std::mutex> lock(context_->Mutex());
  context_->Unregister(this);
  DeleteSource();
  if (alBuffer_) alDeleteBuffers(1, &alBuffer_);
  context_->AddHeldBytes(-static_cast<int64_t>(memory_.size()));
}

bool CStaticBuffer::Init() {
  memory_.assign(bytes_,
                 format_.alFormat == AL_FORMAT_MONO8 || format_.alFormat == AL_FORMAT_STEREO8 ? 0x80 : 0);
  context_->AddHeldBytes(static_cast<int64_t>(memory_.size()));
  // Without an output the buffer waits, as the older ones do, for the rebuild when it is back.
  if (context_->Alive() && !MakeAl()) return false;
  context_->Register(this);
  return true;
}

bool CStaticBuffer::MakeAl() {
  alGetError();
  alGenBuffers(1, &alBuffer_);
  if (alGetError() != AL_NO_ERROR) {
    alBuffer_ = 0;
    return false;
  }
  if (!MakeSource()) {
    alDeleteBuffers(1, &alBuffer_);
    alBuffer_ = 0;
    return false;
  }
  Upload();
  return true;
}

// OpenAL refuses new data for a buffer a source holds, so the source lets go of it meanwhile and
// then resumes where it was.
void CStaticBuffer::Upload() {
  if (!source_ || !alBuffer_) return;
  ALint state = AL_INITIAL, offset = 0;
  alGetSourcei(source_, AL_SOURCE_STATE, &state);
  alGetSourcei(source_, AL_SAMPLE_OFFSET, &offset);
  alSourceStop(source_);
  alSourcei(source_, AL_BUFFER, 0);
  const uint32_t frames = static_cast<uint32_t>(memory_.size() / format_.blockAlign);
  if (format_.convert == SampleFormat::Convert::kNone) {
    alBufferData(alBuffer_, format_.alFormat, memory_.data(),
                 static_cast<ALsizei>(frames * format_.blockAlign), static_cast<ALsizei>(format_.rate));
  } else {
    std::vector<uint8_t> converted(static_cast<size_t>(frames) * format_.alBlockAlign);
    ConvertFrames(format_, memory_.data(), frames, converted.data());
    alBufferData(alBuffer_, format_.alFormat, converted.data(), static_cast<ALsizei>(converted.size()),
                 static_cast<ALsizei>(format_.rate));
  }
  alSourcei(source_, AL_BUFFER, static_cast<ALint>(alBuffer_));
  if (state == AL_PLAYING || state == AL_PAUSED) {
    alSourcei(source_, AL_SAMPLE_OFFSET, offset);
    if (state == AL_PLAYING) {
      alSourcePlay(source_);
    } else {
      alSourcePlay(source_);
      alSourcePause(source_);
    }
  }
}

Result CStaticBuffer::Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* bytes1, void** region2,
                           uint32_t* bytes2, uint32_t flags) {
  if (!region1 || !bytes1) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(context_->Mutex());
  const uint32_t size = static_cast<uint32_t>(memory_.size());
  if (flags & DSBLOCK_ENTIREBUFFER) {
    offset = 0;
    bytes = size;
  } else if (flags & DSBLOCK_FROMWRITECURSOR) {
    ALint frame = 0;
    if (source_) alGetSourcei(source_, AL_SAMPLE_OFFSET, &frame);
    offset = static_cast<uint32_t>(frame) * format_.blockAlign;
  }
  if (locked_ || offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
  const uint32_t first = std::min(bytes, size - offset);
  *region1 = memory_.data() + offset;
  *bytes1 = first;
  if (region2) *region2 = bytes > first ? memory_.data() : nullptr;
  if (bytes2) *bytes2 = bytes - first;
  if (bytes > first && !region2) return DSERR_INVALIDPARAM;
  locked_ = true;
  return DS_OK;
}

Result CStaticBuffer::Unlock(void*, uint32_t, void*, uint32_t) {
  std::lock_guard<std::mutex> lock(context_->Mutex());
  if (!locked_) return DSERR_INVALIDCALL;
  locked_ = false;
  Upload();
  return DS_OK;
}

Result CStaticBuffer::Play(uint32_t flags) {
  std::lock_guard<std::mutex> lock(context_->Mutex());
  const ALint looping = (flags & DSBPLAY_LOOPING) ? AL_TRUE : AL_FALSE;
  if (!source_) {
    // The output is gone for now: a loop picks up when it is back, a one-shot is simply missed.
    if (looping) savedState_ = AL_PLAYING;
    savedLooping_ = looping;
    return DS_OK;
  }
  alSourcei(source_, AL_LOOPING, looping);
  ALint state = AL_INITIAL;
  alGetSourcei(source_, AL_SOURCE_STATE, &state);
  if (state != AL_PLAYING) alSourcePlay(source_);
  return DS_OK;
}

Result CStaticBuffer::Stop() {
  std::lock_guard<std::mutex> lock(context_->Mutex());
  if (!source_) {
    if (savedState_ == AL_PLAYING) savedState_ = AL_PAUSED;
    return DS_OK;
  }
  ALint state = AL_INITIAL;
  alGetSourcei(source_, AL_SOURCE_STATE, &state);
  // Pausing, not stopping: OpenAL's stop rewinds, DirectSound's does not.
  if (state == AL_PLAYING) alSourcePause(source_);
  DropHold();
  return DS_OK;
}

Result CStaticBuffer::GetStatus(uint32_t* status) {
  if (!status) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(context_->Mutex());
  ALint state = savedState_, looping = savedLooping_;
  if (source_) {
    alGetSourcei(source_, AL_SOURCE_STATE, &state);
    alGetSourcei(source_, AL_LOOPING, &looping);
  }
  *status = state == AL_PLAYING ? (DSBSTATUS_PLAYING | (looping ? DSBSTATUS_LOOPING : 0u)) : 0u;
  return DS_OK;
}

Result CStaticBuffer::GetCurrentPosition(uint32_t* play, uint32_t* write) {
  std::lock_guard<std::mutex> lock(context_->Mutex());
  ALint frame = savedOffset_;
  if (source_) alGetSourcei(source_, AL_SAMPLE_OFFSET, &frame);
  const uint32_t bytes = static_cast<uint32_t>(frame) * format_.blockAlign;
  if (play) *play = bytes;
  if (write) *write = bytes;
  return DS_OK;
}

Result CStaticBuffer::SetCurrentPosition(uint32_t offset) {
  std::lock_guard<std::mutex> lock(context_->Mutex());
  if (offset >= memory_.size()) return DSERR_INVALIDPARAM;
  const ALint frame = static_cast<ALint>(offset / format_.blockAlign);
  if (!source_) {
    savedOffset_ = frame;
    return DS_OK;
  }
  // A source that is not playing takes the offset up at its next play.
  alSourcei(source_, AL_SAMPLE_OFFSET, frame);
  return DS_OK;
}

void CStaticBuffer::DropAl() {
  if (source_) {
    alGetSourcei(source_, AL_SOURCE_STATE, &savedState_);
    alGetSourcei(source_, AL_SAMPLE_OFFSET, &savedOffset_);
    alGetSourcei(source_, AL_LOOPING, &savedLooping_);
  }
  DeleteSource();
  if (alBuffer_) alDeleteBuffers(1, &alBuffer_);
  alBuffer_ = 0;
}

void CStaticBuffer::RebuildAl() {
  if (!MakeAl()) return;
  alSourcei(source_, AL_LOOPING, savedLooping_);
  if (savedState_ == AL_PLAYING || savedState_ == AL_PAUSED) {
    alSourcePlay(source_);
    alSourcePause(source_);
    alSourcei(source_, AL_SAMPLE_OFFSET, savedOffset_);
    if (savedState_ == AL_PLAYING) alSourcePlay(source_);
  }
  savedState_ = AL_INITIAL;
  savedOffset_ = 0;
}

}  // namespace audio
