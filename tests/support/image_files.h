// Image files made in code for the tests: hand-written BMP and DDS, JPEG through libjpeg.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace testimg {

// Pixels are 0xAARRGGBB, rows top to bottom.
std::vector<uint8_t> Bmp24(uint32_t w, uint32_t h, const std::vector<uint32_t>& argb);
std::vector<uint8_t> Bmp32(uint32_t w, uint32_t h, const std::vector<uint32_t>& argb);
// 8-bit palettized, stored top-down (negative height).
std::vector<uint8_t> Bmp8TopDown(uint32_t w, uint32_t h, const std::vector<uint32_t>& palette,
                                 const std::vector<uint8_t>& indices);
std::vector<uint8_t> Jpeg(uint32_t w, uint32_t h, const std::vector<uint32_t>& argb, int quality = 95,
                          bool gray = false, bool progressive = false);
// The start-of-scan markers in a JPEG file.
int JpegScanCount(const std::vector<uint8_t>& jpeg);
// The file with its first scan (marker, header and entropy data) repeated `copies` more times
// right after it: libjpeg's own writer refuses such a scan script, decoders accept it.
std::vector<uint8_t> RepeatFirstJpegScan(const std::vector<uint8_t>& jpeg, int copies);
// DDS header for a FOURCC ("DXT1"...) or an RGB format with masks; append the data yourself.
std::vector<uint8_t> DdsHeader(uint32_t w, uint32_t h, const char* fourCc, uint32_t bits = 0, uint32_t r = 0,
                               uint32_t g = 0, uint32_t b = 0, uint32_t a = 0);
void Put16(std::vector<uint8_t>& v, uint32_t x);
void Put32(std::vector<uint8_t>& v, uint32_t x);

// Makes the folders it needs; false when the file cannot be written.
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace testimg
