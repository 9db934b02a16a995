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

// A second, private run of the generator, made only when a test compares against it.
struct SecondRun {
  std::string dir = RunGenerator("second");
  ~SecondRun() {
    std::error_code ec;
    if (!dir.empty()) std::filesystem::remove_all(dir, ec);
  }
};

}  // namespace

// The build generates the tree once into the game folder; every test process reads that one.
const std::string& GameDir() {
  static const std::string dir = BRIMMEL_GAME_DIR;
  return dir;
}

const std::string& SecondGameDir() {
  static SecondRun run;
  return run.dir;
}

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
