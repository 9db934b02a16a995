#include "platform/os/system_info.h"

#include <cstdio>
#include <cstring>

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

}  // namespace os
