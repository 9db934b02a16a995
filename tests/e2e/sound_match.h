// Finds a known sound effect in a captured mix: normalised correlation of the effect's samples with
// the mix, so an effect played quietly at a distance still stands out from the music under it.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace e2e {

// The effect's wave file as mono floats at `rate` (channels averaged, linear interpolation from the
// file's rate), at most maxSeconds long; empty when the file does not read.
std::vector<float> LoadEffect(const std::string& path, unsigned rate, double maxSeconds);

// The largest normalised correlation (−1..1) of `effect` with `mix` over the starts [from, to);
// 0 when the range holds no whole copy of the effect or the mix is silent there.
double BestMatch(const std::vector<float>& mix, const std::vector<float>& effect, size_t from, size_t to);

}  // namespace e2e

namespace e2e {

// A piece of stereo music as floats at its own rate.
struct StereoWave {
  std::vector<float> left, right;
  unsigned rate = 0;
};
StereoWave LoadStereo(const std::string& path);

// Takes the music out of a captured mix (both channels summed), leaving what else sounded: the
// music is found by its opening within [from, to) of the mix, scaled as the mixer scaled it (one
// factor per channel, fitted over `fitLength` samples after the opening) and subtracted from there
// on, looping as the stream loops. The result is as long as the mix, untouched before the opening;
// `start` gets the opening's sample (the mix's length when the music is not found).
std::vector<float> RemoveMusic(const std::vector<float>& mix, const StereoWave& music, size_t from, size_t to,
                               size_t fitLength, size_t& start);

// Mean square of mix[from, to).
double MeanSquare(const std::vector<float>& mix, size_t from, size_t to);

}  // namespace e2e
