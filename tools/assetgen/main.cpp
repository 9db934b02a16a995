// assetgen GAME_DIR: writes GAME_DIR/data/... (scripts, images, sounds, particles, models, stages).
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "assetgen.h"

namespace assetgen {

bool COutput::Write(const std::string& relative, const std::vector<uint8_t>& bytes) const {
  const std::filesystem::path p = PathOf(relative);
  std::error_code ec;
  std::filesystem::create_directories(p.parent_path(), ec);
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  if (!f) return false;
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

bool COutput::WriteText(const std::string& relative, const std::string& text) const {
  return Write(relative, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace assetgen

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: assetgen GAME_DIR\n");
    return 2;
  }
  const assetgen::COutput out(argv[1]);
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
