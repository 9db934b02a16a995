#include "app/launch.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "app/app.h"
#include "core/settings_file.h"
#include "platform/os/console.h"
#include "platform/os/files.h"
#include "platform/os/user_dirs.h"
#include "platform/os/window.h"

#ifndef BRIMMEL_VERSION
#define BRIMMEL_VERSION "0"
#endif
// Where an installed copy keeps its data: beside the program first (so a copy unpacked anywhere
// finds its own), then the configured prefix.
#ifndef BRIMMEL_DATA_FROM_PROGRAM
#define BRIMMEL_DATA_FROM_PROGRAM "../share/games/brimmel"
#endif
#ifndef BRIMMEL_DATA_INSTALLED
#define BRIMMEL_DATA_INSTALLED "/usr/share/games/brimmel"
#endif

namespace app {
namespace fs = std::filesystem;

namespace {

constexpr const char* kLogName = "profile.txt";
constexpr const char* kPadMappingsName = "gamecontrollerdb.txt";
constexpr int kLargestSide = 16384;

bool IsDir(const std::string& p) { return os::IsFolder(p); }
bool IsFile(const std::string& p) { return os::IsFile(p); }

// The system's own rules (drive letters, UNC names and both slashes on Windows), never the text's;
// written with the system's own separator, as the log and messages show them.
std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty() || dir == ".") return name;
  return os::Utf8FromPath((os::PathFromUtf8(dir) / os::PathFromUtf8(name)).make_preferred());
}

bool HoldsData(const std::string& dir) { return IsDir(Join(dir, "data")); }

bool ParseSize(const std::string& text, int& width, int& height) {
  const size_t x = text.find('x');
  if (x == 0 || x == std::string::npos || x + 1 >= text.size()) return false;
  long values[2] = {0, 0};
  const std::string parts[2] = {text.substr(0, x), text.substr(x + 1)};
  for (int i = 0; i < 2; ++i) {
    for (const char c : parts[i])
      if (c < '0' || c > '9') return false;
    if (parts[i].size() > 6) return false;
    values[i] = std::strtol(parts[i].c_str(), nullptr, 10);
    if (values[i] < 1 || values[i] > kLargestSide) return false;
  }
  width = static_cast<int>(values[0]);
  height = static_cast<int>(values[1]);
  return true;
}

}  // namespace

std::string AbsolutePath(const std::string& path, const std::string& base) {
  if (path.empty() || os::IsAbsolutePath(path)) return path;
  const fs::path joined = os::PathFromUtf8(base) / os::PathFromUtf8(path);
  // The C++ library would fold a UNC name's two leading separators into one.
  const bool unc = base.size() >= 2 && (base[0] == '/' || base[0] == '\\') && base[0] == base[1];
  return os::Utf8FromPath(unc ? fs::path(joined).make_preferred() : joined.lexically_normal());
}

bool ParseCommandLine(int argc, const char* const* argv, CommandLine& out, std::string& reason) {
  out = CommandLine{};
  bool sawWindowed = false, sawFullScreen = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i] ? argv[i] : "";
    if (arg == "--") {
      if (i + 1 < argc) {
        reason = std::string("unexpected argument '") + argv[i + 1] + "'";
        return false;
      }
      break;
    }
    if (arg.rfind("--", 0) != 0) {
      reason = arg.rfind("-", 0) == 0 && arg.size() > 1 ? "unknown option '" + arg + "'"
                                                        : "unexpected argument '" + arg + "'";
      return false;
    }
    const size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    const bool hasInline = eq != std::string::npos;
    const bool takesValue = name == "--size" || name == "--config" || name == "--data";
    const bool known = takesValue || name == "--windowed" || name == "--fullscreen" || name == "--help" ||
                       name == "--version";
    if (!known) {
      reason = "unknown option '" + name + "'";
      return false;
    }
    if (!takesValue && hasInline) {
      reason = "option '" + name + "' takes no value";
      return false;
    }
    std::string value;
    if (takesValue) {
      if (hasInline) {
        value = arg.substr(eq + 1);
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        reason = "option '" + name + "' needs a value";
        return false;
      }
      if (value.empty()) {
        reason = "option '" + name + "' needs a value";
        return false;
      }
    }
    if (name == "--windowed") {
      sawWindowed = true;
      out.window = 1;
    } else if (name == "--fullscreen") {
      sawFullScreen = true;
      out.window = 0;
    } else if (name == "--size") {
      if (!ParseSize(value, out.width, out.height)) {
        reason = "bad size '" + value + "' (expected WIDTHxHEIGHT, e.g. 1280x960)";
        return false;
      }
    } else if (name == "--config") {
      out.configFile = value;
    } else if (name == "--data") {
      out.dataDir = value;
    } else if (name == "--help") {
      out.help = true;
    } else if (name == "--version") {
      out.version = true;
    }
  }
  if (sawWindowed && sawFullScreen) {
    reason = "'--windowed' and '--fullscreen' exclude each other";
    return false;
  }
  return true;
}

