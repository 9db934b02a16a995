#include "sound/music_stream.h"

#include <memory>
#include <system_error>

#include "core/log.h"
#include "platform/audio/device.h"
#include "platform/os/message_box.h"
#include "platform/os/thread.h"
#include "sound/sound_device.h"
#include "sound/wave_file.h"

namespace {

enum { kStartEvent, kMiddleEvent, kStoppedEvent, kEventCount };

struct Stream {
  CWaveFile reader;
  std::unique_ptr<audio::CBuffer> buffer;
  uint32_t bufferSize = 0;
  std::unique_ptr<os::CEvent> events[kEventCount];
  std::unique_ptr<os::CWorker> thread;

  // Also when the process exits with the music playing, whatever called exit(): the worker would
  // otherwise be waited for while it waits for a refill nobody will ask for.
  ~Stream() { Stop(); }
  void Stop();
};
Stream g_stream;
int32_t g_musicVolume = 0;

void Stream::Stop() {
  if (buffer) buffer->Stop();
  if (thread) {
    // Stopping signals the worker; setting the event as well covers a worker that has not reached
    // its first play yet. Nothing it uses is released before it has ended.
    events[kStoppedEvent]->Set();
    thread->Join();
    thread.reset();
  }
  buffer.reset();
  for (int i = kEventCount - 1; i >= 0; --i) events[i].reset();
  reader.Close();
  bufferSize = 0;
}

// Copies the next bytes of the piece, going round to its start whenever it runs out.
void FillRegion(uint8_t* region, uint32_t bytes) {
  uint32_t filled = 0;
  bool rewound = false;
  while (filled < bytes) {
    const uint32_t got = g_stream.reader.Read(region + filled, bytes - filled);
    filled += got;
    if (filled == bytes) break;
    if (got == 0 && rewound) break;  // no data at all
    g_stream.reader.Rewind();
    rewound = true;
  }
}

void FillHalf(int half) {
  const uint32_t size = g_stream.bufferSize / 2;
  void* region1 = nullptr;
  void* region2 = nullptr;
  uint32_t bytes1 = 0, bytes2 = 0;
  // A failed lock skips this refill; the half plays its old contents once more.
  if (audio::Failed(g_stream.buffer->Lock(half * size, size, &region1, &bytes1, &region2, &bytes2, 0)))
    return;
  FillRegion(static_cast<uint8_t*>(region1), bytes1);
  if (region2) FillRegion(static_cast<uint8_t*>(region2), bytes2);
  g_stream.buffer->Unlock(region1, bytes1, region2, bytes2);
}

void FirstFill() {
  FillHalf(0);
  g_stream.buffer->Play(audio::DSBPLAY_LOOPING);
}

// One wake-up: refill the half the cursor has just left. False once the buffer has stopped.
bool WorkerTurn(bool mayBlock) {
  os::CEvent* const events[kEventCount] = {g_stream.events[kStartEvent].get(),
                                           g_stream.events[kMiddleEvent].get(),
                                           g_stream.events[kStoppedEvent].get()};
  const int which = os::WaitForAnyEvent(events, kEventCount, mayBlock ? os::kInfinite : 0);
  if (which == kStartEvent) {
    FillHalf(1);  // the cursor has just entered half 0
  } else if (which == kMiddleEvent) {
    FillHalf(0);
  } else if (which == kStoppedEvent || mayBlock) {
    return false;  // stopped, or the wait failed
  }
  return true;
}

bool SetUp() {
  for (auto& e : g_stream.events) e = std::make_unique<os::CEvent>();
  audio::CDevice* device = GetSoundDevice();
  const audio::WaveFormat* format = g_stream.reader.GetFormat();
  // Two seconds of the piece's own format, so each half holds one second.
  const uint64_t size = 2ull * format->avgBytesPerSec;
  g_stream.bufferSize = size > audio::DSBSIZE_MAX ? 0 : static_cast<uint32_t>(size);
  audio::BufferDesc desc;
  desc.flags = audio::DSBCAPS_CTRLPOSITIONNOTIFY | audio::DSBCAPS_GLOBALFOCUS |
               audio::DSBCAPS_GETCURRENTPOSITION2 | audio::DSBCAPS_LOCDEFER;
  desc.bufferBytes = g_stream.bufferSize;
  desc.format = format;
  if (audio::Failed(device->CreateSoundBuffer(desc, &g_stream.buffer))) {
    os::MessageBox("バッファの作成に失敗", "Error");
    return false;
  }
  g_stream.buffer->SetVolume(g_musicVolume);
  const audio::PositionNotify notifies[kEventCount] = {
      {0, g_stream.events[kStartEvent].get()},
      {g_stream.bufferSize / 2, g_stream.events[kMiddleEvent].get()},
      {audio::DSBPN_OFFSETSTOP, g_stream.events[kStoppedEvent].get()},
  };
  if (g_stream.buffer->SetNotificationPositions(kEventCount, notifies) != audio::DS_OK) {
    Log("停止位置設定に失敗\n");
    return false;
  }
  g_stream.thread = std::make_unique<os::CWorker>();
  try {
    g_stream.thread->Start(FirstFill, WorkerTurn);
  } catch (const std::system_error&) {
    g_stream.thread.reset();
    Log("スレッドの生成に失敗\n");
    return false;
  }
  return true;
}

bool StreamExists() {
  return g_stream.thread || g_stream.buffer || g_stream.reader.IsOpen() || g_stream.events[kStartEvent];
}

}  // namespace

bool StartStream(const char* path) {
  // One stream at a time: a second start would leave the first one's worker running unowned.
  if (StreamExists()) StopStream();
  if (g_stream.reader.Open(path) != 0) {
    Log("NotFound %s (%s)\n", path ? path : "", g_stream.reader.FailureReason());
    return false;
  }
  // Without a device the game is silent; the device's failure was reported when it was made.
  if (!GetSoundDevice()) {
    g_stream.reader.Close();
    return true;
  }
  SetUp();
  return true;
}

void StopStream() { g_stream.Stop(); }

bool StreamIsPlaying() {
  uint32_t status = 0;
  return g_stream.buffer && audio::Succeeded(g_stream.buffer->GetStatus(&status)) &&
         (status & audio::DSBSTATUS_PLAYING) != 0;
}

bool StreamIsOpen() { return g_stream.buffer != nullptr; }

void SetMusicVolume(int32_t hundredths) {
  g_musicVolume = hundredths;
  if (g_stream.buffer) g_stream.buffer->SetVolume(hundredths);
}

int32_t MusicVolume() { return g_musicVolume; }
