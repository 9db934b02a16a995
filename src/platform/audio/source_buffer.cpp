#include "platform/audio/source_buffer.h"

#include <cmath>
#include <limits>
#include <mutex>

#include "platform/audio/al_context.h"
#include "platform/audio/al_ext.h"

namespace audio {

CSourceBuffer::CSourceBuffer(std::shared_ptr<CAlContext> context, const BufferDesc& desc,
                             const SampleFormat& format)
    : context_(std::move(context)), format_(format), flags_(desc.flags), bytes_(desc.bufferBytes) {}

CSourceBuffer::~CSourceBuffer() = default;

bool CSourceBuffer::MakeSource() {
  if (!context_->Alive()) return false;
  alGetError();
  alGenSources(1, &source_);
  if (alGetError() != AL_NO_ERROR) {
    source_ = 0;
    return false;
  }
  ApplySourceParams();
  return true;
}

void CSourceBuffer::DeleteSource() {
  if (!source_) return;
  alSourceStop(source_);
  alSourcei(source_, AL_BUFFER, 0);
  alDeleteSources(1, &source_);
  source_ = 0;
}

// Inverse-clamped with the minimum distance as reference distance is DirectSound's law. A
// minimum distance of 0 (or a maximum below the minimum) asks for no attenuation: that is said
// with a rolloff of 0, which every OpenAL means alike (Web Audio refuses a zero maximum).
void CSourceBuffer::ApplyDistances() {
  const bool attenuated = minDistance_ > 0.0f && maxDistance_ >= minDistance_;
  alSourcef(source_, AL_REFERENCE_DISTANCE, attenuated ? minDistance_ : 1.0f);
  alSourcef(source_, AL_MAX_DISTANCE, attenuated ? maxDistance_ : std::numeric_limits<float>::max());
  alSourcef(source_, AL_ROLLOFF_FACTOR, attenuated ? context_->Listener().rolloff : 0.0f);
}

void CSourceBuffer::ApplySourceParams() {
  if (!source_) return;
  alSourcef(source_, AL_GAIN, gain_);
  if (Is3D()) {
    // DirectSound's space is left-handed, OpenAL's right-handed: z changes sign.
    alSourcei(source_, AL_SOURCE_RELATIVE, AL_FALSE);
    alSource3f(source_, AL_POSITION, position_[0], position_[1], -position_[2]);
    alSource3f(source_, AL_VELOCITY, velocity_[0], velocity_[1], -velocity_[2]);
    ApplyDistances();
  } else {
    alSourcei(source_, AL_SOURCE_RELATIVE, AL_TRUE);
    alSource3f(source_, AL_POSITION, 0, 0, 0);
    alSource3f(source_, AL_VELOCITY, 0, 0, 0);
    alSourcef(source_, AL_ROLLOFF_FACTOR, 0.0f);
    // A plain stereo buffer goes to the speakers as it is, not through virtual speakers.
    if (format_.channels == 2) alSourcei(source_, AL_DIRECT_CHANNELS_SOFT, AL_TRUE);
  }
}

void CSourceBuffer::Hold(bool on) {
  if (!source_) {
    held_ = false;
    return;
  }
  if (on) {
    ALint state = AL_STOPPED;
    alGetSourcei(source_, AL_SOURCE_STATE, &state);
    held_ = held_ || state == AL_PLAYING;
    if (state == AL_PLAYING) alSourcePause(source_);
  } else if (held_) {
    held_ = false;
    // Only what the hold paused: a source played again meanwhile would start over from its top.
    ALint state = AL_STOPPED;
    alGetSourcei(source_, AL_SOURCE_STATE, &state);
    if (state == AL_PAUSED) alSourcePlay(source_);
  }
}

Result CSourceBuffer::SetVolume(int32_t volume) {
  if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(context_->Mutex());
  gain_ = volume <= DSBVOLUME_MIN ? 0.0f : static_cast<float>(std::pow(10.0, volume / 2000.0));
  if (source_) alSourcef(source_, AL_GAIN, gain_);
  return DS_OK;
}

Result CSourceBuffer::SetPosition(float x, float y, float z) {
  if (!Is3D()) return DSERR_CONTROLUNAVAIL;
  std::lock_guard<std::mutex> lock(context_->Mutex());
  position_[0] = x, position_[1] = y, position_[2] = z;
  if (source_) alSource3f(source_, AL_POSITION, x, y, -z);
  return DS_OK;
}

Result CSourceBuffer::SetVelocity(float x, float y, float z) {
  if (!Is3D()) return DSERR_CONTROLUNAVAIL;
  std::lock_guard<std::mutex> lock(context_->Mutex());
  velocity_[0] = x, velocity_[1] = y, velocity_[2] = z;
  if (source_) alSource3f(source_, AL_VELOCITY, x, y, -z);
  return DS_OK;
}

Result CSourceBuffer::SetMinDistance(float distance) {
  if (!Is3D()) return DSERR_CONTROLUNAVAIL;
  if (!(distance >= 0.0f)) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(context_->Mutex());
  minDistance_ = distance;
  if (source_) ApplyDistances();
  return DS_OK;
}

Result CSourceBuffer::SetMaxDistance(float distance) {
  if (!Is3D()) return DSERR_CONTROLUNAVAIL;
  if (!(distance >= 0.0f)) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(context_->Mutex());
  maxDistance_ = distance;
  if (source_) ApplyDistances();
  return DS_OK;
}

}  // namespace audio
