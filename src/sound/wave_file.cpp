#include "sound/wave_file.h"

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "platform/os/files.h"

namespace {

constexpr size_t kIoBuffer = 16 * 1024;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

bool ReadAt(std::FILE* f, uint64_t offset, void* out, size_t n) {
  return std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0 && std::fread(out, 1, n, f) == n;
}

}  // namespace

int CWaveFile::Fail(const char* reason) {
  Close();
  reason_ = reason;
  return -1;
}

int CWaveFile::Open(const char* path) {
  Close();
  reason_ = "";
  if (!path) return Fail("no file name");
  file_.reset(os::OpenFile(path, "rb"));
  if (!file_) return Fail("cannot open the file");
  std::FILE* f = file_.get();
  std::setvbuf(f, nullptr, _IOFBF, kIoBuffer);
  if (std::fseek(f, 0, SEEK_END) != 0) return Fail("cannot read the file");
  const long end = std::ftell(f);
  if (end < 0) return Fail("cannot read the file");
  const uint64_t fileSize = static_cast<uint64_t>(end);

  uint8_t header[12];
  if (!ReadAt(f, 0, header, sizeof header) || std::memcmp(header, "RIFF", 4) != 0 ||
      std::memcmp(header + 8, "WAVE", 4) != 0)
    return Fail("not a RIFF/WAVE file");
  // A writer that streams cannot go back to fill in its sizes and leaves 0 or 0xFFFFFFFF; a cut
  // file claims more than it holds; some writers count the RIFF size short of the chunks they
  // wrote. In every case the chunks are walked as far as the file goes and what it holds is read.
  const uint32_t riffSize = U32(header + 4);
  const bool riffUnknown = riffSize == 0 || riffSize == 0xFFFFFFFFu;
  const uint64_t riffClaim = 8 + static_cast<uint64_t>(riffSize);

  // One walk over the chunks finds both and checks every size on the way.
  uint64_t fmtOffset = 0, dataOffset = 0;
  uint32_t fmtSize = 0, dataSize = 0, dataClaim = 0;
  bool haveFmt = false, haveData = false, dataUnknown = false;
  for (uint64_t at = 12; at + 8 <= fileSize;) {
    uint8_t chunk[8];
    if (!ReadAt(f, at, chunk, sizeof chunk)) return Fail("cannot read the file");
    const uint32_t size = U32(chunk + 4);
    const uint64_t body = at + 8;
    const bool cut = body + size > fileSize;
    if (!haveData && std::memcmp(chunk, "data", 4) == 0) {
      haveData = true;
      dataOffset = body;
      dataClaim = size;
      dataUnknown = size == 0xFFFFFFFFu || (size == 0 && riffUnknown);
      dataSize =
          static_cast<uint32_t>(dataUnknown || cut ? std::min<uint64_t>(fileSize - body, 0xFFFFFFFFu) : size);
      if (dataUnknown) break;  // the samples run to the end: nothing after them to find
    } else if (!haveFmt && std::memcmp(chunk, "fmt ", 4) == 0) {
      if (cut) return Fail("the fmt chunk runs past the end of the file");
      haveFmt = true;
      fmtOffset = body;
      fmtSize = size;
    }
    if (cut) break;
    at = body + size + (size & 1);
  }
  if (!haveFmt) return Fail("no fmt chunk");
  if (fmtSize < 16) return Fail("the fmt chunk is shorter than 16 bytes");

  uint8_t base[16];
  if (!ReadAt(f, fmtOffset, base, sizeof base)) return Fail("cannot read the fmt chunk");
  uint16_t extra = 0;
  if (U16(base) != audio::WAVE_FORMAT_PCM && fmtSize >= 18) {
    uint8_t n[2];
    if (!ReadAt(f, fmtOffset + 16, n, sizeof n)) return Fail("cannot read the fmt chunk");
    extra = U16(n);
    if (18u + extra > fmtSize) return Fail("the fmt chunk is shorter than its extra bytes");
  }
  formatBytes_.assign(18u + extra, 0);
  std::memcpy(formatBytes_.data(), base, sizeof base);
  formatBytes_[16] = static_cast<uint8_t>(extra);
  formatBytes_[17] = static_cast<uint8_t>(extra >> 8);
  if (extra && !ReadAt(f, fmtOffset + 18, formatBytes_.data() + 18, extra))
    return Fail("cannot read the fmt chunk");

  const uint8_t* b = formatBytes_.data();
  format_ = audio::WaveFormat{};
  format_.formatTag = U16(b);
  format_.channels = U16(b + 2);
  format_.samplesPerSec = U32(b + 4);
  format_.avgBytesPerSec = U32(b + 8);
  format_.blockAlign = U16(b + 12);
  format_.bitsPerSample = U16(b + 14);
  format_.extraSize = extra;
  if (extra >= 22) {
    format_.validBitsPerSample = U16(b + 18);
    format_.channelMask = U32(b + 20);
    std::memcpy(format_.subFormat, b + 24, 16);
  }
  if (!haveData) return Fail("no data chunk");
  // Only whole sample frames: a stray byte at the end would shift every later loop of the data.
  size_ = format_.blockAlign ? dataSize / format_.blockAlign * format_.blockAlign : dataSize;
  dataOffset_ = dataOffset;
  if (!Rewind()) return Fail("cannot read the data chunk");
  if (dataUnknown)
    Log("wave file %s does not give its data size: playing the %u bytes it holds\n", path, size_);
  else if (dataSize < dataClaim)
    Log("short wave file %s: %u of its %u data bytes are there, playing %u\n", path, dataSize, dataClaim,
        size_);
  else if (!riffUnknown && riffClaim > fileSize)
    Log("short wave file %s: the RIFF chunk claims %llu bytes, the file holds %llu\n", path,
        static_cast<unsigned long long>(riffClaim), static_cast<unsigned long long>(fileSize));
  return 0;
}

uint32_t CWaveFile::Read(void* destination, uint32_t count) {
  if (!file_ || !destination) return 0;
  const uint32_t n = count < remaining_ ? count : remaining_;
  const size_t got = std::fread(destination, 1, n, file_.get());
  remaining_ -= static_cast<uint32_t>(got);
  return static_cast<uint32_t>(got);
}

bool CWaveFile::Rewind() {
  if (!file_ || std::fseek(file_.get(), static_cast<long>(dataOffset_), SEEK_SET) != 0) return false;
  remaining_ = size_;
  return true;
}

void CWaveFile::Close() {
  file_.reset();
  formatBytes_.clear();
  format_ = audio::WaveFormat{};
  size_ = remaining_ = 0;
  dataOffset_ = 0;
}
