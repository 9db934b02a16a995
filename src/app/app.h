// The process entry and main loop: start-up, the paced frame loop, shutdown.
#pragma once

namespace app {

// Runs the whole game and returns the process exit code.
int RunGame();

}  // namespace app
