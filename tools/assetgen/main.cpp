// assetgen GAME_DIR: writes GAME_DIR/data/... (scripts, images, sounds, particles, models, stages).
// assetgen --icons DIR [SIZE...]: writes the icons, DIR/<n>x<n>/brimmel.png (48, 128 and 256 pixels
// unless sizes are given).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "assetgen.h"

int main(int argc, char** argv) {
  if (argc < 2 || (std::string(argv[1]) == "--icons" && argc < 3)) {
    std::fprintf(stderr, "usage: assetgen GAME_DIR | assetgen --icons DIR [SIZE...]\n");
    return 2;
  }
  if (std::string(argv[1]) == "--icons") {
    std::vector<int> sizes;
    for (int i = 3; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    return assetgen::GenerateIcons(argv[2], sizes.empty() ? std::vector<int>{48, 128, 256} : sizes) ? 0 : 1;
  }
  const assetgen::COutput out(argv[1]);
  // The tree is the generator's alone: start clean so files it no longer makes do not linger.
  std::error_code ec;
  std::filesystem::remove_all(out.PathOf("data"), ec);
  struct Step {
    const char* name;
    bool (*run)(const assetgen::COutput&);
  } steps[] = {
      {"scripts", assetgen::GenerateScripts}, {"images", assetgen::GenerateImages},
      {"sounds", assetgen::GenerateSounds},   {"particles", assetgen::GenerateParticles},
      {"models", assetgen::GenerateModels},   {"stages", assetgen::GenerateStages},
  };
  for (const Step& s : steps) {
    if (!s.run(out)) {
      std::fprintf(stderr, "assetgen: %s failed\n", s.name);
      return 1;
    }
  }
  return 0;
}
