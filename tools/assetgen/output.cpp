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
