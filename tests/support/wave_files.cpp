#include "support/wave_files.h"

#include <fstream>

namespace testwave {

std::string Wave(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, const void* data,
                 size_t bytes) {
  std::string s;
  auto u32 = [&s](uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  auto u16 = [&s](uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
  };
  const uint32_t block = channels * bits / 8u;
  s += "RIFF";
  u32(static_cast<uint32_t>(36 + bytes));
  s += "WAVEfmt ";
  u32(16);
  u16(tag);
  u16(channels);
  u32(rate);
  u32(rate * block);
  u16(block);
  u16(bits);
  s += "data";
  u32(static_cast<uint32_t>(bytes));
  s.append(static_cast<const char*>(data), bytes);
  return s;
}

bool WriteWave(const std::string& path, const std::string& image) {
  std::ofstream f(path, std::ios::binary);
  f << image;
  return static_cast<bool>(f);
}

}  // namespace testwave
