// The DirectSound-like device on a loopback output: what is heard, where the cursor is, which
// events are set, and what survives a reopened output.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/audio/device.h"
#include "platform/audio/listener.h"
#include "platform/os/thread.h"
#include "support/sound_test_util.h"

namespace {
using soundtest::Render;
using soundtest::Rms;

// What OpenAL Soft's stereo panning gives each channel of a mono source straight ahead.
constexpr float kCentreGain = 0.5957f;

audio::WaveFormat Format(uint16_t channels, uint16_t bits = 16, uint32_t rate = 44100,
                         uint16_t tag = audio::WAVE_FORMAT_PCM) {
  audio::WaveFormat f;
  f.formatTag = tag;
  f.channels = channels;
  f.samplesPerSec = rate;
  f.bitsPerSample = bits;
  f.blockAlign = static_cast<uint16_t>(channels * bits / 8);
  f.avgBytesPerSec = rate * f.blockAlign;
  return f;
}

class AudioDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    audio::SetOutput(audio::Output::kLoopback);
    ASSERT_EQ(audio::CDevice::Create(&device_), audio::DS_OK);
  }
  void TearDown() override {
    buffers_.clear();
    device_.reset();
    audio::SetOutput(audio::Output::kDefault);
  }
  audio::CBuffer* Make(const audio::WaveFormat& format, uint32_t bytes, uint32_t flags) {
    audio::BufferDesc desc;
    desc.flags = flags;
    desc.bufferBytes = bytes;
    desc.format = &format;
    std::unique_ptr<audio::CBuffer> buffer;
    if (device_->CreateSoundBuffer(desc, &buffer) != audio::DS_OK) return nullptr;
    buffers_.push_back(std::move(buffer));
    return buffers_.back().get();
  }
  static void Fill(audio::CBuffer* buffer, const void* data, uint32_t bytes) {
    void* r1 = nullptr;
    void* r2 = nullptr;
    uint32_t n1 = 0, n2 = 0;
    ASSERT_EQ(buffer->Lock(0, bytes, &r1, &n1, &r2, &n2, 0), audio::DS_OK);
    std::memcpy(r1, data, n1);
    ASSERT_EQ(buffer->Unlock(r1, n1, r2, n2), audio::DS_OK);
  }
  // A mono 3D effect at the origin with no attenuation, filled with a sine.
  audio::CBuffer* Effect(uint32_t frames, double amplitude = 0.5) {
    audio::CBuffer* b = Make(Format(1), frames * 2, audio::DSBCAPS_CTRL3D);
    if (!b) return nullptr;
    const std::vector<int16_t> s = soundtest::Sine(frames, 441, amplitude);
    Fill(b, s.data(), frames * 2);
    b->SetMinDistance(0);
    b->SetMaxDistance(0);
    return b;
  }

  std::unique_ptr<audio::CDevice> device_;
  std::vector<std::unique_ptr<audio::CBuffer>> buffers_;
};

TEST(AudioDeviceOutput, NoOutputMeansNoDeviceAndNothingToRender) {
  audio::SetOutput(audio::Output::kNone);
  std::unique_ptr<audio::CDevice> device;
  EXPECT_EQ(audio::CDevice::Create(&device), audio::DSERR_NODRIVER);
  EXPECT_EQ(device, nullptr);
  float out[8];
  EXPECT_FALSE(audio::RenderLoopback(out, 4));
  EXPECT_FALSE(audio::ReopenOutput());
  EXPECT_EQ(audio::HeldSampleBytes(), 0u);
  audio::SetOutput(audio::Output::kDefault);
}

TEST_F(AudioDeviceTest, OnlyOneDeviceAtATime) {
  std::unique_ptr<audio::CDevice> second;
  EXPECT_EQ(audio::CDevice::Create(&second), audio::DSERR_ALLOCATED);
  device_.reset();
  EXPECT_EQ(audio::CDevice::Create(&second), audio::DS_OK);
  device_ = std::move(second);
}