std::string UsageText() { return UsageText(os::ProgramFolderDecides()); }

std::string UsageText(bool programFolderDecides) {
  const std::string options =
      "      --windowed      play in a window (overrides WINDOW)\n"
      "      --fullscreen    play full screen on the desktop (overrides WINDOW)\n"
      "      --size WxH      draw at W x H pixels, e.g. 1280x960 (overrides WIDTH, HEIGHT)\n"
      "      --config FILE   read the settings from FILE\n"
      "      --data DIR      take the game's data from DIR/data\n"
      "      --help          show this help and exit\n"
      "      --version       show the version and exit\n"
      "\n"
      "Where things come from (the first that applies wins):\n";
  const std::string ending =
      "\n"
      "Keys: arrows walk, X runs (and confirms), Z jumps, keypad 8 looks around,\n"
      "keypad 6/2 circle the camera, Alt+Enter switches full screen, F3 hides the\n"
      "read-out, F12 takes a screenshot, Esc quits.\n"
      "\n"
      "Exit status: 0 when the game ends normally, 1 when it cannot start or its\n"
      "display goes away, 2 for a wrong option or value.\n";
  const char* intro = "Play BRIMMEL: a walk through a home and a forest, with a bear in tow.\n\n";
  if (programFolderDecides)
    return std::string("Usage: BRIMMEL.exe [OPTION]...\n") + intro + options +
           "  settings     --config FILE; TORIDEN.ini beside BRIMMEL.exe in a portable\n"
           "               copy; else %APPDATA%\\BRIMMEL\\TORIDEN.ini, written with the\n"
           "               defaults and a comment per key on the first run\n"
           "  display      --windowed/--fullscreen and --size; then the settings file;\n"
           "               then full screen at 640x480\n"
           "  data         --data DIR; the data folder beside BRIMMEL.exe\n"
           "  log          profile.txt beside BRIMMEL.exe in a portable copy; else\n"
           "               %LOCALAPPDATA%\\BRIMMEL\\profile.txt\n"
           "  screenshots  (F12) beside BRIMMEL.exe in a portable copy; else\n"
           "               Pictures\\BRIMMEL\\ in the player's own folders\n"
           "  shaders      compiled programs kept in %LOCALAPPDATA%\\BRIMMEL\\\n"
           "  game pads    SDL's own mappings; gamecontrollerdb.txt beside the settings\n"
           "               file; then %SDL_GAMECONTROLLERCONFIG%\n"
           "A portable copy is one whose folder holds TORIDEN.ini, as the zip's does.\n"
           "The setup program puts none there: an installed copy writes only to the\n"
           "player's own folders.\n" +
           ending;
  return std::string("Usage: brimmel [OPTION]...\n") + intro + options +
         "  settings     --config FILE; ./TORIDEN.ini in a game folder;\n"
         "               $XDG_CONFIG_HOME/brimmel/TORIDEN.ini (~/.config/brimmel/), written\n"
         "               with the defaults and a comment per key on the first run\n"
         "  display      --windowed/--fullscreen and --size; then the settings file;\n"
         "               then full screen at 640x480\n"
         "  data         --data DIR; ./data in a game folder; the installed data\n"
         "               (share/games/brimmel beside the program's games/ folder)\n"
         "  log          ./profile.txt in a game folder; else\n"
         "               $XDG_STATE_HOME/brimmel/profile.txt (~/.local/state/brimmel/)\n"
         "  screenshots  (F12) $XDG_PICTURES_DIR/BRIMMEL/; else the log's folder\n"
         "  shaders      compiled programs kept in $XDG_CACHE_HOME/brimmel/\n"
         "               (~/.cache/brimmel/)\n"
         "  game pads    SDL's own mappings; gamecontrollerdb.txt beside the settings\n"
         "               file; then $SDL_GAMECONTROLLERCONFIG\n"
         "A game folder is a working folder that holds data/ or TORIDEN.ini.\n" +
         ending;
}

