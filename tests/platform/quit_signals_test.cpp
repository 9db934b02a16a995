// Requests to end the game from outside (SIGINT, SIGTERM), each run in a process of its own: the
// first arrives as a close request, a second ends a game that did not end on the first, and the
// handler leaves errno as the interrupted code had it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/os/session.h"
#include "support/child_run.h"

namespace {

TEST(QuitSignals, ASecondRequestEndsAGameThatDidNotEndOnTheFirst) {
  const testgame::ChildOutcome o = testgame::RunInChild(
      [](int fd) {
        os::internal::WatchQuitSignals(true);
        raise(SIGINT);
        testgame::Report(fd, "first taken: %d\n", os::internal::TakeQuitRequest() ? 1 : 0);
        raise(SIGINT);
        testgame::Report(fd, "still running after the second\n");
        return 0;
      },
      10);
  EXPECT_NE(o.report.find("first taken: 1"), std::string::npos) << o.report;
  EXPECT_EQ(o.signal, SIGINT) << o.Describe() << "\n" << o.report;
  EXPECT_EQ(o.report.find("still running"), std::string::npos) << o.report;
}

TEST(QuitSignals, TheHandlerLeavesErrnoAsItWas) {
  const testgame::ChildOutcome o = testgame::RunInChild(
      [](int fd) {
        os::internal::WatchQuitSignals(true);
        // A box whose process has already gone: the handler's kill() of it fails (ESRCH).
        os::internal::BoxOpening();
        const pid_t box = fork();
        if (box == 0) _exit(0);
        waitpid(box, nullptr, 0);
        errno = EDOM;
        raise(SIGTERM);
        const int after = errno;
        os::internal::BoxClosed();
        testgame::Report(fd, "errno %d, request %d\n", after, os::internal::TakeQuitRequest() ? 1 : 0);
        return after == EDOM ? 0 : 1;
      },
      10);
  EXPECT_TRUE(o.exited && o.exitCode == 0) << o.Describe() << "\n" << o.report;
  EXPECT_NE(o.report.find("request 1"), std::string::npos) << o.report;
}

}  // namespace
