// The standard template set as a binary .x block, produced at build time from
// standard_templates.x by the template encoder.
#pragma once
#include <cstddef>
#include <cstdint>

namespace xfile {

extern const uint8_t kStandardTemplates[];
extern const size_t kStandardTemplatesSize;

}  // namespace xfile
