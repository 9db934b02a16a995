// Every fuzz target run over its seeds in the ordinary (and sanitizer) build: the committed seeds,
// the matching files of the generated data tree, and cut and bit-flipped copies of the small ones.
// A target stops the program when a parser breaks one of its invariants; the input is named first.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "fuzz_target.h"
#include "support/scratch_dir.h"

namespace fs = std::filesystem;

namespace {

std::map<std::string, FuzzEntry>& Targets() {
  static std::map<std::string, FuzzEntry> targets;
  return targets;
}

// Named in the abort handler, so a failing run says which input it was.
char currentInput[1024] = "";

void OnAbort(int) {
  const char prefix[] = "\nfuzz replay: the parser broke an invariant on ";
  [[maybe_unused]] ssize_t w = write(2, prefix, sizeof prefix - 1);
  w = write(2, currentInput, std::strlen(currentInput));
  w = write(2, "\n", 1);
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string XFormat(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  char header[16] = {};
  in.read(header, sizeof header);
  return std::string(header + 8, 4);
}

// Which generated files feed which target (the same rule scripts/fuzz uses).
bool DataFileFeeds(const std::string& target, const fs::path& path) {
  const std::string name = path.filename().string();
  if (target == "script_file") return EndsWith(name, ".txt") || EndsWith(name, ".par");
  if (target == "particle_file") return EndsWith(name, ".par");
  if (target == "collision_file") return EndsWith(name, ".dec");
  if (target == "szdd") return EndsWith(name, "enc");
  if (target == "texture_bmp") return EndsWith(name, ".bmp");
  if (target == "texture_dds") return EndsWith(name, ".dds");
  if (target == "texture_jpeg") return EndsWith(name, ".jpg");
  if (target == "wave_file") return EndsWith(name, ".wav");
  if (target == "ini_profile") return EndsWith(name, ".ini");
  if (EndsWith(name, ".mdl") || EndsWith(name, ".x")) {
    const std::string format = XFormat(path);
    if (target == "xfile_text") return format == "txt ";
    if (target == "xfile_binary") return format == "bin ";
    if (target == "xfile_compressed") return format == "tzip" || format == "bzip";
  }
  return false;
}

// Whole generated files above this size are left to the content room, which loads them anyway.
constexpr uintmax_t kLargestDataFile = 1u << 20;
// Cut and flipped copies are made of inputs up to this size.
constexpr size_t kLargestMutated = 64 * 1024;

std::vector<fs::path> SeedFiles(const std::string& target) {
  std::vector<fs::path> files;
  const fs::path own = fs::path(BRIMMEL_SOURCE_DIR) / "fuzz" / "seeds" / target;
  if (fs::is_directory(own))
    for (const auto& e : fs::recursive_directory_iterator(own))
      if (e.is_regular_file()) files.push_back(e.path());
  const fs::path game(BRIMMEL_GAME_DIR);
  if (fs::is_directory(game))
    for (const auto& e : fs::recursive_directory_iterator(game))
      if (e.is_regular_file() && e.file_size() <= kLargestDataFile && DataFileFeeds(target, e.path()))
        files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

void Replay(FuzzEntry entry, const std::string& label, const std::vector<uint8_t>& bytes) {
  std::snprintf(currentInput, sizeof currentInput, "%s", label.c_str());
  // An exact-size heap copy, so that reading one byte past the input is caught under ASan.
  std::unique_ptr<uint8_t[]> copy(new uint8_t[std::max<size_t>(bytes.size(), 1)]);
  if (!bytes.empty()) std::memcpy(copy.get(), bytes.data(), bytes.size());
  EXPECT_EQ(entry(copy.get(), bytes.size()), 0) << label;
}

class FuzzReplay : public ::testing::TestWithParam<std::string> {
 protected:
  static void SetUpTestSuite() { std::signal(SIGABRT, OnAbort); }
};

TEST_P(FuzzReplay, EverySeedAndItsDamagedCopies) {
  const std::string target = GetParam();
  const FuzzEntry entry = Targets().at(target);
  const std::vector<fs::path> seeds = SeedFiles(target);
  ASSERT_FALSE(seeds.empty()) << "no seeds for " << target;
  size_t runs = 0;
  for (const fs::path& seed : seeds) {
    const std::vector<uint8_t> bytes = ReadFileBytes(seed.string());
    Replay(entry, seed.string(), bytes);
    ++runs;
    if (bytes.size() > kLargestMutated) continue;
    // Cut at a spread of lengths, headers included.
    for (size_t cut : {size_t{0}, size_t{1}, size_t{4}, size_t{12}, size_t{17}, bytes.size() / 3,
                       bytes.size() / 2, bytes.size() - std::min<size_t>(bytes.size(), 1)}) {
      if (cut >= bytes.size()) continue;
      Replay(entry, seed.string() + " cut to " + std::to_string(cut),
             std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(cut)));
      ++runs;
    }
    // Single bytes set to extremes at positions spread over the file (sizes, counts, tags).
    for (size_t k = 0; k < 24 && !bytes.empty(); ++k) {
      std::vector<uint8_t> flipped = bytes;
      const size_t at = (k < 16 ? k * 4 + 4 : (bytes.size() * (k - 15)) / 9) % bytes.size();
      flipped[at] = (k & 1) ? 0xFF : static_cast<uint8_t>(flipped[at] ^ 0x80);
      Replay(entry, seed.string() + " with byte " + std::to_string(at) + " changed", flipped);
      ++runs;
    }
  }
  RecordProperty("inputs", static_cast<int>(runs));
}

std::vector<std::string> TargetNames() {
  std::vector<std::string> names;
  for (const auto& [name, entry] : Targets()) names.push_back(name);
  return names;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, ::testing::ValuesIn(TargetNames()),
                         [](const auto& info) { return info.param; });

// Each committed seed folder belongs to a target, and each target has committed seeds of its own
// (the generated tree alone would leave it untested where that tree is missing).
TEST(FuzzReplaySeeds, FoldersAndTargetsMatch) {
  const fs::path root = fs::path(BRIMMEL_SOURCE_DIR) / "fuzz" / "seeds";
  std::vector<std::string> folders;
  for (const auto& e : fs::directory_iterator(root))
    if (e.is_directory()) {
      folders.push_back(e.path().filename().string());
      EXPECT_FALSE(fs::is_empty(e.path())) << e.path();
    }
  std::sort(folders.begin(), folders.end());
  EXPECT_EQ(folders, TargetNames());
}

}  // namespace

bool RegisterFuzzTarget(const char* name, FuzzEntry entry) { return Targets().emplace(name, entry).second; }
