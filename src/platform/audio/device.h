// The DirectSound-8-like sound device on OpenAL Soft, and the seam that chooses its output: the
// default output, a loopback device whose mix tests render into memory, or no device at all.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/audio/buffer.h"
#include "platform/audio/types.h"

namespace audio {

class CAlContext;

enum class Output { kDefault, kLoopback, kNone };

// Chooses what the next CreateDevice opens. Loopback renders stereo float at the given rate;
// HRTF is used there only when asked for, so measurements stay plain panning by default.
void SetOutput(Output output, uint32_t loopbackRate = 44100, bool loopbackHrtf = false);
Output GetOutput();

class CDevice {
 public:
  ~CDevice();
  CDevice(const CDevice&) = delete;
  CDevice& operator=(const CDevice&) = delete;

  // Only one device exists at a time (DSERR_ALLOCATED otherwise); DSERR_NODRIVER when no output opens.
  static Result Create(std::unique_ptr<CDevice>* device);

  // The window focus rules this level stands for do not exist here.
  Result SetCooperativeLevel(uint32_t level);
  Result CreateSoundBuffer(const BufferDesc& desc, std::unique_ptr<CBuffer>* buffer);

  // True when HRTF is on for this output.
  bool HrtfEnabled() const;

 private:
  explicit CDevice(std::shared_ptr<CAlContext> context);
  std::shared_ptr<CAlContext> context_;
};

// Renders the next frames of the loopback device's mix as interleaved stereo floats. Streaming
// buffers are serviced between short slices, and each slice waits (briefly, bounded) until the
// buffers' refill threads have answered the notifications already signalled, so captures do not
// depend on thread timing. False when no loopback device is open.
bool RenderLoopback(float* out, uint32_t frames);

// What an unplugged output goes through: every source and buffer is rebuilt on a freshly opened
// output and carries on from where it was. Done by the device itself when OpenAL reports the
// output disconnected; tests call it directly. False when no device exists or none opens.
bool ReopenOutput();
// The first half of that: the output goes, and nothing takes its place until ReopenOutput (or, on
// the default output, the device's own next try). Buffers live on without OpenAL objects
// meanwhile, and new ones can still be made. False when no device exists.
bool DisconnectOutput();

// Holds the whole output (a paused game): every playing buffer stops where it is and goes on from
// there when the hold ends; streaming buffers signal nothing meanwhile, so their refills wait too.
// Buffers made or played during the hold are not held. False when no device exists.
bool HoldOutput(bool on);
bool OutputHeld();

// Bytes of sample memory the device holds for all live buffers (its own copies plus the queued
// chunks of streaming buffers).
uint64_t HeldSampleBytes();

}  // namespace audio
