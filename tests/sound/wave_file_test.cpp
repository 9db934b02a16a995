#include "sound/wave_file.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/log.h"
#include "support/sound_test_util.h"

namespace {
using soundtest::MakeWave;
using soundtest::Pcm16;
using soundtest::WaveLayout;
using testimg::WriteFile;

class WaveFileTest : public ::testing::Test {
 protected:
  std::string Write(const std::vector<uint8_t>& bytes) {
    const std::string path = dir_.Path() + "/t.wav";
    WriteFile(path, bytes);
    return path;
  }
  static void SetU32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
  }
  static size_t Find(const std::vector<uint8_t>& v, const char* tag) {
    for (size_t i = 12; i + 4 <= v.size(); ++i)
      if (std::memcmp(v.data() + i, tag, 4) == 0) return i;
    return 0;
  }
  void TearDown() override { app::CloseLog(); }
  CScratchGameDir dir_{"sound"};
  CWaveFile wave_;
};

TEST_F(WaveFileTest, PcmWithA16ByteFmtChunkHasAnEighteenByteFormatWithNoExtra) {
  const std::vector<int16_t> samples = {1, -2, 3, -4, 5};
  ASSERT_EQ(wave_.Open(Write(MakeWave(WaveLayout{}, Pcm16(samples))).c_str()), 0);
  ASSERT_NE(wave_.GetFormat(), nullptr);
  EXPECT_EQ(wave_.FormatBytes().size(), 18u);
  EXPECT_EQ(wave_.GetFormat()->formatTag, audio::WAVE_FORMAT_PCM);
  EXPECT_EQ(wave_.GetFormat()->extraSize, 0);
  EXPECT_EQ(wave_.GetFormat()->samplesPerSec, 44100u);
  EXPECT_EQ(wave_.GetFormat()->avgBytesPerSec, 88200u);
  EXPECT_EQ(wave_.GetSize(), 10u);
}

TEST_F(WaveFileTest, ReadsInPiecesToTheEndAndRewindsToTheStart) {
  const std::vector<int16_t> samples = {100, 200, 300, 400, 500, 600};
  ASSERT_EQ(wave_.Open(Write(MakeWave(WaveLayout{}, Pcm16(samples))).c_str()), 0);
  int16_t got[6] = {};
  EXPECT_EQ(wave_.Read(got, 4), 4u);
  EXPECT_EQ(wave_.Read(got + 2, 100), 8u);
  EXPECT_EQ(wave_.Read(got, 2), 0u);
  EXPECT_EQ(got[0], 100);
  EXPECT_EQ(got[5], 600);
  ASSERT_TRUE(wave_.Rewind());
  int16_t again[6] = {};
  EXPECT_EQ(wave_.Read(again, 12), 12u);
  EXPECT_EQ(std::memcmp(got, again, 12), 0);
}

TEST_F(WaveFileTest, ExtensibleFormatKeepsItsExtraFields) {
  WaveLayout layout;
  layout.extensible = true;
  layout.channels = 2;
  ASSERT_EQ(wave_.Open(Write(MakeWave(layout, Pcm16({1, 2, 3, 4}))).c_str()), 0);
  EXPECT_EQ(wave_.FormatBytes().size(), 40u);
  EXPECT_EQ(wave_.GetFormat()->formatTag, audio::WAVE_FORMAT_EXTENSIBLE);
  EXPECT_EQ(wave_.GetFormat()->extraSize, 22);
  EXPECT_EQ(wave_.GetFormat()->validBitsPerSample, 16);
  EXPECT_EQ(wave_.GetFormat()->subFormat[0], 1);
  EXPECT_EQ(wave_.GetFormat()->subFormat[15], 0x71);
}

TEST_F(WaveFileTest, NonPcmFmtWithoutExtraSizeFieldHasNoExtraBytes) {
  WaveLayout layout;
  layout.tag = audio::WAVE_FORMAT_IEEE_FLOAT;
  layout.bits = 32;
  std::vector<uint8_t> bytes = MakeWave(layout, std::vector<uint8_t>(16, 0));
  ASSERT_EQ(wave_.Open(Write(bytes).c_str()), 0);
  EXPECT_EQ(wave_.GetFormat()->extraSize, 0);
  EXPECT_EQ(wave_.GetSize(), 16u);
}

