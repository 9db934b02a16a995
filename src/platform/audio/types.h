// The DirectSound-8-shaped vocabulary of the sound device: result codes, buffer flags and the wave
// format record keep DirectSound's numbers, so game code reads like the original interfaces.
#pragma once
#include <cstdint>

namespace os {
class CEvent;
}

namespace audio {

using Result = int32_t;

enum : Result {
  DS_OK = 0,
  DSERR_ALLOCATED = static_cast<int32_t>(0x8878000A),
  DSERR_CONTROLUNAVAIL = static_cast<int32_t>(0x8878001E),
  DSERR_INVALIDPARAM = static_cast<int32_t>(0x80070057),
  DSERR_INVALIDCALL = static_cast<int32_t>(0x88780032),
  DSERR_GENERIC = static_cast<int32_t>(0x80004005),
  DSERR_OUTOFMEMORY = static_cast<int32_t>(0x8007000E),
  DSERR_BADFORMAT = static_cast<int32_t>(0x88780064),
  DSERR_NODRIVER = static_cast<int32_t>(0x88780078),
  DSERR_BUFFERLOST = static_cast<int32_t>(0x88780096),
  DSERR_NOINTERFACE = static_cast<int32_t>(0x80004002),
};

inline bool Succeeded(Result r) { return r >= 0; }
inline bool Failed(Result r) { return r < 0; }

// Buffer description flags.
enum : uint32_t {
  DSBCAPS_PRIMARYBUFFER = 0x00000001,
  DSBCAPS_STATIC = 0x00000002,
  DSBCAPS_CTRL3D = 0x00000010,
  DSBCAPS_CTRLVOLUME = 0x00000080,
  DSBCAPS_CTRLPOSITIONNOTIFY = 0x00000100,
  DSBCAPS_GLOBALFOCUS = 0x00008000,
  DSBCAPS_GETCURRENTPOSITION2 = 0x00010000,
  DSBCAPS_MUTE3DATMAXDISTANCE = 0x00020000,
  DSBCAPS_LOCDEFER = 0x00040000,
};

enum : uint32_t {
  DSSCL_NORMAL = 1,
  DSSCL_PRIORITY = 2,
  DSBPLAY_LOOPING = 1,
  DSBSTATUS_PLAYING = 1,
  DSBSTATUS_BUFFERLOST = 2,
  DSBSTATUS_LOOPING = 4,
  DSBLOCK_FROMWRITECURSOR = 1,
  DSBLOCK_ENTIREBUFFER = 2,
  DSBPN_OFFSETSTOP = 0xFFFFFFFFu,
  DSBSIZE_MIN = 4,
  DSBSIZE_MAX = 0x0FFFFFFF,
  DSBFREQUENCY_MIN = 100,
  DSBFREQUENCY_MAX = 200000,
};

constexpr int32_t DSBVOLUME_MIN = -10000;
constexpr int32_t DSBVOLUME_MAX = 0;

enum : uint16_t {
  WAVE_FORMAT_PCM = 1,
  WAVE_FORMAT_IEEE_FLOAT = 3,
  WAVE_FORMAT_EXTENSIBLE = 0xFFFE,
};

// 3D algorithms a buffer may ask for. Every one maps onto the same renderer, which uses HRTF when
// OpenAL Soft turns it on for the output (headphones, or the player's alsoft.conf).
enum class Algorithm3D { kDefault, kNoVirtualization, kHrtfFull, kHrtfLight };

// WAVEFORMATEX, plus the fields WAVEFORMATEXTENSIBLE adds when extraSize >= 22.
struct WaveFormat {
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  uint16_t extraSize = 0;
  uint16_t validBitsPerSample = 0;
  uint32_t channelMask = 0;
  uint8_t subFormat[16] = {};
};

struct BufferDesc {
  uint32_t size = 36;  // the record size DirectSound 8 checks
  uint32_t flags = 0;
  uint32_t bufferBytes = 0;
  const WaveFormat* format = nullptr;
  Algorithm3D algorithm = Algorithm3D::kDefault;
};

struct PositionNotify {
  uint32_t offset = 0;  // byte offset, or DSBPN_OFFSETSTOP
  os::CEvent* event = nullptr;
};

}  // namespace audio
