#include "resource/szdd.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/os/files.h"

namespace {

constexpr uint32_t kWindowSize = 4096;
constexpr uint32_t kWindowMask = kWindowSize - 1;
constexpr uint32_t kStartPos = 4080;  // first write position of every file
constexpr uint32_t kMinMatch = 3;
constexpr uint32_t kMaxMatch = 18;
constexpr uint64_t kMaxExpanded = 256ull << 20;

const uint8_t kHeaderTemplate[12] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A', 0, 0, 0};

uint32_t ReadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The expander keeps the 4096-byte ring only while it is needed: at the start (the window still
// holds spaces) and near the end of the destination (bytes past the expected size are dropped but
// still enter the window). In between, every window position holds an output byte, so references
// are served straight from the destination, which is what makes expansion fast.
class CLzssExpander {
 public:
  CLzssExpander(const uint8_t* src, size_t srcSize, uint32_t expected, uint8_t* dest)
      : in_(src), end_(src + srcSize), expected_(expected), dest_(dest) {
    std::memset(window_, ' ', kStartPos);
    // Left open by the format; cleared per file so expansion never depends on an earlier file.
    std::memset(window_ + kStartPos, 0, kWindowSize - kStartPos);
  }

  uint32_t Run() {
    if (RingLoop(true) && LinearLoop()) {
      RebuildRing();
      RingLoop(false);
    }
    // The linear loop copies whole 18-byte blocks, which may run past the last byte produced.
    if (stored_ < expected_) std::memset(dest_ + stored_, 0, expected_ - stored_);
    return stored_;
  }

 private:
  // Next item's flag bit; false at end of input.
  bool NextFlag() {
    flags_ >>= 1;
    if (!(flags_ & 0x100)) {
      if (in_ == end_) return false;
      flags_ = *in_++ | 0xFF00u;
    }
    return true;
  }

  void Emit(uint8_t c) {
    if (emitted_ < expected_) dest_[stored_++] = c;
    window_[r_] = c;
    r_ = (r_ + 1) & kWindowMask;
    ++emitted_;
  }

  // Returns true when it stopped to hand over to the linear loop (only if `handOver`), false at
  // end of input.
  bool RingLoop(bool handOver) {
    for (;;) {
      if (handOver && emitted_ >= kWindowSize && emitted_ + kMaxMatch <= expected_) return true;
      if (!NextFlag()) return false;
      if (flags_ & 1) {
        if (in_ == end_) return false;
        Emit(*in_++);
      } else {
        if (end_ - in_ < 2) return false;
        const uint32_t b0 = in_[0], b1 = in_[1];
        in_ += 2;
        const uint32_t p = b0 | ((b1 & 0xF0) << 4);
        const uint32_t len = (b1 & 0x0F) + kMinMatch;
        for (uint32_t k = 0; k < len; ++k) Emit(window_[(p + k) & kWindowMask]);
      }
    }
  }

  // Runs while at least one whole match fits before the expected size. Returns false at end of
  // input.
  bool LinearLoop() {
    uint64_t t = emitted_;
    uint8_t* const dest = dest_;
    bool more = true;
    while (t + kMaxMatch <= expected_) {
      if (!NextFlag()) {
        more = false;
        break;
      }
      if (flags_ & 1) {
        if (in_ == end_) {
          more = false;
          break;
        }
        dest[t++] = *in_++;
      } else {
        if (end_ - in_ < 2) {
          more = false;
          break;
        }
        const uint32_t b0 = in_[0], b1 = in_[1];
        in_ += 2;
        const uint32_t p = b0 | ((b1 & 0xF0) << 4);
        const uint32_t len = (b1 & 0x0F) + kMinMatch;
        // Output byte j sits at window position (4080 + j) & 0xFFF; find the latest j for p.
        const uint64_t j = t - 1 - ((t - 1 - p - (kWindowSize - kStartPos)) & kWindowMask);
        uint8_t* d = dest + t;
        const uint8_t* s = dest + j;
        if (t - j >= kMaxMatch) {
          std::memcpy(d, s, kMaxMatch);  // room is guaranteed by the loop condition
        } else {
          for (uint32_t k = 0; k < len; ++k) d[k] = s[k];  // overlapping: byte by byte
        }
        t += len;
      }
    }
    emitted_ = stored_ = static_cast<uint32_t>(t);
    return more;
  }

  void RebuildRing() {
    for (uint64_t j = emitted_ - kWindowSize; j < emitted_; ++j)
      window_[(kStartPos + j) & kWindowMask] = dest_[j];
    r_ = static_cast<uint32_t>((kStartPos + emitted_) & kWindowMask);
  }

  const uint8_t* in_;
  const uint8_t* const end_;
  const uint64_t expected_;
  uint8_t* const dest_;
  uint32_t flags_ = 0;
  uint32_t r_ = kStartPos;
  uint64_t emitted_ = 0;
  uint32_t stored_ = 0;
  uint8_t window_[kWindowSize];
};

}  // namespace

bool IsCompressedName(const char* fileName) {
  if (!fileName) return false;
  const size_t n = std::strlen(fileName);
  return n >= 3 && fileName[n - 3] == 'e' && fileName[n - 2] == 'n' && fileName[n - 1] == 'c';
}

uint64_t MaxExpandedSize(uint64_t compressedBytes) {
  const uint64_t bound = compressedBytes * 64 + 4096;
  return bound < kMaxExpanded ? bound : kMaxExpanded;
}

uint32_t ExpandLzss(const uint8_t* src, size_t srcSize, uint32_t expectedSize, uint8_t* dest) {
  if (!dest) expectedSize = 0;
  CLzssExpander expander(src, srcSize, expectedSize, dest);
  return expander.Run();
}

bool ExpandSzdd(const uint8_t* file, size_t fileSize, std::vector<uint8_t>& out) {
  if (fileSize < kSzddHeaderSize) {
    out.clear();
    return true;
  }
  const uint32_t size = ReadLe32(file + 12);
  if (size > MaxExpandedSize(fileSize - kSzddHeaderSize)) return false;
  out.assign(size, 0);
  ExpandLzss(file + kSzddHeaderSize, fileSize - kSzddHeaderSize, size, out.data());
  return true;
}

uint32_t LoadCompressedFile(const char* fileName, std::vector<uint8_t>& buffer) {
  std::vector<uint8_t> file;
  if (!fileName || !os::ReadWholeFile(fileName, file)) return 0;
  std::vector<uint8_t> expanded;
  if (!ExpandSzdd(file.data(), file.size(), expanded)) return 0;
  buffer.swap(expanded);
  return static_cast<uint32_t>(buffer.size());
}

std::vector<uint8_t> CompressSzdd(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out(kHeaderTemplate, kHeaderTemplate + sizeof kHeaderTemplate);
  const uint32_t size32 = static_cast<uint32_t>(size);
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(size32 >> (8 * k)));
  out.reserve(out.size() + size + size / 8 + 16);