namespace {
// What a wrong command line gets: the forms, and where the rest is.
std::string ShortUsage(bool programFolderDecides) {
  const std::string name = programFolderDecides ? "BRIMMEL.exe" : "brimmel";
  return "Usage: " + name + " [--windowed | --fullscreen] [--size WxH] [--config FILE] [--data DIR]\n" +
         "Try '" + name + " --help' for more information.\n";
}
}  // namespace

namespace {

size_t Indent(const std::string& line) {
  const size_t first = line.find_first_not_of(' ');
  return first == std::string::npos ? line.size() : first;
}

// A line of ours that begins a paragraph of its own rather than going on with the one before.
bool Opens(const std::string& line) { return line.rfind("Usage:", 0) == 0 || line.rfind("Try ", 0) == 0; }

// What a message box or the console shows, from the same text.
void Say(os::Stream stream, const std::string& text) { os::Tell(stream, text, BoxText(text), "BRIMMEL"); }

}  // namespace

std::string BoxText(const std::string& consoleText) {
  std::vector<std::string> out;
  bool inEntry = false;  // the last line out is an indented entry
  std::istringstream lines(consoleText);
  for (std::string line; std::getline(lines, line);) {
    const size_t indent = Indent(line);
    const std::string text = line.substr(indent);
    if (text.empty()) {
      out.emplace_back();
      inEntry = false;
      continue;
    }
    // An entry's own lines are indented further than any entry starts.
    if (inEntry && indent >= 8) {
      out.back() += " " + text;
      continue;
    }
    if (indent > 0) {
      // "name    text" becomes "name: text"; an entry without a second column stays as it is.
      std::string entry = text;
      const size_t gap = entry.find("  ");
      if (gap != std::string::npos) {
        const size_t rest = entry.find_first_not_of(' ', gap);
        entry = entry.substr(0, gap) + ": " + entry.substr(rest);
      }
      out.push_back(entry);
      inEntry = true;
      continue;
    }
    const bool goesOn = !out.empty() && !inEntry && !out.back().empty() && !Opens(text) &&
                        out.back().back() != '.' && out.back().back() != ':';
    if (goesOn)
      out.back() += " " + text;
    else
      out.push_back(text);
    inEntry = false;
  }
  std::string joined;
  for (size_t i = 0; i < out.size(); ++i) joined += (i ? "\n" : "") + out[i];
  return joined;
}

std::string VersionText() { return std::string("brimmel ") + BRIMMEL_VERSION + "\n"; }

Environment CurrentEnvironment() {
  Environment env;
  env.workDir = os::WorkingDir();
  env.configHome = os::ConfigHome();
  env.stateHome = os::StateHome();
  env.picturesDir = os::PicturesDir();
  env.programDir = os::ProgramDir();
  env.programFolderDecides = os::ProgramFolderDecides();
  env.ownFolder = os::OwnFolderName();
  return env;
}

GamePaths ResolvePaths(const CommandLine& line, const Environment& env) {
  GamePaths p;
  const std::string& work = env.workDir;
  const bool byProgram = env.programFolderDecides;
  // The folder whose contents make this copy a game folder (see os::ProgramFolderDecides).
  const std::string& home = byProgram ? env.programDir : work;
  p.gameFolder = IsFile(Join(home, settings::kFileName)) || (!byProgram && HoldsData(home));

  // Data: the option, the game folder's own (always beside the program where it decides), then
  // the installed copy.
  if (!line.dataDir.empty()) {
    const std::string dir = AbsolutePath(line.dataDir, work);
    if (!HoldsData(dir)) {
      p.error = "no data/ folder in '" + line.dataDir + "'";
      return p;
    }
    p.dataDir = dir;
  } else if (byProgram) {
    p.dataDir = home.empty() ? work : home;
  } else if (!HoldsData(work)) {
    std::string candidates[2] = {
        env.programDir.empty() ? std::string() : AbsolutePath(BRIMMEL_DATA_FROM_PROGRAM, env.programDir),
        BRIMMEL_DATA_INSTALLED};
    p.dataDir = candidates[1];
    for (const std::string& c : candidates)
      if (!c.empty() && HoldsData(c)) {
        p.dataDir = c;
        break;
      }
  }
  // Once the game moves into another folder, every other path has to be absolute.
  const bool moves = !p.dataDir.empty();
  const std::string here = moves ? home : std::string();

  if (!line.configFile.empty()) {
    p.configFile = AbsolutePath(line.configFile, work);
    if (!IsFile(p.configFile)) {
      p.error = "cannot read the settings file '" + line.configFile + "'";
      return p;
    }
  } else if (p.gameFolder) {
    p.configFile = Join(here, settings::kFileName);
  } else if (!env.configHome.empty()) {
    p.configFile = Join(Join(env.configHome, env.ownFolder), settings::kFileName);
    p.createConfig = true;
  }

  std::string stateDir;
  if (p.gameFolder) {
    stateDir = here;
    p.logFile = Join(here, kLogName);
  } else if (!env.stateHome.empty()) {
    stateDir = Join(env.stateHome, env.ownFolder);
    p.logFile = Join(stateDir, kLogName);
  }
  // A portable copy keeps its pictures beside it too.
  if (byProgram && p.gameFolder)
    p.screenshotDir = here;
  else
    p.screenshotDir = !env.picturesDir.empty() ? Join(env.picturesDir, "BRIMMEL")
                      : stateDir.empty()       ? work
                                               : stateDir;
  if (moves) p.screenshotDir = AbsolutePath(p.screenshotDir, work);

  if (!p.configFile.empty())
    p.controllerMappings =
        os::Utf8FromPath(os::PathFromUtf8(p.configFile).parent_path() / os::PathFromUtf8(kPadMappingsName));
  return p;
}

