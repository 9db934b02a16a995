#include "support/child_run.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace testgame {

std::string ChildOutcome::Describe() const {
  char text[128];
  if (timedOut)
    std::snprintf(text, sizeof text, "hung (killed after %.1f s)", seconds);
  else if (signal)
    std::snprintf(text, sizeof text, "killed by signal %d (%s)", signal, strsignal(signal));
  else
    std::snprintf(text, sizeof text, "exit code %d after %.2f s", exitCode, seconds);
  return text;
}

void Report(int fd, const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (n <= 0) return;
  size_t left = std::min(size_t(n), sizeof text - 1);
  const char* p = text;
  while (left > 0) {
    const ssize_t w = write(fd, p, left);
    if (w <= 0) return;
    p += w;
    left -= size_t(w);
  }
}

ChildOutcome RunInChild(const std::function<int(int reportFd)>& body, double timeoutSeconds) {
  ChildOutcome out;
  int fds[2];
  if (pipe(fds) != 0) return out;
  std::fflush(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return out;
  }
  if (pid == 0) {
    close(fds[0]);
    int code = 0;
    try {
      code = body(fds[1]);
    } catch (const std::exception& e) {
      // Never unwind into the parent's copy of the test program.
      Report(fds[1], "uncaught exception: %s\n", e.what());
      _exit(kUncaughtExceptionExit);
    } catch (...) {
      Report(fds[1], "uncaught exception\n");
      _exit(kUncaughtExceptionExit);
    }
    close(fds[1]);
    std::exit(code);
  }
  close(fds[1]);
  auto elapsed = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  int status = 0;
  bool reaped = false;
  bool pipeOpen = true;
  while (!reaped) {
    if (pipeOpen) {
      pollfd p{fds[0], POLLIN, 0};
      if (poll(&p, 1, 20) > 0) {
        char buf[4096];
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n > 0)
          out.report.append(buf, size_t(n));
        else
          pipeOpen = false;
      }
    } else {
      usleep(5000);
    }
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid)
      reaped = true;
    else if (elapsed() > timeoutSeconds) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      out.timedOut = true;
      reaped = true;
    }
  }
  // Whatever is left in the pipe.
  for (;;) {
    char buf[4096];
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 0) <= 0) break;
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    out.report.append(buf, size_t(n));
  }
  close(fds[0]);
  out.seconds = elapsed();
  if (!out.timedOut) {
    if (WIFEXITED(status)) {
      out.exited = true;
      out.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
      out.signal = WTERMSIG(status);
    }
  }
  return out;
}

}  // namespace testgame