TEST_F(AudioDeviceTest, BufferDescriptionsAreCheckedAsDirectSoundChecksThem) {
  EXPECT_EQ(Make(Format(2), 4000, audio::DSBCAPS_CTRL3D), nullptr) << "3D buffers are mono";
  EXPECT_EQ(Make(Format(1, 12), 4000, 0), nullptr);
  audio::WaveFormat lying = Format(1);
  lying.avgBytesPerSec = 1000;
  EXPECT_EQ(Make(lying, 4000, 0), nullptr);
  EXPECT_EQ(Make(Format(1), 0, 0), nullptr);
  EXPECT_EQ(Make(Format(1, 16, 50), 4000, 0), nullptr);
  audio::BufferDesc primary;
  primary.flags = audio::DSBCAPS_PRIMARYBUFFER;
  primary.bufferBytes = 100;
  std::unique_ptr<audio::CBuffer> b;
  EXPECT_EQ(device_->CreateSoundBuffer(primary, &b), audio::DSERR_INVALIDPARAM);
  primary.bufferBytes = 0;
  ASSERT_EQ(device_->CreateSoundBuffer(primary, &b), audio::DS_OK);
  EXPECT_NE(b->GetListener(), nullptr);

  audio::CBuffer* effect = Make(Format(1), 4000, audio::DSBCAPS_CTRL3D);
  ASSERT_NE(effect, nullptr);
  audio::PositionNotify n{0, nullptr};
  EXPECT_EQ(effect->SetNotificationPositions(1, &n), audio::DSERR_CONTROLUNAVAIL);
  EXPECT_EQ(effect->GetListener(), nullptr);
  EXPECT_EQ(effect->SetVolume(1), audio::DSERR_INVALIDPARAM);
  audio::CBuffer* plain = Make(Format(2), 4000, 0);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->SetPosition(1, 2, 3), audio::DSERR_CONTROLUNAVAIL);
}

TEST_F(AudioDeviceTest, LockPastTheEndWrapsIntoASecondRegion) {
  for (uint32_t flags : {0u, static_cast<uint32_t>(audio::DSBCAPS_CTRLPOSITIONNOTIFY)}) {
    audio::CBuffer* b = Make(Format(1), 1000, flags);
    ASSERT_NE(b, nullptr);
    void* r1 = nullptr;
    void* r2 = nullptr;
    uint32_t n1 = 0, n2 = 0;
    ASSERT_EQ(b->Lock(996, 10, &r1, &n1, &r2, &n2, 0), audio::DS_OK);
    EXPECT_EQ(n1, 4u);
    EXPECT_EQ(n2, 6u);
    ASSERT_NE(r2, nullptr);
    EXPECT_EQ(static_cast<uint8_t*>(r1) - static_cast<uint8_t*>(r2), 996);
    EXPECT_NE(b->Lock(0, 2, &r1, &n1, &r2, &n2, 0), audio::DS_OK) << "already locked";
    EXPECT_EQ(b->Unlock(r1, n1, r2, n2), audio::DS_OK);
    EXPECT_NE(b->Unlock(r1, n1, r2, n2), audio::DS_OK);
    EXPECT_NE(b->Lock(1000, 2, &r1, &n1, &r2, &n2, 0), audio::DS_OK);
    ASSERT_EQ(b->Lock(0, 0, &r1, &n1, &r2, &n2, audio::DSBLOCK_ENTIREBUFFER), audio::DS_OK);
    EXPECT_EQ(n1, 1000u);
    EXPECT_EQ(r2, nullptr);
    b->Unlock(r1, n1, r2, n2);
  }
}

TEST_F(AudioDeviceTest, StopKeepsThePositionAndPlayCarriesOn) {
  audio::CBuffer* b = Effect(44100);
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(b->Play(0), audio::DS_OK);
  std::vector<float> out = Render(4410);
  EXPECT_GT(Rms(out, 0, 1000, 4410), 0.1);
  ASSERT_EQ(b->Stop(), audio::DS_OK);
  uint32_t status = 1, stopped = 0, later = 0;
  b->GetStatus(&status);
  EXPECT_EQ(status, 0u);
  b->GetCurrentPosition(&stopped, nullptr);
  EXPECT_EQ(stopped, 4410u * 2);
  out = Render(4410);
  EXPECT_EQ(Rms(out, 0, 0, 4410), 0.0);
  b->GetCurrentPosition(&later, nullptr);
  EXPECT_EQ(later, stopped);
  b->Play(0);
  Render(441);
  b->GetCurrentPosition(&later, nullptr);
  EXPECT_EQ(later, stopped + 441 * 2);
}

