#include "platform/gfx/png_writer.h"

#include <png.h>

#include <cstring>

#include "platform/os/files.h"

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
  // Through our own open, so a folder name outside the ANSI code page works on Windows.
  std::FILE* f = os::OpenFile(path, "wb");
  if (!f) return false;
  const int ok = png_image_write_to_stdio(&image, f, 0, argb, static_cast<png_int_32>(width * 4), nullptr);
  png_image_free(&image);
  const bool closed = std::fclose(f) == 0;
  if (!ok || !closed) {
    std::error_code ec;
    std::filesystem::remove(os::PathFromUtf8(path), ec);
  }
  return ok != 0 && closed;
}

}  // namespace gfx
