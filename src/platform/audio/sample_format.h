// How a wave format travels to OpenAL: checked against what DirectSound accepts, and mapped onto
// an OpenAL buffer format. 24- and 32-bit integer samples have no OpenAL format and go as floats.
#pragma once
#include <AL/al.h>

#include <cstdint>

#include "platform/audio/types.h"

namespace audio {

struct SampleFormat {
  enum class Convert { kNone, kInt24ToFloat, kInt32ToFloat };
  ALenum alFormat = 0;
  uint32_t rate = 0;
  uint16_t channels = 0;
  uint16_t blockAlign = 0;    // bytes per frame in the buffer's own format
  uint16_t alBlockAlign = 0;  // bytes per frame as handed to OpenAL
  Convert convert = Convert::kNone;
};

// DSERR_BADFORMAT for formats the device cannot play, DSERR_INVALIDPARAM for inconsistent records.
Result DescribeFormat(const WaveFormat& format, SampleFormat* out);

// Converts whole frames into OpenAL's layout; out holds frames * alBlockAlign bytes.
void ConvertFrames(const SampleFormat& format, const uint8_t* in, uint32_t frames, uint8_t* out);

}  // namespace audio
