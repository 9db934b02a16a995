// Expansion of the game's compressed files against libmspack's SZDD decompressor, both from
// memory to memory over the same 8 MiB of mixed data.
#include "resource/szdd.h"

#include <mspack.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace {

std::vector<uint8_t> MixedData(size_t size) {
  std::mt19937 rng(2026);
  std::vector<uint8_t> d;
  d.reserve(size);
  const char* words[] = {"forest ", "bear ",  "butterfly ", "sliding door ",
                         "leaf ",   "stage ", "\r\n",       "0.500000, "};
  while (d.size() < size) {
    switch (rng() % 5) {
      case 0:  // script-like text
        for (int k = 0; k < 60; ++k) {
          const char* w = words[rng() % 8];
          d.insert(d.end(), w, w + std::strlen(w));
        }
        break;
      case 1:  // noise
        for (int k = 0; k < 400; ++k) d.push_back(uint8_t(rng()));
        break;
      case 2:  // runs
        d.insert(d.end(), 64 + rng() % 700, uint8_t(rng()));
        break;
      default: {  // image rows: a gradient with a little noise
        const uint8_t base = uint8_t(rng());
        for (int k = 0; k < 1024; ++k) d.push_back(uint8_t(base + k / 8 + (rng() % 4 == 0)));
      }
    }
  }
  d.resize(size);
  return d;
}

// A memory-only file system for the peer, so neither side touches the disk.
struct MemFile {
  const std::vector<uint8_t>* in = nullptr;
  std::vector<uint8_t>* out = nullptr;
  size_t pos = 0;
};
const std::vector<uint8_t>* g_peerInput;
std::vector<uint8_t>* g_peerOutput;
MemFile g_files[2];

mspack_file* MemOpen(mspack_system*, const char* name, int mode) {
  MemFile& f = g_files[mode == MSPACK_SYS_OPEN_READ ? 0 : 1];
  f = MemFile{};
  if (mode == MSPACK_SYS_OPEN_READ && std::strcmp(name, "in") == 0) {
    f.in = g_peerInput;
  } else if (mode == MSPACK_SYS_OPEN_WRITE && std::strcmp(name, "out") == 0) {
    f.out = g_peerOutput;
    f.out->clear();
  } else {
    return nullptr;
  }
  return reinterpret_cast<mspack_file*>(&f);
}
void MemClose(mspack_file*) {}
int MemRead(mspack_file* file, void* buffer, int bytes) {
  MemFile& f = *reinterpret_cast<MemFile*>(file);
  if (!f.in || bytes < 0) return -1;
  const size_t n = std::min<size_t>(bytes, f.in->size() - f.pos);
  std::memcpy(buffer, f.in->data() + f.pos, n);
  f.pos += n;
  return static_cast<int>(n);
}
int MemWrite(mspack_file* file, void* buffer, int bytes) {
  MemFile& f = *reinterpret_cast<MemFile*>(file);
  if (!f.out || bytes < 0) return -1;
  const uint8_t* b = static_cast<const uint8_t*>(buffer);
  f.out->insert(f.out->end(), b, b + bytes);
  return bytes;
}
int MemSeek(mspack_file* file, off_t offset, int mode) {
  MemFile& f = *reinterpret_cast<MemFile*>(file);
  const size_t size = f.in ? f.in->size() : f.out->size();
  off_t base = mode == MSPACK_SYS_SEEK_START ? 0 : mode == MSPACK_SYS_SEEK_CUR ? off_t(f.pos) : off_t(size);
  if (base + offset < 0 || size_t(base + offset) > size) return -1;
  f.pos = size_t(base + offset);
  return 0;
}
off_t MemTell(mspack_file* file) { return off_t(reinterpret_cast<MemFile*>(file)->pos); }
void MemMessage(mspack_file*, const char*, ...) {}
void* MemAlloc(mspack_system*, size_t bytes) { return std::malloc(bytes); }
void MemFree(void* p) { std::free(p); }
void MemCopy(void* src, void* dest, size_t bytes) { std::memmove(dest, src, bytes); }

mspack_system g_memSystem = {MemOpen,    MemClose, MemRead, MemWrite, MemSeek, MemTell,
                             MemMessage, MemAlloc, MemFree, MemCopy,  nullptr};

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

}  // namespace

int main() {
  const size_t kSize = 8u << 20;
  const std::vector<uint8_t> data = MixedData(kSize);
  const std::vector<uint8_t> ours = CompressSzdd(data.data(), data.size());

  // The standard header: 14 bytes, size at offset 10.
  std::vector<uint8_t> peer(ours.begin(), ours.begin() + 9);
  peer.push_back(0);
  peer.insert(peer.end(), ours.begin() + 12, ours.end());

  msszdd_decompressor* szdd = mspack_create_szdd_decompressor(&g_memSystem);
  if (!szdd) {
    std::fprintf(stderr, "szdd: libmspack unavailable\n");
    return 1;
  }
  std::vector<uint8_t> ourOut(kSize), peerOut;
  peerOut.reserve(kSize);
  g_peerInput = &peer;
  g_peerOutput = &peerOut;

  double bestOurs = 1e9, bestPeer = 1e9;
  for (int round = 0; round < 9; ++round) {
    auto t0 = std::chrono::steady_clock::now();
    ExpandLzss(ours.data() + kSzddHeaderSize, ours.size() - kSzddHeaderSize, uint32_t(kSize), ourOut.data());
    auto t1 = std::chrono::steady_clock::now();
    const int err = szdd->decompress(szdd, "in", "out");
    auto t2 = std::chrono::steady_clock::now();
    if (err != MSPACK_ERR_OK || ourOut != data || peerOut != data) {
      std::fprintf(stderr, "szdd: expansion mismatch (peer error %d)\n", err);
      mspack_destroy_szdd_decompressor(szdd);
      return 1;
    }
    bestOurs = std::min(bestOurs, Seconds(t0, t1));
    bestPeer = std::min(bestPeer, Seconds(t1, t2));
  }
  mspack_destroy_szdd_decompressor(szdd);
  std::printf("szdd_expand: ours %.2f ms, peer %.2f ms, ratio %.2f\n", bestOurs * 1e3, bestPeer * 1e3,
              bestOurs / bestPeer);
  std::printf("szdd_pack_ratio: %.3f compressed/original\n", double(ours.size()) / double(kSize));
  return 0;
}
