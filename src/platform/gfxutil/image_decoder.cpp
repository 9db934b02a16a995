#include "platform/gfxutil/image_decoder.h"

#include <SDL.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

namespace gfxutil {
namespace {

uint32_t Le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

bool PlausibleSize(uint64_t w, uint64_t h) {
  return w > 0 && h > 0 && w <= kMaxImageDimension && h <= kMaxImageDimension && w * h <= kMaxImagePixels;
}

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

// --- JPEG ---

struct JpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
  bool tooManyScans;
};

void JpegErrorExit(j_common_ptr cinfo) { longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1); }
void JpegSilence(j_common_ptr) {}

// A progressive file is read whole, scan by scan, inside jpeg_start_decompress, and libjpeg calls
// this between the steps; a scan beyond the limit is turned away before its data is decoded.
void JpegCountScans(j_common_ptr cinfo) {
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number <= kMaxJpegScans) return;
  reinterpret_cast<JpegError*>(cinfo->err)->tooManyScans = true;
  cinfo->err->error_exit(cinfo);
}

// Kept free of C++ objects with destructors: a decoding error leaves through longjmp.
bool DecodeJpegInner(jpeg_decompress_struct& cinfo, JpegError& err, jpeg_progress_mgr& progress,
                     const uint8_t* data, size_t size, Image& out) {
  if (setjmp(err.jump)) return false;
  jpeg_create_decompress(&cinfo);
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) return false;
  if (!PlausibleSize(cinfo.image_width, cinfo.image_height)) return false;
  switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
      cinfo.out_color_space = JCS_GRAYSCALE;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      cinfo.out_color_space = JCS_CMYK;
      break;
    default:
      cinfo.out_color_space = JCS_RGB;
  }
  jpeg_start_decompress(&cinfo);
  const uint32_t w = cinfo.output_width, h = cinfo.output_height;
  const int comps = cinfo.output_components;
  if (!PlausibleSize(w, h) || (comps != 1 && comps != 3 && comps != 4)) return false;
  out.width = w;
  out.height = h;
  out.argb.assign(size_t(w) * h, 0);
  JSAMPARRAY row =
      (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, w * comps, 1);
  while (cinfo.output_scanline < h) {
    const uint32_t y = cinfo.output_scanline;
    if (jpeg_read_scanlines(&cinfo, row, 1) != 1) return false;
    const uint8_t* s = row[0];
    uint32_t* d = out.argb.data() + size_t(y) * w;
    for (uint32_t x = 0; x < w; ++x, s += comps) {
      if (comps == 1) {
        d[x] = Argb(255, s[0], s[0], s[0]);
      } else if (comps == 3) {
        d[x] = Argb(255, s[0], s[1], s[2]);
      } else {  // Adobe files store CMYK inverted
        const uint32_t k = s[3];
        d[x] = Argb(255, s[0] * k / 255, s[1] * k / 255, s[2] * k / 255);
      }
    }
  }
  jpeg_finish_decompress(&cinfo);
  return true;
}

// --- BMP ---

// Checks the headers before SDL allocates a surface for whatever size they claim.
bool PlausibleBmp(const uint8_t* p, size_t size) {
  if (size < 26 || p[0] != 'B' || p[1] != 'M') return false;
  const uint32_t offBits = Le32(p + 10), infoSize = Le32(p + 14);
  int64_t w, h;
  uint32_t bpp, compression = 0;
  if (infoSize == 12) {
    w = Le16(p + 18);
    h = Le16(p + 20);
    bpp = Le16(p + 24);
  } else {
    if (infoSize < 40 || size < 14 + 40) return false;
    w = int32_t(Le32(p + 18));
    h = int32_t(Le32(p + 22));
    bpp = Le16(p + 28);
    compression = Le32(p + 30);
  }
  if (h < 0) h = -h;
  if (w <= 0 || !PlausibleSize(uint64_t(w), uint64_t(h))) return false;
  if (offBits >= size) return false;
  const uint64_t available = size - offBits;
  if (compression == 0 || compression == 3) {  // uncompressed: the rows must be there
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
    const uint64_t row = ((uint64_t(w) * bpp + 31) / 32) * 4;
    return row * uint64_t(h) <= available;
  }
  if (compression == 1 || compression == 2) return uint64_t(w) * uint64_t(h) <= available * 256;
  return false;
}

struct SurfaceDeleter {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};

// --- DDS ---

constexpr uint32_t FourCc(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
         uint32_t(uint8_t(d)) << 24;
}

