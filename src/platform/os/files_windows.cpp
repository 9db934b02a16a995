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

namespace internal {
namespace {

std::wstring Wide(const std::string& utf8Path) { return PathFromUtf8(utf8Path).wstring(); }

std::string Utf8(const wchar_t* w, int length) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w, length, nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, w, length, s.data(), n, nullptr, nullptr);
  return s;
}

// "cannot write C:\...\TORIDEN.ini.new: Access is denied." as the system words the error.
std::string Failed(const char* what, const std::string& path, DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string reason = n && text ? Utf8(text, static_cast<int>(n)) : "error " + std::to_string(code);
  LocalFree(text);
  while (!reason.empty() && (reason.back() == ' ' || reason.back() == '\r' || reason.back() == '\n'))
    reason.pop_back();
  return std::string(what) + " " + DisplayPath(path) + ": " + reason;
}

}  // namespace

bool WriteTarget(const std::string& utf8Path, std::string& target, std::string& error) {
  target = utf8Path;
  const DWORD a = Attributes(utf8Path);
  if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
  // A symbolic link: the file it leads to is the one to change (a rename would replace the link).
  const HANDLE h =
      CreateFileW(Wide(utf8Path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    error = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND
                ? DisplayPath(utf8Path) + " is a link to a file that is not there"
                : Failed("cannot follow the link", utf8Path, code);
    return false;
  }
  std::wstring path(MAX_PATH, L'\0');
  DWORD n = 0;
  for (;;) {
    n = GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    if (n < path.size()) break;
    path.resize(n + 1);
  }
  const DWORD code = GetLastError();
  CloseHandle(h);
  if (n == 0) {
    error = Failed("cannot follow the link", utf8Path, code);
    return false;
  }
  path.resize(n);
  // "\\?\C:\..." and "\\?\UNC\server\..." as the player knows them, where no longer than the
  // ordinary calls take.
  if (n < MAX_PATH && path.rfind(L"\\\\?\\UNC\\", 0) == 0)
    path.replace(0, 8, L"\\\\");
  else if (n < MAX_PATH && path.rfind(L"\\\\?\\", 0) == 0 && path.size() > 6 && path[5] == L':')
    path.erase(0, 4);
  target = Utf8(path.c_str(), static_cast<int>(path.size()));
  return true;
}

bool IsReadOnly(const std::string& utf8Path) {
  const DWORD a = Attributes(utf8Path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}

bool WriteNewFile(const std::string& utf8Path, std::string_view text, const std::string&,
                  std::string& error) {
  const std::wstring path = Wide(utf8Path);
  // A leftover of a write that was cut short (an older game's copy of a read-only file among them).
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(path.c_str());
  const HANDLE h =
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = Failed("cannot write", utf8Path, GetLastError());
    return false;
  }
  DWORD code = 0;
  for (size_t done = 0; !code && done < text.size();) {
    DWORD wrote = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1u << 20));
    if (!WriteFile(h, text.data() + done, chunk, &wrote, nullptr) || wrote == 0)
      code = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    done += wrote;
  }
  if (!code && !FlushFileBuffers(h)) code = GetLastError();
  if (!CloseHandle(h) && !code) code = GetLastError();
  if (code) {
    DeleteFileW(path.c_str());
    error = Failed("cannot write", utf8Path, code);
    return false;
  }
  return true;
}

bool PutInPlace(const std::string& from, const std::string& to, std::string& error) {
  // Write-through: the call returns once the move is on the disk.
  if (!MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = Failed("cannot replace", to, GetLastError());
    DeleteFileW(Wide(from).c_str());
    return false;
  }
  return true;
}

void RemoveFile(const std::string& utf8Path) { DeleteFileW(Wide(utf8Path).c_str()); }

}  // namespace internal

// After the helpers above: a failed read is worded as the rewrite's errors are.
bool ReadWholeFile(const std::string& utf8Path, std::vector<uint8_t>& out, ReadFailure* why) {
  out.clear();
  // A folder does not open without FILE_FLAG_BACKUP_SEMANTICS, and a device is not a disk file.
  const HANDLE f = CreateFileW(PathFromUtf8(utf8Path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD code = f == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
  LARGE_INTEGER size{};
  if (code == ERROR_SUCCESS &&
      (GetFileType(f) != FILE_TYPE_DISK || !GetFileSizeEx(f, &size) || size.QuadPart < 0 ||
       static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX))
    code = ERROR_INVALID_FUNCTION;
  if (code == ERROR_SUCCESS) {
    out.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (code == ERROR_SUCCESS && done < out.size()) {
      const DWORD want = static_cast<DWORD>(std::min<size_t>(out.size() - done, 1u << 30));
      DWORD got = 0;
      if (!ReadFile(f, out.data() + done, want, &got, nullptr))
        code = GetLastError();
      else if (got != want)
        code = ERROR_HANDLE_EOF;
      done += got;
    }
  }
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  if (code == ERROR_SUCCESS) return true;
  out.clear();
  if (why) {
    why->missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
    why->reason = internal::Failed("cannot read", utf8Path, code);
  }
  return false;
}

}  // namespace os
