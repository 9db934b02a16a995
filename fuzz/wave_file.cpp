// WAVE files of any content: a file that opens hands out exactly its data size in whole sample
// frames, the same bytes again after a rewind, and never more than the file holds.
#include "sound/wave_file.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzz_target.h"
#include "mem_file.h"

namespace {

std::vector<uint8_t> ReadAll(CWaveFile& wave) {
  std::vector<uint8_t> out;
  uint8_t piece[4099];  // odd on purpose: reads end in the middle of sample frames
  for (;;) {
    const uint32_t n = wave.Read(piece, sizeof piece);
    FUZZ_CHECK(n <= sizeof piece);
    if (n == 0) break;
    out.insert(out.end(), piece, piece + n);
    FUZZ_CHECK(out.size() <= wave.GetSize());
  }
  return out;
}

}  // namespace

FUZZ_TARGET(wave_file) {
  CMemFile file(data, size);
  if (!file.Ok()) return 0;
  CWaveFile wave;
  if (wave.Open(file.Path()) != 0) {
    FUZZ_CHECK(!wave.IsOpen());
    FUZZ_CHECK(wave.GetFormat() == nullptr);
    FUZZ_CHECK(std::strlen(wave.FailureReason()) > 0);
    return 0;
  }
  const audio::WaveFormat* format = wave.GetFormat();
  FUZZ_CHECK(format != nullptr);
  FUZZ_CHECK(wave.FormatBytes().size() == 18u + format->extraSize);
  FUZZ_CHECK(wave.GetSize() + 20u <= size);
  if (format->blockAlign) FUZZ_CHECK(wave.GetSize() % format->blockAlign == 0);
  const std::vector<uint8_t> first = ReadAll(wave);
  FUZZ_CHECK(first.size() == wave.GetSize());
  FUZZ_CHECK(wave.Rewind());
  const std::vector<uint8_t> second = ReadAll(wave);
  FUZZ_CHECK(first == second);
  // The samples are bytes of the input, found somewhere after the headers.
  if (!first.empty()) {
    const uint8_t* end = data + size;
    FUZZ_CHECK(std::search(data + 20, end, first.begin(), first.end()) != end);
  }
  return 0;
}
