// A browser has no fontconfig and no system fonts the page may read: the Japanese Gothic face is
// packed with the game's data, and every description opens it.
#include <cstdio>

#include "platform/gfxutil/font_face.h"

namespace gfxutil {

constexpr const char* kPackedFace = "/fonts/ipag.ttf";

bool ChooseFace(const FontDesc& /*desc*/, FaceChoice& out) {
  std::FILE* f = std::fopen(kPackedFace, "rb");
  if (!f) return false;
  std::fclose(f);
  out.path = kPackedFace;
  out.family = "IPAGothic";
  out.index = 0;
  return true;
}

}  // namespace gfxutil
