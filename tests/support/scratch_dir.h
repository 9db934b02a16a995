// A throw-away game folder for tests: made fresh, entered as the working directory, removed after.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class CScratchGameDir {
 public:
  // name should be unique per test (tests run in parallel processes).
  explicit CScratchGameDir(const std::string& name);
  ~CScratchGameDir();
  CScratchGameDir(const CScratchGameDir&) = delete;
  CScratchGameDir& operator=(const CScratchGameDir&) = delete;

  void Write(const std::string& relative, const std::string& text) const;
  // Scene scripts for every scene, naming no files, so the whole flow runs without content.
  void WriteEmptySceneScripts() const;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::string previous_;
};

// A whole file, empty when missing.
std::string ReadFileText(const std::string& path);
std::vector<uint8_t> ReadFileBytes(const std::string& path);
