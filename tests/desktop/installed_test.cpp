// The program as `cmake --install` lays it out (into a DESTDIR under the build tree), run as its
// own process with HOME and the XDG variables pointed at a fresh folder, from an empty working
// folder: as a player who installed it and typed `brimmel`.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "core/config.h"
#include "support/child_run.h"
#include "support/scratch_dir.h"

namespace {

const std::string kInstalled = std::string(BRIMMEL_DESKTOP_DESTDIR) + "/usr/games/brimmel";

struct Launch {
  std::vector<std::string> args;
  std::string home;       // HOME; the XDG folders below it unless set apart
  std::string stateHome;  // "" = $home/.local/state (the default, unset)
  int stdoutTo = 0;       // 0: report, 1: /dev/null
  double stopAfter = 0;   // > 0: SIGTERM after this many seconds, as a session ending does
};

// Starts the installed program in the working folder with a clean environment; the report is
// its stdout or stderr (the other goes to /dev/null) followed by "exit N" or "signal N".
testgame::ChildOutcome Start(const Launch& run, bool reportStderr) {
  return testgame::RunInChild(
      [&](int fd) {
        const pid_t pid = fork();
        if (pid == 0) {
          const int null = open("/dev/null", O_WRONLY);
          dup2(reportStderr ? null : fd, 1);
          dup2(reportStderr ? fd : null, 2);
          // A clean environment, but the sanitizer build keeps its settings (suppressions).
          std::vector<std::pair<std::string, std::string>> keep;
          for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"})
            if (const char* v = getenv(name)) keep.emplace_back(name, v);
          clearenv();
          for (const auto& [name, value] : keep) setenv(name.c_str(), value.c_str(), 1);
          // SDL unloads the GL driver when the program quits, so the driver's own leftovers show
          // up in an unnamed module that no suppression can name: these runs check files and
          // exits, and the game's leaks are checked by the in-process runs.
          if (const char* asan = getenv("ASAN_OPTIONS"))
            setenv("ASAN_OPTIONS", (std::string(asan) + ":detect_leaks=0").c_str(), 1);
          setenv("PATH", "/usr/bin:/bin", 1);
          setenv("HOME", run.home.c_str(), 1);
          if (!run.stateHome.empty()) setenv("XDG_STATE_HOME", run.stateHome.c_str(), 1);
          setenv("SDL_VIDEODRIVER", "offscreen", 1);
          setenv("SDL_AUDIODRIVER", "dummy", 1);
          setenv("ALSOFT_DRIVERS", "null", 1);
          std::vector<char*> argv{const_cast<char*>(kInstalled.c_str())};
          for (const std::string& a : run.args) argv.push_back(const_cast<char*>(a.c_str()));
          argv.push_back(nullptr);
          execv(argv[0], argv.data());
          _exit(127);
        }
        if (run.stopAfter > 0) {
          std::this_thread::sleep_for(std::chrono::duration<double>(run.stopAfter));
          if (waitpid(pid, nullptr, WNOHANG) == 0) kill(pid, SIGTERM);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (WIFEXITED(status)) testgame::Report(fd, "\nexit %d\n", WEXITSTATUS(status));
        if (WIFSIGNALED(status)) testgame::Report(fd, "\nsignal %d\n", WTERMSIG(status));
        return 0;
      },
      90);
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class Installed : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(kInstalled)) << "the desktop_install test installs " << kInstalled;
  }
};

TEST_F(Installed, OptionsPrintTheirTextAndWrongOnesExitWithTwoAndAReasonOnStderr) {
  CScratchGameDir scratch("desktop_options");
  Launch run;
  run.home = scratch.Path();
  run.args = {"--version"};
  std::string out = Start(run, false).report;
  EXPECT_TRUE(Has(out, std::string("brimmel ") + BRIMMEL_VERSION + "\n")) << out;
  EXPECT_TRUE(Has(out, "exit 0")) << out;
  run.args = {"--help"};
  out = Start(run, false).report;
  EXPECT_TRUE(Has(out, "--fullscreen") && Has(out, "XDG_CONFIG_HOME") && Has(out, "exit 0")) << out;

  const struct {
    std::vector<std::string> args;
    const char* says;
  } wrong[] = {{{"--frobnicate"}, "unknown option '--frobnicate'"},
               {{"--size", "wide"}, "bad size 'wide'"},
               {{"--data", scratch.Path()}, "no data/ folder in"},
               {{"--config", "nowhere.ini"}, "cannot read the settings file 'nowhere.ini'"}};
  for (const auto& w : wrong) {
    run.args = w.args;
    const std::string err = Start(run, true).report;
    EXPECT_TRUE(Has(err, std::string("brimmel: ") + w.says)) << err;
    EXPECT_TRUE(Has(err, "\nUsage: brimmel [--windowed | --fullscreen]")) << err;
    EXPECT_TRUE(Has(err, "exit 2")) << err;
  }
  // Nothing was written anywhere by runs that never started the game.
  EXPECT_TRUE(std::filesystem::is_empty(scratch.Path()));
}

TEST_F(Installed, AFirstRunFindsItsDataWritesCommentedSettingsAndItsLogInTheXdgFoldersAndEndsCleanly) {
  CScratchGameDir scratch("desktop_first_run");
  std::filesystem::create_directories(scratch.Path() + "/work");
  std::filesystem::current_path(scratch.Path() + "/work");
  Launch run;
  run.home = scratch.Path() + "/home";
  run.stopAfter = 6;  // the logo's card and fades, into the title
  const testgame::ChildOutcome o = Start(run, true);
  EXPECT_TRUE(Has(o.report, "exit 0")) << "SIGTERM closes the game as its close box does: " << o.report;
  EXPECT_FALSE(Has(o.report, "brimmel:")) << o.report;

  const std::string settings = run.home + "/.config/brimmel/TORIDEN.ini";
  ASSERT_TRUE(std::filesystem::exists(settings));
  EXPECT_TRUE(Has(ReadFileText(settings), "; WINDOW: "));
  CConfig c(settings.c_str());
  EXPECT_EQ(c.window, 0);
  EXPECT_EQ(c.width, 640);
  const std::string log = run.home + "/.local/state/brimmel/profile.txt";
  ASSERT_TRUE(std::filesystem::exists(log));
  const std::string logText = ReadFileText(log);
  EXPECT_FALSE(Has(logText, "Not Found") || Has(logText, "NotFound")) << logText;
  EXPECT_TRUE(std::filesystem::is_empty(scratch.Path() + "/work")) << "nothing lands in the working folder";

  // A second run keeps the player's own settings as they are.
  std::ofstream(settings, std::ios::app) << "; mine\n";
  run.stopAfter = 2;
  Start(run, true);
  EXPECT_TRUE(Has(ReadFileText(settings), "; mine\n"));
}

TEST_F(Installed, AStateFolderThatCannotBeMadeIsReportedOnceAndTheGameStillRuns) {
  CScratchGameDir scratch("desktop_unwritable");
  std::ofstream(scratch.Path() + "/a-file") << "x";
  Launch run;
  run.home = scratch.Path() + "/home";
  run.stateHome = scratch.Path() + "/a-file/state";  // below a file: can never be made
  run.stopAfter = 3;
  const testgame::ChildOutcome o = Start(run, true);
  EXPECT_TRUE(Has(o.report, "exit 0")) << o.report;
  const size_t first = o.report.find("brimmel: cannot make the folder");
  ASSERT_NE(first, std::string::npos) << o.report;
  EXPECT_EQ(o.report.find("brimmel:", first + 1), std::string::npos) << "reported once: " << o.report;
}

}  // namespace
