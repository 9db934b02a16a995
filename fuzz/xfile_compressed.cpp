// Compressed .x images: MSZIP blocks holding binary or text; the input's own choice ("tzip" or
// "bzip") is kept, anything else becomes binary.
#include "xfile_input.h"

FUZZ_TARGET(xfile_compressed) {
  const bool text = size >= 12 && std::memcmp(data + 8, "tzip", 4) == 0;
  return fuzzx::ReadX(data, size, text ? "tzip" : "bzip");
}
