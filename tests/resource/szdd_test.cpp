// Compressed data files: the expander's window rules, the size limits and the packer's round trip.
#include "resource/szdd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

namespace {

// Straight ring-window expander written from the format's rules, used as an oracle. `tailFill`
// is what window positions 4080..4095 hold before the first write.
std::vector<uint8_t> OracleExpand(const std::vector<uint8_t>& s, uint32_t expected, uint8_t tailFill = 0) {
  std::vector<uint8_t> out(expected, 0);
  uint8_t w[4096];
  std::memset(w, ' ', 4080);
  std::memset(w + 4080, tailFill, 16);
  uint32_t r = 4080, i = 0, flags = 0;
  size_t k = 0;
  auto emit = [&](uint8_t c) {
    if (i < expected) out[i++] = c;
    w[r] = c;
    r = (r + 1) & 0xFFF;
  };
  for (;;) {
    flags >>= 1;
    if (!(flags & 0x100)) {
      if (k >= s.size()) break;
      flags = s[k++] | 0xFF00;
    }
    if (flags & 1) {
      if (k >= s.size()) break;
      emit(s[k++]);
    } else {
      if (k + 2 > s.size()) break;
      uint32_t b0 = s[k], b1 = s[k + 1];
      k += 2;
      uint32_t p = b0 | ((b1 & 0xF0) << 4);
      for (uint32_t n = 0; n < (b1 & 0x0F) + 3u; ++n) emit(w[(p + n) & 0xFFF]);
    }
  }
  return out;
}

std::vector<uint8_t> Expand(const std::vector<uint8_t>& stream, uint32_t expected) {
  // Garbage in the destination must not show through where the stream falls short.
  std::vector<uint8_t> out(expected, 0xCD);
  ExpandLzss(stream.data(), stream.size(), expected, out.data());
  return out;
}

// Builds a stream item by item.
struct StreamBuilder {
  std::vector<uint8_t> bytes;
  size_t flagPos = 0;
  int item = 8;
  void Next(bool literal) {
    if (item == 8) {
      flagPos = bytes.size();
      bytes.push_back(0);
      item = 0;
    }
    if (literal) bytes[flagPos] |= uint8_t(1u << item);
    ++item;
  }
  StreamBuilder& Lit(uint8_t c) {
    Next(true);
    bytes.push_back(c);
    return *this;
  }
  StreamBuilder& Lits(const std::string& s) {
    for (char c : s) Lit(uint8_t(c));
    return *this;
  }
  StreamBuilder& Ref(uint32_t pos, uint32_t len) {
    Next(false);
    bytes.push_back(uint8_t(pos & 0xFF));
    bytes.push_back(uint8_t(((pos >> 4) & 0xF0) | (len - 3)));
    return *this;
  }
  StreamBuilder& Raw(uint8_t b0, uint8_t b1) {
    Next(false);
    bytes.push_back(b0);
    bytes.push_back(b1);
    return *this;
  }
};

std::vector<uint8_t> WithHeader(const std::vector<uint8_t>& stream, uint32_t size, bool signature = true) {
  std::vector<uint8_t> f = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A', 0, 0, 0};
  if (!signature) std::fill(f.begin(), f.end(), 0);
  for (int k = 0; k < 4; ++k) f.push_back(uint8_t(size >> (8 * k)));
  f.insert(f.end(), stream.begin(), stream.end());
  return f;
}

std::string TempPath(const char* name) { return std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/" + name; }

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::string Str(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

std::vector<uint8_t> MixedData(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> d;
  const char* words[] = {"forest ", "bear ", "butterfly ", "door ", "leaf ", "stage ", "\r\n"};
  while (d.size() < size) {
    switch (rng() % 4) {
      case 0:
        for (int k = 0; k < 40; ++k) {
          const char* w = words[rng() % 7];
          d.insert(d.end(), w, w + std::strlen(w));
        }
        break;
      case 1:
        for (int k = 0; k < 300; ++k) d.push_back(uint8_t(rng()));
        break;
      case 2:
        d.insert(d.end(), 50 + rng() % 500, uint8_t(rng()));
        break;
      default:
        for (int k = 0; k < 600; ++k) d.push_back(uint8_t(k * 3 + (k >> 4)));
    }
  }
  d.resize(size);
  return d;
}

}  // namespace

TEST(SzddName, LastThreeLettersCountCaseSensitively) {
  EXPECT_TRUE(IsCompressedName("data/image/Lake.bmp_enc"));
  EXPECT_TRUE(IsCompressedName("x.enc"));
  EXPECT_TRUE(IsCompressedName("enc"));
  EXPECT_FALSE(IsCompressedName("ENC"));
  EXPECT_FALSE(IsCompressedName("data/image/Lake.bmp"));
  EXPECT_FALSE(IsCompressedName("nc"));
  EXPECT_FALSE(IsCompressedName(""));
  EXPECT_FALSE(IsCompressedName(nullptr));
}

TEST(SzddExpand, LiteralsAndOverlappingReference) {
  // 'x' lands at 4080; a reference to 4080 of length 10 reads the bytes it is producing.
  auto s = StreamBuilder().Lit('x').Ref(4080, 10).Lit('!').bytes;
  EXPECT_EQ(Str(Expand(s, 12)), "xxxxxxxxxxx!");
}

TEST(SzddExpand, WindowStartsWithSpaces) {
  auto s = StreamBuilder().Lit('a').Ref(100, 5).Lit('b').bytes;
  EXPECT_EQ(Str(Expand(s, 7)), "a     b");
}

TEST(SzddExpand, UnwrittenTailIsZero) {
  auto s = StreamBuilder().Ref(4080, 3).Lit('z').bytes;
  EXPECT_EQ(Expand(s, 4), (std::vector<uint8_t>{0, 0, 0, 'z'}));
  // Not carried over from an earlier file either.
  auto first = StreamBuilder().Lits("0123456789abcdefghij").bytes;
  Expand(first, 20);
  EXPECT_EQ(Expand(s, 4), (std::vector<uint8_t>{0, 0, 0, 'z'}));
}

TEST(SzddExpand, ReferenceWrapsAtPosition4095) {
  // 14 fillers take 4080..4093, then A B at 4094/4095 and C D at 0/1.
  auto s = StreamBuilder().Lits("..............ABCD").Ref(4094, 4).bytes;
  EXPECT_EQ(Str(Expand(s, 22)), "..............ABCDABCD");
}

TEST(SzddExpand, HighNibbleReferenceCopiesEighteen) {
  // b1 = 0xFF: position b0 | 0xF00, length 18; plant a marker at 0xF05 first.
  StreamBuilder b;
  b.Lits(std::string(16, '-'));     // 4080..4095
  b.Lits(std::string(0xF05, '.'));  // 0..0xF04
  b.Lit('M');                       // 0xF05
  b.Lits(std::string(30, '.'));     // keeps the source clear of the bytes being written
  b.Raw(0x00, 0xFF);
  auto out = Expand(b.bytes, 16 + 0xF05 + 1 + 30 + 18);
  std::string tail = Str(std::vector<uint8_t>(out.end() - 18, out.end()));
  EXPECT_EQ(tail, ".....M............");
}

TEST(SzddExpand, SurplusDroppedShortfallZero) {
  auto s = StreamBuilder().Lits("abcdef").bytes;
  EXPECT_EQ(Str(Expand(s, 3)), "abc");
  auto out = Expand(s, 9);
  EXPECT_EQ(out, (std::vector<uint8_t>{'a', 'b', 'c', 'd', 'e', 'f', 0, 0, 0}));
}

TEST(SzddExpand, TruncatedReferenceEndsSilently) {
  auto s = StreamBuilder().Lits("ab").Ref(4080, 3).bytes;
  s.pop_back();
  EXPECT_EQ(ExpandLzss(s.data(), s.size(), 8, Expand(s, 8).data()), 2u);
}

TEST(SzddExpand, MatchesOracleOnArbitraryStreams) {
  // Random streams exercise both the ring and the linear paths and the hand-overs between them,
  // including references into bytes that are dropped past the expected size.
  std::mt19937 rng(7);
  for (int round = 0; round < 60; ++round) {
    std::vector<uint8_t> s(1 + rng() % 20000);
    for (auto& b : s) b = uint8_t(rng());
    // Bias towards literals now and then so outputs grow past the window.
    if (round % 2)
      for (size_t k = 0; k < s.size(); k += 17) s[k] |= uint8_t(rng());
    std::vector<uint8_t> big(1 << 20);
    const uint32_t full = ExpandLzss(s.data(), s.size(), uint32_t(big.size()), big.data());
    for (uint32_t expected : {0u, 17u, 4095u, 4096u, 4114u, 9000u, 30000u, full}) {
      const auto ours = Expand(s, expected), oracle = OracleExpand(s, expected);
      const size_t at = std::mismatch(ours.begin(), ours.end(), oracle.begin()).first - ours.begin();
      ASSERT_EQ(at, ours.size()) << "round " << round << " size " << expected;
    }
  }
}

TEST(SzddFile, HeaderOnlyFileIsZeroFilled) {
  const std::string path = TempPath("header_only.bmp_enc");
  WriteFile(path, WithHeader({}, 100));
  std::vector<uint8_t> buf;
  EXPECT_EQ(LoadCompressedFile(path.c_str(), buf), 100u);
  EXPECT_EQ(buf, std::vector<uint8_t>(100, 0));
}

TEST(SzddFile, SignatureIsIgnored) {
  auto s = StreamBuilder().Lits("hello").Ref(4080, 5).bytes;
  const std::string a = TempPath("sig_a.enc"), b = TempPath("sig_b.enc");
  WriteFile(a, WithHeader(s, 10, true));
  WriteFile(b, WithHeader(s, 10, false));
  std::vector<uint8_t> ba, bb;
  EXPECT_EQ(LoadCompressedFile(a.c_str(), ba), 10u);
  EXPECT_EQ(LoadCompressedFile(b.c_str(), bb), 10u);
  EXPECT_EQ(Str(ba), "hellohello");
  EXPECT_EQ(ba, bb);
}

TEST(SzddFile, ShortFileIsEmpty) {
  const std::string path = TempPath("short.enc");
  WriteFile(path, {'S', 'Z', 'D', 'D', 1, 2, 3});
  std::vector<uint8_t> buf = {1, 2, 3};
  EXPECT_EQ(LoadCompressedFile(path.c_str(), buf), 0u);
  EXPECT_TRUE(buf.empty());
}

TEST(SzddFile, MissingFileLeavesBufferUntouched) {
  std::vector<uint8_t> buf = {9};
  EXPECT_EQ(LoadCompressedFile(TempPath("no_such_file.enc").c_str(), buf), 0u);
  EXPECT_EQ(buf, std::vector<uint8_t>{9});
}

// A directory opens like a file but reports an end far beyond anything readable; reading it as a
// file asked for that much memory.
TEST(SzddFile, DirectoryIsNotAFile) {
  const std::string path = TempPath("folder.bmp_enc");
  std::filesystem::create_directories(path);
  std::vector<uint8_t> buf = {9};
  EXPECT_EQ(LoadCompressedFile(path.c_str(), buf), 0u);
  EXPECT_EQ(buf, std::vector<uint8_t>{9});
}

TEST(SzddFile, ImplausibleSizeIsRejected) {
  auto s = StreamBuilder().Lits("abc").bytes;  // 4 stream bytes
  const uint64_t bound = MaxExpandedSize(s.size());
  EXPECT_EQ(bound, 4u * 64 + 4096);
  const std::string path = TempPath("huge.enc");
  std::vector<uint8_t> buf = {7};
  WriteFile(path, WithHeader(s, 0xFFFFFFFFu));
  EXPECT_EQ(LoadCompressedFile(path.c_str(), buf), 0u);
  EXPECT_EQ(buf, std::vector<uint8_t>{7});
  WriteFile(path, WithHeader(s, uint32_t(bound + 1)));
  EXPECT_EQ(LoadCompressedFile(path.c_str(), buf), 0u);
  WriteFile(path, WithHeader(s, uint32_t(bound)));
  EXPECT_EQ(LoadCompressedFile(path.c_str(), buf), bound);
  EXPECT_EQ(Str(std::vector<uint8_t>(buf.begin(), buf.begin() + 3)), "abc");
  // The absolute ceiling holds however large the file is.
  EXPECT_EQ(MaxExpandedSize(100ull << 20), 256ull << 20);
}

TEST(SzddPack, RoundTripsMixedData) {
  for (size_t size : {size_t(0), size_t(1), size_t(3), size_t(4095), size_t(70000), size_t(300000)}) {
    auto data = MixedData(size, uint32_t(size));
    auto packed = CompressSzdd(data.data(), data.size());
    ASSERT_GE(packed.size(), kSzddHeaderSize);
    EXPECT_EQ(std::memcmp(packed.data(),
                          "SZDD\x88\xF0\x27\x33"
                          "A",
                          9),
              0);
    std::vector<uint8_t> out;
    ASSERT_TRUE(ExpandSzdd(packed.data(), packed.size(), out));
    EXPECT_EQ(out, data) << "size " << size;
    if (size >= 70000) {
      EXPECT_LT(packed.size(), data.size() * 3 / 4) << "match search finds little";
    }
  }
}

TEST(SzddPack, OutputDoesNotDependOnTheWindowTail) {
  // Expanders that fill the whole window with spaces must read our files the same.
  std::string text(5000, ' ');
  for (size_t k = 0; k < text.size(); k += 7) text[k] = char('a' + k % 26);
  std::vector<uint8_t> data(text.begin(), text.end());
  auto packed = CompressSzdd(data.data(), data.size());
  std::vector<uint8_t> stream(packed.begin() + 16, packed.end());
  EXPECT_EQ(OracleExpand(stream, data.size(), ' '), data);
  EXPECT_EQ(OracleExpand(stream, data.size(), 0), data);
}

TEST(SzddPack, FileRoundTripThroughLoader) {
  auto data = MixedData(20000, 3);
  const std::string path = TempPath("roundtrip.bmp_enc");
  WriteFile(path, CompressSzdd(data.data(), data.size()));
  std::vector<uint8_t> buf;
  EXPECT_EQ(LoadCompressedFile(path.c_str(), buf), data.size());
  EXPECT_EQ(buf, data);
}
