// The default output path, where a pump thread feeds streaming buffers in real time. OpenAL Soft's
// null backend stands in for a sound card: it mixes at the output's pace and discards the result.
// The checks wait for events to happen at all, never for how fast.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "platform/audio/device.h"
#include "platform/os/thread.h"

namespace {

// OpenAL Soft reads this once, at its first call; every test here runs later.
const bool g_nullBackend = [] { return setenv("ALSOFT_DRIVERS", "null", 0) == 0; }();

constexpr uint32_t kGenerous = 10000;  // ms: only a hung pump would take this long

class RealTimeOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(g_nullBackend);
    audio::SetOutput(audio::Output::kDefault);
    if (audio::CDevice::Create(&device_) != audio::DS_OK) GTEST_SKIP() << "no null output in this OpenAL";
    format_.formatTag = audio::WAVE_FORMAT_PCM;
    format_.channels = 1;
    format_.samplesPerSec = 22050;
    format_.bitsPerSample = 16;
    format_.blockAlign = 2;
    format_.avgBytesPerSec = 44100;
  }
  std::unique_ptr<audio::CBuffer> Make(uint32_t bytes, uint32_t flags) {
    audio::BufferDesc desc;
    desc.flags = flags;
    desc.bufferBytes = bytes;
    desc.format = &format_;
    std::unique_ptr<audio::CBuffer> b;
    EXPECT_EQ(device_->CreateSoundBuffer(desc, &b), audio::DS_OK);
    return b;
  }
  static bool Playing(audio::CBuffer* b) {
    uint32_t status = 0;
    b->GetStatus(&status);
    return status & audio::DSBSTATUS_PLAYING;
  }

  audio::WaveFormat format_;
  std::unique_ptr<audio::CDevice> device_;
};

// The null output is a pair of loudspeakers: HRTF (whose data sets Debian's OpenAL ships) would
// colour them, so it stays OpenAL Soft's choice, which is off here unless alsoft.conf asks for it.
TEST_F(RealTimeOutputTest, LoudspeakersGetNoHrtfUnlessConfigured) { EXPECT_FALSE(device_->HrtfEnabled()); }

TEST_F(RealTimeOutputTest, PumpSignalsNotificationsAsTheCursorGoesRound) {
  const uint32_t size = 4410 * 2;  // 0.2 s
  std::unique_ptr<audio::CBuffer> b = Make(size, audio::DSBCAPS_CTRLPOSITIONNOTIFY);
  ASSERT_NE(b, nullptr);
  os::CEvent start, middle, stopped;
  const audio::PositionNotify n[3] = {{0, &start}, {size / 2, &middle}, {audio::DSBPN_OFFSETSTOP, &stopped}};
  ASSERT_EQ(b->SetNotificationPositions(3, n), audio::DS_OK);
  ASSERT_EQ(b->Play(audio::DSBPLAY_LOOPING), audio::DS_OK);
  EXPECT_TRUE(start.Wait(0)) << "playing from offset 0 reaches it at once";
  EXPECT_TRUE(middle.Wait(kGenerous));
  EXPECT_TRUE(start.Wait(kGenerous)) << "round the ring";
  EXPECT_TRUE(middle.Wait(kGenerous));
  // An unplugged output is reopened and the stream goes on.
  ASSERT_TRUE(audio::ReopenOutput());
  EXPECT_TRUE(start.Wait(kGenerous));
  EXPECT_TRUE(Playing(b.get()));
  b->Stop();
  EXPECT_TRUE(stopped.Wait(0));
  EXPECT_FALSE(Playing(b.get()));
}

TEST_F(RealTimeOutputTest, EffectPlaysToItsEndInRealTime) {
  std::unique_ptr<audio::CBuffer> b = Make(2205 * 2, audio::DSBCAPS_CTRL3D);
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(b->Play(0), audio::DS_OK);
  EXPECT_TRUE(Playing(b.get()));
  for (uint32_t waited = 0; Playing(b.get()) && waited < kGenerous; waited += 5)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_FALSE(Playing(b.get()));
  uint32_t position = 1;
  b->GetCurrentPosition(&position, nullptr);
  EXPECT_EQ(position, 0u);
}

}  // namespace
