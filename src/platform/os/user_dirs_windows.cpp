// Windows: the program's own folder decides. A portable copy (its folder holds TORIDEN.ini, as
// the zip's does) keeps everything beside BRIMMEL.exe; an installed one writes the player's
// known folders. Paths come back in UTF-8 with forward slashes, as the callers join them.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which they need.
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "platform/os/user_dirs.h"

namespace os {
namespace {

std::string ToUtf8(const wchar_t* w, int length = -1) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w, length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, length, s.data(), n, nullptr, nullptr);
  if (length < 0) s.pop_back();  // the terminator counted in n
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
}

std::wstring ToWide(const std::string& s) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
  if (n <= 0) return {};
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, w.data(), n);
  w.pop_back();
  return w;
}

// A known folder as the shell resolves it (moved or redirected ones included); "" when it has
// none.
std::string KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::string out;
  if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)) && path) out = ToUtf8(path);
  CoTaskMemFree(path);
  while (out.size() > 3 && out.back() == '/') out.pop_back();
  return out;
}

}  // namespace

// %APPDATA%: settings roam with the player.
std::string ConfigHome() { return KnownFolder(FOLDERID_RoamingAppData); }
// %LOCALAPPDATA%: the log and the compiled shader programs belong to this machine.
std::string StateHome() { return KnownFolder(FOLDERID_LocalAppData); }
std::string CacheHome() { return KnownFolder(FOLDERID_LocalAppData); }
std::string PicturesDir() { return KnownFolder(FOLDERID_Pictures); }

bool ProgramFolderDecides() { return true; }
std::string OwnFolderName() { return "BRIMMEL"; }

std::string ProgramDir() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return {};
  // At a drive's root the separator stays: "E:" alone names the drive's current folder, and a
  // file joined to it ("E:TORIDEN.ini") would be looked up there.
  const bool driveRoot = slash == 2 && path[1] == L':';
  return ToUtf8(path.c_str(), static_cast<int>(driveRoot ? slash + 1 : slash));
}

std::string WorkingDir() {
  const DWORD n = GetCurrentDirectoryW(0, nullptr);
  if (n == 0) return {};
  std::wstring dir(n, L'\0');
  const DWORD got = GetCurrentDirectoryW(n, dir.data());
  if (got == 0 || got >= n) return {};
  return ToUtf8(dir.c_str(), static_cast<int>(got));
}

bool ChangeWorkingDir(const std::string& dir) { return SetCurrentDirectoryW(ToWide(dir).c_str()) != 0; }

}  // namespace os