// The pause's hold ends: what was stopped meanwhile stays stopped where it was.
TEST_F(AudioDeviceTest, AStopDuringTheHoldStaysAStop) {
  audio::CBuffer* stopped = Effect(44100);
  ASSERT_NE(stopped, nullptr);
  stopped->Play(audio::DSBPLAY_LOOPING);
  Render(1000);
  ASSERT_TRUE(audio::HoldOutput(true));
  stopped->Stop();
  audio::HoldOutput(false);
  EXPECT_EQ(Rms(Render(2000), 0, 0, 2000), 0.0) << "the stop made during the hold is heard as a stop";
  uint32_t status = 1, position = 0;
  stopped->GetStatus(&status);
  EXPECT_EQ(status, 0u);
  stopped->GetCurrentPosition(&position, nullptr);
  EXPECT_EQ(position, 1000u * 2);
}

TEST_F(AudioDeviceTest, OncePlaysToTheEndAndLoopingGoesOn) {
  audio::CBuffer* once = Effect(2000);
  audio::CBuffer* looping = Effect(2000);
  ASSERT_TRUE(once && looping);
  once->Play(0);
  looping->Play(audio::DSBPLAY_LOOPING);
  Render(5000);
  uint32_t status = 0, position = 1;
  once->GetStatus(&status);
  EXPECT_EQ(status, 0u);
  once->GetCurrentPosition(&position, nullptr);
  EXPECT_EQ(position, 0u) << "a finished buffer starts from the top again";
  looping->GetStatus(&status);
  EXPECT_EQ(status, audio::DSBSTATUS_PLAYING | audio::DSBSTATUS_LOOPING);
  looping->GetCurrentPosition(&position, nullptr);
  EXPECT_EQ(position, (5000u % 2000u) * 2);
}

TEST_F(AudioDeviceTest, VolumeIsInHundredthsOfADecibel) {
  audio::CBuffer* full = Effect(44100);
  ASSERT_NE(full, nullptr);
  full->Play(0);
  const double loud = Rms(Render(8000), 0, 2000, 8000);
  full->Stop();
  full->SetCurrentPosition(0);
  full->SetVolume(-600);
  full->Play(0);
  const double quiet = Rms(Render(8000), 0, 2000, 8000);
  EXPECT_NEAR(quiet / loud, std::pow(10.0, -0.3), 0.01);
  full->SetVolume(audio::DSBVOLUME_MIN);
  EXPECT_LT(Rms(Render(4000), 0, 1000, 4000), 1e-4);
}

TEST_F(AudioDeviceTest, DistanceLawIsInverseClampedFromMinToMaxDistance) {
  audio::CBuffer* b = Effect(44100);
  ASSERT_NE(b, nullptr);
  b->SetMinDistance(2);
  b->SetMaxDistance(8);
  auto level = [&](float z) {
    b->Stop();
    b->SetCurrentPosition(0);
    b->SetPosition(0, 0, z);
    b->Play(0);
    return Rms(Render(6000), 0, 2000, 6000);
  };
  const double inside = level(1);
  EXPECT_NEAR(level(2) / inside, 1.0, 0.01);
  EXPECT_NEAR(level(4) / inside, 0.5, 0.01);
  EXPECT_NEAR(level(8) / inside, 0.25, 0.01);
  EXPECT_NEAR(level(30) / inside, 0.25, 0.01) << "no further attenuation past the maximum distance";
}

