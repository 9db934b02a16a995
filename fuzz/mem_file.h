// Fuzz input as a file for parsers that only read from a path: an anonymous in-memory file
// reached through /proc/self/fd, gone when this object is.
#pragma once
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

class CMemFile {
 public:
  CMemFile(const uint8_t* data, size_t size) : fd_(memfd_create("fuzz-input", MFD_CLOEXEC)) {
    if (fd_ < 0) return;
    size_t done = 0;
    while (done < size) {
      const ssize_t n = write(fd_, data + done, size - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    ok_ = done == size;
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~CMemFile() {
    if (fd_ >= 0) close(fd_);
  }
  CMemFile(const CMemFile&) = delete;
  CMemFile& operator=(const CMemFile&) = delete;

  bool Ok() const { return ok_; }
  const char* Path() const { return path_.c_str(); }

 private:
  int fd_;
  bool ok_ = false;
  std::string path_;
};
