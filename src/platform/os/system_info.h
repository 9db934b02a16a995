#pragma once
#include <cstdint>

namespace os {

// Physical memory that can still be handed out, in bytes (Linux's MemAvailable, Windows' available
// physical memory); 0 where it is not known (a browser).
uint64_t AvailablePhysicalMemory();

// How the heap treats freed memory. While loading (from InitSystem on), blocks that loads free
// (meshes, decoded images, shader compiles) go back to the system, which keeps the peak resident
// size down. While playing, the heap keeps a few megabytes freed at its top: a software renderer
// allocates and frees its per-frame blocks, and returning them made every frame fault its pages
// back in.
void SetLoading(bool loading);
// Hands the pages the heap holds free back to the system: between taking down one stage and
// loading the next, so that the load's large blocks do not sit on top of the last stage's freed
// memory.
void ReleaseFreedMemory();

}  // namespace os
