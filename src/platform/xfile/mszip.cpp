#include "platform/xfile/mszip.h"

#include <zlib.h>

#include <cstring>

namespace xfile {

namespace {
constexpr size_t kBlock = 32768;
constexpr size_t kHeader = 16;

inline uint32_t Le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
inline uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

// Owns a z_stream for inflate or deflate.
class CZStream {
 public:
  explicit CZStream(bool deflating) : deflating_(deflating) {
    std::memset(&z_, 0, sizeof z_);
    ok_ = deflating ? deflateInit2(&z_, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK
                    : inflateInit2(&z_, -15) == Z_OK;
  }
  ~CZStream() {
    if (ok_) deflating_ ? deflateEnd(&z_) : inflateEnd(&z_);
  }
  CZStream(const CZStream&) = delete;
  CZStream& operator=(const CZStream&) = delete;
  z_stream* operator->() { return &z_; }
  z_stream* get() { return &z_; }
  bool ok() const { return ok_; }

 private:
  z_stream z_;
  bool deflating_;
  bool ok_ = false;
};
}  // namespace

bool MszipDecompress(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  out.clear();
  if (size < 4) return false;
  const uint32_t total = Le32(data);
  if (total < kHeader) return false;
  const size_t expected = total - kHeader;
  size_t pos = 4;
  CZStream z(false);
  if (!z.ok()) return false;
  size_t prevStart = 0, prevSize = 0;
  while (pos < size) {
    if (size - pos < 4) return false;
    const uint32_t usize = Le16(data + pos);
    const uint32_t csize = Le16(data + pos + 2);
    pos += 4;
    if (usize == 0 || csize < 2 || csize > size - pos) return false;
    if (data[pos] != 'C' || data[pos + 1] != 'K') return false;
    if (out.size() + usize > expected) return false;
    const size_t start = out.size();
    out.resize(start + usize);
    if (inflateReset(z.get()) != Z_OK) return false;
    if (prevSize > 0 &&
        inflateSetDictionary(z.get(), out.data() + prevStart, static_cast<uInt>(prevSize)) != Z_OK)
      return false;
    z->next_in = const_cast<Bytef*>(data + pos + 2);
    z->avail_in = csize - 2;
    z->next_out = out.data() + start;
    z->avail_out = usize;
    const int r = inflate(z.get(), Z_FINISH);
    if (r != Z_STREAM_END || z->avail_out != 0) return false;
    prevStart = start;
    prevSize = usize;
    pos += csize;
  }
  return out.size() == expected;
}

bool MszipCompress(const uint8_t* body, size_t size, std::vector<uint8_t>& out) {
  if (size > 0xFFFFFFFFull - kHeader) return false;
  out.clear();
  const uint32_t total = static_cast<uint32_t>(size + kHeader);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(total >> (8 * i)));
  CZStream z(true);
  if (!z.ok()) return false;
  std::vector<uint8_t> buf(deflateBound(z.get(), kBlock) + 16);
  for (size_t pos = 0; pos < size; pos += kBlock) {
    const size_t n = size - pos < kBlock ? size - pos : kBlock;
    if (deflateReset(z.get()) != Z_OK) return false;
    if (pos > 0 && deflateSetDictionary(z.get(), body + pos - kBlock, kBlock) != Z_OK) return false;
    z->next_in = const_cast<Bytef*>(body + pos);
    z->avail_in = static_cast<uInt>(n);
    z->next_out = buf.data();
    z->avail_out = static_cast<uInt>(buf.size());
    if (deflate(z.get(), Z_FINISH) != Z_STREAM_END) return false;
    const size_t csize = buf.size() - z->avail_out + 2;
    if (csize > 0xFFFF) return false;
    out.push_back(static_cast<uint8_t>(n));
    out.push_back(static_cast<uint8_t>(n >> 8));
    out.push_back(static_cast<uint8_t>(csize));
    out.push_back(static_cast<uint8_t>(csize >> 8));
    out.push_back('C');
    out.push_back('K');
    out.insert(out.end(), buf.data(), buf.data() + csize - 2);
  }
  return true;
}

}  // namespace xfile
