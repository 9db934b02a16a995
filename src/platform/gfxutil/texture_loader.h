// Textures from image files held in memory, as D3DXCreateTextureFromFileInMemoryEx makes them:
// the colour key applied to source texels, the image stretched to the requested (by default the
// next power-of-two) size, and the mip chain built with a box filter.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfxutil/image_decoder.h"

namespace gfxutil {

constexpr uint32_t D3DX_DEFAULT = 0xFFFFFFFF;
// Largest texture side handed to the device; bigger images are scaled down to it.
constexpr uint32_t kMaxTextureDimension = 4096;

// Smallest power of two >= v (1 for 0).
uint32_t RoundUpPow2(uint32_t v);
// Number of levels of a full chain down to 1x1.
uint32_t FullMipCount(uint32_t width, uint32_t height);

// Texels equal to `key` (0xAARRGGBB, alpha included) become transparent black; 0 disables.
void ApplyColorKey(Image& image, Color key);
// Stretches with a tent filter (bilinear when enlarging, averaging when shrinking).
Image ResampleImage(const Image& src, uint32_t width, uint32_t height);
// The next mip level: 2x2 box average, a side of 1 stays 1.
Image HalveImage(const Image& src);

// The CPU side of texture creation: decode, key, size, mips. `width`/`height` of 0 or
// D3DX_DEFAULT take the file's size rounded up to powers of two; `mipLevels` of 0 or
// D3DX_DEFAULT asks for the full chain. Returns false for anything that cannot be decoded.
bool BuildTextureLevels(const void* data, size_t size, uint32_t width, uint32_t height, uint32_t mipLevels,
                        Color colorKey, std::vector<Image>& levels, ImageInfo* srcInfo = nullptr);

// The texture itself (managed: it survives a device reset), or nullptr on failure. Its level-0
// size is the texture's Width()/Height().
// The texture made from levels as BuildTextureLevels gives them, each let go once the device has
// it (a load holds the picture once, not twice); nullptr on failure.
gfx::TexturePtr CreateTextureFromLevels(gfx::CDevice& device, std::vector<Image>&& levels);
gfx::TexturePtr CreateTextureFromFileInMemoryEx(gfx::CDevice& device, const void* data, size_t size,
                                                uint32_t width, uint32_t height, uint32_t mipLevels,
                                                Color colorKey, ImageInfo* srcInfo = nullptr);

}  // namespace gfxutil
