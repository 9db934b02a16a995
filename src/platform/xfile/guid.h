// A GUID as the .x format stores it: Data1 and the two words little-endian, Data4 raw.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace xfile {

struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0, data3 = 0;
  uint8_t data4[8] = {};
  bool operator==(const Guid&) const = default;
  bool IsNull() const { return *this == Guid{}; }
};

// Reads "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX"; blanks inside are tolerated.
bool ParseGuid(std::string_view text, Guid& out);
std::string FormatGuid(const Guid& g);
// The 16-byte binary form.
void GuidFromBytes(const uint8_t* p, Guid& out);
void GuidToBytes(const Guid& g, uint8_t* p);

}  // namespace xfile
