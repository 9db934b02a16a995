#include "platform/audio/sample_format.h"

#include <cstring>

#include "platform/audio/al_ext.h"

namespace audio {
namespace {

// The tail every KSDATAFORMAT_SUBTYPE GUID shares; the first two bytes carry the format tag.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

float Int24(const uint8_t* p) {
  int32_t v = static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 | static_cast<uint32_t>(p[1]) << 16 |
                                   static_cast<uint32_t>(p[2]) << 24);
  return static_cast<float>(v) / 2147483648.0f;
}

float Int32(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return static_cast<float>(v) / 2147483648.0f;
}

}  // namespace

Result DescribeFormat(const WaveFormat& f, SampleFormat* out) {
  uint16_t tag = f.formatTag;
  if (tag == WAVE_FORMAT_EXTENSIBLE) {
    if (f.extraSize < 22) return DSERR_INVALIDPARAM;
    if (std::memcmp(f.subFormat + 2, kSubFormatTail, sizeof kSubFormatTail) != 0 || f.subFormat[1] != 0)
      return DSERR_BADFORMAT;
    tag = f.subFormat[0];
    if (f.validBitsPerSample != 0 && f.validBitsPerSample != f.bitsPerSample) return DSERR_BADFORMAT;
  }
  if (f.channels != 1 && f.channels != 2) return DSERR_BADFORMAT;
  if (f.samplesPerSec < DSBFREQUENCY_MIN || f.samplesPerSec > DSBFREQUENCY_MAX) return DSERR_INVALIDPARAM;
  if (f.bitsPerSample == 0 || f.bitsPerSample % 8 != 0) return DSERR_BADFORMAT;
  if (f.blockAlign != f.channels * f.bitsPerSample / 8) return DSERR_INVALIDPARAM;
  if (f.avgBytesPerSec != f.samplesPerSec * f.blockAlign) return DSERR_INVALIDPARAM;

  SampleFormat s;
  s.rate = f.samplesPerSec;
  s.channels = f.channels;
  s.blockAlign = f.blockAlign;
  const bool stereo = f.channels == 2;
  if (tag == WAVE_FORMAT_PCM && f.bitsPerSample == 8) {
    s.alFormat = stereo ? AL_FORMAT_STEREO8 : AL_FORMAT_MONO8;
  } else if (tag == WAVE_FORMAT_PCM && f.bitsPerSample == 16) {
    s.alFormat = stereo ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16;
  } else if ((tag == WAVE_FORMAT_PCM && (f.bitsPerSample == 24 || f.bitsPerSample == 32)) ||
             (tag == WAVE_FORMAT_IEEE_FLOAT && f.bitsPerSample == 32)) {
    s.alFormat = stereo ? AL_FORMAT_STEREO_FLOAT32 : AL_FORMAT_MONO_FLOAT32;
    if (tag == WAVE_FORMAT_PCM)
      s.convert =
          f.bitsPerSample == 24 ? SampleFormat::Convert::kInt24ToFloat : SampleFormat::Convert::kInt32ToFloat;
  } else {
    return DSERR_BADFORMAT;
  }
  s.alBlockAlign =
      s.convert == SampleFormat::Convert::kNone ? s.blockAlign : static_cast<uint16_t>(4 * s.channels);
  *out = s;
  return DS_OK;
}

void ConvertFrames(const SampleFormat& format, const uint8_t* in, uint32_t frames, uint8_t* out) {
  const uint32_t samples = frames * format.channels;
  switch (format.convert) {
    case SampleFormat::Convert::kNone:
      std::memcpy(out, in, static_cast<size_t>(frames) * format.blockAlign);
      return;
    case SampleFormat::Convert::kInt24ToFloat:
      for (uint32_t i = 0; i < samples; ++i) {
        const float v = Int24(in + 3 * i);
        std::memcpy(out + 4 * i, &v, 4);
      }
      return;
    case SampleFormat::Convert::kInt32ToFloat:
      for (uint32_t i = 0; i < samples; ++i) {
        const float v = Int32(in + 4 * i);
        std::memcpy(out + 4 * i, &v, 4);
      }
      return;
  }
}

}  // namespace audio
