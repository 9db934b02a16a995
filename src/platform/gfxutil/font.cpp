#include "platform/gfxutil/font.h"

#include <ft2build.h>

#include "platform/gfxutil/font_face.h"
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gfxutil {

struct CFont::Impl {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~Impl() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

struct CFont::Vertex {
  float x, y, z, rhw;
  uint32_t diffuse;
  float u, v;
};

namespace {

constexpr uint32_t kScreenFvf = gfx::D3DFVF_XYZRHW | gfx::D3DFVF_DIFFUSE | gfx::D3DFVF_TEX1;

}  // namespace

void DecodeUtf8(const char* text, size_t length, std::vector<uint32_t>& out) {
  out.clear();
  const auto* s = reinterpret_cast<const uint8_t*>(text);
  size_t i = 0;
  while (i < length) {
    const uint8_t c = s[i];
    uint32_t cp, need, min;
    if (c < 0x80) {
      out.push_back(c);
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F, need = 1, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F, need = 2, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07, need = 3, min = 0x10000;
    } else {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    size_t k = 1;
    for (; k <= need && i + k < length && (s[i + k] & 0xC0) == 0x80; ++k) cp = cp << 6 | (s[i + k] & 0x3F);
    if (k <= need || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(0xFFFD);
      i += k;  // skip the lead byte and whatever continuation bytes followed it
      continue;
    }
    out.push_back(cp);
    i += k;
  }
}

CFont::CFont(gfx::CDevice& device) : device_(device), impl_(std::make_unique<Impl>()) {}
CFont::~CFont() = default;

std::unique_ptr<CFont> CFont::Create(gfx::CDevice& device, const FontDesc& desc) {
  if (desc.height <= 0 || desc.height > 256 || desc.width < 0 || desc.width > 256) return nullptr;
  FaceChoice choice;
  if (!ChooseFace(desc, choice)) return nullptr;
  std::unique_ptr<CFont> font(new CFont(device));
  Impl& ft = *font->impl_;
  if (FT_Init_FreeType(&ft.library) != 0) return nullptr;
  if (FT_New_Face(ft.library, choice.path.c_str(), choice.index, &ft.face) != 0) return nullptr;
  // A GDI width is the half-width advance; a monospace CJK face's half-width glyphs are half an em.
  const FT_UInt xppem = desc.width > 0 ? FT_UInt(desc.width * 2) : 0;
  if (FT_Set_Pixel_Sizes(ft.face, xppem, FT_UInt(desc.height)) != 0) return nullptr;
  const FT_Size_Metrics& m = ft.face->size->metrics;
  const int asc = int((m.ascender + 63) >> 6), dsc = int((-m.descender + 63) >> 6);
  font->lineHeight_ = desc.height;
  // The cell is the requested height; share it between ascent and descent as the face does.
  font->ascender_ = asc + dsc > 0 ? (asc * desc.height + (asc + dsc) / 2) / (asc + dsc) : desc.height;
  font->tabWidth_ = 8 * (desc.width > 0 ? desc.width : desc.height / 2);
  font->facePath_ = choice.path;
  font->family_ = choice.family;
  font->atlas_.assign(size_t(kAtlasSize) * kAtlasSize, 0);
  font->texture_ = device.CreateTexture(kAtlasSize, kAtlasSize, 1);
  if (!font->texture_) return nullptr;
  font->atlasDirty_ = true;
  font->codepoints_.reserve(256);
  font->quads_.reserve(6 * 256);
  return font;
}

bool CFont::HasGlyph(uint32_t codepoint) const {
  return impl_->face && FT_Get_Char_Index(impl_->face, codepoint) != 0;
}

void CFont::ResetAtlas() {
  glyphs_.clear();
  std::fill(atlas_.begin(), atlas_.end(), 0);
  shelfX_ = shelfY_ = shelfHeight_ = 0;
  atlasDirty_ = true;
}

bool CFont::Rasterize(uint32_t codepoint, Glyph& glyph) {
  FT_Face face = impl_->face;
  if (FT_Load_Char(face, codepoint, FT_LOAD_RENDER) != 0) return true;  // nothing to show, no space used
  const FT_GlyphSlot slot = face->glyph;
  const FT_Bitmap& bm = slot->bitmap;
  glyph.advance = int16_t(std::lround(slot->advance.x / 64.0));
  glyph.left = int16_t(slot->bitmap_left);
  glyph.top = int16_t(slot->bitmap_top);
  if (bm.width == 0 || bm.rows == 0) return true;
  if (bm.width + 1 > kAtlasSize || bm.rows + 1 > kAtlasSize) return true;
  if (shelfX_ + bm.width + 1 > kAtlasSize) {
    shelfX_ = 0;
    shelfY_ += shelfHeight_;
    shelfHeight_ = 0;
  }
  if (shelfY_ + bm.rows + 1 > kAtlasSize) return false;  // full
  glyph.x = uint16_t(shelfX_);
  glyph.y = uint16_t(shelfY_);
  glyph.width = uint16_t(bm.width);
  glyph.height = uint16_t(bm.rows);
  for (uint32_t r = 0; r < bm.rows; ++r) {
    const uint8_t* row = bm.buffer + ptrdiff_t(r) * bm.pitch;
    for (uint32_t c = 0; c < bm.width; ++c) {
      uint32_t a;
      if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
        a = (row[c >> 3] & (0x80 >> (c & 7))) ? 255 : 0;
      } else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
        a = bm.num_grays > 1 ? row[c] * 255u / (bm.num_grays - 1) : row[c];
      } else {
        a = 0;
      }
      atlas_[size_t(shelfY_ + r) * kAtlasSize + shelfX_ + c] = a << 24 | 0xFFFFFF;
    }
  }
  shelfX_ += bm.width + 1;
  shelfHeight_ = std::max(shelfHeight_, uint32_t(bm.rows) + 1);
  atlasDirty_ = true;
  return true;
}

const CFont::Glyph* CFont::FindGlyph(uint32_t codepoint) {
  auto it = glyphs_.find(codepoint);
  if (it != glyphs_.end()) return &it->second;
  Glyph g;
  if (!Rasterize(codepoint, g)) return nullptr;
  return &glyphs_.emplace(codepoint, g).first->second;
}

int CFont::Measure(size_t begin, size_t end, uint32_t format) const {
  int x = 0;
  for (size_t k = begin; k < end; ++k) {
    const uint32_t cp = codepoints_[k];
    if (cp == '\t') {
      if (format & DT_EXPANDTABS) x = (x / tabWidth_ + 1) * tabWidth_;
      continue;
    }
    auto it = glyphs_.find(cp);
    if (it != glyphs_.end()) x += it->second.advance;
  }
  return x;
}

int CFont::DrawText(const char* text, int count, Rect* rect, uint32_t format, uint32_t color) {
  if (!text || !rect) return 0;
  const size_t length = count < 0 ? std::strlen(text) : size_t(count);
  DecodeUtf8(text, length, codepoints_);
  if (format & DT_SINGLELINE)
    for (uint32_t& cp : codepoints_)
      if (cp == '\n' || cp == '\r') cp = ' ';

  // Every glyph of the text into the atlas; when it fills up, start it afresh with this text only.
  for (int attempt = 0; attempt < 2; ++attempt) {
    bool full = false;
    for (uint32_t cp : codepoints_) {
      if (cp == '\n' || cp == '\r' || cp == '\t') continue;
      if (!FindGlyph(cp)) {
        full = true;
        break;
      }
    }
    if (!full) break;
    ResetAtlas();
  }

  // Lines as [begin, end) ranges of code points.
  int lines = 1;
  for (uint32_t cp : codepoints_) lines += cp == '\n';
  const int totalHeight = lines * lineHeight_;
  int widest = 0;
  for (size_t i = 0, begin = 0; i <= codepoints_.size(); ++i) {
    if (i == codepoints_.size() || codepoints_[i] == '\n') {
      widest = std::max(widest, Measure(begin, i, format));
      begin = i + 1;
    }
  }
  if (format & DT_CALCRECT) {
    rect->right = rect->left + widest;
    rect->bottom = rect->top + totalHeight;
    return totalHeight;
  }

  if (atlasDirty_ && texture_) {
    texture_->SetLevel(0, atlas_.data());
    atlasDirty_ = false;
  }

  int y = rect->top;
  if (format & DT_VCENTER)
    y = rect->top + (rect->bottom - rect->top - totalHeight) / 2;
  else if (format & DT_BOTTOM)
    y = rect->bottom - totalHeight;
  const bool clip = !(format & DT_NOCLIP);
  const float inv = 1.0f / float(kAtlasSize);

  std::vector<Vertex>& quads = quads_;
  quads.clear();
  size_t begin = 0;
  for (size_t i = 0; i <= codepoints_.size(); ++i) {
    if (i != codepoints_.size() && codepoints_[i] != '\n') continue;
    const int lineWidth = Measure(begin, i, format);
    int x = rect->left;
    if (format & DT_CENTER)
      x = rect->left + (rect->right - rect->left - lineWidth) / 2;
    else if (format & DT_RIGHT)
      x = rect->right - lineWidth;
    const int penStart = x;
    const int baseline = y + ascender_;
    for (size_t k = begin; k < i; ++k) {
      const uint32_t cp = codepoints_[k];
      if (cp == '\t') {
        if (format & DT_EXPANDTABS) x = penStart + ((x - penStart) / tabWidth_ + 1) * tabWidth_;
        continue;
      }
      auto it = glyphs_.find(cp);
      if (it == glyphs_.end()) continue;
      const Glyph& g = it->second;
      if (g.width && g.height) {
        float x0 = float(x + g.left), y0 = float(baseline - g.top);
        float x1 = x0 + g.width, y1 = y0 + g.height;
        float u0 = g.x * inv, v0 = g.y * inv, u1 = (g.x + g.width) * inv, v1 = (g.y + g.height) * inv;
        bool visible = true;
        if (clip) {
          const float cl = float(rect->left), ct = float(rect->top), cr = float(rect->right),
                      cb = float(rect->bottom);
          if (x0 >= cr || x1 <= cl || y0 >= cb || y1 <= ct) visible = false;
          if (visible) {
            const float du = (u1 - u0) / (x1 - x0), dv = (v1 - v0) / (y1 - y0);
            if (x0 < cl) u0 += (cl - x0) * du, x0 = cl;
            if (x1 > cr) u1 -= (x1 - cr) * du, x1 = cr;
            if (y0 < ct) v0 += (ct - y0) * dv, y0 = ct;
            if (y1 > cb) v1 -= (y1 - cb) * dv, y1 = cb;
          }
        }
        if (visible) {
          // Pixel centres sit on whole coordinates: shift by half a pixel so texels map 1:1.
          x0 -= 0.5f, x1 -= 0.5f, y0 -= 0.5f, y1 -= 0.5f;
          const Vertex a{x0, y0, 0, 1, color, u0, v0}, b{x1, y0, 0, 1, color, u1, v0};
          const Vertex c{x0, y1, 0, 1, color, u0, v1}, d{x1, y1, 0, 1, color, u1, v1};
          quads.insert(quads.end(), {a, b, c, c, b, d});
        }
      }
      x += g.advance;
    }
    begin = i + 1;
    y += lineHeight_;
  }
  FlushQuads();
  return totalHeight;
}

void CFont::FlushQuads() {
  static_assert(sizeof(Vertex) == 28, "XYZRHW | DIFFUSE | TEX1");
  std::vector<Vertex>& quads = quads_;
  if (quads.empty()) return;
  using namespace gfx;
  // Like ID3DXFont, draw with private state and hand the caller's back untouched.
  static constexpr RenderState kStates[] = {
      D3DRS_ZENABLE,         D3DRS_ZWRITEENABLE, D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND, D3DRS_DESTBLEND,
      D3DRS_ALPHATESTENABLE, D3DRS_FOGENABLE,    D3DRS_CULLMODE,         D3DRS_LIGHTING, D3DRS_FILLMODE};
  static constexpr uint32_t kValues[] = {
      D3DZB_FALSE, 0, 1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0, 0, D3DCULL_NONE, 0, D3DFILL_SOLID};
  static constexpr TextureStageState kStages[] = {D3DTSS_COLOROP,   D3DTSS_COLORARG1, D3DTSS_COLORARG2,
                                                  D3DTSS_ALPHAOP,   D3DTSS_ALPHAARG1, D3DTSS_ALPHAARG2,
                                                  D3DTSS_MINFILTER, D3DTSS_MAGFILTER, D3DTSS_MIPFILTER,
                                                  D3DTSS_ADDRESSU,  D3DTSS_ADDRESSV};
  static constexpr uint32_t kStageValues[] = {
      D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE,   D3DTA_TEXTURE,    D3DTA_DIFFUSE,
      D3DTEXF_POINT,   D3DTEXF_POINT, D3DTEXF_NONE,  D3DTADDRESS_CLAMP, D3DTADDRESS_CLAMP};
  constexpr size_t kNumStates = sizeof kStates / sizeof kStates[0];
  constexpr size_t kNumStages = sizeof kStages / sizeof kStages[0];
  uint32_t saved[kNumStates], savedStages[kNumStages];
  for (size_t k = 0; k < kNumStates; ++k) {
    saved[k] = device_.GetRenderState(kStates[k]);
    device_.SetRenderState(kStates[k], kValues[k]);
  }
  for (size_t k = 0; k < kNumStages; ++k) {
    savedStages[k] = device_.GetTextureStageState(0, kStages[k]);
    device_.SetTextureStageState(0, kStages[k], kStageValues[k]);
  }
  device_.SetTexture(0, texture_.get());
  device_.SetVertexShader(kScreenFvf);
  device_.DrawPrimitiveUP(D3DPT_TRIANGLELIST, uint32_t(quads.size() / 3), quads.data(), sizeof(Vertex));
  device_.SetTexture(0, nullptr);
  for (size_t k = 0; k < kNumStates; ++k) device_.SetRenderState(kStates[k], saved[k]);
  for (size_t k = 0; k < kNumStages; ++k) device_.SetTextureStageState(0, kStages[k], savedStages[k]);
  quads.clear();
}

}  // namespace gfxutil
