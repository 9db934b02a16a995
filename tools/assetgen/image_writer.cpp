// File encoders for the generated pictures: JPEG through libjpeg, BMP and DDS by hand, and the
// game's compressed form through the packer's own coder.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include "resource/szdd.h"
#include "textures.h"

namespace assetgen {

namespace {

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

bool Valid(const CImage& image) {
  return image.width > 0 && image.height > 0 &&
         image.argb.size() == static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
}

// libjpeg reports fatal errors through a callback that must not return; a long jump would skip
// destructors, so the encoder only ever sees inputs it accepts (checked before it starts).
void JpegErrorExit(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  std::abort();
}

}  // namespace

std::vector<uint8_t> EncodeJpeg(const CImage& image, int quality) {
  if (!Valid(image) || image.width > 65500 || image.height > 65500) return {};
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jerr.error_exit = JpegErrorExit;
  jpeg_create_compress(&cinfo);
  unsigned char* mem = nullptr;
  unsigned long memSize = 0;
  jpeg_mem_dest(&cinfo, &mem, &memSize);
  cinfo.image_width = static_cast<JDIMENSION>(image.width);
  cinfo.image_height = static_cast<JDIMENSION>(image.height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  cinfo.dct_method = JDCT_ISLOW;  // the integer DCT gives the same bytes on every machine
  jpeg_set_quality(&cinfo, std::clamp(quality, 1, 100), TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(image.width) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < image.width; ++x) {
      const uint32_t p = image.At(x, y);
      row[x * 3 + 0] = static_cast<uint8_t>(p >> 16);
      row[x * 3 + 1] = static_cast<uint8_t>(p >> 8);
      row[x * 3 + 2] = static_cast<uint8_t>(p);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<uint8_t> bytes(mem, mem + memSize);
  jpeg_destroy_compress(&cinfo);
  std::free(mem);
  return bytes;
}

std::vector<uint8_t> EncodeBmp(const CImage& image) {
  if (!Valid(image)) return {};
  const uint32_t stride = (static_cast<uint32_t>(image.width) * 3 + 3) & ~3u;
  const uint32_t dataSize = stride * static_cast<uint32_t>(image.height);
  std::vector<uint8_t> b;
  b.reserve(54 + dataSize);
  b.push_back('B');
  b.push_back('M');
  Put32(b, 54 + dataSize);
  Put32(b, 0);
  Put32(b, 54);  // pixel data offset
  Put32(b, 40);  // BITMAPINFOHEADER
  Put32(b, static_cast<uint32_t>(image.width));
  Put32(b, static_cast<uint32_t>(image.height));  // positive: bottom-up rows
  Put16(b, 1);
  Put16(b, 24);
  Put32(b, 0);  // BI_RGB
  Put32(b, dataSize);
  Put32(b, 2835);  // 72 dpi
  Put32(b, 2835);
  Put32(b, 0);
  Put32(b, 0);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) {
      const uint32_t p = image.At(x, y);
      b.push_back(static_cast<uint8_t>(p));
      b.push_back(static_cast<uint8_t>(p >> 8));
      b.push_back(static_cast<uint8_t>(p >> 16));
    }
    for (uint32_t pad = static_cast<uint32_t>(image.width) * 3; pad < stride; ++pad) b.push_back(0);
  }
  return b;
}

namespace {

uint32_t To565(uint32_t argb) {
  const uint32_t r = (argb >> 16) & 255, g = (argb >> 8) & 255, bl = argb & 255;
  return ((r * 31 + 127) / 255) << 11 | ((g * 63 + 127) / 255) << 5 | ((bl * 31 + 127) / 255);
}
uint32_t From565(uint32_t c) {
  const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}
int ColourDistance(uint32_t a, uint32_t b) {
  const int dr = static_cast<int>((a >> 16) & 255) - static_cast<int>((b >> 16) & 255);
  const int dg = static_cast<int>((a >> 8) & 255) - static_cast<int>((b >> 8) & 255);
  const int db = static_cast<int>(a & 255) - static_cast<int>(b & 255);
  return dr * dr * 3 + dg * dg * 4 + db * db * 2;
}
uint32_t Blend3(uint32_t a, uint32_t b, uint32_t wa, uint32_t wb, uint32_t div) {
  uint32_t out = 0;
  for (int s = 0; s <= 16; s += 8) out |= ((((a >> s) & 255) * wa + ((b >> s) & 255) * wb) / div) << s;
  return out;
}

// Colour block: the two extremes of luminance as end points, each texel to the nearest of the
// four palette entries. `fourColour` false lets DXT1 mark texels with alpha < 128 transparent.
void EncodeColourBlock(const uint32_t texels[16], bool dxt1, uint8_t out[8]) {
  int lo = -1, hi = -1, loL = 1 << 30, hiL = -1;
  for (int i = 0; i < 16; ++i) {
    if (dxt1 && (texels[i] >> 24) < 128) continue;
    const uint32_t p = texels[i];
    const int l = static_cast<int>(((p >> 16) & 255) * 3 + ((p >> 8) & 255) * 6 + (p & 255));
    if (l < loL) loL = l, lo = i;
    if (l > hiL) hiL = l, hi = i;
  }
  bool anyTransparent = false;
  for (int i = 0; i < 16; ++i) anyTransparent |= dxt1 && (texels[i] >> 24) < 128;
  uint32_t c0 = lo < 0 ? 0 : To565(texels[hi]), c1 = lo < 0 ? 0 : To565(texels[lo]);
  // DXT1 picks its mode by the order of the end points: c0 > c1 for four colours, else three
  // plus transparent. DXT5 always decodes four colours.
  if (dxt1 && anyTransparent) {
    if (c0 > c1) std::swap(c0, c1);
  } else if (c0 < c1) {
    std::swap(c0, c1);
  }
  uint32_t pal[4];
  pal[0] = From565(c0);
  pal[1] = From565(c1);
  const bool three = dxt1 && c0 <= c1;
  if (!three) {
    pal[2] = Blend3(pal[0], pal[1], 2, 1, 3);
    pal[3] = Blend3(pal[0], pal[1], 1, 2, 3);
  } else {
    pal[2] = Blend3(pal[0], pal[1], 1, 1, 2);
    pal[3] = 0;
  }
  uint32_t bits = 0;
  for (int i = 0; i < 16; ++i) {
    uint32_t best = 0;
    if (three && (texels[i] >> 24) < 128) {
      best = 3;
    } else {
      int bestD = 1 << 30;
      for (uint32_t k = 0; k < (three ? 3u : 4u); ++k) {
        const int d = ColourDistance(texels[i], pal[k]);
        if (d < bestD) bestD = d, best = k;
      }
    }
    bits |= best << (2 * i);
  }
  out[0] = static_cast<uint8_t>(c0);
  out[1] = static_cast<uint8_t>(c0 >> 8);
  out[2] = static_cast<uint8_t>(c1);
  out[3] = static_cast<uint8_t>(c1 >> 8);
  for (int k = 0; k < 4; ++k) out[4 + k] = static_cast<uint8_t>(bits >> (8 * k));
}

// DXT5 alpha: the eight-entry ramp between the block's extremes.
void EncodeAlphaBlock(const uint32_t texels[16], uint8_t out[8]) {
  uint32_t a0 = 0, a1 = 255;
  for (int i = 0; i < 16; ++i) {
    a0 = std::max(a0, texels[i] >> 24);
    a1 = std::min(a1, texels[i] >> 24);
  }
  uint32_t pal[8] = {a0, a1};
  if (a0 > a1) {
    for (int i = 1; i < 7; ++i) pal[i + 1] = ((7 - i) * a0 + i * a1) / 7;
  } else {
    for (int i = 1; i < 5; ++i) pal[i + 1] = ((5 - i) * a0 + i * a1) / 5;
    pal[6] = 0;
    pal[7] = 255;
  }
  uint64_t bits = 0;
  for (int i = 0; i < 16; ++i) {
    const int a = static_cast<int>(texels[i] >> 24);
    uint64_t best = 0;
    int bestD = 1 << 30;
    for (int k = 0; k < 8; ++k) {
      const int d = std::abs(a - static_cast<int>(pal[k]));
      if (d < bestD) bestD = d, best = static_cast<uint64_t>(k);
    }
    bits |= best << (3 * i);
  }
  out[0] = static_cast<uint8_t>(a0);
  out[1] = static_cast<uint8_t>(a1);
  for (int k = 0; k < 6; ++k) out[2 + k] = static_cast<uint8_t>(bits >> (8 * k));
}

}  // namespace

std::vector<uint8_t> EncodeDds(const CImage& image, DdsFormat format) {
  if (!Valid(image)) return {};
  const uint32_t w = static_cast<uint32_t>(image.width), h = static_cast<uint32_t>(image.height);
  const bool blocks = format != DdsFormat::A8R8G8B8;
  const uint32_t blockBytes = format == DdsFormat::DXT1 ? 8 : 16;
  const uint32_t linear = blocks ? ((w + 3) / 4) * ((h + 3) / 4) * blockBytes : w * 4;
  std::vector<uint8_t> b;
  b.insert(b.end(), {'D', 'D', 'S', ' '});
  Put32(b, 124);
  // caps, height, width, pixel format, plus pitch or linear size
  Put32(b, 0x1007u | (blocks ? 0x80000u : 0x8u));
  Put32(b, h);
  Put32(b, w);
  Put32(b, linear);
  Put32(b, 0);  // depth
  Put32(b, 0);  // mip count: level 0 only
  for (int i = 0; i < 11; ++i) Put32(b, 0);
  Put32(b, 32);  // DDS_PIXELFORMAT size
  if (blocks) {
    Put32(b, 0x4);  // DDPF_FOURCC
    b.insert(b.end(), {'D', 'X', 'T', static_cast<uint8_t>(format == DdsFormat::DXT1 ? '1' : '5')});
    for (int i = 0; i < 5; ++i) Put32(b, 0);
  } else {
    Put32(b, 0x41);  // DDPF_RGB | DDPF_ALPHAPIXELS
    Put32(b, 0);
    Put32(b, 32);
    Put32(b, 0x00FF0000u);
    Put32(b, 0x0000FF00u);
    Put32(b, 0x000000FFu);
    Put32(b, 0xFF000000u);
  }
  Put32(b, 0x1000);  // DDSCAPS_TEXTURE
  for (int i = 0; i < 4; ++i) Put32(b, 0);
  if (!blocks) {
    for (uint32_t p : image.argb) Put32(b, p);
    return b;
  }
  uint32_t texels[16];
  uint8_t block[16];
  for (uint32_t by = 0; by < (h + 3) / 4; ++by) {
    for (uint32_t bx = 0; bx < (w + 3) / 4; ++bx) {
      for (uint32_t i = 0; i < 16; ++i) {
        const uint32_t x = std::min(bx * 4 + i % 4, w - 1), y = std::min(by * 4 + i / 4, h - 1);
        texels[i] = image.At(static_cast<int>(x), static_cast<int>(y));
      }
      if (format == DdsFormat::DXT1) {
        EncodeColourBlock(texels, true, block);
        b.insert(b.end(), block, block + 8);
      } else {
        EncodeAlphaBlock(texels, block);
        EncodeColourBlock(texels, false, block + 8);
        b.insert(b.end(), block, block + 16);
      }
    }
  }
  return b;
}

std::vector<uint8_t> EncodeEnc(const std::vector<uint8_t>& bytes) {
  return CompressSzdd(bytes.data(), bytes.size());
}

namespace {
bool WriteBytes(const COutput& out, const std::string& relative, const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) {
    std::fprintf(stderr, "assetgen: nothing to write for %s\n", relative.c_str());
    return false;
  }
  if (!out.Write(relative, bytes)) {
    std::fprintf(stderr, "assetgen: cannot write %s\n", out.PathOf(relative).c_str());
    return false;
  }
  return true;
}
}  // namespace

bool WriteJpeg(const COutput& out, const std::string& relative, const CImage& image, int quality) {
  return WriteBytes(out, relative, EncodeJpeg(image, quality));
}
bool WriteBmp(const COutput& out, const std::string& relative, const CImage& image) {
  return WriteBytes(out, relative, EncodeBmp(image));
}
bool WriteDds(const COutput& out, const std::string& relative, const CImage& image, DdsFormat format) {
  return WriteBytes(out, relative, EncodeDds(image, format));
}
bool WriteEnc(const COutput& out, const std::string& relative, const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return WriteBytes(out, relative, bytes);
  return WriteBytes(out, relative, EncodeEnc(bytes));
}

}  // namespace assetgen