TEST_F(WaveFileTest, FirstChunkMustBeRiffWave) {
  std::vector<uint8_t> bytes = MakeWave(WaveLayout{}, Pcm16({1, 2}));
  std::memcpy(bytes.data() + 8, "AVI ", 4);
  EXPECT_LT(wave_.Open(Write(bytes).c_str()), 0);
  EXPECT_FALSE(wave_.IsOpen());
  std::memcpy(bytes.data() + 8, "WAVE", 4);
  std::memcpy(bytes.data(), "RIFX", 4);
  EXPECT_LT(wave_.Open(Write(bytes).c_str()), 0);
  EXPECT_STREQ(wave_.FailureReason(), "not a RIFF/WAVE file");
}

TEST_F(WaveFileTest, MissingFileFails) {
  EXPECT_LT(wave_.Open((dir_.Path() + "/none.wav").c_str()), 0);
  EXPECT_STREQ(wave_.FailureReason(), "cannot open the file");
  EXPECT_EQ(wave_.Read(nullptr, 4), 0u);
}

// Sizes that run past the end: a cut file, a data size that lies, and the placeholders a
// streaming writer leaves. The whole frames the file holds are read, nothing past them.
TEST_F(WaveFileTest, SizesPastTheEndGiveTheWholeFramesTheFileHolds) {
  std::vector<int16_t> samples(100);
  for (int i = 0; i < 100; ++i) samples[i] = static_cast<int16_t>(1000 + 37 * i);
  const std::vector<uint8_t> good = MakeWave(WaveLayout{}, Pcm16(samples));
  const size_t data = Find(good, "data");
  auto framesRead = [&](const std::vector<uint8_t>& bytes) -> int {
    if (wave_.Open(Write(bytes).c_str()) != 0) return -1;
    std::vector<int16_t> got(200, 0);
    const uint32_t n = wave_.Read(got.data(), 400);
    EXPECT_EQ(n, wave_.GetSize());
    for (uint32_t i = 0; i < n / 2; ++i) EXPECT_EQ(got[i], samples[i]) << i;
    return static_cast<int>(n / 2);
  };
  std::vector<uint8_t> cut = good;
  cut.resize(cut.size() - 51);  // 74.5 frames left
  EXPECT_EQ(framesRead(cut), 74);
  std::vector<uint8_t> lying = good;
  SetU32(lying, data + 4, 1000000);
  EXPECT_EQ(framesRead(lying), 100);
  SetU32(lying, 4, 1000000 + 36);
  EXPECT_EQ(framesRead(lying), 100);
  for (uint32_t placeholder : {0u, 0xFFFFFFFFu}) {
    std::vector<uint8_t> streamed = good;
    SetU32(streamed, 4, placeholder);
    SetU32(streamed, data + 4, placeholder);
    EXPECT_EQ(framesRead(streamed), 100) << placeholder;
    streamed.resize(streamed.size() - 20);
    EXPECT_EQ(framesRead(streamed), 90) << placeholder;
  }
  // A file cut inside its format is still refused.
  cut.resize(30);
  EXPECT_EQ(framesRead(cut), -1);
  EXPECT_STREQ(wave_.FailureReason(), "the fmt chunk runs past the end of the file");
}

