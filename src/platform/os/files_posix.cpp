// POSIX file names are bytes, and ours are UTF-8 already.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/os/files.h"

namespace os {

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
  return std::fopen(utf8Path.c_str(), mode);
}

bool ReadWholeFile(const std::string& utf8Path, std::vector<uint8_t>& out, ReadFailure* why) {
  out.clear();
  const auto fail = [&](int error) {
    out.clear();
    if (why) {
      why->missing = error == ENOENT;
      why->reason = "cannot read " + DisplayPath(utf8Path) + ": " + std::strerror(error);
    }
    return false;
  };
  std::unique_ptr<FILE, int (*)(FILE*)> f(OpenFile(utf8Path, "rb"), &std::fclose);
  if (!f) return fail(errno);
  struct stat st;
  if (fstat(fileno(f.get()), &st) != 0) return fail(errno);
  if (!S_ISREG(st.st_mode) || st.st_size < 0) return fail(EISDIR);
  out.resize(static_cast<size_t>(st.st_size));
  if (!out.empty() && std::fread(out.data(), 1, out.size(), f.get()) != out.size())
    return fail(std::ferror(f.get()) ? errno : EIO);
  if (std::fclose(f.release()) != 0) return fail(errno);
  return true;
}

bool IsFile(const std::string& utf8Path) {
  std::error_code ec;
  return !utf8Path.empty() && std::filesystem::is_regular_file(utf8Path, ec);
}

bool IsFolder(const std::string& utf8Path) {
  std::error_code ec;
  return !utf8Path.empty() && std::filesystem::is_directory(utf8Path, ec);
}

bool IsAbsolutePath(const std::string& utf8Path) { return !utf8Path.empty() && utf8Path.front() == '/'; }

namespace internal {
namespace {

std::string Failed(const char* what, const std::string& path, int error) {
  return std::string(what) + " " + path + ": " + std::strerror(error);
}

}  // namespace

bool WriteTarget(const std::string& utf8Path, std::string& target, std::string& error) {
  struct stat st {};
  if (lstat(utf8Path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
    target = utf8Path;
    return true;
  }
  // A rename would put a plain file in the link's place and leave the file it names as it was.
  char* resolved = realpath(utf8Path.c_str(), nullptr);
  if (!resolved) {
    const int why = errno;
    char to[PATH_MAX + 1] = {};
    const ssize_t n = readlink(utf8Path.c_str(), to, PATH_MAX);
    error = why == ENOENT && n > 0 ? utf8Path + " is a link to " + std::string(to, static_cast<size_t>(n)) +
                                         ", which is not there"
                                   : Failed("cannot follow the link", utf8Path, why);
    return false;
  }
  target = resolved;
  std::free(resolved);
  return true;
}

bool IsReadOnly(const std::string& utf8Path) {
  struct stat st {};
  if (stat(utf8Path.c_str(), &st) != 0) return false;
  // The mode first: the superuser may write anything, yet a file nobody may write is locked.
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
  return access(utf8Path.c_str(), W_OK) != 0 && (errno == EACCES || errno == EROFS);
}

bool WriteNewFile(const std::string& utf8Path, std::string_view text, const std::string& like,
                  std::string& error) {
  struct stat old {};
  const bool hasLike = !like.empty() && stat(like.c_str(), &old) == 0;
  // A leftover of a write that was cut short; O_EXCL then refuses whatever else is in the way.
  unlink(utf8Path.c_str());
  const int fd = open(utf8Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, hasLike ? 0600 : 0666);
  if (fd < 0) {
    error = Failed("cannot write", utf8Path, errno);
    return false;
  }
  int why = 0;
  // The new file is as private as the old one was.
  if (hasLike && fchmod(fd, old.st_mode & 07777) != 0) why = errno;
  for (size_t done = 0; !why && done < text.size();) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      why = n < 0 ? errno : EIO;
    else
      done += static_cast<size_t>(n);
  }
  if (!why && fsync(fd) != 0) why = errno;
  if (close(fd) != 0 && !why) why = errno;
  if (why) {
    unlink(utf8Path.c_str());
    error = Failed("cannot write", utf8Path, why);
    return false;
  }
  return true;
}

bool PutInPlace(const std::string& from, const std::string& to, std::string& error) {
  if (rename(from.c_str(), to.c_str()) != 0) {
    error = Failed("cannot replace", to, errno);
    unlink(from.c_str());
    return false;
  }
  // The rename is kept by the folder: until that is on the disk, a power cut may undo it.
  const std::string folder = std::filesystem::path(to).parent_path().string();
  const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  int why = fd < 0 ? errno : 0;
  if (fd >= 0 && fsync(fd) != 0 && errno != EINVAL) why = errno;  // EINVAL: nothing to flush there
  if (fd >= 0) close(fd);
  if (why) {
    error = Failed("cannot flush the folder of", to, why);
    return false;
  }
  return true;
}

void RemoveFile(const std::string& utf8Path) { unlink(utf8Path.c_str()); }

}  // namespace internal
}  // namespace os
