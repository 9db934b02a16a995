// Compressed images of any content: the expander yields exactly the size the header claims (or
// refuses an implausible one), the file reader agrees with the in-memory one, and the packer's
// output of the same bytes expands back to them.
#include "resource/szdd.h"

#include <algorithm>
#include <vector>

#include "fuzz_target.h"
#include "mem_file.h"

FUZZ_TARGET(szdd) {
  std::vector<uint8_t> expanded;
  const bool ok = ExpandSzdd(data, size, expanded);
  if (ok && size >= kSzddHeaderSize) {
    const uint32_t claimed =
        uint32_t{data[12]} | uint32_t{data[13]} << 8 | uint32_t{data[14]} << 16 | uint32_t{data[15]} << 24;
    FUZZ_CHECK(expanded.size() == claimed);
    FUZZ_CHECK(claimed <= MaxExpandedSize(size - kSzddHeaderSize));
  }
  if (!ok) FUZZ_CHECK(size >= kSzddHeaderSize);

  CMemFile file(data, size);
  if (file.Ok()) {
    std::vector<uint8_t> loaded{1, 2, 3};
    const uint32_t n = LoadCompressedFile(file.Path(), loaded);
    if (ok) {
      FUZZ_CHECK(n == expanded.size() && loaded == expanded);
    } else {
      FUZZ_CHECK(n == 0);
      FUZZ_CHECK((loaded == std::vector<uint8_t>{1, 2, 3}));  // untouched on refusal
    }
  }

  const std::vector<uint8_t> packed = CompressSzdd(data, size);
  std::vector<uint8_t> back;
  FUZZ_CHECK(ExpandSzdd(packed.data(), packed.size(), back));
  FUZZ_CHECK(back.size() == size);
  FUZZ_CHECK(size == 0 || std::equal(back.begin(), back.end(), data));
  return 0;
}
