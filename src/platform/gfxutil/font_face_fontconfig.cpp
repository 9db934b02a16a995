// The desktop: fontconfig picks the face file.
#include <fontconfig/fontconfig.h>

#include <memory>

#include "platform/gfxutil/font_face.h"

namespace gfxutil {
namespace {

struct PatternDeleter {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

// One fontconfig query; `needJapanese` refuses faces without kana and kanji.
bool MatchFace(PatternPtr pattern, bool needJapanese, FaceChoice& out) {
  if (!pattern) return false;
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  PatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
  if (!match) return false;
  FcChar8* file = nullptr;
  if (FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || !file) return false;
  if (needJapanese) {
    FcCharSet* chars = nullptr;
    if (FcPatternGetCharSet(match.get(), FC_CHARSET, 0, &chars) != FcResultMatch || !chars) return false;
    if (!FcCharSetHasChar(chars, 0x3042) || !FcCharSetHasChar(chars, 0x6F22)) return false;  // あ 漢
  }
  FcChar8* family = nullptr;
  FcPatternGetString(match.get(), FC_FAMILY, 0, &family);
  FcPatternGetInteger(match.get(), FC_INDEX, 0, &out.index);
  out.path = reinterpret_cast<const char*>(file);
  out.family = family ? reinterpret_cast<const char*>(family) : "";
  return true;
}

}  // namespace

bool ChooseFace(const FontDesc& desc, FaceChoice& out) {
  if (!FcInit()) return false;
  const bool japanese = desc.charSet == 128;
  // The requested family first (fontconfig has no alias for Windows face names, so the language
  // is what steers it), then any Japanese-capable monospace face, then any Japanese face.
  if (!desc.faceName.empty()) {
    PatternPtr p(FcNameParse(reinterpret_cast<const FcChar8*>(japanese ? ":lang=ja" : "")));
    if (p) {
      FcPatternAddString(p.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(desc.faceName.c_str()));
      if (MatchFace(std::move(p), japanese, out)) return true;
    }
  }
  for (const char* query : {":lang=ja:spacing=mono", ":lang=ja", ":spacing=mono"}) {
    if (MatchFace(PatternPtr(FcNameParse(reinterpret_cast<const FcChar8*>(query))),
                  japanese && query[1] == 'l', out))
      return true;
  }
  return false;
}

}  // namespace gfxutil
