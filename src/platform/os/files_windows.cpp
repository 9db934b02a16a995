// Windows: the wide calls, so a name outside the ANSI code page opens too.
#define WIN32_LEAN_AND_MEAN
#include <stdio.h>
#include <windows.h>

#include "platform/os/files.h"

namespace os {

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
  std::wstring wideMode;
  for (const char* m = mode; m && *m; ++m) wideMode.push_back(static_cast<wchar_t>(*m));
  return _wfopen(PathFromUtf8(utf8Path).c_str(), wideMode.c_str());
}

namespace {
DWORD Attributes(const std::string& utf8Path) {
  return utf8Path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(PathFromUtf8(utf8Path).c_str());
}
}  // namespace

bool IsFile(const std::string& utf8Path) {
  const DWORD a = Attributes(utf8Path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolder(const std::string& utf8Path) {
  const DWORD a = Attributes(utf8Path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsAbsolutePath(const std::string& utf8Path) {
  const auto separator = [](char c) { return c == '/' || c == '\\'; };
  if (utf8Path.size() >= 2 && separator(utf8Path[0]) && separator(utf8Path[1])) return true;
  return PathFromUtf8(utf8Path).is_absolute();
}

}  // namespace os
