// The compressed .x body: a 32-bit total size (header included), then blocks of at most 32 KB,
// each a 16-bit uncompressed size, a 16-bit compressed size, "CK" and raw deflate data that may
// refer back into the previous block's output.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace xfile {

// Inflates the part after the 16-byte header. False on any inconsistency (sizes that disagree,
// bad signature, corrupt deflate data, output beyond the declared total).
bool MszipDecompress(const uint8_t* data, size_t size, std::vector<uint8_t>& out);
// The inverse: body is what follows the 16-byte header in the uncompressed form.
bool MszipCompress(const uint8_t* body, size_t size, std::vector<uint8_t>& out);

}  // namespace xfile
