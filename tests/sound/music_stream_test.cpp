// Streamed music on the loopback output: the loop is sample-exact, memory stays at two seconds.
#include "sound/music_stream.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "sound/sound.h"
#include "support/child_run.h"
#include "support/game_sound_fixture.h"

namespace {
using soundtest::MakeWave;
using soundtest::Pcm16;
using soundtest::Render;
using soundtest::WaveLayout;

// Stereo piece whose every sample differs from its neighbours' and is never 0, so any gap,
// repeat or stale half shows as a mismatch.
std::vector<int16_t> Piece(uint32_t frames) {
  std::vector<int16_t> s(2 * frames);
  for (uint32_t i = 0; i < frames; ++i) {
    s[2 * i] = static_cast<int16_t>(1000 + (i * 97) % 20000);
    s[2 * i + 1] = static_cast<int16_t>(-1000 - static_cast<int32_t>((i * 31) % 15000));
  }
  return s;
}

class MusicStreamTest : public GameSoundTest {
 protected:
  void SetUp() override {
    StartSound(audio::Output::kLoopback);
    ASSERT_TRUE(started_);
  }
  void WritePiece(const std::string& name, const std::vector<int16_t>& samples, uint16_t channels = 2) {
    WaveLayout layout;
    layout.channels = channels;
    testimg::WriteFile(dir_.Path() + "/" + name, MakeWave(layout, Pcm16(samples)));
  }
  // The worker starts the buffer on its own thread; rendering before that would only add silence.
  static void WaitForMusic() {
    for (int i = 0; i < 5000 && !StreamIsPlaying(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(StreamIsPlaying());
  }
  // Renders and checks that, from the first sound on, the output is the piece over and over.
  void ExpectSeamlessLoop(const std::vector<int16_t>& piece, uint32_t renderFrames) {
    const std::vector<float> out = Render(renderFrames);
    ASSERT_EQ(out.size(), 2u * renderFrames);
    size_t start = 0;
    while (start < renderFrames && out[2 * start] == 0.0f) ++start;
    ASSERT_LT(start, 10u) << "the music is heard from the first frame";
    const size_t frames = piece.size() / 2;
    size_t mismatches = 0, first = 0;
    for (size_t t = start; t < renderFrames; ++t) {
      const size_t i = (t - start) % frames;
      if (out[2 * t] != piece[2 * i] / 32768.0f || out[2 * t + 1] != piece[2 * i + 1] / 32768.0f) {
        if (mismatches++ == 0) first = t;
      }
    }
    EXPECT_EQ(mismatches, 0u) << "first at frame " << first << " (" << (first - start) / frames
                              << " loops in)";
    EXPECT_GT((renderFrames - start) / frames, 1u) << "went round the loop";
  }
};

TEST_F(MusicStreamTest, PieceShorterThanOneSecondLoopsSeamlessly) {
  const std::vector<int16_t> piece = Piece(16317);
  WritePiece("short.wav", piece);
  ASSERT_TRUE(StartStream("short.wav"));
  WaitForMusic();
  ExpectSeamlessLoop(piece, 5 * 44100);
}

TEST_F(MusicStreamTest, PieceOfExactlyHalfTheBufferLoops) {
  const std::vector<int16_t> piece = Piece(44100);
  WritePiece("half.wav", piece);
  ASSERT_TRUE(StartStream("half.wav"));
  WaitForMusic();
  ExpectSeamlessLoop(piece, 5 * 44100);
}

TEST_F(MusicStreamTest, PieceOfExactlyThreeHalvesLoops) {
  const std::vector<int16_t> piece = Piece(3 * 44100);
  WritePiece("three.wav", piece);
  ASSERT_TRUE(StartStream("three.wav"));
  WaitForMusic();
  ExpectSeamlessLoop(piece, 7 * 44100);
}

TEST_F(MusicStreamTest, SmoothPieceHasNoClickAtTheLoopPoint) {
  // 0.5 s of 440 Hz: a whole number of cycles, so the loop point continues the wave.
  std::vector<int16_t> mono = soundtest::Sine(22050, 440, 0.5, 44100);
  WritePiece("sine.wav", mono, 1);
  ASSERT_TRUE(StartStream("sine.wav"));
  WaitForMusic();
  const std::vector<float> out = Render(3 * 44100);
  int innerStep = 0;
  for (size_t i = 1; i < mono.size(); ++i) innerStep = std::max(innerStep, std::abs(mono[i] - mono[i - 1]));
  size_t start = 0;
  while (start < out.size() / 2 && out[2 * start] == 0.0f && out[2 * start + 2] == 0.0f) ++start;
  float maxStep = 0;
  for (size_t t = start + 1; t < out.size() / 2; ++t)
    maxStep = std::max(maxStep, std::fabs(out[2 * t] - out[2 * t - 2]));
  // A mono stream sits in the middle of the stereo image, at the panning's centre gain.
  const float centre = 0.5957f;
  EXPECT_LE(maxStep, centre * innerStep / 32768.0f * 1.02f);
  EXPECT_GT(maxStep, centre * innerStep / 32768.0f * 0.9f);
}

TEST_F(MusicStreamTest, MemoryStaysAtTwoSecondsWhateverTheLength) {
  WritePiece("one.wav", Piece(44100));
  WritePiece("long.wav", Piece(40 * 44100));
  ASSERT_TRUE(StartStream("one.wav"));
  WaitForMusic();
  Render(3 * 44100);
  const uint64_t shortPiece = audio::HeldSampleBytes();
  StopStream();
  EXPECT_EQ(audio::HeldSampleBytes(), 0u);
  ASSERT_TRUE(StartStream("long.wav"));
  WaitForMusic();
  Render(3 * 44100);
  const uint64_t longPiece = audio::HeldSampleBytes();
  EXPECT_EQ(longPiece, shortPiece);
  const uint64_t twoSeconds = 2 * 44100 * 4;
  EXPECT_GE(longPiece, twoSeconds);
  EXPECT_LE(longPiece, twoSeconds + twoSeconds / 10) << "the ring plus the queued chunks (some 120 ms)";
}

TEST_F(MusicStreamTest, StopStreamWithoutAStreamDoesNothing) {
  StopStream();
  StopStream();
  EXPECT_EQ(audio::HeldSampleBytes(), 0u);
  EXPECT_TRUE(LogText().empty());
  EXPECT_TRUE(soundtest::SeenMessageBoxes().empty());
  EXPECT_EQ(soundtest::Rms(Render(1000), 0, 0, 1000), 0.0);
}

TEST_F(MusicStreamTest, StopRightAfterStartEndsTheWorkerCleanly) {
  WritePiece("one.wav", Piece(44100));
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(StartStream("one.wav"));
    if (i % 2) Render(300);
    StopStream();
    EXPECT_EQ(audio::HeldSampleBytes(), 0u);
  }
  EXPECT_EQ(soundtest::Rms(Render(2000), 0, 0, 2000), 0.0) << "nothing left playing";
}

// Whatever ends the process while the music plays (a library's exit(), the game's own exits) runs
// the static destructors, and the stream's waits for its worker: it has to stop it first.
TEST_F(MusicStreamTest, AnExitWhileTheMusicPlaysEndsTheProcess) {
  WritePiece("one.wav", Piece(44100));
  const testgame::ChildOutcome out = testgame::RunInChild(
      [](int fd) {
        if (!StartStream("one.wav")) return 10;
        WaitForMusic();
        if (!StreamIsPlaying()) return 11;
        testgame::Report(fd, "playing\n");
        return 7;  // the child ends through exit()
      },
      20);
  EXPECT_NE(out.report.find("playing\n"), std::string::npos) << out.report;
  EXPECT_TRUE(out.exited && out.exitCode == 7) << out.Describe();
}

TEST_F(MusicStreamTest, MissingOrBrokenMusicIsLoggedAndSilent) {
  EXPECT_FALSE(StartStream("nothing.wav"));
  EXPECT_NE(LogText().find("NotFound nothing.wav (cannot open the file)"), std::string::npos);
  std::vector<uint8_t> bytes = MakeWave(WaveLayout{}, Pcm16(soundtest::Sine(4410, 441, 0.5)));
  bytes[16] = 12;  // the fmt chunk's size, now too short for a format
  testimg::WriteFile(dir_.Path() + "/broken.wav", bytes);
  EXPECT_FALSE(StartStream("broken.wav"));
  EXPECT_NE(LogText().find("NotFound broken.wav (the fmt chunk is shorter than 16 bytes)"),
            std::string::npos);
  EXPECT_EQ(soundtest::Rms(Render(2000), 0, 0, 2000), 0.0);
}

TEST_F(MusicStreamTest, CutMusicLoopsTheFramesItHolds) {
  const std::vector<int16_t> piece = Piece(20000);
  std::vector<uint8_t> bytes = MakeWave(WaveLayout{audio::WAVE_FORMAT_PCM, 2}, Pcm16(piece));
  bytes.resize(bytes.size() - 4 * 5000 - 3);
  testimg::WriteFile(dir_.Path() + "/cut.wav", bytes);
  ASSERT_TRUE(StartStream("cut.wav"));
  EXPECT_NE(LogText().find("short wave file cut.wav: 59997 of its 80000 data bytes are there, playing 59996"),
            std::string::npos);
  WaitForMusic();
  ExpectSeamlessLoop(std::vector<int16_t>(piece.begin(), piece.begin() + 2 * 14999), 3 * 44100);
}

TEST_F(MusicStreamTest, FormatTheDeviceRefusesIsReportedAndLeavesNoStream) {
  WaveLayout layout;
  layout.bits = 12;  // no such sample size
  testimg::WriteFile(dir_.Path() + "/odd.wav", MakeWave(layout, std::vector<uint8_t>(400, 1)));
  EXPECT_TRUE(StartStream("odd.wav"));
  EXPECT_EQ(soundtest::SeenMessageBoxes(), (std::vector<std::string>{"Error: バッファの作成に失敗"}));
  StopStream();
  EXPECT_EQ(audio::HeldSampleBytes(), 0u);
}

// Entering a stage while the output is unplugged: the music and the effects are made all the
// same, without a failure box, and are heard once the output is back.
TEST_F(MusicStreamTest, SoundsMadeWhileTheOutputIsGoneComeBackWithIt) {
  const std::vector<int16_t> piece = Piece(30000);
  WritePiece("stage.wav", piece);
  testimg::WriteFile(dir_.Path() + "/se.wav",
                     MakeWave(WaveLayout{}, Pcm16(soundtest::Sine(44100, 441, 0.5))));
  ASSERT_TRUE(audio::DisconnectOutput());
  CSound effect;
  EXPECT_TRUE(effect.Load("se.wav"));
  ASSERT_TRUE(StartStream("stage.wav"));
  WaitForMusic();
  EXPECT_TRUE(soundtest::SeenMessageBoxes().empty());
  EXPECT_EQ(soundtest::Rms(Render(2000), 0, 0, 2000), 0.0) << "nothing is heard while the output is gone";

  ASSERT_TRUE(audio::ReopenOutput());
  ExpectSeamlessLoop(piece, 2 * 44100);
  StopStream();
  effect.Play(0);
  EXPECT_GT(soundtest::Rms(Render(4000), 0, 1000, 4000), 0.1);
}

TEST_F(MusicStreamTest, SecondStartReplacesTheFirstStream) {
  WritePiece("a.wav", Piece(30000));
  std::vector<int16_t> other = Piece(20000);
  for (int16_t& s : other) s = static_cast<int16_t>(-s);
  WritePiece("b.wav", other);
  ASSERT_TRUE(StartStream("a.wav"));
  WaitForMusic();
  Render(5000);
  ASSERT_TRUE(StartStream("b.wav"));
  WaitForMusic();
  ExpectSeamlessLoop(other, 3 * 44100);
}

}  // namespace
