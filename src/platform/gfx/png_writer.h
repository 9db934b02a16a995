#pragma once
#include <cstdint>
#include <string>

namespace gfx {

// Writes 0xAARRGGBB pixels, top row first, as an 8-bit RGBA PNG. False when the file cannot be written.
bool WritePng(const std::string& path, const uint32_t* argb, uint32_t width, uint32_t height);

}  // namespace gfx
