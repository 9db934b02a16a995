#include "font_face.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cstdio>
#include <vector>

#include "platform/gfxutil/font.h"

namespace assetgen {

struct CFontFace::Impl {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~Impl() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

CFontFace::CFontFace() : impl_(std::make_unique<Impl>()) {}
CFontFace::~CFontFace() = default;

namespace {

// The file of an installed family, only when fontconfig really has it (not a substitute).
std::string FindFamily(const char* family) {
  std::string path;
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (!config) return path;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(config, pattern, &result);
  if (match) {
    FcChar8* file = nullptr;
    FcChar8* got = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, 0, &got) == FcResultMatch &&
        FcStrCmpIgnoreCase(got, reinterpret_cast<const FcChar8*>(family)) == 0 &&
        FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch)
      path = reinterpret_cast<const char*>(file);
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  FcConfigDestroy(config);
  return path;
}

}  // namespace

std::unique_ptr<CFontFace> CFontFace::Open() {
  std::string path = FindFamily("IPAPGothic");
  if (path.empty()) path = FindFamily("IPAGothic");
  if (path.empty()) {
    std::fprintf(stderr, "assetgen: the IPA Gothic font (fonts-ipafont-gothic) is not installed\n");
    return nullptr;
  }
  std::unique_ptr<CFontFace> font(new CFontFace());
  if (FT_Init_FreeType(&font->impl_->library) != 0 ||
      FT_New_Face(font->impl_->library, path.c_str(), 0, &font->impl_->face) != 0) {
    std::fprintf(stderr, "assetgen: cannot open %s\n", path.c_str());
    return nullptr;
  }
  font->path_ = path;
  return font;
}

float CFontFace::Measure(const std::string& text, int pixelSize, float spacing) {
  FT_Face face = impl_->face;
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize));
  std::vector<uint32_t> cps;
  gfxutil::DecodeUtf8(text.data(), text.size(), cps);
  float w = 0.0f;
  for (size_t i = 0; i < cps.size(); ++i) {
    if (FT_Load_Char(face, cps[i], FT_LOAD_DEFAULT) != 0) continue;
    w += static_cast<float>(face->glyph->advance.x) / 64.0f;
    if (i + 1 < cps.size()) w += spacing;
  }
  return w;
}

void CFontFace::Draw(CCanvas& canvas, const std::string& text, float x, float y, int pixelSize,
                     const CColor& colour, float spacing, float embolden) {
  FT_Face face = impl_->face;
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize));
  std::vector<uint32_t> cps;
  gfxutil::DecodeUtf8(text.data(), text.size(), cps);
  float pen = x;
  for (uint32_t cp : cps) {
    if (FT_Load_Char(face, cp, FT_LOAD_NO_BITMAP) != 0) continue;
    FT_GlyphSlot g = face->glyph;
    if (embolden > 0.0f && g->format == FT_GLYPH_FORMAT_OUTLINE)
      FT_Outline_Embolden(&g->outline, static_cast<FT_Pos>(embolden * 64.0f));
    if (FT_Render_Glyph(g, FT_RENDER_MODE_NORMAL) != 0) continue;
    const FT_Bitmap& bm = g->bitmap;
    const int ox = static_cast<int>(pen + 0.5f) + g->bitmap_left;
    const int oy = static_cast<int>(y + 0.5f) - g->bitmap_top;
    for (unsigned row = 0; row < bm.rows; ++row)
      for (unsigned col = 0; col < bm.width; ++col) {
        const uint8_t c = bm.buffer[static_cast<int>(row) * bm.pitch + static_cast<int>(col)];
        if (c) canvas.Blend(ox + static_cast<int>(col), oy + static_cast<int>(row), colour, c / 255.0f);
      }
    pen += static_cast<float>(g->advance.x) / 64.0f + embolden * 0.5f + spacing;
  }
}

void CFontFace::DrawCentred(CCanvas& canvas, const std::string& text, float cx, float y, int pixelSize,
                            const CColor& colour, float spacing, float embolden) {
  const float w = Measure(text, pixelSize, spacing) + embolden * 0.5f * static_cast<float>(text.size());
  Draw(canvas, text, cx - w * 0.5f, y, pixelSize, colour, spacing, embolden);
}

}  // namespace assetgen
