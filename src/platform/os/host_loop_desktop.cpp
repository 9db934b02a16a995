// The desktop: the game owns its loop, so there is no host loop to hand over to.
#include <cstdlib>

#include "platform/os/host_loop.h"

namespace os {

bool HostDrivesLoop() { return false; }
void RunHostLoop(LoopTurn) {}
void StopHostLoop() {}
uint64_t HostLoopSteps() { return 0; }
void SetPageStatus(const char*) {}
// quick_exit would run only at_quick_exit handlers, and nothing registers any (MinGW's C library
// has no quick_exit at all), so this is the same end on Linux and Windows.
void ExitNow(int code) { std::_Exit(code); }

}  // namespace os
