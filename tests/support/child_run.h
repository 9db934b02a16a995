// Runs a piece of a test in a forked child, so a crash, an exit() or a hang ends only the child:
// the parent sees how it ended and whatever the child reported through its pipe.
#pragma once
#include <functional>
#include <string>

namespace testgame {

struct ChildOutcome {
  bool exited = false;    // ended through exit / return
  int exitCode = -1;      // when exited
  int signal = 0;         // when killed by a signal
  bool timedOut = false;  // still running at the deadline (killed)
  std::string report;     // everything written to the report descriptor
  double seconds = 0;     // wall time

  std::string Describe() const;
};

// The child's exit code when an exception escaped the body (reported as "uncaught exception").
constexpr int kUncaughtExceptionExit = 134;

// body gets a descriptor to report on and returns the child's exit code; the child then ends
// through exit(), so the leak checker runs in it under the sanitizer build.
ChildOutcome RunInChild(const std::function<int(int reportFd)>& body, double timeoutSeconds);

// printf to a descriptor (for reports from inside hooks; no allocation).
void Report(int fd, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace testgame
