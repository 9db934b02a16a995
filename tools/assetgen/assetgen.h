// The content generator: writes the game's whole data tree, deterministically, from code.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

// Output helpers shared by the generators. Paths are relative to the data root's parent
// (e.g. "data/image/logo.jpg"); folders are created as needed.
class COutput {
 public:
  explicit COutput(std::string root) : root_(std::move(root)) {}
  // The game folder the "data/..." paths live under.
  const std::string& Root() const { return root_; }
  std::string PathOf(const std::string& relative) const { return root_ + "/" + relative; }
  bool Write(const std::string& relative, const std::vector<uint8_t>& bytes) const;
  bool WriteText(const std::string& relative, const std::string& text) const;

 private:
  std::string root_;
};

// Each generator writes its part of the tree and returns false on failure.
bool GenerateScripts(const COutput& out);
bool GenerateImages(const COutput& out);
bool GenerateSounds(const COutput& out);
bool GenerateParticles(const COutput& out);
bool GenerateModels(const COutput& out);
bool GenerateStages(const COutput& out);
// The desktop icon at 48, 128 and 256 pixels, or at the sizes given: DIR/<n>x<n>/brimmel.png.
bool GenerateIcons(const std::string& dir, const std::vector<int>& sizes = {48, 128, 256});

}  // namespace assetgen
