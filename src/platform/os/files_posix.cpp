// POSIX file names are bytes, and ours are UTF-8 already.
#include <sys/stat.h>

#include <memory>

#include "platform/os/files.h"

namespace os {

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
  return std::fopen(utf8Path.c_str(), mode);
}

bool ReadWholeFile(const std::string& utf8Path, std::vector<uint8_t>& out) {
  out.clear();
  std::unique_ptr<FILE, int (*)(FILE*)> f(OpenFile(utf8Path, "rb"), &std::fclose);
  if (!f) return false;
  struct stat st;
  if (fstat(fileno(f.get()), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return false;
  out.resize(static_cast<size_t>(st.st_size));
  if (!out.empty() && std::fread(out.data(), 1, out.size(), f.get()) != out.size()) {
    out.clear();
    return false;
  }
  return true;
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
