#pragma once
#include <cstdint>

namespace os {

// Physical memory that can still be handed out, in bytes (the kernel's MemAvailable).
uint64_t AvailablePhysicalMemory();

}  // namespace os
