// Which font file a font description opens, one back end per platform: fontconfig on Linux
// (font_face_fontconfig.cpp), the face beside the program or else one Windows has registered
// (font_face_windows.cpp), the face packed with the data in a browser (font_face_web.cpp).
#pragma once
#include <string>

#include "platform/gfxutil/font.h"

namespace gfxutil {

struct FaceChoice {
  std::string path, family;
  int index = 0;
};

// False when no usable face is found.
bool ChooseFace(const FontDesc& desc, FaceChoice& out);

}  // namespace gfxutil
