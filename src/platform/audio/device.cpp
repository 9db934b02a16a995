#include "platform/audio/device.h"

#include <mutex>

#include "platform/audio/al_context.h"
#include "platform/audio/primary_buffer.h"
#include "platform/audio/sample_format.h"
#include "platform/audio/static_buffer.h"
#include "platform/audio/stream_buffer.h"

namespace audio {
namespace {
Output g_output = Output::kDefault;
uint32_t g_loopbackRate = 44100;
bool g_loopbackHrtf = false;
}  // namespace

void SetOutput(Output output, uint32_t loopbackRate, bool loopbackHrtf) {
  g_output = output;
  g_loopbackRate = loopbackRate;
  g_loopbackHrtf = loopbackHrtf;
}

Output GetOutput() { return g_output; }

CDevice::CDevice(std::shared_ptr<CAlContext> context) : context_(std::move(context)) {}

CDevice::~CDevice() = default;

Result CDevice::Create(std::unique_ptr<CDevice>* device) {
  if (!device) return DSERR_INVALIDPARAM;
  device->reset();
  Result result = DSERR_NODRIVER;
  std::shared_ptr<CAlContext> context = CAlContext::Open(g_output, g_loopbackRate, g_loopbackHrtf, &result);
  if (!context) return result;
  device->reset(new CDevice(std::move(context)));
  return DS_OK;
}

Result CDevice::SetCooperativeLevel(uint32_t level) {
  return level == DSSCL_NORMAL || level == DSSCL_PRIORITY || level == 3 ? DS_OK : DSERR_INVALIDPARAM;
}

Result CDevice::CreateSoundBuffer(const BufferDesc& desc, std::unique_ptr<CBuffer>* buffer) {
  if (!buffer) return DSERR_INVALIDPARAM;
  buffer->reset();
  if (desc.size != 36 && desc.size != 20) return DSERR_INVALIDPARAM;
  if (desc.flags & DSBCAPS_PRIMARYBUFFER) {
    if (desc.bufferBytes != 0 || desc.format || (desc.flags & DSBCAPS_CTRLPOSITIONNOTIFY))
      return DSERR_INVALIDPARAM;
    buffer->reset(new CPrimaryBuffer(context_));
    return DS_OK;
  }
  if (!desc.format || desc.bufferBytes < DSBSIZE_MIN || desc.bufferBytes > DSBSIZE_MAX)
    return DSERR_INVALIDPARAM;
  SampleFormat format;
  const Result described = DescribeFormat(*desc.format, &format);
  if (Failed(described)) return described;
  // A 3D buffer is a point source: only mono has a meaning there.
  if ((desc.flags & DSBCAPS_CTRL3D) && format.channels != 1) return DSERR_INVALIDPARAM;

  bool made = false;
  std::unique_ptr<CBuffer> created;
  if (desc.flags & DSBCAPS_CTRLPOSITIONNOTIFY) {
    auto stream = std::make_unique<CStreamBuffer>(context_, desc, format);
    std::lock_guard<std::mutex> lock(context_->Mutex());
    made = stream->Init();
    created = std::move(stream);
  } else {
    auto effect = std::make_unique<CStaticBuffer>(context_, desc, format);
    std::lock_guard<std::mutex> lock(context_->Mutex());
    made = effect->Init();
    created = std::move(effect);
  }
  if (!made) return DSERR_OUTOFMEMORY;  // the unmade buffer goes with `created`, outside the lock
  *buffer = std::move(created);
  return DS_OK;
}

bool CDevice::HrtfEnabled() const {
  std::lock_guard<std::mutex> lock(context_->Mutex());
  return context_->HrtfEnabled();
}

bool RenderLoopback(float* out, uint32_t frames) {
  std::shared_ptr<CAlContext> context = CAlContext::Current();
  return context && out && context->Render(out, frames);
}

bool ReopenOutput() {
  std::shared_ptr<CAlContext> context = CAlContext::Current();
  return context && context->Reopen();
}

bool DisconnectOutput() {
  std::shared_ptr<CAlContext> context = CAlContext::Current();
  if (!context) return false;
  context->Disconnect();
  return true;
}

bool HoldOutput(bool on) {
  std::shared_ptr<CAlContext> context = CAlContext::Current();
  if (!context) return false;
  context->Hold(on);
  return true;
}

bool OutputHeld() {
  std::shared_ptr<CAlContext> context = CAlContext::Current();
  return context && context->Held();
}

uint64_t HeldSampleBytes() {
  std::shared_ptr<CAlContext> context = CAlContext::Current();
  if (!context) return 0;
  std::lock_guard<std::mutex> lock(context->Mutex());
  return context->HeldBytes();
}

}  // namespace audio
