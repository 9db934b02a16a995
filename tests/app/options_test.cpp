// The installed program's command line, where it looks for its files, and the settings file it
// writes for a new player (read back through the game's own reader).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "app/launch.h"
#include "core/config.h"
#include "core/input.h"
#include "platform/os/input_device.h"
#include "support/scratch_dir.h"

namespace {

bool Parse(std::vector<const char*> args, app::CommandLine& line, std::string& reason) {
  args.insert(args.begin(), "brimmel");
  return app::ParseCommandLine(static_cast<int>(args.size()), args.data(), line, reason);
}

TEST(CommandLine, AcceptsTheGnuFormsAndRefusesAnythingElseWithAReason) {
  app::CommandLine line;
  std::string reason;
  ASSERT_TRUE(Parse({}, line, reason));
  EXPECT_EQ(line.window, -1);  // nothing given: the settings file decides
  EXPECT_EQ(line.width, 0);

  ASSERT_TRUE(
      Parse({"--windowed", "--size", "1280x960", "--config=my.ini", "--data", "/opt/b"}, line, reason))
      << reason;
  EXPECT_EQ(line.window, 1);
  EXPECT_EQ(line.width, 1280);
  EXPECT_EQ(line.height, 960);
  EXPECT_EQ(line.configFile, "my.ini");
  EXPECT_EQ(line.dataDir, "/opt/b");
  ASSERT_TRUE(Parse({"--fullscreen", "--size=320x240", "--"}, line, reason));
  EXPECT_EQ(line.window, 0);
  EXPECT_EQ(line.width, 320);

  const struct {
    std::vector<const char*> args;
    const char* reasonHas;
  } wrong[] = {
      {{"--fullscren"}, "unknown option '--fullscren'"},
      {{"-w"}, "unknown option '-w'"},
      {{"level2"}, "unexpected argument 'level2'"},
      {{"--", "extra"}, "unexpected argument 'extra'"},
      {{"--size"}, "needs a value"},
      {{"--config="}, "needs a value"},
      {{"--size", "640"}, "bad size '640'"},
      {{"--size", "0x480"}, "bad size"},
      {{"--size", "640x-480"}, "bad size"},
      {{"--size", "640x480x2"}, "bad size"},
      {{"--size", "99999x480"}, "bad size"},
      {{"--windowed=1"}, "takes no value"},
      {{"--windowed", "--fullscreen"}, "exclude each other"},
  };
  for (const auto& w : wrong) {
    reason.clear();
    EXPECT_FALSE(Parse(w.args, line, reason)) << w.args[0];
    EXPECT_NE(reason.find(w.reasonHas), std::string::npos) << w.args[0] << ": " << reason;
    EXPECT_EQ(reason.find('\n'), std::string::npos) << "one line";
  }
}

class PathLookup : public ::testing::Test {
 protected:
  PathLookup() : scratch_("desktop_paths") {
    root = scratch_.Path();
    env.workDir = root + "/work";
    env.configHome = root + "/config";
    env.stateHome = root + "/state";
    env.programDir = root + "/prefix/games";
    std::filesystem::create_directories(env.workDir);
    std::filesystem::create_directories(root + "/prefix/share/games/brimmel/data/scr");
  }
  CScratchGameDir scratch_;

