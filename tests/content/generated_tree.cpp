#include "generated_tree.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace content_test {

namespace {

std::string RunGenerator(const char* tag) {
  const std::filesystem::path dir = std::filesystem::path(BRIMMEL_TEST_OUTPUT_DIR) /
                                    ("content-gen-" + std::to_string(getpid()) + "-" + tag);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  std::filesystem::create_directories(dir, ec);
  const std::string cmd = std::string("\"") + BRIMMEL_ASSETGEN + "\" \"" + dir.string() + "\"";
  if (std::system(cmd.c_str()) != 0) return "";
  return dir.string();
}

struct Runs {
  std::string first = RunGenerator("a");
  std::string second = RunGenerator("b");
  ~Runs() {
    std::error_code ec;
    if (!first.empty()) std::filesystem::remove_all(first, ec);
    if (!second.empty()) std::filesystem::remove_all(second, ec);
  }
};

Runs& TheRuns() {
  static Runs runs;
  return runs;
}

}  // namespace

const std::string& GameDir() { return TheRuns().first; }
const std::string& SecondGameDir() { return TheRuns().second; }

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return {};
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string PreviewDir() {
  const std::string dir = std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/content-preview";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

}  // namespace content_test
