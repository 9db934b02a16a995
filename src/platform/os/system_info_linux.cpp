// Linux: the memory figure from the kernel's /proc/meminfo, the heap tuned through glibc's malloc.
#include <malloc.h>

#include <cstdio>
#include <cstring>

#include "platform/os/system_info.h"

namespace os {

uint64_t AvailablePhysicalMemory() {
  FILE* f = std::fopen("/proc/meminfo", "r");
  if (!f) return 0;
  char line[256];
  unsigned long long kb = 0;
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, "MemAvailable:", 13) == 0) {
      std::sscanf(line + 13, "%llu", &kb);
      break;
    }
  }
  std::fclose(f);
  return static_cast<uint64_t>(kb) * 1024u;
}

void SetLoading(bool loading) {
  // Fixed thresholds, just above 64 KB so that llvmpipe's 64 KB scene blocks come from the heap.
  mallopt(M_MMAP_THRESHOLD, 72 * 1024);
  mallopt(M_TRIM_THRESHOLD, loading ? 72 * 1024 : 4 * 1024 * 1024);
}

void ReleaseFreedMemory() { malloc_trim(0); }

}  // namespace os