  // The stream as the expander sees it: the starting window (read from position 4080 on) followed
  // by the data. Byte n of it lives at window position (4080 + n) & 0xFFF.
  std::vector<uint8_t> v(kWindowSize + size);
  std::memset(v.data(), 0, kWindowSize - kStartPos);
  std::memset(v.data() + (kWindowSize - kStartPos), ' ', kStartPos);
  if (size) std::memcpy(v.data() + kWindowSize, data, size);
  const int64_t total = static_cast<int64_t>(v.size());
  // The 16 tail positions are never referred to: expanders disagree on what they hold.
  const int64_t firstUsable = kWindowSize - kStartPos;

  constexpr int kHashBits = 15;
  constexpr int kMaxChain = 96;
  std::vector<int32_t> head(1u << kHashBits, -1);
  std::vector<int32_t> prev(v.size(), -1);
  auto hashAt = [&](int64_t n) {
    return ((uint32_t(v[n]) << 10) ^ (uint32_t(v[n + 1]) << 5) ^ v[n + 2]) & ((1u << kHashBits) - 1);
  };
  auto insert = [&](int64_t n) {
    if (n + 2 >= total) return;
    const uint32_t h = hashAt(n);
    prev[n] = head[h];
    head[h] = static_cast<int32_t>(n);
  };
  for (int64_t n = firstUsable; n < static_cast<int64_t>(kWindowSize); ++n) insert(n);

  size_t flagPos = 0;
  int item = 8;
  int64_t cur = kWindowSize;
  while (cur < total) {
    if (item == 8) {
      flagPos = out.size();
      out.push_back(0);
      item = 0;
    }
    int64_t bestLen = 0, bestPos = 0;
    const int64_t maxLen = std::min<int64_t>(kMaxMatch, total - cur);
    if (maxLen >= kMinMatch) {
      const int64_t lowest = std::max<int64_t>(cur - kWindowSize, firstUsable);
      int chain = kMaxChain;
      for (int64_t n = head[hashAt(cur)]; n >= lowest && chain-- > 0; n = prev[n]) {
        int64_t len = 0;
        while (len < maxLen && v[n + len] == v[cur + len]) ++len;
        if (len > bestLen) {
          bestLen = len;
          bestPos = n;
          if (len == maxLen) break;
        }
      }
    }
    if (bestLen >= kMinMatch) {
      const uint32_t p = static_cast<uint32_t>((kStartPos + bestPos) & kWindowMask);
      out.push_back(static_cast<uint8_t>(p & 0xFF));
      out.push_back(static_cast<uint8_t>(((p >> 4) & 0xF0) | (bestLen - kMinMatch)));
      for (int64_t k = 0; k < bestLen; ++k) insert(cur + k);
      cur += bestLen;
    } else {
      out[flagPos] |= static_cast<uint8_t>(1u << item);
      out.push_back(v[cur]);
      insert(cur);
      ++cur;
    }
    ++item;
  }
  return out;
}
