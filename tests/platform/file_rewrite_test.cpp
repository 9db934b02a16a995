// The settings file written back as a player keeps it: through a symbolic link (dotfile managers
// keep settings so), never over a file the player locked, and whole or not at all when the write is
// cut short. Built for Windows too (tests/windows), where links and crashes are not tried.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "platform/os/files.h"
#include "platform/os/profile.h"
#include "support/scratch_dir.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

const char* const kSettings =
    "; mine\n"
    "[TORIDEN]\n"
    "WINDOW=1\n"
    "[SOUND]\n"
    "MUSIC=40\n"
    "EFFECTS=70\n";

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(os::PathFromUtf8(folder)))
    names.insert(os::Utf8FromPath(e.path().filename()));
  return names;
}

std::string Music(const std::string& text) {
  std::string value;
  return os::FindProfileValue(text, "SOUND", "MUSIC", value) ? value : "(none)";
}

// Makes a symbolic link, or skips where the system will not (Windows without the right).
#define MAKE_LINK(target, link)                                                \
  do {                                                                         \
    std::error_code ec_;                                                       \
    fs::create_symlink(os::PathFromUtf8(target), os::PathFromUtf8(link), ec_); \
    if (ec_) GTEST_SKIP() << "no symbolic links here: " << ec_.message();      \
  } while (0)

TEST(FileRewrite, ALinkIsWrittenThroughAndStaysALink) {
  CScratchGameDir dir("rewrite_link");
  dir.Write("dotfiles/brimmel.ini", kSettings);
  fs::create_directories(dir.Path() + "/config/brimmel");
  const std::string link = dir.Path() + "/config/brimmel/TORIDEN.ini";
  // Relative, as dotfile managers make them, and through a second link.
  MAKE_LINK("../dotfiles/brimmel.ini", dir.Path() + "/config/settings.ini");
  MAKE_LINK("../settings.ini", link);

  std::string error;
  ASSERT_TRUE(os::WriteProfileValues(link, {{"SOUND", "MUSIC", "60"}}, error)) << error;
  const std::string target = ReadFileText(dir.Path() + "/dotfiles/brimmel.ini");
  EXPECT_EQ(Music(target), "60");
  EXPECT_NE(target.find("; mine\n[TORIDEN]\nWINDOW=1\n"), std::string::npos) << target;
  EXPECT_TRUE(fs::is_symlink(link)) << "the link became a file of its own";
  EXPECT_EQ(fs::read_symlink(link).string(), "../settings.ini");
  EXPECT_TRUE(fs::is_symlink(dir.Path() + "/config/settings.ini"));
  EXPECT_EQ(Names(dir.Path() + "/dotfiles"), std::set<std::string>{"brimmel.ini"});
  EXPECT_EQ(Names(dir.Path() + "/config/brimmel"), std::set<std::string>{"TORIDEN.ini"});
}

TEST(FileRewrite, ADanglingLinkIsReportedAndLeftAsItIs) {
  CScratchGameDir dir("rewrite_dangling");
  const std::string link = dir.Path() + "/TORIDEN.ini";
  MAKE_LINK("gone/brimmel.ini", link);
  std::string error;
  EXPECT_FALSE(os::WriteProfileValues(link, {{"SOUND", "MUSIC", "60"}}, error));
  // Where the link leads, as far as the system tells.
  EXPECT_NE(error.find("TORIDEN.ini is a link to "), std::string::npos) << error;
  EXPECT_NE(error.find("not there"), std::string::npos) << error;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_FALSE(fs::exists(link)) << "the link still leads nowhere";
  EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"TORIDEN.ini"});
}

TEST(FileRewrite, AReadOnlyFileIsLeftAloneWithItsNotice) {
  CScratchGameDir dir("rewrite_read_only");
  dir.Write("TORIDEN.ini", kSettings);
  const std::string file = dir.Path() + "/TORIDEN.ini";
  const fs::perms locked = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  fs::permissions(os::PathFromUtf8(file), locked);

  std::string error;
  EXPECT_FALSE(os::WriteProfileValues(file, {{"SOUND", "MUSIC", "60"}}, error));
  EXPECT_EQ(error, "TORIDEN.ini is read-only");
  EXPECT_EQ(ReadFileText(file), kSettings);
  EXPECT_EQ(fs::status(os::PathFromUtf8(file)).permissions() & fs::perms::all & ~locked, fs::perms::none)
      << "the lock stays";
  EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"TORIDEN.ini"}) << "nothing is left beside it";
  // A later save meets the same lock, not a leftover of this one.
  EXPECT_FALSE(os::WriteProfileValues(file, {{"SOUND", "EFFECTS", "10"}}, error));
  EXPECT_EQ(error, "TORIDEN.ini is read-only");
  // Where nothing would change there is nothing to refuse.
  EXPECT_TRUE(os::WriteProfileValues(file, {{"SOUND", "MUSIC", "40"}}, error)) << error;

  fs::permissions(os::PathFromUtf8(file), fs::perms::owner_write, fs::perm_options::add);
  ASSERT_TRUE(os::WriteProfileValues(file, {{"SOUND", "MUSIC", "60"}}, error)) << error;
  EXPECT_EQ(Music(ReadFileText(file)), "60");
}

// A step that fails (a read cut short, an error before the rename) leaves the old file whole and
// nothing beside it.
TEST(FileRewrite, AStepThatFailsLeavesTheOldFileWholeAndNothingBehind) {
  CScratchGameDir dir("rewrite_failing_step");
  dir.Write("TORIDEN.ini", kSettings);
  const std::string file = dir.Path() + "/TORIDEN.ini";
  const auto edit = [](const std::string& old) {
    return os::EditProfileText(old, {{"SOUND", "MUSIC", "5"}});
  };
  for (const os::RewriteStep failing : {os::RewriteStep::kRead, os::RewriteStep::kWritten}) {
    std::set<os::RewriteStep> reached;
    std::string error;
    const bool done = os::RewriteFile(file, edit, error, [&](os::RewriteStep step) {
      reached.insert(step);
      return step != failing;
    });
    EXPECT_FALSE(done);
    EXPECT_NE(error.find("TORIDEN.ini"), std::string::npos) << error;
    EXPECT_EQ(reached.count(os::RewriteStep::kWritten), failing == os::RewriteStep::kWritten ? 1u : 0u);
    EXPECT_EQ(ReadFileText(file), kSettings);
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"TORIDEN.ini"});
  }
}

// The process ends between the new file and the rename (a crash, a kill): the settings are the old
// ones, whole, and the next save goes through and clears what the cut left.
TEST(FileRewrite, AWriteCutShortBeforeTheRenameLeavesTheOldFileWhole) {
#ifdef _WIN32
  GTEST_SKIP() << "a crash is tried where a process can be forked";
#else
  CScratchGameDir dir("rewrite_cut_short");
  dir.Write("TORIDEN.ini", kSettings);
  const std::string file = dir.Path() + "/TORIDEN.ini";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string error;
    os::RewriteFile(
        file,
        [](const std::string& old) {
          return os::EditProfileText(old, {{"SOUND", "MUSIC", "5"}});
        },
        error,
        [](os::RewriteStep step) {
          if (step == os::RewriteStep::kWritten) _exit(42);
          return true;
        });
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 42) << "the write did not reach the cut";
  EXPECT_EQ(ReadFileText(file), kSettings);
  std::string error;
  ASSERT_TRUE(os::WriteProfileValues(file, {{"SOUND", "MUSIC", "5"}}, error)) << error;
  EXPECT_EQ(Music(ReadFileText(file)), "5");
  EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"TORIDEN.ini"});
#endif
}

}  // namespace