TEST_F(AudioDeviceTest, ListenerOrientationUsesLeftHandedAxes) {
  std::unique_ptr<audio::CBuffer> primary;
  audio::BufferDesc desc;
  desc.flags = audio::DSBCAPS_PRIMARYBUFFER | audio::DSBCAPS_CTRL3D;
  ASSERT_EQ(device_->CreateSoundBuffer(desc, &primary), audio::DS_OK);
  audio::CListener* listener = primary->GetListener();
  audio::CBuffer* b = Effect(44100);
  ASSERT_NE(b, nullptr);
  b->SetMinDistance(1);
  b->SetMaxDistance(100);
  b->SetPosition(-3, 0, 0);
  b->Play(audio::DSBPLAY_LOOPING);
  std::vector<float> out = Render(6000);
  EXPECT_GT(Rms(out, 0, 2000, 6000), 5 * Rms(out, 1, 2000, 6000)) << "-x is left when facing +z";
  // Facing -x with +y up, +z is on the right.
  ASSERT_EQ(listener->SetOrientation(-1, 0, 0, 0, 1, 0), audio::DS_OK);
  b->SetPosition(0, 0, 3);
  out = Render(6000);
  EXPECT_GT(Rms(out, 1, 2000, 6000), 5 * Rms(out, 0, 2000, 6000));
  // Moving the listener moves what is heard: the source is now behind-left of nothing but far.
  listener->SetOrientation(0, 0, 1, 0, 1, 0);
  b->SetPosition(0, 0, 0);
  const double near = Rms(Render(6000), 0, 2000, 6000);
  listener->SetPosition(0, 0, -10);
  EXPECT_NEAR(Rms(Render(6000), 0, 2000, 6000) / near, 0.1, 0.01);
  EXPECT_EQ(listener->SetRolloffFactor(11), audio::DSERR_INVALIDPARAM);
  listener->SetRolloffFactor(0);
  EXPECT_NEAR(Rms(Render(6000), 0, 2000, 6000) / near, 1.0, 0.01) << "rolloff 0 turns attenuation off";
}

TEST_F(AudioDeviceTest, TwentyFourBitSamplesPlayAsTheyAre) {
  audio::CBuffer* b = Make(Format(2, 24), 3 * 2 * 100, 0);
  ASSERT_NE(b, nullptr);
  std::vector<uint8_t> data(600);
  for (int i = 0; i < 200; ++i) {
    const int32_t v = (i % 2 ? -1 : 1) * (i * 20000);
    data[3 * i] = static_cast<uint8_t>(v), data[3 * i + 1] = static_cast<uint8_t>(v >> 8);
    data[3 * i + 2] = static_cast<uint8_t>(v >> 16);
  }
  Fill(b, data.data(), 600);
  b->Play(0);
  const std::vector<float> out = Render(100);
  for (int i = 0; i < 200; ++i) EXPECT_FLOAT_EQ(out[i], (i % 2 ? -1 : 1) * (i * 20000) / 8388608.0f) << i;
}

// Answers notifications as the music thread does: the half ahead is filled with a value telling
// which wake-up wrote it.
class Responder {
 public:
  Responder(audio::CBuffer* buffer, uint32_t size) : buffer_(buffer), size_(size) {
    thread_ = std::thread([this] { Run(); });
  }
  ~Responder() { Join(); }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  os::CEvent start, middle, stopped;
  std::vector<int> seen;  // 0 start, 1 middle, 2 stopped

 private:
  void Run() {
    os::CEvent* const events[3] = {&start, &middle, &stopped};
    for (;;) {
      const int which = os::WaitForAnyEvent(events, 3);
      seen.push_back(which);
      if (which == 2) return;
      void* r1 = nullptr;
      void* r2 = nullptr;
      uint32_t n1 = 0, n2 = 0;
      const uint32_t half = which == 0 ? 1 : 0;
      if (buffer_->Lock(half * size_ / 2, size_ / 2, &r1, &n1, &r2, &n2, 0) != audio::DS_OK) continue;
      std::vector<int16_t> value(n1 / 2, static_cast<int16_t>(1000 * static_cast<int>(seen.size())));
      std::memcpy(r1, value.data(), n1);
      buffer_->Unlock(r1, n1, r2, n2);
    }
  }
  audio::CBuffer* buffer_;
  uint32_t size_;
  std::thread thread_;
};

