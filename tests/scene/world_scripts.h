// Small stage scripts and files written by the scene tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "support/wave_files.h"

namespace wiringtest {

// A playable stage script with the given "#position" and "#degree" lines (each ending in a newline),
// without the closing "#EOF" so callers can append sections.
inline std::string GameScript(const std::string& position, const std::string& degrees) {
  return "#type\nGAME\n#end\n#position\n" + position + "#end\n#degree\n" + degrees + "#end\n";
}

// A mono 16-bit PCM RIFF/WAVE file of silence.
inline std::string SilentWave(uint32_t frames, uint32_t rate) {
  return testwave::Wave(testwave::kPcm, 1, rate, std::vector<int16_t>(frames));
}

}  // namespace wiringtest
