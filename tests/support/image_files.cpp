#include "support/image_files.h"

#include <jpeglib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

namespace testimg {

void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(uint8_t(x));
  v.push_back(uint8_t(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}

namespace {

std::vector<uint8_t> BmpHeaders(uint32_t w, int32_t h, uint32_t bpp, uint32_t paletteEntries,
                                uint32_t imageBytes) {
  std::vector<uint8_t> f = {'B', 'M'};
  const uint32_t off = 14 + 40 + paletteEntries * 4;
  Put32(f, off + imageBytes);
  Put32(f, 0);
  Put32(f, off);
  Put32(f, 40);
  Put32(f, w);
  Put32(f, uint32_t(h));
  Put16(f, 1);
  Put16(f, bpp);
  Put32(f, 0);  // BI_RGB
  Put32(f, imageBytes);
  Put32(f, 2835);
  Put32(f, 2835);
  Put32(f, paletteEntries);
  Put32(f, 0);
  return f;
}

}  // namespace

std::vector<uint8_t> Bmp24(uint32_t w, uint32_t h, const std::vector<uint32_t>& argb) {
  const uint32_t row = (w * 3 + 3) & ~3u;
  auto f = BmpHeaders(w, int32_t(h), 24, 0, row * h);
  for (uint32_t y = h; y-- > 0;) {  // bottom-up
    for (uint32_t x = 0; x < w; ++x) {
      const uint32_t p = argb[y * w + x];
      f.push_back(uint8_t(p));
      f.push_back(uint8_t(p >> 8));
      f.push_back(uint8_t(p >> 16));
    }
    for (uint32_t k = w * 3; k < row; ++k) f.push_back(0xEE);  // padding must be skipped
  }
  return f;
}

std::vector<uint8_t> Bmp32(uint32_t w, uint32_t h, const std::vector<uint32_t>& argb) {
  auto f = BmpHeaders(w, int32_t(h), 32, 0, w * h * 4);
  for (uint32_t y = h; y-- > 0;)
    for (uint32_t x = 0; x < w; ++x) Put32(f, argb[y * w + x]);
  return f;
}

std::vector<uint8_t> Bmp8TopDown(uint32_t w, uint32_t h, const std::vector<uint32_t>& palette,
                                 const std::vector<uint8_t>& indices) {
  const uint32_t row = (w + 3) & ~3u;
  auto f = BmpHeaders(w, -int32_t(h), 8, uint32_t(palette.size()), row * h);
  for (uint32_t c : palette) Put32(f, c & 0xFFFFFF);
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x) f.push_back(indices[y * w + x]);
    for (uint32_t k = w; k < row; ++k) f.push_back(0);
  }
  return f;
}

std::vector<uint8_t> Jpeg(uint32_t w, uint32_t h, const std::vector<uint32_t>& argb, int quality, bool gray,
                          bool progressive) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long memSize = 0;
  jpeg_mem_dest(&c, &mem, &memSize);
  c.image_width = w;
  c.image_height = h;
  c.input_components = gray ? 1 : 3;
  c.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  if (progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(w * 3);
  while (c.next_scanline < h) {
    const uint32_t y = c.next_scanline;
    for (uint32_t x = 0; x < w; ++x) {
      const uint32_t p = argb[y * w + x];
      if (gray) {
        row[x] = uint8_t(p);
      } else {
        row[x * 3] = uint8_t(p >> 16);
        row[x * 3 + 1] = uint8_t(p >> 8);
        row[x * 3 + 2] = uint8_t(p);
      }
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<uint8_t> out(mem, mem + memSize);
  jpeg_destroy_compress(&c);
  std::free(mem);
  return out;
}

namespace {

// [start, end) of each scan: from its SOS marker to the marker after its entropy data.
std::vector<std::pair<size_t, size_t>> JpegScans(const std::vector<uint8_t>& f) {
  std::vector<std::pair<size_t, size_t>> scans;
  size_t i = 2;  // past SOI
  while (i + 4 <= f.size() && f[i] == 0xFF) {
    const uint8_t marker = f[i + 1];
    if (marker == 0xD9) break;  // EOI
    const size_t length = size_t(f[i + 2]) << 8 | f[i + 3];
    size_t next = i + 2 + length;
    if (marker == 0xDA) {
      // Entropy data runs to the next marker other than a stuffed zero or a restart.
      while (next + 1 < f.size() &&
             !(f[next] == 0xFF && f[next + 1] != 0 && (f[next + 1] < 0xD0 || f[next + 1] > 0xD7)))
        ++next;
      scans.emplace_back(i, next);
    }
    i = next;
  }
  return scans;
}

}  // namespace

int JpegScanCount(const std::vector<uint8_t>& jpeg) { return int(JpegScans(jpeg).size()); }

std::vector<uint8_t> RepeatFirstJpegScan(const std::vector<uint8_t>& jpeg, int copies) {
  const auto scans = JpegScans(jpeg);
  if (scans.empty()) return jpeg;
  const auto [start, end] = scans.front();
  std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + end);
  for (int k = 0; k < copies; ++k) out.insert(out.end(), jpeg.begin() + start, jpeg.begin() + end);
  out.insert(out.end(), jpeg.begin() + end, jpeg.end());
  return out;
}

std::vector<uint8_t> DdsHeader(uint32_t w, uint32_t h, const char* fourCc, uint32_t bits, uint32_t r,
                               uint32_t g, uint32_t b, uint32_t a) {
  std::vector<uint8_t> f = {'D', 'D', 'S', ' '};
  Put32(f, 124);
  Put32(f, 0x1007);  // caps, height, width, pixel format
  Put32(f, h);
  Put32(f, w);
  Put32(f, 0);
  Put32(f, 0);
  Put32(f, 1);
  for (int k = 0; k < 11; ++k) Put32(f, 0);
  Put32(f, 32);
  if (fourCc) {
    Put32(f, 0x4);
    f.insert(f.end(), fourCc, fourCc + 4);
    for (int k = 0; k < 5; ++k) Put32(f, 0);
  } else {
    Put32(f, 0x40 | (a ? 0x1 : 0));
    Put32(f, 0);
    Put32(f, bits);
    Put32(f, r);
    Put32(f, g);
    Put32(f, b);
    Put32(f, a);
  }
  Put32(f, 0x1000);
  for (int k = 0; k < 4; ++k) Put32(f, 0);
  return f;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  std::error_code ec;
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace testimg
