// Paths are UTF-8 strings throughout the game. Windows' narrow file calls read them in the ANSI
// code page instead, so every file the game opens or tests goes through a path built from UTF-8
// (wide on Windows) or through OpenFile.
#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace os {

inline std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(
      std::u8string_view(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string s = path.u8string();
  return std::string(reinterpret_cast<const char*>(s.data()), s.size());
}

// The path as the system writes it (backslashes on Windows), for messages to the player.
inline std::string DisplayPath(std::string_view utf8) {
  return Utf8FromPath(PathFromUtf8(utf8).make_preferred());
}

// fopen with a UTF-8 path.
std::FILE* OpenFile(const std::string& utf8Path, const char* mode);
// The whole of a regular file into `out`. False (and `out` empty) when it cannot be opened, is not
// a regular file (a folder opens like one on some systems and reports an end far beyond anything
// readable) or yields fewer bytes than its size said.
bool ReadWholeFile(const std::string& utf8Path, std::vector<uint8_t>& out);
// Whether the path names a file or a folder, by the system's own call (the C library's stat on
// Windows does not take every form, "\\?\C:\..." among them). False for "".
bool IsFile(const std::string& utf8Path);
bool IsFolder(const std::string& utf8Path);
// Absolute by the system's rules: "/..." here; a drive letter and a root, or a UNC name
// ("\\server\share\...", "\\?\C:\...") on Windows, which the C++ library there does not
// take for roots.
bool IsAbsolutePath(const std::string& utf8Path);

}  // namespace os
