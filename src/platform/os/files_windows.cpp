// Windows: the wide C library call, so a name outside the ANSI code page opens too.
#include <stdio.h>

#include "platform/os/files.h"

namespace os {

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
  std::wstring wideMode;
  for (const char* m = mode; m && *m; ++m) wideMode.push_back(static_cast<wchar_t>(*m));
  return _wfopen(PathFromUtf8(utf8Path).c_str(), wideMode.c_str());
}

}  // namespace os
