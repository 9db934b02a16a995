// The picture scenes' scripts: the scene kind and the images each scene draws. No "#bgm": the
// front end is silent but for its effects.
#include <string>

#include "assetgen.h"

namespace assetgen {

namespace {
std::string PictureScript(const char* type, std::initializer_list<const char*> sprites) {
  std::string s = std::string("#type\n") + type + "\n#end\n#sprite\n";
  for (const char* sprite : sprites) s += std::string(sprite) + "\n";
  return s + "#end\n#EOF\n";
}
}  // namespace

bool GenerateScripts(const COutput& out) {
  return out.WriteText("data/scr/teamlogo.txt", PictureScript("LOGO", {"data/image/logo.jpg"})) &&
         out.WriteText("data/scr/title.txt",
                       PictureScript("TITLE", {"data/image/title.jpg", "data/image/title_moji.bmp"})) &&
         out.WriteText("data/scr/telop.txt", PictureScript("TELOP", {"data/image/stg00_home.jpg"}));
}

}  // namespace assetgen
