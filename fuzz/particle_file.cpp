// Particle files of any content: a definition is always made, its vector parts keep w at 0, and no
// sprite is attached without a sprite cache.
#include "effect/particle_file.h"

#include <string>

#include "fuzz_target.h"
#include "resource/script_file.h"

FUZZ_TARGET(particle_file) {
  const CScriptFile script = CScriptFile::FromText(std::string(reinterpret_cast<const char*>(data), size));
  const CParticleFile particle(script, nullptr);
  FUZZ_CHECK(particle.Loaded());
  FUZZ_CHECK(particle.speed.w == 0 && particle.rand.w == 0);
  FUZZ_CHECK(particle.acceleration.w == 0 && particle.frict.w == 0);
  FUZZ_CHECK(!particle.sprite);
  return 0;
}
