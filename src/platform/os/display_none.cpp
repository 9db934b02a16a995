// Where the video back end has no display that can go away under a running game (a browser,
// Windows): nothing is watched, and the handler is never called.
#include "platform/os/session.h"
#include "platform/os/window.h"

namespace os {

void SetDisplayLostHandler(DisplayLostHandler) {}

namespace internal {
void WatchDisplay() {}
void UnwatchDisplay() {}
}  // namespace internal

}  // namespace os