TEST_F(AudioDeviceTest, NotificationsFollowTheCursorRoundTheRing) {
  const uint32_t size = 8820 * 2;  // 0.2 s of mono 16-bit
  audio::CBuffer* b = Make(Format(1), size, audio::DSBCAPS_CTRLPOSITIONNOTIFY);
  ASSERT_NE(b, nullptr);
  Responder r(b, size);
  const audio::PositionNotify n[3] = {
      {0, &r.start}, {size / 2, &r.middle}, {audio::DSBPN_OFFSETSTOP, &r.stopped}};
  ASSERT_EQ(b->SetNotificationPositions(3, n), audio::DS_OK);
  ASSERT_EQ(b->Play(audio::DSBPLAY_LOOPING), audio::DS_OK);
  EXPECT_EQ(b->SetNotificationPositions(3, n), audio::DSERR_INVALIDCALL) << "not while playing";
  const std::vector<float> out = Render(8820 * 9 / 4);
  b->Stop();
  r.Join();
  // Play at 0, then 0.5, 1 (wrap), 1.5, 2 buffer lengths, then the stop.
  EXPECT_EQ(r.seen, (std::vector<int>{0, 1, 0, 1, 0, 2}));
  // Each half is heard with what the wake-up before it wrote: half 1 from the first wake-up, then
  // half 0 from the second, and so on.
  auto heard = [&](uint32_t frame) { return std::lround(out[2 * frame] / kCentreGain * 32768.0f / 1000.0f); };
  EXPECT_EQ(heard(4410 + 2000), 1);
  EXPECT_EQ(heard(8820 + 2000), 2);
  EXPECT_EQ(heard(8820 + 4410 + 2000), 3);
  EXPECT_EQ(heard(2 * 8820 + 2000), 4);
}

// The music's worker fills the first half and starts the buffer on its own thread: however late
// that thread runs, a loopback render hears the piece from its first frame, so two runs of the
// game mix the same sound at the same step.
TEST_F(AudioDeviceTest, AStreamStartedLateByItsWorkerIsHeardFromTheFirstRenderedFrame) {
  const uint32_t size = 8820 * 2;
  audio::CBuffer* b = Make(Format(1), size, audio::DSBCAPS_CTRLPOSITIONNOTIFY);
  ASSERT_NE(b, nullptr);
  Responder r(b, size);
  const audio::PositionNotify n[3] = {
      {0, &r.start}, {size / 2, &r.middle}, {audio::DSBPN_OFFSETSTOP, &r.stopped}};
  ASSERT_EQ(b->SetNotificationPositions(3, n), audio::DS_OK);
  std::thread late([b, size] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const std::vector<int16_t> first(size / 4, 3000);
    Fill(b, first.data(), size / 2);
    b->Play(audio::DSBPLAY_LOOPING);
  });
  const std::vector<float> out = Render(100);
  late.join();
  b->Stop();
  r.Join();
  EXPECT_EQ(std::lround(out[0] / kCentreGain * 32768.0f / 1000.0f), 3);
}

TEST_F(AudioDeviceTest, SinglePassStreamStopsAtTheEndAndSignalsIt) {
  audio::CBuffer* b = Make(Format(2), 4000 * 4, audio::DSBCAPS_CTRLPOSITIONNOTIFY);
  ASSERT_NE(b, nullptr);
  os::CEvent stopped;
  const audio::PositionNotify n{audio::DSBPN_OFFSETSTOP, &stopped};
  ASSERT_EQ(b->SetNotificationPositions(1, &n), audio::DS_OK);
  std::vector<int16_t> ramp(8000);
  for (int i = 0; i < 8000; ++i) ramp[i] = static_cast<int16_t>(i * 3 - 12000);
  Fill(b, ramp.data(), 16000);
  b->Play(0);
  const std::vector<float> out = Render(6000);
  for (int i = 0; i < 8000; ++i) ASSERT_EQ(out[i], ramp[i] / 32768.0f) << i;
  EXPECT_EQ(Rms(out, 0, 4000, 6000), 0.0);
  uint32_t status = 1;
  b->GetStatus(&status);
  EXPECT_EQ(status, 0u);
  EXPECT_TRUE(stopped.Wait(0));
}

