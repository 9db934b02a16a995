// POSIX file names are bytes, and ours are UTF-8 already.
#include "platform/os/files.h"

namespace os {

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
  return std::fopen(utf8Path.c_str(), mode);
}

bool IsFile(const std::string& utf8Path) {
  std::error_code ec;
  return !utf8Path.empty() && std::filesystem::is_regular_file(utf8Path, ec);
}

bool IsFolder(const std::string& utf8Path) {
  std::error_code ec;
  return !utf8Path.empty() && std::filesystem::is_directory(utf8Path, ec);
}

bool IsAbsolutePath(const std::string& utf8Path) { return !utf8Path.empty() && utf8Path.front() == '/'; }

}  // namespace os
