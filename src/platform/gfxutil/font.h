// The screen font, in the shape of ID3DXFont: a face found through fontconfig (the requested
// family with Japanese coverage, else any Japanese-capable monospace face), glyphs rendered by
// FreeType into a texture atlas, text drawn as pretransformed quads through the device.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gfx/device.h"

namespace gfxutil {

// DrawText format flags (GDI's DT_ values).
enum : uint32_t {
  DT_TOP = 0x0,
  DT_LEFT = 0x0,
  DT_CENTER = 0x1,
  DT_RIGHT = 0x2,
  DT_VCENTER = 0x4,
  DT_BOTTOM = 0x8,
  DT_SINGLELINE = 0x20,
  DT_EXPANDTABS = 0x40,
  DT_NOCLIP = 0x100,
  DT_CALCRECT = 0x400,
};

struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The GDI font description the game asks for (LOGFONT's fields that matter here).
struct FontDesc {
  int32_t height = 16;  // cell height in pixels
  int32_t width = 8;    // average (half-width) character width; 0 = the face's own
  int32_t weight = 400;
  bool italic = false;
  uint32_t charSet = 128;  // SHIFTJIS_CHARSET: ask for Japanese coverage
  std::string faceName;
};

class CFont {
 public:
  // D3DXCreateFont: nullptr when no usable face can be found or opened.
  static std::unique_ptr<CFont> Create(gfx::CDevice& device, const FontDesc& desc);
  ~CFont();
  CFont(const CFont&) = delete;
  CFont& operator=(const CFont&) = delete;

  // Draws UTF-8 text (count < 0: up to the terminating zero) into `rect` in `color`; returns the
  // height of the text drawn. With DT_CALCRECT nothing is drawn and `rect` receives the extent.
  // Sets its own render states and restores the caller's afterwards, as ID3DXFont does.
  int DrawText(const char* text, int count, Rect* rect, uint32_t format, uint32_t color);

  // The file the face was loaded from and its family name, for the log and the tests.
  const std::string& FacePath() const { return facePath_; }
  const std::string& FamilyName() const { return family_; }
  int LineHeight() const { return lineHeight_; }
  // Whether the face has a glyph for the code point.
  bool HasGlyph(uint32_t codepoint) const;

  // Tests: the glyph atlas as it stands (0xAARRGGBB, coverage in alpha).
  const std::vector<uint32_t>& AtlasPixels() const { return atlas_; }
  static constexpr uint32_t kAtlasSize = 512;

 private:
  struct Glyph {
    int16_t left = 0, top = 0;  // bitmap offset from the pen position on the baseline
    uint16_t width = 0, height = 0;
    uint16_t x = 0, y = 0;  // place in the atlas
    int16_t advance = 0;
  };
  struct Impl;
  struct Vertex;

  explicit CFont(gfx::CDevice& device);
  const Glyph* FindGlyph(uint32_t codepoint);
  bool Rasterize(uint32_t codepoint, Glyph& glyph);
  void ResetAtlas();
  // Width in pixels of codepoints_[begin, end).
  int Measure(size_t begin, size_t end, uint32_t format) const;
  void FlushQuads();

  gfx::CDevice& device_;
  std::unique_ptr<Impl> impl_;
  std::string facePath_, family_;
  int ascender_ = 0, lineHeight_ = 16, tabWidth_ = 64;
  std::unordered_map<uint32_t, Glyph> glyphs_;
  std::vector<uint32_t> atlas_;
  gfx::TexturePtr texture_;
  bool atlasDirty_ = false;
  uint32_t shelfX_ = 0, shelfY_ = 0, shelfHeight_ = 0;
  std::vector<uint32_t> codepoints_;  // scratch, kept to avoid per-call allocation
  std::vector<Vertex> quads_;         // scratch vertex data
};

// UTF-8 to code points; malformed sequences become U+FFFD.
void DecodeUtf8(const char* text, size_t length, std::vector<uint32_t>& out);

}  // namespace gfxutil
