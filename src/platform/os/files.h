// Paths are UTF-8 strings throughout the game. Windows' narrow file calls read them in the ANSI
// code page instead, so every file the game opens or tests goes through a path built from UTF-8
// (wide on Windows) or through OpenFile.
#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
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
// Why a whole-file read failed, for callers that tell the player or treat a missing file apart.
struct ReadFailure {
  bool missing = false;  // there is no such file (not an error for a file made on first use)
  std::string reason;    // "cannot read PATH: why", as the system words it
};
// The whole of a regular file into `out`. False (and `out` empty) when it cannot be opened, is not
// a regular file (a folder opens like one on some systems and reports an end far beyond anything
// readable), yields fewer bytes than its size said or fails partway; `why`, when given, says which.
bool ReadWholeFile(const std::string& utf8Path, std::vector<uint8_t>& out, ReadFailure* why = nullptr);
// Whether the path names a file or a folder, by the system's own call (the C library's stat on
// Windows does not take every form, "\\?\C:\..." among them). False for "".
bool IsFile(const std::string& utf8Path);
bool IsFolder(const std::string& utf8Path);
// Absolute by the system's rules: "/..." here; a drive letter and a root, or a UNC name
// ("\\server\share\...", "\\?\C:\...") on Windows, which the C++ library there does not
// take for roots.
bool IsAbsolutePath(const std::string& utf8Path);

// The moments between the steps of RewriteFile, where a test may interrupt it.
enum class RewriteStep {
  kRead,    // the old text is read
  kWritten  // the new text is on the disk in a file of its own beside the target, not yet in its place
};
// Called at each moment; false makes the step fail there as an I/O error would.
using RewriteHook = std::function<bool(RewriteStep)>;

// Gives a file the text edit(old text) so that whatever happens (an error, a crash, a power cut
// after the return) the file holds either the old or the whole new text. A symbolic link is
// written through: its target changes and the link stays. A file the player made read-only is
// left as it is ("NAME is read-only"); a file that is not there yet is made; where the text would
// not change, nothing is written. False with the reason in `error`, and nothing left behind.
bool RewriteFile(const std::string& utf8Path, const std::function<std::string(const std::string&)>& edit,
                 std::string& error, const RewriteHook& hook = nullptr);

// The back ends' part of RewriteFile.
namespace internal {
// The file a write to the path lands in: the path itself (there or not), or the file its symbolic
// links lead to. False for a link that leads nowhere.
bool WriteTarget(const std::string& utf8Path, std::string& target, std::string& error);
// Whether the player has locked the existing file against writing.
bool IsReadOnly(const std::string& utf8Path);
// Writes the text into a new file (a stale one of the name is removed first) with the access
// rights of `like` where that is given, flushed to the disk and closed.
bool WriteNewFile(const std::string& utf8Path, std::string_view text, const std::string& like,
                  std::string& error);
// Puts `from` in the place of `to` and flushes that change to the disk.
bool PutInPlace(const std::string& from, const std::string& to, std::string& error);
void RemoveFile(const std::string& utf8Path);
}  // namespace internal

}  // namespace os
