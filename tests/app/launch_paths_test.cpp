// Where the launcher looks, by the system's own path rules. The same cases run on Linux and,
// built for Windows, under Wine, where drive letters, UNC names and backslashes are the
// system's and a folder name outside the ANSI code page must still be found.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/launch.h"
#include "core/config.h"
#include "platform/os/files.h"
#include "support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

// Windows reads a drive letter as a root; elsewhere it is part of a file name.
const bool kWindowsPaths = fs::path("C:/").has_root_name();

// The same place whatever the slashes, as a string gtest can show.
std::string Norm(const std::string& utf8) {
  return os::Utf8FromPath(os::PathFromUtf8(utf8).lexically_normal());
}

// The path as a player types it on this system (backslashes on Windows).
std::string Typed(const std::string& utf8) { return os::DisplayPath(utf8); }

bool MakeFolder(const std::string& utf8) {
  std::error_code ec;
  fs::create_directories(os::PathFromUtf8(utf8), ec);
  return fs::is_directory(os::PathFromUtf8(utf8), ec);
}

void WriteText(const std::string& utf8, const std::string& text) {
  std::ofstream(os::PathFromUtf8(utf8), std::ios::binary) << text;
}

TEST(LaunchPaths, AbsolutePathsStandAsTheSystemReadsThemAndRelativeOnesJoinTheBase) {
  const std::string base = kWindowsPaths ? "C:/Jeux/Brimmel été" : "/home/zoë/jeux";
  EXPECT_EQ(Norm(app::AbsolutePath("b.ini", base)), Norm(base + "/b.ini"));
  EXPECT_EQ(Norm(app::AbsolutePath("../ブリメル/./b.ini", base)),
            Norm(base.substr(0, base.rfind('/')) + "/ブリメル/b.ini"));
  EXPECT_EQ(app::AbsolutePath("", base), "");
  if (kWindowsPaths) {
    // Drive letters and UNC names, with either slash, are absolute as they stand.
    for (const char* given : {"C:\\Games\\b.ini", "D:/b.ini", "\\\\server\\share\\brimmel",
                              "//server/share/b.ini", "\\\\?\\Z:\\Jeux\\b.ini"})
      EXPECT_EQ(app::AbsolutePath(given, base), given);
    // A root without a drive is on the base's drive; backslashes separate as slashes do.
    EXPECT_EQ(Norm(app::AbsolutePath("\\Games\\b.ini", base)), Norm("C:/Games/b.ini"));
    EXPECT_EQ(Norm(app::AbsolutePath("sub\\b.ini", base)), Norm(base + "/sub/b.ini"));
    // Joined onto a folder on a share, the share's name stays whole.
    EXPECT_EQ(app::AbsolutePath("b.ini", "//server/share/jeux"), "\\\\server\\share\\jeux\\b.ini");
  } else {
    EXPECT_EQ(app::AbsolutePath("/etc/brimmel/b.ini", base), "/etc/brimmel/b.ini");
    // A backslash is a letter of a name here: a Windows path is a relative name.
    EXPECT_EQ(app::AbsolutePath("C:\\Games\\b.ini", base), base + "/C:\\Games\\b.ini");
  }
}

// The Windows copy's rule (the program's folder decides), on real folders with non-ASCII names.
class ProgramFolderRule : public ::testing::Test {
 protected:
  ProgramFolderRule() : scratch_("launch_paths") {
    root = scratch_.Path();
    program = root + "/Jeux été/ブリメル";
    env.workDir = root + "/elsewhere";
    env.programDir = program;
    env.configHome = root + "/Roaming";
    env.stateHome = root + "/Local";
    env.picturesDir = root + "/Pictures";
    env.programFolderDecides = true;
    env.ownFolder = "BRIMMEL";
    EXPECT_TRUE(MakeFolder(program + "/data"));
    // A working folder that would be a game folder on the desktop counts for nothing here.
    EXPECT_TRUE(MakeFolder(env.workDir + "/data"));
    WriteText(env.workDir + "/TORIDEN.ini", "[TORIDEN]\n");
  }
  CScratchGameDir scratch_;

 public:
  std::string root, program;
  app::Environment env;
};

