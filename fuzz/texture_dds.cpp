// DDS images (DXT1/3/5, uncompressed) through the texture loader.
#include "texture_input.h"

FUZZ_TARGET(texture_dds) {
  static const uint8_t kSignature[] = {'D', 'D', 'S', ' '};
  return fuzzimg::LoadImage(data, size, kSignature, sizeof kSignature, gfxutil::DecodeDds,
                            gfxutil::ImageFileFormat::Dds);
}