TEST_F(AudioDeviceTest, StreamStopKeepsTheExactPosition) {
  audio::CBuffer* b = Make(Format(2), 44100 * 4, audio::DSBCAPS_CTRLPOSITIONNOTIFY);
  ASSERT_NE(b, nullptr);
  std::vector<int16_t> ramp(88200);
  for (int i = 0; i < 88200; ++i) ramp[i] = static_cast<int16_t>((i * 7) % 30000 - 15000);
  Fill(b, ramp.data(), 176400);
  b->Play(audio::DSBPLAY_LOOPING);
  Render(1234);
  b->Stop();
  uint32_t position = 0;
  b->GetCurrentPosition(&position, nullptr);
  EXPECT_EQ(position, 1234u * 4);
  EXPECT_EQ(Rms(Render(500), 0, 0, 500), 0.0);
  b->Play(audio::DSBPLAY_LOOPING);
  const std::vector<float> out = Render(3000);
  for (int i = 0; i < 6000; ++i) ASSERT_EQ(out[i], ramp[2468 + i] / 32768.0f) << i;
}

TEST_F(AudioDeviceTest, ReopenedOutputCarriesOnWithEverySound) {
  audio::CBuffer* effect = Effect(44100);
  ASSERT_NE(effect, nullptr);
  effect->Play(audio::DSBPLAY_LOOPING);
  audio::CBuffer* stream = Make(Format(2), 44100 * 4, audio::DSBCAPS_CTRLPOSITIONNOTIFY);
  ASSERT_NE(stream, nullptr);
  std::vector<int16_t> ramp(88200);
  for (int i = 0; i < 88200; ++i) ramp[i] = static_cast<int16_t>((i * 5) % 20000 - 10000);
  Fill(stream, ramp.data(), 176400);
  stream->SetVolume(audio::DSBVOLUME_MIN);
  stream->Play(audio::DSBPLAY_LOOPING);
  Render(3000);
  uint32_t before = 0, after = 0;
  effect->GetCurrentPosition(&before, nullptr);
  ASSERT_TRUE(audio::ReopenOutput());
  effect->GetCurrentPosition(&after, nullptr);
  EXPECT_EQ(after, before);
  uint32_t status = 0;
  effect->GetStatus(&status);
  EXPECT_EQ(status, audio::DSBSTATUS_PLAYING | audio::DSBSTATUS_LOOPING);
  stream->GetCurrentPosition(&after, nullptr);
  EXPECT_EQ(after, 3000u * 4);
  effect->Stop();
  stream->SetVolume(0);
  const std::vector<float> out = Render(2000);
  for (int i = 0; i < 4000; ++i) ASSERT_EQ(out[i], ramp[6000 + i] / 32768.0f) << i;
  effect->Play(0);
  EXPECT_GT(Rms(Render(4000), 0, 1000, 4000), 0.1);
}

TEST(AudioDeviceHrtf, LoopbackWithHrtfStillHearsLeftOnTheLeft) {
  audio::SetOutput(audio::Output::kLoopback, 44100, true);
  std::unique_ptr<audio::CDevice> device;
  ASSERT_EQ(audio::CDevice::Create(&device), audio::DS_OK);
  const bool hrtf = device->HrtfEnabled();
  audio::SetOutput(audio::Output::kDefault);
  if (!hrtf) GTEST_SKIP() << "no HRTF data set for this output";
  audio::WaveFormat f = Format(1);
  audio::BufferDesc desc;
  desc.flags = audio::DSBCAPS_CTRL3D;
  desc.bufferBytes = 88200;
  desc.format = &f;
  desc.algorithm = audio::Algorithm3D::kHrtfFull;
  std::unique_ptr<audio::CBuffer> b;
  ASSERT_EQ(device->CreateSoundBuffer(desc, &b), audio::DS_OK);
  const std::vector<int16_t> noise = soundtest::Noise(44100, 0.5, 3);
  void* r1 = nullptr;
  uint32_t n1 = 0;
  ASSERT_EQ(b->Lock(0, 88200, &r1, &n1, nullptr, nullptr, 0), audio::DS_OK);
  std::memcpy(r1, noise.data(), n1);
  b->Unlock(r1, n1, nullptr, 0);
  b->SetPosition(-3, 0, 0);
  b->Play(0);
  const std::vector<float> out = Render(8000);
  EXPECT_GT(Rms(out, 0, 2000, 8000), 2 * Rms(out, 1, 2000, 8000));
}

}  // namespace
