// Declares a fuzz entry. A libFuzzer build makes it the program's LLVMFuzzerTestOneInput; the
// seed-replay test (BRIMMEL_FUZZ_REPLAY) links every target into one program and calls each by
// name over its seed files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using FuzzEntry = int (*)(const uint8_t* data, size_t size);

#ifdef BRIMMEL_FUZZ_REPLAY
bool RegisterFuzzTarget(const char* name, FuzzEntry entry);
#define FUZZ_TARGET(name)                                                                                  \
  static int FuzzTarget_##name(const uint8_t* data, size_t size);                                          \
  [[maybe_unused]] static const bool fuzzRegistered_##name = RegisterFuzzTarget(#name, FuzzTarget_##name); \
  static int FuzzTarget_##name(const uint8_t* data, size_t size)
#else
#define FUZZ_TARGET(name) extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
#endif

// An invariant the parser broke: stop here so the fuzzer keeps the input.
#define FUZZ_CHECK(cond)       \
  do {                         \
    if (!(cond)) std::abort(); \
  } while (0)
