// JPEG images through the texture loader. Files that declare more than a megapixel are turned
// away before decoding, as libjpeg-turbo's own fuzzers do: a frame of up to 16 megapixels, decoded
// twice and resampled to a 4096-square texture, takes most of a second under the sanitizers, and
// that time is better spent on the decoder's paths than on its sizes (the size limits themselves
// are pinned by the image tests).
#include <csetjmp>
// clang-format off
#include <cstdio>  // jpeglib.h uses FILE without declaring it
#include <jpeglib.h>
// clang-format on

#include "texture_input.h"

namespace {

constexpr uint64_t kLargestFuzzedPixels = 1u << 20;

struct HeaderError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};

void LeaveHeader(j_common_ptr cinfo) { longjmp(reinterpret_cast<HeaderError*>(cinfo->err)->jump, 1); }
void Quiet(j_common_ptr) {}

// Reads the frame header as the decoder will; a file whose header cannot be read is let through
// (the decoder must refuse it).
bool SmallEnough(const uint8_t* data, size_t size) {
  jpeg_decompress_struct cinfo = {};
  HeaderError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = LeaveHeader;
  err.mgr.output_message = Quiet;
  volatile uint64_t pixels = 0;
  if (setjmp(err.jump) == 0) {
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK)
      pixels = uint64_t{cinfo.image_width} * cinfo.image_height;
  }
  jpeg_destroy_decompress(&cinfo);
  return pixels <= kLargestFuzzedPixels;
}

}  // namespace

FUZZ_TARGET(texture_jpeg) {
  static const uint8_t kSignature[] = {0xFF, 0xD8};
  return fuzzimg::LoadImage(data, size, kSignature, sizeof kSignature, gfxutil::DecodeJpeg,
                            gfxutil::ImageFileFormat::Jpeg, SmallEnough);
}