uint32_t Expand565(uint32_t c, uint32_t alpha) {
  const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  return Argb(alpha, (r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}

uint32_t Mix(uint32_t a, uint32_t b, uint32_t wa, uint32_t wb, uint32_t div, uint32_t alpha) {
  auto ch = [&](int shift) {
    return ((((a >> shift) & 255) * wa + ((b >> shift) & 255) * wb) / div) << shift;
  };
  return alpha << 24 | ch(16) | ch(8) | ch(0);
}

// One 4x4 colour block; `threeColour` allows DXT1's mode with a transparent fourth entry.
void DecodeColourBlock(const uint8_t* b, bool threeColour, uint32_t texels[16]) {
  const uint32_t c0 = Le16(b), c1 = Le16(b + 2);
  uint32_t pal[4];
  pal[0] = Expand565(c0, 255);
  pal[1] = Expand565(c1, 255);
  if (c0 > c1 || !threeColour) {
    pal[2] = Mix(pal[0], pal[1], 2, 1, 3, 255);
    pal[3] = Mix(pal[0], pal[1], 1, 2, 3, 255);
  } else {
    pal[2] = Mix(pal[0], pal[1], 1, 1, 2, 255);
    pal[3] = 0;  // transparent black
  }
  const uint32_t bits = Le32(b + 4);
  for (int i = 0; i < 16; ++i) texels[i] = pal[(bits >> (2 * i)) & 3];
}

void DecodeDxt5Alpha(const uint8_t* b, uint32_t alpha[16]) {
  const uint32_t a0 = b[0], a1 = b[1];
  uint32_t pal[8] = {a0, a1};
  if (a0 > a1) {
    for (int i = 1; i < 7; ++i) pal[i + 1] = ((7 - i) * a0 + i * a1) / 7;
  } else {
    for (int i = 1; i < 5; ++i) pal[i + 1] = ((5 - i) * a0 + i * a1) / 5;
    pal[6] = 0;
    pal[7] = 255;
  }
  uint64_t bits = 0;
  for (int i = 0; i < 6; ++i) bits |= uint64_t(b[2 + i]) << (8 * i);
  for (int i = 0; i < 16; ++i) alpha[i] = pal[(bits >> (3 * i)) & 7];
}

// One channel described by a bit mask, scaled to 8 bits; `absent` when the mask is empty.
uint32_t Channel(uint32_t px, uint32_t mask, uint32_t absent) {
  if (!mask) return absent;
  const int shift = __builtin_ctz(mask);
  const uint64_t max = uint64_t(mask) >> shift;
  const uint64_t v = (px & mask) >> shift;
  return uint32_t((v * 255 + max / 2) / max);
}

}  // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, Image& out) {
  if (!data || size < 4 || size > 0x7FFFFFFF) return false;
  jpeg_decompress_struct cinfo;
  JpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegErrorExit;
  err.mgr.output_message = JpegSilence;
  err.tooManyScans = false;
  jpeg_progress_mgr progress = {};
  progress.progress_monitor = JpegCountScans;
  Image img;
  const bool ok = DecodeJpegInner(cinfo, err, progress, data, size, img);
  jpeg_destroy_decompress(&cinfo);
  if (err.tooManyScans) SDL_Log("gfx: JPEG refused: it has more than %d scans", kMaxJpegScans);
  if (ok) out = std::move(img);
  return ok;
}

bool DecodeBmp(const uint8_t* data, size_t size, Image& out) {
  if (!data || size > 0x7FFFFFFF || !PlausibleBmp(data, size)) return false;
  SDL_RWops* rw = SDL_RWFromConstMem(data, static_cast<int>(size));
  if (!rw) return false;
  std::unique_ptr<SDL_Surface, SurfaceDeleter> loaded(SDL_LoadBMP_RW(rw, 1));
  if (!loaded) return false;
  std::unique_ptr<SDL_Surface, SurfaceDeleter> argb(
      SDL_ConvertSurfaceFormat(loaded.get(), SDL_PIXELFORMAT_ARGB8888, 0));
  if (!argb || argb->w <= 0 || argb->h <= 0) return false;
  Image img;
  img.width = uint32_t(argb->w);
  img.height = uint32_t(argb->h);
  img.argb.resize(size_t(img.width) * img.height);
  if (SDL_MUSTLOCK(argb.get())) SDL_LockSurface(argb.get());
  for (uint32_t y = 0; y < img.height; ++y)
    std::memcpy(&img.At(0, y), static_cast<const uint8_t*>(argb->pixels) + size_t(y) * argb->pitch,
                img.width * 4);
  if (SDL_MUSTLOCK(argb.get())) SDL_UnlockSurface(argb.get());
  out = std::move(img);
  return true;
}

