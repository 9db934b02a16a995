// POSIX file names are bytes, and ours are UTF-8 already.
#include "platform/os/files.h"

namespace os {

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
  return std::fopen(utf8Path.c_str(), mode);
}

}  // namespace os
