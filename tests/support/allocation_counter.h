// Counts the C++ allocations made by this test program's own code (our sources and the templates
// they instantiate; shared libraries such as the GL driver are not counted) while counting is on.
// The sanitizers own new and delete, so the count exists in plain builds only:
// BRIMMEL_COUNT_ALLOCATIONS is defined where it does.
#pragma once

#if !defined(__SANITIZE_ADDRESS__)
#define BRIMMEL_COUNT_ALLOCATIONS 1
#endif

namespace testalloc {

// Zeroes the count and starts counting.
void StartCounting();
void StopCounting();
long Counted();

}  // namespace testalloc
