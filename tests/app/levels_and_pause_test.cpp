// The player's sound settings as the loopback output hears them: the music and effects levels
// (100 is the design's level, 50 half the amplitude, 0 silence) with each effect's falloff kept,
// the mute, and a pause that holds every sound where it is and lets it go on from there.
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

#include "app/pause/player_settings.h"
#include "sound/sound_bank.h"
#include "support/game_sound_fixture.h"
#include "world/unit_body.h"

namespace {
using soundtest::MakeWave;
using soundtest::Pcm16;
using soundtest::Render;
using soundtest::Rms;
using soundtest::WaveLayout;

constexpr int kTone = 0;
constexpr uint32_t kPieceFrames = 66150;  // 1.5 s of noise: a few samples tell where the music is

class LevelsTest : public GameSoundTest {
 protected:
  void SetUp() override {
    const std::string wav = dir_.Path() + "/data/wav/";
    testimg::WriteFile(wav + "SE001.wav", MakeWave(WaveLayout{}, Pcm16(soundtest::Sine(88200, 441, 0.5))));
    WaveLayout stereo;
    stereo.channels = 2;
    const std::vector<int16_t> tone = soundtest::Sine(88200, 441, 0.5),
                               noise = soundtest::Noise(kPieceFrames, 0.5, 7);
    std::vector<int16_t> steady, marked;
    for (int16_t v : tone) steady.insert(steady.end(), {v, v});
    for (int16_t v : noise) marked.insert(marked.end(), {v, v});
    piece_ = noise;
    tone_ = dir_.Path() + "/tone.wav";
    testimg::WriteFile(tone_, MakeWave(stereo, Pcm16(steady)));
    marked_ = dir_.Path() + "/marked.wav";
    testimg::WriteFile(marked_, MakeWave(stereo, Pcm16(marked)));
    StartSound(audio::Output::kLoopback);
    ASSERT_TRUE(started_);
    bank_ = std::make_unique<SoundBank>();
  }
  void TearDown() override {
    bank_.reset();
    SetEffectsVolume(nullptr, 0);
    SetMusicVolume(0);
    GameSoundTest::TearDown();
  }
  void Hush() {
    for (int v = 0; v < 2; ++v) {
      if (audio::CBuffer* b = bank_->Voice(kTone, v).Buffer()) {
        b->Stop();
        b->SetCurrentPosition(0);
      }
    }
  }
  double Effect(float z) {
    Hush();
    UnitBody body;
    body.position = {0, 0, z, 1};
    bank_->PlaySE(body, kTone);
    return Rms(Render(8000), 0, 2000, 8000);
  }
  // Measured after a moment, as a change of level glides over a few samples.
  double Music() { return Rms(Render(9000), 0, 1000, 9000); }
  // Where in the piece the left channel of frames [from, from + 32) of a capture is.
  size_t FindInPiece(const std::vector<float>& stereo, size_t from) const {
    size_t best = 0;
    double bestError = 1e9;
    for (size_t at = 0; at + 32 <= piece_.size(); ++at) {
      double e = 0;
      for (size_t i = 0; i < 32 && e < bestError; ++i) {
        const double d = stereo[2 * (from + i)] - piece_[at + i] / 32768.0;
        e += d * d;
      }
      if (e < bestError) bestError = e, best = at;
    }
    EXPECT_LT(bestError, 1e-6) << "the capture holds the piece at " << from;
    return best;
  }
  // The worker starts the stream on its own thread.
  static void StartMusic(const std::string& path) {
    ASSERT_TRUE(StartStream(path.c_str()));
    for (int i = 0; i < 5000 && !StreamIsPlaying(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(StreamIsPlaying());
  }

  std::string tone_, marked_;
  std::vector<int16_t> piece_;
  std::unique_ptr<SoundBank> bank_;
};

TEST_F(LevelsTest, HalfIsHalfTheAmplitudeZeroIsSilenceAndTheFalloffIsKept) {
  EXPECT_EQ(app::LevelToHundredths(100), 0) << "the design's level";
  EXPECT_EQ(app::LevelToHundredths(50), -602);
  EXPECT_EQ(app::LevelToHundredths(0), audio::DSBVOLUME_MIN);

  app::CPlayerSettings settings;
  settings.Load(100, 100, "", bank_.get());
  const double nearFull = Effect(0.5f), farFull = Effect(5.0f);
  ASSERT_GT(nearFull, 0.1);
  settings.SetEffectsLevel(50);
  EXPECT_NEAR(Effect(0.5f) / nearFull, 0.5, 0.01);
  EXPECT_NEAR(Effect(5.0f) / farFull, 0.5, 0.01) << "distance still attenuates as before";
  settings.SetEffectsLevel(0);
  EXPECT_EQ(Effect(0.5f), 0.0);

  // The music has its own level; the effects' does not touch it. A level set before the music
  // starts applies to it as it starts.
  settings.SetMusicLevel(50);
  StartMusic(tone_);
  Render(4000);
  const double half = Music();
  settings.SetMusicLevel(100);
  const double full = Music();
  ASSERT_GT(full, 0.05);
  EXPECT_NEAR(half / full, 0.5, 0.01);
  settings.SetMusicLevel(0);
  EXPECT_EQ(Music(), 0.0);

  // The mute silences both and gives the levels back as they were.
  settings.SetMusicLevel(100);
  settings.SetEffectsLevel(100);
  settings.SetMuted(true);
  EXPECT_EQ(Music(), 0.0);
  EXPECT_EQ(Effect(0.5f), 0.0);
  settings.SetMuted(false);
  Hush();
  EXPECT_EQ(settings.MusicLevel(), 100);
  EXPECT_NEAR(Music() / full, 1.0, 0.01);
}

TEST_F(LevelsTest, APauseHoldsTheMusicAndTheEffectsWhereTheyAreAndTheyGoOnFromThere) {
  StartMusic(marked_);
  UnitBody body;
  bank_->PlaySE(body, kTone);
  Render(30000);
  PauseSound(true);
  const std::vector<float> held = Render(100000);  // longer than the music's two-second buffer
  PauseSound(false);
  Render(4000);
  EXPECT_EQ(Rms(held, 0, 0, held.size() / 2), 0.0);
  EXPECT_EQ(Rms(held, 1, 0, held.size() / 2), 0.0);
  EXPECT_TRUE(StreamIsPlaying());
  CSound& voice = bank_->Voice(kTone, bank_->LastVoice(kTone));
  uint32_t status = 0;
  voice.Buffer()->GetStatus(&status);
  EXPECT_TRUE(status & audio::DSBSTATUS_PLAYING) << "the effect plays on";

  // Without the effect, the music after the pause takes up the piece right where it stopped:
  // the frames heard before and after follow each other in the piece.
  voice.Buffer()->Stop();
  const std::vector<float> a = Render(4000);
  PauseSound(true);
  Render(50000);
  PauseSound(false);
  const std::vector<float> b = Render(4000);
  const size_t end = (FindInPiece(a, 4000 - 32) + 32) % piece_.size();
  EXPECT_EQ(FindInPiece(b, 0), end);
  EXPECT_EQ(FindInPiece(b, 1000), (end + 1000) % piece_.size());
}

}  // namespace
