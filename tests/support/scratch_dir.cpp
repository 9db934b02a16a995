#include "support/scratch_dir.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

CScratchGameDir::CScratchGameDir(const std::string& name) {
  namespace fs = std::filesystem;
  previous_ = fs::current_path().string();
  path_ = (fs::temp_directory_path() / ("brimmel_" + name + "_" + std::to_string(getpid()))).string();
  fs::remove_all(path_);
  fs::create_directories(path_);
  fs::current_path(path_);
}

CScratchGameDir::~CScratchGameDir() {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::current_path(previous_, ec);
  fs::remove_all(path_, ec);
}

void CScratchGameDir::Write(const std::string& relative, const std::string& text) const {
  const std::filesystem::path p = std::filesystem::path(path_) / relative;
  std::filesystem::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

void CScratchGameDir::WriteEmptySceneScripts() const {
  Write("data/scr/teamlogo.txt", "#type\nLOGO\n#end\n#EOF\n");
  Write("data/scr/title.txt", "#type\nTITLE\n#end\n#EOF\n");
  Write("data/scr/telop.txt", "#type\nTELOP\n#end\n#EOF\n");
  Write("data/scr/stg00_home.txt", "#type\nPICTURE\n#end\n#EOF\n");
  Write("data/scr/stg02_forest.txt", "#type\nPICTURE\n#end\n#EOF\n");
}

std::string ReadFileText(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}