bool DecodeDds(const uint8_t* data, size_t size, Image& out) {
  constexpr size_t kHeader = 128;
  if (!data || size < kHeader || Le32(data) != FourCc('D', 'D', 'S', ' ') || Le32(data + 4) != 124)
    return false;
  const uint32_t h = Le32(data + 12), w = Le32(data + 16);
  if (!PlausibleSize(w, h)) return false;
  const uint8_t* pf = data + 76;  // DDS_PIXELFORMAT
  const uint32_t pfFlags = Le32(pf + 4), fourCc = Le32(pf + 8), bits = Le32(pf + 12);
  const uint32_t rMask = Le32(pf + 16), gMask = Le32(pf + 20), bMask = Le32(pf + 24);
  const uint32_t aMask = (pfFlags & 0x1) ? Le32(pf + 28) : 0;  // DDPF_ALPHAPIXELS
  const uint8_t* src = data + kHeader;
  const uint64_t available = size - kHeader;
  Image img;
  img.width = w;
  img.height = h;

  if (pfFlags & 0x4) {  // DDPF_FOURCC: block compressed
    const bool dxt1 = fourCc == FourCc('D', 'X', 'T', '1');
    const bool dxt3 = fourCc == FourCc('D', 'X', 'T', '3');
    const bool dxt5 = fourCc == FourCc('D', 'X', 'T', '5');
    if (!dxt1 && !dxt3 && !dxt5) return false;
    const uint32_t bw = (w + 3) / 4, bh = (h + 3) / 4, blockBytes = dxt1 ? 8 : 16;
    if (uint64_t(bw) * bh * blockBytes > available) return false;
    img.argb.resize(size_t(w) * h);
    uint32_t texels[16], alpha[16];
    for (uint32_t by = 0; by < bh; ++by) {
      for (uint32_t bx = 0; bx < bw; ++bx, src += blockBytes) {
        if (dxt1) {
          DecodeColourBlock(src, true, texels);
        } else {
          DecodeColourBlock(src + 8, false, texels);
          if (dxt3) {
            for (int i = 0; i < 16; ++i) alpha[i] = ((src[i / 2] >> (4 * (i & 1))) & 15) * 17;
          } else {
            DecodeDxt5Alpha(src, alpha);
          }
          for (int i = 0; i < 16; ++i) texels[i] = (texels[i] & 0xFFFFFF) | alpha[i] << 24;
        }
        for (uint32_t i = 0; i < 16; ++i) {
          const uint32_t x = bx * 4 + i % 4, y = by * 4 + i / 4;
          if (x < w && y < h) img.At(x, y) = texels[i];
        }
      }
    }
  } else if (pfFlags & 0x40) {  // DDPF_RGB
    if (bits != 16 && bits != 24 && bits != 32) return false;
    const uint32_t bytes = bits / 8;
    if (uint64_t(w) * h * bytes > available) return false;
    img.argb.resize(size_t(w) * h);
    for (size_t i = 0; i < img.argb.size(); ++i, src += bytes) {
      const uint32_t px = bytes == 2   ? Le16(src)
                          : bytes == 3 ? (Le16(src) | uint32_t(src[2]) << 16)
                                       : Le32(src);
      img.argb[i] =
          Argb(Channel(px, aMask, 255), Channel(px, rMask, 0), Channel(px, gMask, 0), Channel(px, bMask, 0));
    }
  } else {
    return false;
  }
  out = std::move(img);
  return true;
}

bool DecodeImage(const void* data, size_t size, Image& out, ImageInfo* info) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  if (!p || size < 4) return false;
  ImageFileFormat format = ImageFileFormat::Unknown;
  bool ok = false;
  if (p[0] == 'B' && p[1] == 'M') {
    format = ImageFileFormat::Bmp;
    ok = DecodeBmp(p, size, out);
  } else if (p[0] == 0xFF && p[1] == 0xD8) {
    format = ImageFileFormat::Jpeg;
    ok = DecodeJpeg(p, size, out);
  } else if (std::memcmp(p, "DDS ", 4) == 0) {
    format = ImageFileFormat::Dds;
    ok = DecodeDds(p, size, out);
  }
  if (ok && info) *info = ImageInfo{out.width, out.height, format};
  return ok;
}

}  // namespace gfxutil
