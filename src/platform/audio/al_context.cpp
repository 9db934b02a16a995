#include "platform/audio/al_context.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/audio/source_buffer.h"

namespace audio {
namespace {

std::mutex g_currentLock;
std::weak_ptr<CAlContext> g_current;

// Short slices keep a loopback render inside what the streaming queues hold.
constexpr uint32_t kRenderSlice = 256;
// How long a loopback render waits for a refill thread before it gives up on it.
constexpr auto kRefillWait = std::chrono::seconds(2);
constexpr auto kPumpPeriod = std::chrono::milliseconds(10);
constexpr int kConnectionCheckTicks = 25;
constexpr int kReopenRetryTicks = 200;

}  // namespace

CAlContext::CAlContext(Output output, uint32_t loopbackRate, bool loopbackHrtf)
    : output_(output), loopbackRate_(loopbackRate), loopbackHrtf_(loopbackHrtf) {}

std::shared_ptr<CAlContext> CAlContext::Open(Output output, uint32_t loopbackRate, bool loopbackHrtf,
                                             Result* result) {
  *result = DSERR_NODRIVER;
  if (output == Output::kNone) return nullptr;
  std::lock_guard<std::mutex> global(g_currentLock);
  if (!g_current.expired()) {
    *result = DSERR_ALLOCATED;
    return nullptr;
  }
  std::shared_ptr<CAlContext> context(new CAlContext(output, loopbackRate, loopbackHrtf));
  {
    std::lock_guard<std::mutex> lock(context->mutex_);
    if (!context->OpenOutput()) return nullptr;
  }
  if (output == Output::kDefault)
    context->pump_.Start(nullptr, [raw = context.get()](bool mayBlock) { return raw->PumpTurn(mayBlock); });
  g_current = context;
  *result = DS_OK;
  return context;
}

std::shared_ptr<CAlContext> CAlContext::Current() {
  std::lock_guard<std::mutex> global(g_currentLock);
  return g_current.lock();
}

CAlContext::~CAlContext() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  pump_.Join();
  std::lock_guard<std::mutex> lock(mutex_);
  CloseOutput();
}

bool CAlContext::OpenOutput() {
  if (output_ == Output::kLoopback) {
    auto openLoopback = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
        alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    renderSamples_ =
        reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    if (!openLoopback || !renderSamples_) return false;
    device_ = openLoopback(nullptr);
    if (!device_) return false;
    const std::vector<ALCint> attributes = ContextAttributes(
        {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_FLOAT_SOFT, ALC_FREQUENCY,
         static_cast<ALCint>(loopbackRate_), ALC_HRTF_SOFT, loopbackHrtf_ ? ALC_TRUE : ALC_FALSE});
    context_ = alcCreateContext(device_, attributes.data());
  } else {
    device_ = alcOpenDevice(nullptr);
    if (!device_) return false;
    // The effects ask for full HRTF, but on loudspeakers it only colours the sound: whether to
    // use it is OpenAL Soft's call (on for headphones) and the player's (alsoft.conf).
    context_ = alcCreateContext(device_, ContextAttributes({}).data());
    canDisconnect_ = alcIsExtensionPresent(device_, "ALC_EXT_disconnect") == ALC_TRUE;
  }
  if (!context_ || !alcMakeContextCurrent(context_)) {
    CloseOutput();
    return false;
  }
  ALCint hrtf = ALC_FALSE;
  if (alcIsExtensionPresent(device_, "ALC_SOFT_HRTF")) alcGetIntegerv(device_, ALC_HRTF_SOFT, 1, &hrtf);
  hrtf_ = hrtf == ALC_TRUE;
  alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
  ApplyListener();
  return true;
}

void CAlContext::CloseOutput() {
  if (context_) {
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(context_);
  }
  if (device_) alcCloseDevice(device_);
  context_ = nullptr;
  device_ = nullptr;
  hrtf_ = false;
}