bool WriteDefaultSettings(const std::string& path) {
  std::ofstream out(os::PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out << settings::DefaultText();
  out.flush();
  return static_cast<bool>(out);
}

namespace {

// Makes the folder a file goes in; says once why when it cannot (a program without a console
// shows it in a box).
bool PrepareFolderOf(const std::string& file, const char* what) {
  const fs::path dir = os::PathFromUtf8(file).parent_path();
  if (dir.empty() || dir == dir.root_path()) return true;
  std::error_code ec, ec2;
  fs::create_directories(dir, ec);
  if (ec || !fs::is_directory(dir, ec2)) {
    Say(os::Stream::kError, "brimmel: cannot make the folder '" + os::DisplayPath(os::Utf8FromPath(dir)) +
                                "' (" + (ec ? ec.message() : "not a folder") + "); " + what + "\n");
    return false;
  }
  return true;
}

}  // namespace

int Main(int argc, char** argv) {
  const std::vector<std::string> args = os::CommandLineArguments(argc, argv);
  std::vector<const char*> argp;
  for (const std::string& a : args) argp.push_back(a.c_str());
  const bool byProgram = os::ProgramFolderDecides();
  CommandLine line;
  std::string reason;
  if (!ParseCommandLine(static_cast<int>(argp.size()), argp.data(), line, reason)) {
    Say(os::Stream::kError, "brimmel: " + reason + "\n" + ShortUsage(byProgram));
    return 2;
  }
  if (line.help) {
    Say(os::Stream::kOutput, UsageText(byProgram));
    return 0;
  }
  if (line.version) {
    Say(os::Stream::kOutput, VersionText());
    return 0;
  }
  const Environment env = CurrentEnvironment();
  const GamePaths paths = ResolvePaths(line, env);
  if (!paths.error.empty()) {
    Say(os::Stream::kError, "brimmel: " + paths.error + "\n" + ShortUsage(byProgram));
    return 2;
  }
  // Nothing is written for a copy that cannot play.
  if (!paths.dataDir.empty() && !HoldsData(paths.dataDir)) {
    Say(os::Stream::kError,
        "brimmel: no game data in '" + os::DisplayPath(paths.dataDir) + "' (use --data DIR)\n");
    return 1;
  }

  if (paths.createConfig && !IsFile(paths.configFile) &&
      PrepareFolderOf(paths.configFile, "the settings stay at their defaults")) {
    if (!WriteDefaultSettings(paths.configFile))
      Say(os::Stream::kError, "brimmel: cannot write '" + os::DisplayPath(paths.configFile) +
                                  "'; the settings stay at their defaults\n");
  }
  LaunchSettings settings;
  settings.configFile = paths.configFile;
  settings.logFile = paths.logFile;
  if (!paths.logFile.empty() && !PrepareFolderOf(paths.logFile, "no log is kept")) settings.logFile.clear();
  settings.screenshotDir = paths.screenshotDir;
  settings.controllerMappings = paths.controllerMappings;
  settings.window = line.window;
  settings.width = line.width;
  settings.height = line.height;

  if (!paths.dataDir.empty()) {
    if (!os::ChangeWorkingDir(paths.dataDir)) {
      Say(os::Stream::kError, "brimmel: cannot enter '" + os::DisplayPath(paths.dataDir) + "'\n");
      return 1;
    }
  }
  // Ctrl+C in a terminal, or a session ending, closes the game as its window's close box does.
  os::SetQuitOnSignals(true);
  return RunGame(settings);
}

}  // namespace app
