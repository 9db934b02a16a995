// Ways out of the game on a real X display (a private Xvfb): a request to end it (SIGTERM, as a
// session logging out sends) while a message box is up ends it as the box's OK would, box and
// all; and a display that goes away under a game playing its music ends it with a line in the
// log, instead of leaving it asleep in exit(), also while a message box is up.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "platform/os/message_box.h"
#include "platform/os/window.h"
#include "scene/home_stage_scene.h"
#include "scene/scene_manager.h"
#include "sound/music_stream.h"
#include "support/child_run.h"
#include "support/headless_game.h"
#include "support/scratch_dir.h"
#include "support/xvfb.h"

namespace {

using Clock = std::chrono::steady_clock;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

double SteadySeconds() { return std::chrono::duration<double>(Clock::now().time_since_epoch()).count(); }

// A hang is for ever; a slow machine (or the sanitizer build) takes a second or two.
constexpr double kEndWithin = 5;

// The built program, run from `dir` (a game folder by its TORIDEN.ini) with the build's data, on
// the display, with its output in dir/out.txt.
pid_t StartGame(const std::string& dir, const std::string& display, const char* alsoftDrivers) {
  const std::string game = BRIMMEL_GAME_DIR;
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    if (!freopen("out.txt", "w", stdout) || dup2(fileno(stdout), 2) < 0) _exit(126);
    setenv("DISPLAY", display.c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("ALSOFT_DRIVERS", alsoftDrivers, 1);
    setenv("HOME", dir.c_str(), 1);
    // The driver's leftovers at exit are no concern of these runs (see the installed runs).
    if (const char* asan = getenv("ASAN_OPTIONS"))
      setenv("ASAN_OPTIONS", (std::string(asan) + ":detect_leaks=0").c_str(), 1);
    const std::string program = game + "/brimmel";
    execl(program.c_str(), program.c_str(), "--data", game.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// Waits for the process to end; -1 (and the process killed) when it has not within the time.
int WaitForExit(pid_t pid, double seconds) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool WaitFor(double seconds, const std::function<bool()>& condition) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  while (!condition()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

// In a child about to run the headless game on a real display with its music: the environment, the
// build's data as the working folder, and the options (settings window.ini and the log in `dir`).
testgame::Options OnTheDisplay(const std::string& display, const std::string& dir) {
  setenv("DISPLAY", display.c_str(), 1);
  setenv("SDL_VIDEODRIVER", "x11", 1);
  setenv("ALSOFT_DRIVERS", "null", 1);
  std::filesystem::current_path(BRIMMEL_GAME_DIR);
  testgame::Options options;
  options.nullDevice = false;
  options.sound = audio::Output::kDefault;
  options.launch.configFile = dir + "/window.ini";
  options.launch.logFile = dir + "/profile.txt";
  return options;
}

class ExitPaths : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testgame::OnPath("Xvfb")) GTEST_SKIP() << "Xvfb missing (scripts/deps installs it)";
    ASSERT_FALSE(xvfb_.Display().empty()) << "Xvfb did not start";
    ASSERT_TRUE(std::filesystem::exists(std::string(BRIMMEL_GAME_DIR) + "/brimmel"));
  }
  // Starts the game, waits for its box, sends SIGTERM and answers the exit code (-1: still running
  // after `seconds`, then killed).
  int TerminateWhileTheBoxIsUp(const std::string& dir, const char* alsoftDrivers, const std::string& caption,
                               double seconds) {
    const pid_t pid = StartGame(dir, xvfb_.Display(), alsoftDrivers);
    int status = 0;
    bool ended = false;
    WaitFor(60, [&] {
      return xvfb_.ShowsWindowNamed(caption) || (ended = waitpid(pid, &status, WNOHANG) == pid);
    });
    if (ended || !xvfb_.ShowsWindowNamed(caption)) {
      ADD_FAILURE() << "no box \"" << caption << "\" came up (" << (ended ? "the game ended" : "timed out")
                    << "): " << ReadFileText(dir + "/out.txt");
      if (!ended) WaitForExit(pid, 0);
      return -2;
    }
    kill(pid, SIGTERM);
    const int code = WaitForExit(pid, seconds);
    EXPECT_TRUE(WaitFor(5, [&] { return !xvfb_.ShowsWindowNamed(caption); })) << "the box went with the game";
    return code;
  }
  testgame::CXvfb xvfb_{false};
};

// The box that says why the game cannot start: after its OK the game ends with 1, so it does so
// on the request too, with the reason in its log.
TEST_F(ExitPaths, ATerminationRequestWhileTheStartUpFailureIsShownEndsTheGameWithItsCode) {
  CScratchGameDir scratch("desktop_exit_start_box");
  scratch.Write("TORIDEN.ini", "[TORIDEN]\nWINDOW=1\nWIDTH=100000\nHEIGHT=480\n");
  EXPECT_EQ(TerminateWhileTheBoxIsUp(scratch.Path(), "null", "BRIMMEL", 5), 1);
  EXPECT_TRUE(Has(ReadFileText(scratch.Path() + "/profile.txt"),
                  "The game window could not be opened: Window is too large.\n"))
      << ReadFileText(scratch.Path() + "/profile.txt");
}

// The box that says there is no sound: after its OK the game plays on, silent, so on the request
// it goes on and then ends as the request asks, with 0, as a close does.
TEST_F(ExitPaths, ATerminationRequestWhileTheNoSoundBoxIsShownLetsTheGameGoOnAndClose) {
  CScratchGameDir scratch("desktop_exit_sound_box");
  scratch.Write("TORIDEN.ini", "[TORIDEN]\nWINDOW=1\n");
  EXPECT_EQ(TerminateWhileTheBoxIsUp(scratch.Path(), "no-such-output", "Error", 60), 0)
      << ReadFileText(scratch.Path() + "/out.txt");
  EXPECT_TRUE(Has(ReadFileText(scratch.Path() + "/out.txt"), "[Error] IDirectSound8"));
  EXPECT_TRUE(std::filesystem::exists(scratch.Path() + "/profile.txt")) << "the game went on to open its log";
}

// The X server ends while the home stage's music plays: the game must not sleep for ever in the
// exit that follows (its music worker waiting for a refill nothing will ask for). It ends with 1
// and says why in its log.
TEST_F(ExitPaths, ADisplayThatGoesAwayWhileTheMusicPlaysEndsTheGameWithALogLine) {
  ASSERT_TRUE(std::filesystem::exists(std::string(BRIMMEL_GAME_DIR) + "/data/scr/stg00_home.txt"));
  CScratchGameDir scratch("desktop_exit_display");
  scratch.Write("window.ini", "[TORIDEN]\nWINDOW=1\n");
  const std::string display = xvfb_.Display();
  const pid_t server = xvfb_.ServerPid();
  const testgame::ChildOutcome o = testgame::RunInChild(
      [&](int fd) {
        testgame::CHeadlessGame headless(OnTheDisplay(display, scratch.Path()));
        bool gone = false;
        const int code = headless.Run([&](testgame::CHeadlessGame& g, uint64_t frame) {
          if (frame == 1) g.RequestScene(&g.Scenes().HomeStage());
          if (!gone && StreamIsPlaying()) {
            testgame::Report(fd, "music playing; display gone at %.6f\n", SteadySeconds());
            kill(server, SIGKILL);
            gone = true;
          }
          if (frame > 20000) g.Quit();
        });
        testgame::Report(fd, "the game returned %d\n", code);
        return 100;
      },
      60);
  const double ended = SteadySeconds();
  const size_t at = o.report.find("display gone at ");
  ASSERT_NE(at, std::string::npos) << o.Describe() << "\n" << o.report;
  EXPECT_TRUE(o.exited && o.exitCode == 1) << o.Describe() << "\n" << o.report;
  EXPECT_LT(ended - std::stod(o.report.substr(at + 16)), kEndWithin) << o.report;
  EXPECT_TRUE(Has(ReadFileText(scratch.Path() + "/profile.txt"), "The display went away"))
      << ReadFileText(scratch.Path() + "/profile.txt");
}

// The display goes away while a box is up over the playing game: the box's own process (SDL
// forks one) must end at once, not through exit(), which would run the game's teardown there (the
// music's worker joined, a thread that process does not have; GL calls without a context); the
// game then finds the display gone and ends as above.
int g_reportFd = -1;
pid_t g_gamePid = 0;
void ReportExitElsewhere() {
  if (getpid() != g_gamePid)
    testgame::Report(g_reportFd, "exit() ran in process %d\n", static_cast<int>(getpid()));
}

TEST_F(ExitPaths, ADisplayThatGoesAwayUnderAMessageBoxEndsTheGameToo) {
  CScratchGameDir scratch("desktop_exit_display_box");
  scratch.Write("window.ini", "[TORIDEN]\nWINDOW=1\n");
  const std::string display = xvfb_.Display();
  const pid_t server = xvfb_.ServerPid();
  // Takes the display away once the box shows: a process of its own, so that the game's is forked
  // from a test with no other thread (one inside Xlib then could leave the child a lock held).
  int times[2];
  ASSERT_EQ(pipe(times), 0);
  const pid_t watcher = fork();
  if (watcher == 0) {
    close(times[0]);
    for (int i = 0; i < 1800; ++i) {
      if (xvfb_.ShowsWindowNamed("Going")) {
        const double at = SteadySeconds();
        kill(server, SIGKILL);
        _exit(write(times[1], &at, sizeof at) == sizeof at ? 0 : 1);
      }
      usleep(50000);
    }
    _exit(1);
  }
  close(times[1]);
  const testgame::ChildOutcome o = testgame::RunInChild(
      [&](int fd) {
        testgame::CHeadlessGame headless(OnTheDisplay(display, scratch.Path()));
        g_reportFd = fd;
        g_gamePid = getpid();
        bool shown = false;
        const int code = headless.Run([&](testgame::CHeadlessGame& g, uint64_t frame) {
          if (frame == 1) g.RequestScene(&g.Scenes().HomeStage());
          if (!shown && StreamIsPlaying()) {
            shown = true;
            std::atexit(ReportExitElsewhere);  // the last registered: the first to run in an exit()
            os::SetMessageBoxHook(nullptr);
            os::MessageBox("The display goes away now.", "Going");
          }
          if (frame > 20000) g.Quit();
        });
        testgame::Report(fd, "the game returned %d\n", code);
        return 100;
      },
      60);
  const double ended = SteadySeconds();
  kill(watcher, SIGKILL);
  waitpid(watcher, nullptr, 0);
  double goneAt = 0;
  const bool gone = read(times[0], &goneAt, sizeof goneAt) == sizeof goneAt;
  close(times[0]);
  ASSERT_TRUE(gone) << "the box never showed: " << o.Describe() << "\n" << o.report;
  EXPECT_TRUE(o.exited && o.exitCode == 1) << o.Describe() << "\n" << o.report;
  EXPECT_LT(ended - goneAt, kEndWithin) << o.report;
  EXPECT_FALSE(Has(o.report, "exit() ran in process")) << o.report;
  EXPECT_TRUE(Has(ReadFileText(scratch.Path() + "/profile.txt"), "The display went away"))
      << ReadFileText(scratch.Path() + "/profile.txt");
}

}  // namespace
