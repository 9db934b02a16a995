// Image files (JPEG, BMP, DDS, plain or compressed) read into textures.
#pragma once
#include <cstdint>

#include "platform/gfx/device.h"

// The one texture loader, shared with the mesh code: plain or compressed ("...enc") JPEG, BMP or
// DDS files; opaque black becomes transparent. nullptr when the file is missing or unreadable.
gfx::TexturePtr LoadTexture(const char* fileName, uint32_t mipLevels);
