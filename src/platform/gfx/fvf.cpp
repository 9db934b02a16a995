#include "platform/gfx/types.h"

namespace gfx {

uint32_t FvfBlendWeights(uint32_t fvf) {
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZB1:
      return 1;
    case D3DFVF_XYZB2:
      return 2;
    case D3DFVF_XYZB3:
      return 3;
    case D3DFVF_XYZB4:
      return 4;
    default:
      return 0;
  }
}

uint32_t FvfStride(uint32_t fvf) {
  uint32_t size = 0;
  const uint32_t position = fvf & D3DFVF_POSITION_MASK;
  if (position == D3DFVF_XYZRHW) {
    size += 16;
  } else if (position != 0) {
    size += 12 + 4 * FvfBlendWeights(fvf);
  }
  if (fvf & D3DFVF_NORMAL) size += 12;
  if (fvf & D3DFVF_DIFFUSE) size += 4;
  if (fvf & D3DFVF_SPECULAR) size += 4;
  // Texture coordinate sets are two floats each unless a size bit says otherwise.
  size += 8 * ((fvf & D3DFVF_TEXCOUNT_MASK) >> 8);
  return size;
}

}  // namespace gfx
