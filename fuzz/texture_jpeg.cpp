// JPEG images through the texture loader. While fuzzing, files that declare more than a quarter
// of a megapixel, or whose texture (sides rounded up to powers of two) would be larger, are turned
// away before decoding, as libjpeg-turbo's own fuzzers turn big frames away. A frame of up to 16
// megapixels, decoded twice and resampled to a 4096-square texture, takes most of a second under
// the sanitizers, and one of a megapixel still costs as much as a few hundred small inputs; that
// time is better spent on the decoder's paths than on its sizes (the size limits themselves are
// pinned by the image tests). The seed-replay test runs every file whole.
#include "texture_input.h"

#ifndef BRIMMEL_FUZZ_REPLAY
#include <csetjmp>
// clang-format off
#include <cstdio>  // jpeglib.h uses FILE without declaring it
#include <jpeglib.h>
// clang-format on

namespace {

constexpr uint64_t kLargestFuzzedPixels = 1u << 18;

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
  volatile bool small = true;
  if (setjmp(err.jump) == 0) {
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK) {
      const uint32_t w = cinfo.image_width, h = cinfo.image_height;
      const uint64_t texels = uint64_t{std::min(gfxutil::RoundUpPow2(w), gfxutil::kMaxTextureDimension)} *
                              std::min(gfxutil::RoundUpPow2(h), gfxutil::kMaxTextureDimension);
      small = uint64_t{w} * h <= kLargestFuzzedPixels && texels <= kLargestFuzzedPixels;
    }
  }
  jpeg_destroy_decompress(&cinfo);
  return small;
}

}  // namespace
#endif

FUZZ_TARGET(texture_jpeg) {
  static const uint8_t kSignature[] = {0xFF, 0xD8};
#ifdef BRIMMEL_FUZZ_REPLAY
  bool (*const admit)(const uint8_t*, size_t) = nullptr;
#else
  bool (*const admit)(const uint8_t*, size_t) = SmallEnough;
#endif
  return fuzzimg::LoadImage(data, size, kSignature, sizeof kSignature, gfxutil::DecodeJpeg,
                            gfxutil::ImageFileFormat::Jpeg, admit);
}
