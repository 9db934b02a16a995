// RIFF/WAVE images written from code for the tests: the plain 44-byte header, then the samples.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testwave {

constexpr uint16_t kPcm = 1, kFloat = 3;

// `data` holds interleaved samples of `bits` each, already in the format's encoding.
std::string Wave(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, const void* data,
                 size_t bytes);

template <class Sample>
std::string Wave(uint16_t tag, uint16_t channels, uint32_t rate, const std::vector<Sample>& samples) {
  return Wave(tag, channels, rate, sizeof(Sample) * 8, samples.data(), samples.size() * sizeof(Sample));
}

// Writes the image; false when the file cannot be written.
bool WriteWave(const std::string& path, const std::string& image);

}  // namespace testwave
