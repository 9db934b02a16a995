// Small stage scripts and files written by the scene tests.
#pragma once
#include <cstdint>
#include <string>

namespace wiringtest {

// A playable stage script with the given "#position" and "#degree" lines (each ending in a newline),
// without the closing "#EOF" so callers can append sections.
inline std::string GameScript(const std::string& position, const std::string& degrees) {
  return "#type\nGAME\n#end\n#position\n" + position + "#end\n#degree\n" + degrees + "#end\n";
}

// A mono 16-bit PCM RIFF/WAVE file of silence.
inline std::string SilentWave(uint32_t frames, uint32_t rate) {
  std::string s;
  auto u32 = [&s](uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  auto u16 = [&s](uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
  };
  const uint32_t data = frames * 2;
  s += "RIFF";
  u32(36 + data);
  s += "WAVEfmt ";
  u32(16);
  u16(1);  // PCM
  u16(1);  // mono
  u32(rate);
  u32(rate * 2);
  u16(2);
  u16(16);
  s += "data";
  u32(data);
  s.append(data, '\0');
  return s;
}

}  // namespace wiringtest
