// Start-up that cannot go on: the player is told why in a message box and in a fresh profile.txt,
// and the process reports failure.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/reason.h"
#include "platform/os/message_box.h"
#include "platform/os/window.h"
#include "support/child_run.h"
#include "support/scratch_dir.h"

namespace {

std::string ReadText(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> g_boxes;
void RecordBox(const char* text, const char* caption) {
  g_boxes.push_back(std::string(caption) + ": " + text);
}

int g_reportFd = -1;
void ReportBox(const char* text, const char* caption) {
  testgame::Report(g_reportFd, "%s: %s\n", caption, text);
}

TEST(StartUp, VideoSystemThatCannotStartIsReportedAsAFailure) {
  CScratchGameDir dir("start_up_video");
  dir.Write("profile.txt", "an earlier run\n");
  const testgame::ChildOutcome out = testgame::RunInChild(
      [](int fd) {
        os::ShutdownSystem();  // in case an earlier test of this process brought it up
        setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
        g_reportFd = fd;
        os::SetMessageBoxHook(ReportBox);
        return app::RunGame();
      },
      60);
  ASSERT_TRUE(out.exited) << out.Describe();
  EXPECT_NE(out.exitCode, 0);
  EXPECT_EQ(out.report.rfind("BRIMMEL: The video system could not be started: ", 0), 0u) << out.report;
  const std::string log = ReadText("profile.txt");
  EXPECT_EQ(log.find("an earlier run"), std::string::npos) << log;
  // The video system's own reason names the driver it could not find.
  EXPECT_NE(log.find("The video system could not be started: "), std::string::npos) << log;
  EXPECT_NE(log.find("no-such-driver"), std::string::npos) << log;
}

// SDL's reasons are sentences with their own full stop ("Window is too large."): quoted after a
// colon they end the message once, not with "..".
TEST(StartUp, AWindowThatCannotBeOpenedIsReportedWithTheReasonsOwnFullStop) {
  CScratchGameDir dir("start_up_window");
  dir.Write("TORIDEN.ini", "[TORIDEN]\nWINDOW=1\nWIDTH=100000\nHEIGHT=480\n");
  g_boxes.clear();
  os::SetMessageBoxHook(RecordBox);
  const int code = app::RunGame();
  os::SetMessageBoxHook(nullptr);
  EXPECT_EQ(code, 1);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0],
            "BRIMMEL: The game window could not be opened: Window is too large. See profile.txt.");
  const std::string log = ReadText("profile.txt");
  EXPECT_NE(log.find("The game window could not be opened: Window is too large.\n"), std::string::npos)
      << log;
  EXPECT_EQ(log.find(".."), std::string::npos) << log;
}

TEST(StartUp, ReasonsEndTheSentenceWithOneClosingMark) {
  using app::WithReason;
  EXPECT_EQ(WithReason("It failed", "Window is too large."), "It failed: Window is too large.");
  EXPECT_EQ(WithReason("It failed", "x11 not available"), "It failed: x11 not available.");
  EXPECT_EQ(WithReason("It failed", "Out of memory!"), "It failed: Out of memory!");
  EXPECT_EQ(WithReason("It failed", "Is it there?"), "It failed: Is it there?");
  // Line ends and blanks after the reason's own stop do not hide it.
  EXPECT_EQ(WithReason("It failed", "Window is too large.\n"), "It failed: Window is too large.");
  EXPECT_EQ(WithReason("It failed", "no display \r\n"), "It failed: no display.");
  // A stop inside the reason is not its end; a reason of nothing at all leaves the bare sentence.
  EXPECT_EQ(WithReason("It failed", "v1.2 refused"), "It failed: v1.2 refused.");
  EXPECT_EQ(WithReason("It failed", ""), "It failed.");
  EXPECT_EQ(WithReason("It failed", " \n"), "It failed.");
}

// A FORMAT that no full-screen picture can have fails every device attempt: the message and the
// log name that value, not the driver; a size that was not taken is in the log as well.
TEST(StartUp, UnusableFullScreenFormatIsNamed) {
  const struct {
    std::string format, cause;
  } cases[] = {
      {"D16", "cannot be the format of a full-screen picture"},
      {"r5g6b5", "is not a format name this game knows"},
  };
  for (const auto& c : cases) {
    CScratchGameDir dir("start_up_format_" + c.format);
    dir.Write("TORIDEN.ini", "[TORIDEN]\r\nWINDOW=0\r\nWIDTH=\r\nFORMAT=" + c.format + "\r\n");
    g_boxes.clear();
    os::SetMessageBoxHook(RecordBox);
    const int code = app::RunGame();
    os::SetMessageBoxHook(nullptr);
    EXPECT_EQ(code, 1);
    const std::string named = "FORMAT=" + c.format + " in TORIDEN.ini " + c.cause;
    ASSERT_EQ(g_boxes.size(), 1u) << c.format;
    EXPECT_NE(g_boxes[0].find(named), std::string::npos) << g_boxes[0];
    EXPECT_EQ(g_boxes[0].find("OpenGL"), std::string::npos) << g_boxes[0];
    const std::string log = ReadText("profile.txt");
    EXPECT_NE(log.find(named), std::string::npos) << log;
    EXPECT_NE(log.find("TORIDEN.ini: WIDTH=\"\" gives 0"), std::string::npos) << log;
  }
}

}  // namespace
