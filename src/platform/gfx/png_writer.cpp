#include "platform/gfx/png_writer.h"

#include <png.h>

#include <cstring>

namespace gfx {

bool WritePng(const std::string& path, const uint32_t* argb, uint32_t width, uint32_t height) {
  if (!argb || width == 0 || height == 0) return false;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  // 0xAARRGGBB in little-endian memory is B, G, R, A.
  image.format = PNG_FORMAT_BGRA;
  const int ok =
      png_image_write_to_file(&image, path.c_str(), 0, argb, static_cast<png_int_32>(width * 4), nullptr);
  png_image_free(&image);
  return ok != 0;
}

}  // namespace gfx
