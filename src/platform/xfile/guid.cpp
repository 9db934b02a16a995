#include "platform/xfile/guid.h"

#include <cstdio>

namespace xfile {

namespace {
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

bool ParseGuid(std::string_view text, Guid& out) {
  char digits[32];
  int n = 0;
  int dashes = 0;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    if (c == '-') {
      ++dashes;
      continue;
    }
    if (HexValue(c) < 0 || n == 32) return false;
    digits[n++] = c;
  }
  if (n != 32 || dashes != 4) return false;
  auto hex = [&](int from, int count) {
    uint32_t v = 0;
    for (int i = 0; i < count; ++i) v = v << 4 | static_cast<uint32_t>(HexValue(digits[from + i]));
    return v;
  };
  out.data1 = hex(0, 8);
  out.data2 = static_cast<uint16_t>(hex(8, 4));
  out.data3 = static_cast<uint16_t>(hex(12, 4));
  for (int i = 0; i < 8; ++i) out.data4[i] = static_cast<uint8_t>(hex(16 + 2 * i, 2));
  return true;
}

std::string FormatGuid(const Guid& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", g.data1, g.data2,
                g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6],
                g.data4[7]);
  return buf;
}

void GuidFromBytes(const uint8_t* p, Guid& out) {
  out.data1 = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  out.data2 = static_cast<uint16_t>(p[4] | p[5] << 8);
  out.data3 = static_cast<uint16_t>(p[6] | p[7] << 8);
  for (int i = 0; i < 8; ++i) out.data4[i] = p[8 + i];
}

void GuidToBytes(const Guid& g, uint8_t* p) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(g.data1 >> (8 * i));
  p[4] = static_cast<uint8_t>(g.data2);
  p[5] = static_cast<uint8_t>(g.data2 >> 8);
  p[6] = static_cast<uint8_t>(g.data3);
  p[7] = static_cast<uint8_t>(g.data3 >> 8);
  for (int i = 0; i < 8; ++i) p[8 + i] = g.data4[i];
}

}  // namespace xfile
