// Effects played through the bank, measured in what the loopback output renders.
#include "sound/sound_bank.h"

#include <cmath>
#include <memory>

#include "support/game_sound_fixture.h"

namespace {
using soundtest::MakeWave;
using soundtest::Pcm16;
using soundtest::Render;
using soundtest::Rms;
using soundtest::WaveLayout;

constexpr int kTone = 0;   // SE001: a steady sine
constexpr int kNoise = 1;  // SE002: noise, so two voices add up in power
constexpr int kMissing = 2;
constexpr int kLying = 3;
constexpr uint32_t kFrameOfAudio = 735;  // one game frame at 60 Hz

class SoundBankTest : public GameSoundTest {
 protected:
  void SetUp() override {
    const std::string wav = dir_.Path() + "/data/wav/";
    testimg::WriteFile(wav + "SE001.wav", MakeWave(WaveLayout{}, Pcm16(soundtest::Sine(88200, 441, 0.5))));
    testimg::WriteFile(wav + "SE002.wav", MakeWave(WaveLayout{}, Pcm16(soundtest::Noise(88200, 0.4, 1))));
    std::vector<uint8_t> lying = MakeWave(WaveLayout{}, Pcm16(soundtest::Sine(4410, 441, 0.5)));
    lying[40] = 0xFF, lying[41] = 0xFF;  // the data chunk's size, now far past the file's end
    testimg::WriteFile(wav + "SE004.wav", lying);
    for (int n = 5; n <= 25; ++n) {
      char name[32];
      std::snprintf(name, sizeof name, "SE%03d.wav", n);
      testimg::WriteFile(wav + name, MakeWave(WaveLayout{}, Pcm16(soundtest::Sine(2205, 880, 0.2))));
    }
    StartSound(audio::Output::kLoopback);
    ASSERT_TRUE(started_);
    bank_ = std::make_unique<SoundBank>();
  }
  void TearDown() override {
    bank_.reset();
    GameSoundTest::TearDown();
  }
  // Both voices quiet and back at the start, so the next measurement hears one trigger alone.
  void Hush(int n) {
    for (int v = 0; v < 2; ++v) {
      if (audio::CBuffer* b = bank_->Voice(n, v).Buffer()) {
        b->Stop();
        b->SetCurrentPosition(0);
      }
    }
  }
  double LevelAt(float x, float y, float z, int channel = 0) {
    Hush(kTone);
    soundtest::Emitter body;
    body.position = {x, y, z, 1};
    bank_->PlaySE(body, kTone);
    return Rms(Render(8000), channel, 2000, 8000);
  }
  static bool Playing(CSound& voice) {
    uint32_t status = 0;
    return voice.Buffer() && voice.Buffer()->GetStatus(&status) == audio::DS_OK &&
           (status & audio::DSBSTATUS_PLAYING);
  }
  static uint32_t Position(CSound& voice) {
    uint32_t play = 0;
    voice.Buffer()->GetCurrentPosition(&play, nullptr);
    return play;
  }

