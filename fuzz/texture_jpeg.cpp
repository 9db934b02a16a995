// JPEG images through the texture loader.
#include "texture_input.h"

FUZZ_TARGET(texture_jpeg) {
  static const uint8_t kSignature[] = {0xFF, 0xD8};
  return fuzzimg::LoadImage(data, size, kSignature, sizeof kSignature, gfxutil::DecodeJpeg,
                            gfxutil::ImageFileFormat::Jpeg);
}
