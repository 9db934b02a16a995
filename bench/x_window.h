// Benchmarks whose frames must be presented as a player's are: to a real X window, whose swap
// waits for the finished picture (an off-screen surface does not, and so hides the rasterising).
#pragma once
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

// Starts the program again under a private Xvfb and returns only there, with SDL on X11.
inline void RunInXWindow(int argc, char** argv, const char* name) {
  if (!std::getenv("BRIMMEL_XVFB_CHILD")) {
    setenv("BRIMMEL_XVFB_CHILD", "1", 1);
    // No reset when the last client leaves: a benchmark that closes its window and opens another
    // would otherwise meet the server in the middle of its reset and find no X there.
    std::vector<char*> args = {const_cast<char*>("xvfb-run"), const_cast<char*>("-a"),
                               const_cast<char*>("-s"), const_cast<char*>("-screen 0 1024x768x24 -noreset"),
                               argv[0]};
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    args.push_back(nullptr);
    execvp("xvfb-run", args.data());
    std::fprintf(stderr, "%s: xvfb-run could not be started\n", name);
    std::exit(1);
  }
  setenv("SDL_VIDEODRIVER", "x11", 1);
}
