// assetgen GAME_DIR: writes GAME_DIR/data/... (scripts, images, sounds, particles, models, stages).
#include <cstdio>
#include <filesystem>

#include "assetgen.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: assetgen GAME_DIR\n");
    return 2;
  }
  const assetgen::COutput out(argv[1]);
  // The tree is the generator's alone: start clean so files it no longer makes do not linger.
  std::error_code ec;
  std::filesystem::remove_all(out.PathOf("data"), ec);
  struct Step {
    const char* name;
    bool (*run)(const assetgen::COutput&);
  } steps[] = {
      {"scripts", assetgen::GenerateScripts},     {"images", assetgen::GenerateImages},
      {"sounds", assetgen::GenerateSounds},       {"particles", assetgen::GenerateParticles},
      {"models", assetgen::GenerateModels},       {"stages", assetgen::GenerateStages},
  };
  for (const Step& s : steps) {
    if (!s.run(out)) {
      std::fprintf(stderr, "assetgen: %s failed\n", s.name);
      return 1;
    }
  }
  return 0;
}
