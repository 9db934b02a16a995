// The browser: a page is not told how much memory the machine has, and the module's heap grows on
// its own terms, with nothing to tune.
#include "platform/os/system_info.h"

namespace os {

uint64_t AvailablePhysicalMemory() { return 0; }

void SetLoading(bool) {}
void ReleaseFreedMemory() {}

}  // namespace os
