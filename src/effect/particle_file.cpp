#include "effect/particle_file.h"

#include <cstdlib>
#include <list>

#include "effect/sprite.h"
#include "resource/resource_cache.h"
#include "resource/script_file.h"

namespace {

// The section's values by position; a section with fewer lines (or none) reads 0 for the rest.
class Values {
 public:
  Values(const CScriptFile& script, const char* keyword) : lines_(script.GetSection(keyword)) {}
  int Int(size_t index) const {
    auto it = lines_.begin();
    for (size_t i = 0; i < index && it != lines_.end(); ++i) ++it;
    return it == lines_.end() ? 0 : std::atoi(it->c_str());
  }
  float Hundredths(size_t index) const { return static_cast<float>(Int(index)) * 0.01f; }
  gfxutil::Vector4 Vector() const {
    return gfxutil::Vector4(Hundredths(0), Hundredths(1), Hundredths(2), 0.0f);
  }
  const std::list<std::string>& Lines() const { return lines_; }

 private:
  std::list<std::string> lines_;
};

}  // namespace

CParticleFile::CParticleFile(const std::string& fileName, const ResourceCache<CSprite>* sprites) {
  const CScriptFile script(fileName);
  if (script.Loaded()) Parse(script, sprites);
}

CParticleFile::CParticleFile(const CScriptFile& script, const ResourceCache<CSprite>* sprites) {
  if (script.Loaded()) Parse(script, sprites);
}

void CParticleFile::Parse(const CScriptFile& script, const ResourceCache<CSprite>* sprites) {
  loaded_ = true;
  const Values spriteLines(script, "#sprite");
  if (!spriteLines.Lines().empty()) sprite = FindIn(sprites, spriteLines.Lines().front());
  speed = Values(script, "#speed").Vector();
  acceleration = Values(script, "#acceleration").Vector();
  rand = Values(script, "#rand").Vector();
  frict = Values(script, "#frict").Vector();
  alpha = static_cast<float>(Values(script, "#alpha").Int(0));
  const Values color(script, "#color");
  red = static_cast<uint8_t>(color.Int(0));
  green = static_cast<uint8_t>(color.Int(1));
  blue = static_cast<uint8_t>(color.Int(2));
  kill = static_cast<int16_t>(Values(script, "#kill").Int(0));
  scale = Values(script, "#scale").Hundredths(0);
}
