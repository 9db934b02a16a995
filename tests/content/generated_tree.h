// The generator's output for the content tests: run once per test program into a scratch folder
// (and once more into a second one, for the byte-identity check).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace content_test {

// Game folder of the first run ("" if the generator failed); the second run's folder.
const std::string& GameDir();
const std::string& SecondGameDir();
// Whole file, empty when missing.
std::vector<uint8_t> ReadAll(const std::string& path);
// Where tests leave pictures for a person to look at.
std::string PreviewDir();

}  // namespace content_test