  std::unique_ptr<SoundBank> bank_;
};

TEST_F(SoundBankTest, EffectAtAUnitOnTheListenersLeftIsLouderOnTheLeft) {
  const double left = LevelAt(-3, 0, 0, 0);
  const double right = LevelAt(-3, 0, 0, 1);
  EXPECT_GT(left, 0.02);
  EXPECT_GT(left, 5 * right);
  EXPECT_GT(LevelAt(3, 0, 0, 1), 5 * LevelAt(3, 0, 0, 0));
}

TEST_F(SoundBankTest, DistanceAttenuatesByTheInverseLawUpToTenUnits) {
  const double atOne = LevelAt(0, 0, 1);
  ASSERT_GT(atOne, 0.1);
  EXPECT_NEAR(LevelAt(0, 0, 0.5f) / atOne, 1.0, 0.01) << "full level within the minimum distance";
  EXPECT_NEAR(LevelAt(0, 0, 5) / atOne, 0.2, 0.005);
  EXPECT_NEAR(LevelAt(0, 0, 10) / atOne, 0.1, 0.005);
  EXPECT_NEAR(LevelAt(0, 0, 40) / atOne, 0.1, 0.005) << "held at the maximum distance's level";
  // The listener follows the eye: moving it away attenuates the same way.
  UpdateListener({0, 0, -4}, gfxutil::Matrix());
  EXPECT_NEAR(LevelAt(0, 0, 1) / atOne, 0.2, 0.005);
}

TEST_F(SoundBankTest, PlaySE2DPlaysAtFullLevelWhereverTheListenerIs) {
  const double full = LevelAt(0, 0, 0.5f);
  UpdateListener({0, 0, -50}, gfxutil::Matrix());
  Hush(kTone);
  bank_->PlaySE2D(kTone);
  EXPECT_NEAR(Rms(Render(8000), 0, 2000, 8000) / full, 1.0, 0.01);
  EXPECT_NEAR(LevelAt(0, 0, 0) / full, 0.1, 0.005) << "the same spot as a unit's effect is attenuated";
}

TEST_F(SoundBankTest, SameEffectOnConsecutiveFramesSoundsTwiceOnDifferentVoices) {
  CSound& first = bank_->Voice(kNoise, 1);
  CSound& second = bank_->Voice(kNoise, 0);
  bank_->PlaySE2D(kNoise);
  EXPECT_EQ(bank_->LastVoice(kNoise), 1) << "the first play uses voice 1";
  EXPECT_TRUE(Playing(first));
  EXPECT_FALSE(Playing(second));
  const double one = Rms(Render(kFrameOfAudio), 0, 200, kFrameOfAudio);
  bank_->PlaySE2D(kNoise);
  EXPECT_EQ(bank_->LastVoice(kNoise), 0);
  const double two = Rms(Render(6000), 0, 200, 6000);
  EXPECT_TRUE(Playing(first));
  EXPECT_TRUE(Playing(second));
  EXPECT_EQ(Position(first) - Position(second), kFrameOfAudio * 2);
  // Two unrelated noises add up in power.
  EXPECT_NEAR(two / one, std::sqrt(2.0), 0.1);
}

TEST_F(SoundBankTest, ThirdTriggerReusesTheOlderVoiceWithoutRewinding) {
  soundtest::Emitter body;
  body.position = {0, 0, 2, 1};
  CSound& older = bank_->Voice(kTone, 1);
  bank_->PlaySE(body, kTone);
  Render(kFrameOfAudio);
  bank_->PlaySE(body, kTone);
  Render(kFrameOfAudio);
  const uint32_t before = Position(older);
  EXPECT_EQ(before, 2 * kFrameOfAudio * 2);
  bank_->PlaySE(body, kTone);
  EXPECT_EQ(bank_->LastVoice(kTone), 1);
  EXPECT_TRUE(Playing(older));
  EXPECT_EQ(Position(older), before);
  Render(kFrameOfAudio);
  EXPECT_EQ(Position(older), before + kFrameOfAudio * 2);
}

TEST_F(SoundBankTest, UnitVelocityReachesTheVoice) {
  // An approaching source is heard higher: count zero crossings of the 441 Hz tone.
  auto crossings = [&](float speed) {
    Hush(kTone);
    soundtest::Emitter body;
    body.position = {0, 0, 3, 1};
    body.velocityZ = speed;
    bank_->PlaySE(body, kTone);
    const std::vector<float> out = Render(44100);
    int n = 0;
    for (size_t i = 2; i < out.size(); i += 2) n += (out[i - 2] < 0) != (out[i] < 0);
    return n;
  };
  const int still = crossings(0);
  EXPECT_NEAR(still, 882, 4);
  EXPECT_GT(crossings(-34.33f), still * 1.08);  // towards the listener at a tenth of the speed of sound
}

TEST_F(SoundBankTest, MissingFileLeavesASilentEffectAndALogLine) {
  EXPECT_NE(LogText().find("NOT FOUND data/wav/SE003.wav"), std::string::npos);
  EXPECT_FALSE(bank_->Voice(kMissing, 0).IsLoaded());
  EXPECT_FALSE(bank_->Voice(kMissing, 1).IsLoaded());
  bank_->PlaySE2D(kMissing);
  bank_->PlaySE(soundtest::Emitter{}, kMissing);
  EXPECT_EQ(Rms(Render(4000), 0, 0, 4000), 0.0);
  EXPECT_TRUE(soundtest::SeenMessageBoxes().empty());
}

TEST_F(SoundBankTest, WaveWithALyingDataSizePlaysWhatItHoldsAndSaysSo) {
  EXPECT_NE(LogText().find(
                "short wave file data/wav/SE004.wav: 8820 of its 65535 data bytes are there, playing 8820"),
            std::string::npos);
  ASSERT_TRUE(bank_->Voice(kLying, 0).IsLoaded());
  bank_->PlaySE2D(kLying);
  const std::vector<float> out = Render(6000);
  EXPECT_GT(Rms(out, 0, 0, 4410), 0.1);
  EXPECT_EQ(Rms(out, 0, 4410, 6000), 0.0) << "nothing past the samples the file holds";
}

TEST_F(SoundBankTest, EveryTableEntryIsLoadedTwice) {
  for (int n = 4; n < SoundBank::kUsedEffects; ++n) {
    EXPECT_TRUE(bank_->Voice(n, 0).IsLoaded()) << n;
    EXPECT_TRUE(bank_->Voice(n, 1).IsLoaded()) << n;
  }
  EXPECT_FALSE(bank_->Voice(SoundBank::kUsedEffects, 0).IsLoaded());
  bank_->PlaySE2D(-1);
  bank_->PlaySE2D(SoundBank::kEffects);
  bank_->PlaySE2D(SoundBank::kUsedEffects);  // room for it, nothing loaded: silent
  EXPECT_EQ(Rms(Render(2000), 0, 0, 2000), 0.0);
}

class NoSoundDeviceTest : public GameSoundTest {};

TEST_F(NoSoundDeviceTest, GameGoesOnSilentAfterOneMessageBox) {
  testimg::WriteFile(dir_.Path() + "/data/wav/SE001.wav",
                     MakeWave(WaveLayout{}, Pcm16(soundtest::Sine(4410, 441, 0.5))));
  WaveLayout stereo;
  stereo.channels = 2;
  testimg::WriteFile(dir_.Path() + "/music.wav", MakeWave(stereo, Pcm16(soundtest::Sine(8820, 441, 0.5))));
  StartSound(audio::Output::kNone);
  EXPECT_FALSE(started_);
  EXPECT_EQ(soundtest::SeenMessageBoxes(),
            (std::vector<std::string>{"Error: IDirectSound8インターフェイスの取得に失敗"}));
  EXPECT_EQ(GetSoundDevice(), nullptr);
  UpdateListener({1, 2, 3}, gfxutil::Matrix());
  {
    SoundBank bank;
    EXPECT_FALSE(bank.Voice(0, 0).IsLoaded());
    soundtest::Emitter body;
    bank.PlaySE(body, 0);
    bank.PlaySE2D(0);
  }
  EXPECT_TRUE(StartStream("music.wav"));
  StopStream();
  EXPECT_FALSE(StartStream("none.wav"));
  EXPECT_NE(LogText().find("NotFound none.wav"), std::string::npos);
  EXPECT_EQ(LogText().find("NOT FOUND"), std::string::npos) << "no device: effects are not even opened";
  EXPECT_EQ(soundtest::SeenMessageBoxes().size(), 1u);
  EXPECT_TRUE(ShutdownSound());
}

}  // namespace
