// Reader of RIFF/WAVE files: the format from the "fmt " chunk and the samples of the "data" chunk,
// read piece by piece. Sizes are checked against the file when it is opened: samples cut short
// (a truncated file, or a streaming writer's 0 or 0xFFFFFFFF sizes) are read as far as the file
// goes and the shortfall is logged; a damaged "fmt " chunk fails to open. The chunks are bounded
// by the file, not by the RIFF size, which some writers count short.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/audio/types.h"

class CWaveFile {
 public:
  CWaveFile() = default;
  ~CWaveFile() { Close(); }
  CWaveFile(const CWaveFile&) = delete;
  CWaveFile& operator=(const CWaveFile&) = delete;

  // 0 on success, a negative code otherwise (FailureReason says why).
  int Open(const char* path);
  // The data size in bytes (whole sample frames).
  uint32_t GetSize() const { return size_; }
  // Up to count bytes from the current position in the data; 0 at its end.
  uint32_t Read(void* destination, uint32_t count);
  // Back to the start of the data, with the full size remaining.
  bool Rewind();
  void Close();

  bool IsOpen() const { return file_ != nullptr; }
  const audio::WaveFormat* GetFormat() const { return IsOpen() ? &format_ : nullptr; }
  // The 18 bytes of the format record plus its extra bytes, as stored in the file.
  const std::vector<uint8_t>& FormatBytes() const { return formatBytes_; }
  const char* FailureReason() const { return reason_; }

 private:
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  int Fail(const char* reason);

  std::unique_ptr<std::FILE, FileCloser> file_;
  audio::WaveFormat format_;
  std::vector<uint8_t> formatBytes_;
  uint64_t dataOffset_ = 0;
  uint32_t size_ = 0;
  uint32_t remaining_ = 0;
  const char* reason_ = "";
};
