// Generating the data tree twice gives the same bytes, and fast enough for every build.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/os/files.h"
#include "support/content_fixture.h"

namespace contenttest {
namespace {

std::map<std::string, std::vector<uint8_t>> ReadTree(const std::string& root) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root + "/data")) {
    // Dot files are stamps the build leaves beside the tree, not the generator's output.
    if (!e.is_regular_file() || e.path().filename().string()[0] == '.') continue;
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(os::ReadWholeFile(e.path().string(), bytes));
    files[std::filesystem::relative(e.path(), root).string()] = std::move(bytes);
  }
  return files;
}

TEST(ContentRegeneration, SecondRunWritesTheSameBytes) {
  ASSERT_FALSE(GameDir().empty());
  const std::string again = OutputPath("game_again");
  ASSERT_TRUE(RunGenerator(again));
  const auto a = ReadTree(GameDir()), b = ReadTree(again);
  ASSERT_EQ(a.size(), b.size());
  for (const auto& [name, bytes] : a) {
    auto it = b.find(name);
    ASSERT_NE(it, b.end()) << name;
    EXPECT_TRUE(bytes == it->second) << name << " differs between runs";
  }
  EXPECT_GT(a.count("data/mdl/player/player.mdl"), 0u);
  std::filesystem::remove_all(again);
}

}  // namespace
}  // namespace contenttest
