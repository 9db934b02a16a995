// Inside the sound device: the OpenAL Soft output and context, the lock every buffer operation
// takes, the listener's values, the pump that feeds streaming buffers on a real output, loopback
// rendering, and the rebuild after an unplugged output. Shared by the device, its buffers and the
// listener, so it lives as long as any of them (as DirectSound's objects hold their device).
#pragma once
#include <AL/al.h>
#include <AL/alc.h>

#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio/al_ext.h"
#include "platform/audio/device.h"
#include "platform/os/thread.h"

namespace audio {

class CSourceBuffer;

// The attribute list a context is made with: `wanted`, then what this edition's OpenAL is always
// asked for, then the closing 0 (al_context_desktop.cpp, al_context_web.cpp).
std::vector<ALCint> ContextAttributes(std::initializer_list<ALCint> wanted);

struct ListenerState {
  float position[3] = {0, 0, 0};
  float velocity[3] = {0, 0, 0};
  float front[3] = {0, 0, 1};
  float top[3] = {0, 1, 0};
  float rolloff = 1.0f;
  float doppler = 1.0f;
};

class CAlContext {
 public:
  // nullptr (with the reason in *result) when the output cannot be opened.
  static std::shared_ptr<CAlContext> Open(Output output, uint32_t loopbackRate, bool loopbackHrtf,
                                          Result* result);
  ~CAlContext();
  CAlContext(const CAlContext&) = delete;
  CAlContext& operator=(const CAlContext&) = delete;

  static std::shared_ptr<CAlContext> Current();

  std::mutex& Mutex() { return mutex_; }
  // The calls below expect the lock held.
  bool Alive() const { return context_ != nullptr; }
  void Register(CSourceBuffer* buffer);
  void Unregister(CSourceBuffer* buffer);
  ListenerState& Listener() { return listener_; }
  void ApplyListener();
  bool HrtfEnabled() const { return hrtf_; }
  bool IsHeld() const { return held_; }
  void AddHeldBytes(int64_t bytes) { heldBytes_ += bytes; }
  uint64_t HeldBytes() const { return static_cast<uint64_t>(heldBytes_); }
  // A streaming buffer was unlocked: a render waiting for refills may go on.
  void RefillAnswered() { refilled_.notify_all(); }

  // Take the lock themselves.
  // Every playing source pauses where it is (and streams are not fed) until the hold ends.
  void Hold(bool on);
  bool Held();
  bool Render(float* out, uint32_t frames);
  bool Reopen();
  void Disconnect();

 private:
  CAlContext(Output output, uint32_t loopbackRate, bool loopbackHrtf);
  bool OpenOutput();
  void CloseOutput();
  // Every buffer gives up its OpenAL objects, then the output closes.
  void DropOutput();
  void ServiceStreams();
  // One pass of the pump: feed the streams, now and then check the output is still there.
  bool PumpTurn(bool mayBlock);

  const Output output_;
  const uint32_t loopbackRate_;
  const bool loopbackHrtf_;
  ALCdevice* device_ = nullptr;
  ALCcontext* context_ = nullptr;
  bool hrtf_ = false;
  bool canDisconnect_ = false;
  LPALCRENDERSAMPLESSOFT renderSamples_ = nullptr;

  std::mutex mutex_;
  std::condition_variable refilled_;
  std::condition_variable wake_;
  bool quit_ = false;
  bool held_ = false;
  int pumpTicks_ = 0;
  os::CWorker pump_;
  std::vector<CSourceBuffer*> buffers_;
  ListenerState listener_;
  float appliedRolloff_ = 1.0f;
  int64_t heldBytes_ = 0;
};

}  // namespace audio