void CAlContext::Register(CSourceBuffer* buffer) { buffers_.push_back(buffer); }

void CAlContext::Unregister(CSourceBuffer* buffer) {
  buffers_.erase(std::remove(buffers_.begin(), buffers_.end(), buffer), buffers_.end());
}

void CAlContext::ApplyListener() {
  if (!context_) return;
  const ListenerState& s = listener_;
  // DirectSound's space is left-handed, OpenAL's right-handed: z changes sign.
  alListener3f(AL_POSITION, s.position[0], s.position[1], -s.position[2]);
  alListener3f(AL_VELOCITY, s.velocity[0], s.velocity[1], -s.velocity[2]);
  const ALfloat orientation[6] = {s.front[0], s.front[1], -s.front[2], s.top[0], s.top[1], -s.top[2]};
  alListenerfv(AL_ORIENTATION, orientation);
  alDopplerFactor(s.doppler);
  // The rolloff factor is the listener's in DirectSound and each source's in OpenAL.
  if (s.rolloff != appliedRolloff_) {
    appliedRolloff_ = s.rolloff;
    for (CSourceBuffer* b : buffers_) b->ApplySourceParams();
  }
}

void CAlContext::ServiceStreams() {
  // A held stream must not be fed: feeding restarts a source it finds not playing.
  if (held_) return;
  for (CSourceBuffer* b : buffers_) b->Service();
}

void CAlContext::Hold(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (held_ == on) return;
  held_ = on;
  if (!context_) return;
  for (CSourceBuffer* b : buffers_) b->Hold(on);
}

bool CAlContext::Held() {
  std::lock_guard<std::mutex> lock(mutex_);
  return held_;
}

bool CAlContext::Render(float* out, uint32_t frames) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (output_ != Output::kLoopback) return false;
  while (frames > 0) {
    const auto deadline = std::chrono::steady_clock::now() + kRefillWait;
    auto awaiting = [&] {
      return std::any_of(buffers_.begin(), buffers_.end(),
                         [](CSourceBuffer* b) { return b->AwaitingRefill(); });
    };
    while (awaiting()) {
      if (refilled_.wait_until(lock, deadline) == std::cv_status::timeout) {
        for (CSourceBuffer* b : buffers_) b->GiveUpRefill();
        break;
      }
    }
    const uint32_t n = std::min(frames, kRenderSlice);
    if (context_) {
      ServiceStreams();
      renderSamples_(device_, out, static_cast<ALCsizei>(n));
    } else {
      std::memset(out, 0, sizeof(float) * 2 * n);
    }
    out += 2 * n;
    frames -= n;
  }
  return true;
}

void CAlContext::DropOutput() {
  for (CSourceBuffer* b : buffers_) b->DropAl();
  CloseOutput();
}

void CAlContext::Disconnect() {
  std::lock_guard<std::mutex> lock(mutex_);
  DropOutput();
}

bool CAlContext::Reopen() {
  std::lock_guard<std::mutex> lock(mutex_);
  DropOutput();
  if (!OpenOutput()) return false;  // the buffers wait without OpenAL objects; the pump tries again
  for (CSourceBuffer* b : buffers_) b->RebuildAl();
  if (held_)
    for (CSourceBuffer* b : buffers_) b->Hold(true);
  return true;
}

bool CAlContext::PumpTurn(bool mayBlock) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (mayBlock && !quit_) wake_.wait_for(lock, kPumpPeriod);
  if (quit_) return false;
  if (context_) ServiceStreams();
  // With no output at all, trying to open one is slow and noisy: less often then.
  if (++pumpTicks_ % (context_ ? kConnectionCheckTicks : kReopenRetryTicks) != 0) return true;
  ALCint connected = ALC_TRUE;
  if (context_ && canDisconnect_) alcGetIntegerv(device_, ALC_CONNECTED, 1, &connected);
  if (!context_ || connected != ALC_TRUE) {
    lock.unlock();
    Reopen();
  }
  return true;
}

}  // namespace audio
