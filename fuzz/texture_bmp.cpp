// BMP images through the texture loader.
#include "texture_input.h"

FUZZ_TARGET(texture_bmp) {
  static const uint8_t kSignature[] = {'B', 'M'};
  return fuzzimg::LoadImage(data, size, kSignature, sizeof kSignature, gfxutil::DecodeBmp,
                            gfxutil::ImageFileFormat::Bmp);
}
