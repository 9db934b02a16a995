// The desktop: the game owns its loop, so there is no host loop to hand over to.
#include <cstdlib>

#include "platform/os/host_loop.h"

namespace os {

bool HostDrivesLoop() { return false; }
void RunHostLoop(LoopTurn) {}
void StopHostLoop() {}
uint64_t HostLoopSteps() { return 0; }
void SetPageStatus(const char*) {}
void OfferFile(const std::string&) {}
void ExitNow(int code) { std::exit(code); }

}  // namespace os