TEST_F(ProgramFolderRule, AnInstalledCopyUsesThePlayersFoldersAndAPortableOneItsOwnFolder) {
  const app::CommandLine none;
  // Installed: no TORIDEN.ini beside the program.
  app::GamePaths p = app::ResolvePaths(none, env);
  EXPECT_TRUE(p.error.empty()) << p.error;
  EXPECT_FALSE(p.gameFolder);
  EXPECT_EQ(Norm(p.dataDir), Norm(program));
  EXPECT_EQ(Norm(p.configFile), Norm(root + "/Roaming/BRIMMEL/TORIDEN.ini"));
  EXPECT_TRUE(p.createConfig);
  EXPECT_EQ(Norm(p.logFile), Norm(root + "/Local/BRIMMEL/profile.txt"));
  EXPECT_EQ(Norm(p.screenshotDir), Norm(root + "/Pictures/BRIMMEL"));
  EXPECT_EQ(Norm(p.controllerMappings), Norm(root + "/Roaming/BRIMMEL/gamecontrollerdb.txt"));

  // Portable: the zip's TORIDEN.ini beside the program keeps everything there, pictures too.
  WriteText(program + "/TORIDEN.ini", "[TORIDEN]\n");
  p = app::ResolvePaths(none, env);
  EXPECT_TRUE(p.gameFolder);
  EXPECT_EQ(Norm(p.dataDir), Norm(program));
  EXPECT_EQ(Norm(p.configFile), Norm(program + "/TORIDEN.ini"));
  EXPECT_FALSE(p.createConfig);
  EXPECT_EQ(Norm(p.logFile), Norm(program + "/profile.txt"));
  EXPECT_EQ(Norm(p.screenshotDir), Norm(program));
}

TEST_F(ProgramFolderRule, OptionsNameFilesByAbsolutePathsOrFromTheWorkingFolder) {
  app::CommandLine line;
  // Relative: from where the player started it, not from the program's folder.
  WriteText(env.workDir + "/mine.ini", "[TORIDEN]\n");
  line.configFile = "mine.ini";
  app::GamePaths p = app::ResolvePaths(line, env);
  EXPECT_TRUE(p.error.empty()) << p.error;
  EXPECT_EQ(Norm(p.configFile), Norm(env.workDir + "/mine.ini"));

  // Absolute, as typed on this system (a drive letter under Wine), in a folder named in Japanese.
  ASSERT_TRUE(MakeFolder(root + "/設定"));
  const std::string file = root + "/設定/b.ini";
  WriteText(file, "[TORIDEN]\n");
  line.configFile = Typed(file);
  p = app::ResolvePaths(line, env);
  EXPECT_TRUE(p.error.empty()) << p.error;
  EXPECT_EQ(p.configFile, line.configFile);
  if (kWindowsPaths) {
    // The UNC-style long form of the same file.
    line.configFile = "\\\\?\\" + Typed(file);
    p = app::ResolvePaths(line, env);
    EXPECT_TRUE(p.error.empty()) << p.error;
    EXPECT_EQ(p.configFile, line.configFile);
  }

  line.configFile.clear();
  line.dataDir = "../Jeux été/ブリメル";
  p = app::ResolvePaths(line, env);
  EXPECT_TRUE(p.error.empty()) << p.error;
  EXPECT_EQ(Norm(p.dataDir), Norm(program));
  line.dataDir = Typed(root + "/設定");
  EXPECT_NE(app::ResolvePaths(line, env).error.find("no data/ folder"), std::string::npos);
}

// The first-run settings and the log go into a player's folder whose name is not ASCII, and the
// game's own readers find them there.
TEST_F(ProgramFolderRule, FilesInNonAsciiFoldersAreWrittenAndReadBack) {
  const std::string folder = root + "/Zoë/設定";
  ASSERT_TRUE(MakeFolder(folder));
  const std::string settings = folder + "/TORIDEN.ini";
  ASSERT_TRUE(app::WriteDefaultSettings(settings));
  std::ifstream in(os::PathFromUtf8(settings), std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(written.find("\nWIDTH=640\n"), std::string::npos) << written;
  WriteText(settings, "[TORIDEN]\nWIDTH=800\nHEIGHT=600\n");
  {
    CConfig changed(settings.c_str());
    EXPECT_EQ(changed.width, 800);
    EXPECT_EQ(changed.height, 600);
  }

  std::FILE* f = os::OpenFile(folder + "/profile.txt", "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("log\n", f);
  std::fclose(f);
  std::error_code ec;
  EXPECT_EQ(fs::file_size(os::PathFromUtf8(folder + "/profile.txt"), ec), 4u);
}

}  // namespace