 public:
  std::string root;
  app::Environment env;
};

TEST_F(PathLookup, AGameFolderKeepsEverythingBesideItWhileAnInstalledRunUsesTheXdgFolders) {
  const app::CommandLine none;
  // Nothing in the working folder: the installed data beside the program, the player's folders.
  app::GamePaths p = app::ResolvePaths(none, env);
  EXPECT_FALSE(p.gameFolder);
  EXPECT_EQ(p.dataDir, root + "/prefix/share/games/brimmel");
  EXPECT_EQ(p.configFile, root + "/config/brimmel/TORIDEN.ini");
  EXPECT_TRUE(p.createConfig);
  EXPECT_EQ(p.logFile, root + "/state/brimmel/profile.txt");
  EXPECT_EQ(p.screenshotDir, root + "/state/brimmel");
  EXPECT_EQ(p.controllerMappings, root + "/config/brimmel/gamecontrollerdb.txt");
  env.picturesDir = root + "/Pictures";
  EXPECT_EQ(app::ResolvePaths(none, env).screenshotDir, root + "/Pictures/BRIMMEL");

  // A game folder: the bare names in the working folder, as the game has always used them.
  std::filesystem::create_directories(env.workDir + "/data");
  p = app::ResolvePaths(none, env);
  EXPECT_TRUE(p.gameFolder);
  EXPECT_EQ(p.dataDir, "");
  EXPECT_EQ(p.configFile, "TORIDEN.ini");
  EXPECT_FALSE(p.createConfig);
  EXPECT_EQ(p.logFile, "profile.txt");
  EXPECT_EQ(p.controllerMappings, "gamecontrollerdb.txt");

  // Options come first; once the data is elsewhere, the game folder's files are named in full.
  app::CommandLine line;
  line.dataDir = "../prefix/share/games/brimmel";
  std::ofstream(root + "/mine.ini") << "[TORIDEN]\n";
  line.configFile = root + "/mine.ini";
  p = app::ResolvePaths(line, env);
  EXPECT_TRUE(p.error.empty()) << p.error;
  EXPECT_EQ(p.dataDir, root + "/prefix/share/games/brimmel");
  EXPECT_EQ(p.configFile, root + "/mine.ini");
  EXPECT_EQ(p.logFile, env.workDir + "/profile.txt");

  // Options naming something unusable are refused.
  line.dataDir = root + "/work/nothing-here";
  EXPECT_NE(app::ResolvePaths(line, env).error.find("no data/ folder"), std::string::npos);
  line.dataDir.clear();
  line.configFile = "missing.ini";
  EXPECT_NE(app::ResolvePaths(line, env).error.find("cannot read the settings file"), std::string::npos);

  // No home at all: no settings file to make and no log, but still somewhere for pictures.
  std::filesystem::remove_all(env.workDir + "/data");
  env.configHome.clear();
  env.stateHome.clear();
  env.picturesDir.clear();
  p = app::ResolvePaths(none, env);
  EXPECT_EQ(p.configFile, "");
  EXPECT_EQ(p.logFile, "");
  EXPECT_EQ(p.screenshotDir, env.workDir);
}

// The file written on the first run reads back as the defaults, and its commented [KEYS] lines
// name real keys: uncommenting them changes nothing.
TEST_F(PathLookup, TheFirstRunSettingsReadBackAsTheDefaultsAndTheirKeyNamesAreTheDefaults) {
  const std::string file = root + "/first.ini";
  ASSERT_TRUE(app::WriteDefaultSettings(file));
  CConfig c(file.c_str());
  EXPECT_EQ(c.window, 0);
  EXPECT_EQ(c.width, 640);
  EXPECT_EQ(c.height, 480);
  EXPECT_EQ(c.format, 23);
  EXPECT_EQ(c.fps, 60);

  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  std::string s = text.str();
  // Every key carries a comment just above it.
  for (const char* key : {"WINDOW=", "WIDTH=", "FORMAT=", "DISPLAYNO=", "QUALITY=", "FPS="}) {
    const size_t at = s.find(std::string("\n") + key);
    ASSERT_NE(at, std::string::npos) << key;
    const size_t lineStart = s.rfind('\n', at - 1);
    EXPECT_EQ(s[lineStart + 1], ';') << "no comment above " << key;
  }
  size_t pos = 0;
  while ((pos = s.find("\n;BUTTON", pos)) != std::string::npos) s.erase(pos + 1, 1);
  s.replace(s.find(";[KEYS]"), 7, "[KEYS]");
  const std::string uncommented = root + "/uncommented.ini";
  std::ofstream(uncommented) << s;
  CKeyBindings bindings;
  EXPECT_EQ(bindings.Load(uncommented.c_str()), 14);
  const CKeyBindings defaults;
  for (int b = 0; b < CInput::kButtons; ++b)
    EXPECT_EQ(os::KeyListName(bindings.Keys(b)), os::KeyListName(defaults.Keys(b))) << b;

  EXPECT_FALSE(app::WriteDefaultSettings(root + "/no-such-folder/TORIDEN.ini"));
}

// The order of precedence is written once for players: --help prints it and the README carries
// the same lines, so the two cannot drift apart. The Windows copy's text (its program folder
// decides) is checked here too, against the README's Windows section.
TEST(CommandLine, TheReadmeCarriesEveryOptionAndLookupLineOfTheHelp) {
  std::ifstream in(std::string(BRIMMEL_SOURCE_DIR) + "/README.md");
  std::stringstream readme;
  readme << in.rdbuf();
  for (const bool windows : {false, true}) {
    std::istringstream help(app::UsageText(windows));
    std::string line;
    int checked = 0;
    bool lookups = false;  // the lines after "Where things come from", up to the blank one
    while (std::getline(help, line)) {
      if (line.empty()) lookups = false;
      if (line.rfind("Where things come from", 0) == 0) {
        lookups = true;
        continue;
      }
      if (line.rfind("  ", 0) != 0 && !lookups) continue;
      EXPECT_NE(readme.str().find(line + "\n"), std::string::npos) << "README lacks: " << line;
      ++checked;
    }
    EXPECT_GT(checked, 15) << windows;
  }
  EXPECT_EQ(app::UsageText(), app::UsageText(false)) << "the Linux build's own text";
}

TEST(KeyNames, SdlNamesGiveTheDesignsCodesAndOtherKeysStillGetOne) {
  EXPECT_EQ(os::KeyFromName("x"), 'X');
  EXPECT_EQ(os::KeyFromName("W"), 'W');
  EXPECT_EQ(os::KeyFromName("7"), '7');
  EXPECT_EQ(os::KeyFromName("Left"), os::VK_LEFT);
  EXPECT_EQ(os::KeyFromName("Keypad 8"), os::VK_NUMPAD8);
  EXPECT_EQ(os::KeyFromName("right shift"), os::VK_RSHIFT);
  EXPECT_EQ(os::KeyFromName("Space"), 0x20);
  const int end = os::KeyFromName("End");
  EXPECT_GT(end, 0xFFFF);
  EXPECT_NE(end, os::KeyFromName("Home"));
  EXPECT_EQ(os::KeyFromName("Hyperjump"), 0);
  EXPECT_EQ(os::KeyFromName(""), 0);
}

}  // namespace
