// Windows: the memory figure comes from the system's own status call.
#include <windows.h>

#include "platform/os/system_info.h"

namespace os {

uint64_t AvailablePhysicalMemory() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return status.ullAvailPhys;
}

void SetLoading(bool) {}
void ReleaseFreedMemory() {}

}  // namespace os
