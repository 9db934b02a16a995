// What every edition's files share: the safe rewrite, over each back end's steps.
#include "platform/os/files.h"

namespace os {
namespace {

// The whole file, or false when it cannot be read to its end (a read that fails partway is no
// text to write back). A file that is not there reads as empty, with `exists` false.
bool ReadAll(const std::string& path, std::string& text, bool& exists, std::string& error) {
  text.clear();
  std::vector<uint8_t> bytes;
  ReadFailure why;
  exists = ReadWholeFile(path, bytes, &why);
  if (!exists && !why.missing) {
    error = why.reason;
    return false;
  }
  text.assign(bytes.begin(), bytes.end());
  return true;
}

std::string Interrupted(const char* what, const std::string& path) {
  return std::string(what) + " " + DisplayPath(path) + ": interrupted";
}

}  // namespace

bool RewriteFile(const std::string& utf8Path, const std::function<std::string(const std::string&)>& edit,
                 std::string& error, const RewriteHook& hook) {
  std::string target, old;
  bool exists = false;
  if (!internal::WriteTarget(utf8Path, target, error) || !ReadAll(target, old, exists, error)) return false;
  if (hook && !hook(RewriteStep::kRead)) {
    error = Interrupted("cannot read", target);
    return false;
  }
  const std::string text = edit(old);
  if (exists && text == old) return true;
  if (exists && internal::IsReadOnly(target)) {
    error = Utf8FromPath(PathFromUtf8(utf8Path).filename()) + " is read-only";
    return false;
  }
  // Beside the target, so that the rename stays on one file system.
  const std::string temp = target + ".new";
  if (!internal::WriteNewFile(temp, text, exists ? target : std::string(), error)) return false;
  if (hook && !hook(RewriteStep::kWritten)) {
    internal::RemoveFile(temp);
    error = Interrupted("cannot replace", target);
    return false;
  }
  return internal::PutInPlace(temp, target, error);
}

}  // namespace os