// Some writers undercount the RIFF size. The chunks are found and the samples read as far as the
// file goes, and only bytes that are really missing are reported as missing.
TEST_F(WaveFileTest, RiffSizeThatUndercountsStillGivesTheWholeData) {
  ASSERT_TRUE(app::OpenLog((dir_.Path() + "/profile.txt").c_str()));
  std::vector<int16_t> samples(100);
  for (int i = 0; i < 100; ++i) samples[i] = static_cast<int16_t>(-3000 + 61 * i);
  const std::vector<uint8_t> good = MakeWave(WaveLayout{}, Pcm16(samples));
  const uint32_t whole = static_cast<uint32_t>(good.size() - 8);
  // Short of the data by 50 bytes, ending inside the data chunk's header, and just the form type.
  for (uint32_t riff : {whole - 50, static_cast<uint32_t>(Find(good, "data")) - 8 + 4, 4u}) {
    std::vector<uint8_t> bytes = good;
    SetU32(bytes, 4, riff);
    ASSERT_EQ(wave_.Open(Write(bytes).c_str()), 0) << riff << ": " << wave_.FailureReason();
    ASSERT_EQ(wave_.GetSize(), 200u) << riff;
    std::vector<int16_t> got(120, 0);
    EXPECT_EQ(wave_.Read(got.data(), 240), 200u) << riff;
    got.resize(100);
    EXPECT_EQ(got, samples) << riff;
  }
  EXPECT_EQ(ReadFileText(dir_.Path() + "/profile.txt"), "");

  // Really cut, with the RIFF size undercounting as well: the count is what the file lacks.
  std::vector<uint8_t> cut = good;
  SetU32(cut, 4, whole - 80);
  cut.resize(cut.size() - 51);
  const std::string path = Write(cut);
  ASSERT_EQ(wave_.Open(path.c_str()), 0);
  EXPECT_EQ(wave_.GetSize(), 148u);
  EXPECT_NE(ReadFileText(dir_.Path() + "/profile.txt")
                .find("short wave file " + path + ": 149 of its 200 data bytes are there, playing 148"),
            std::string::npos)
      << ReadFileText(dir_.Path() + "/profile.txt");
}

TEST_F(WaveFileTest, FmtChunkShorterThan16BytesIsRejected) {
  std::vector<uint8_t> bytes = MakeWave(WaveLayout{}, Pcm16({1, 2}));
  SetU32(bytes, Find(bytes, "fmt ") + 4, 14);
  EXPECT_LT(wave_.Open(Write(bytes).c_str()), 0);
}

TEST_F(WaveFileTest, ExtraSizeBeyondTheFmtChunkIsRejected) {
  WaveLayout layout;
  layout.extensible = true;
  std::vector<uint8_t> bytes = MakeWave(layout, Pcm16({1, 2}));
  const size_t fmt = Find(bytes, "fmt ");
  bytes[fmt + 8 + 16] = 200;  // extra size larger than the chunk
  EXPECT_LT(wave_.Open(Write(bytes).c_str()), 0);
  EXPECT_STREQ(wave_.FailureReason(), "the fmt chunk is shorter than its extra bytes");
}

TEST_F(WaveFileTest, FileWithoutDataChunkIsRejected) {
  std::vector<uint8_t> bytes = MakeWave(WaveLayout{}, {});
  std::memcpy(bytes.data() + Find(bytes, "data"), "junk", 4);
  EXPECT_LT(wave_.Open(Write(bytes).c_str()), 0);
  EXPECT_STREQ(wave_.FailureReason(), "no data chunk");
}

TEST_F(WaveFileTest, ChunksBeforeFmtAreSkippedAndAPartialFrameIsDropped) {
  // LIST chunk with an odd size (and its pad byte) ahead of fmt; data of 2.5 stereo frames.
  std::vector<uint8_t> plain = MakeWave(WaveLayout{audio::WAVE_FORMAT_PCM, 2}, std::vector<uint8_t>(10, 9));
  const uint8_t list[] = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < 12; ++i) bytes.push_back(plain[i]);
  for (uint8_t b : list) bytes.push_back(b);
  for (size_t i = 12; i < plain.size(); ++i) bytes.push_back(plain[i]);
  SetU32(bytes, 4, static_cast<uint32_t>(bytes.size() - 8));
  ASSERT_EQ(wave_.Open(Write(bytes).c_str()), 0);
  EXPECT_EQ(wave_.GetFormat()->channels, 2);
  EXPECT_EQ(wave_.GetSize(), 8u);
}

}  // namespace
