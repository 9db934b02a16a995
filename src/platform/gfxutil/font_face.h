// Which font file a font description opens: fontconfig on the desktop, the face packed with the
// data in a browser.
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
