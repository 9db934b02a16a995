// Windows: the game folder is the program's own folder, whatever folder it was started from (a
// shortcut or a command prompt elsewhere), so TORIDEN.ini, data/ and profile.txt are found and
// written beside BRIMMEL.exe. Paths come back in UTF-8 with forward slashes, as the callers join
// them.
#include <windows.h>

#include <cstdlib>
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

std::string EnvFolder(const wchar_t* name) {
  const wchar_t* v = _wgetenv(name);
  return v && *v ? ToUtf8(v) : std::string();
}

// Entered before main: the working folder is where the game reads and writes everything.
struct EnterProgramFolder {
  EnterProgramFolder() {
    const std::string dir = ProgramDir();
    if (!dir.empty()) ChangeWorkingDir(dir);
  }
} g_enterProgramFolder;

}  // namespace

// The settings and log folders of a copy that is not run from a game folder.
std::string ConfigHome() { return EnvFolder(L"APPDATA"); }
std::string StateHome() { return EnvFolder(L"LOCALAPPDATA"); }
// Caches (the compiled shader programs) belong to this machine, as LOCALAPPDATA does.
std::string CacheHome() { return EnvFolder(L"LOCALAPPDATA"); }
// Screenshots stay beside the log.
std::string PicturesDir() { return {}; }

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
  return slash == std::wstring::npos ? std::string() : ToUtf8(path.c_str(), static_cast<int>(slash));
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
