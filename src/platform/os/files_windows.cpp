// Windows: the wide calls, so a name outside the ANSI code page opens too.
#define WIN32_LEAN_AND_MEAN
#include <stdio.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "platform/os/files.h"

namespace os {

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
  std::wstring wideMode;
  for (const char* m = mode; m && *m; ++m) wideMode.push_back(static_cast<wchar_t>(*m));
  return _wfopen(PathFromUtf8(utf8Path).c_str(), wideMode.c_str());
}

bool ReadWholeFile(const std::string& utf8Path, std::vector<uint8_t>& out) {
  out.clear();
  // A folder does not open without FILE_FLAG_BACKUP_SEMANTICS, and a device is not a disk file.
  const HANDLE f = CreateFileW(PathFromUtf8(utf8Path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileType(f) == FILE_TYPE_DISK && GetFileSizeEx(f, &size) && size.QuadPart >= 0 &&
            static_cast<unsigned long long>(size.QuadPart) <= SIZE_MAX;
  if (ok) {
    out.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (ok && done < out.size()) {
      const DWORD want = static_cast<DWORD>(std::min<size_t>(out.size() - done, 1u << 30));
      DWORD got = 0;
      ok = ReadFile(f, out.data() + done, want, &got, nullptr) && got == want;
      done += got;
    }
  }
  CloseHandle(f);
  if (!ok) out.clear();
  return ok;
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
