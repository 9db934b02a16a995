// The desktop program's entry: its command line, where its files are looked up, and the
// first-run set-up of the player's own folders. Run from a game folder without options, the
// game behaves exactly as RunGame alone does.
#pragma once
#include <string>

namespace app {

struct CommandLine {
  int window = -1;  // -1: as the settings say; 0: full screen; 1: windowed
  int width = 0;    // 0: as the settings say
  int height = 0;
  std::string configFile;  // "" = the usual place
  std::string dataDir;     // "" = the usual place
  bool help = false;
  bool version = false;
};

// GNU-style long options, "--name VALUE" or "--name=VALUE"; "--" ends them. False with a
// one-line reason for an unknown option, a missing or bad value or a stray argument.
bool ParseCommandLine(int argc, const char* const* argv, CommandLine& out, std::string& reason);

// The edition's own text, or the one whose program folder decides (Windows).
std::string UsageText();
std::string UsageText(bool programFolderDecides);
std::string VersionText();
// Console text (columns of spaces, lines cut at 80) as a box with a proportional font shows it
// well: an indented entry becomes "name: text" on one line, its continuation lines joined to it,
// and a paragraph's lines joined, so that the box wraps them at its own width.
std::string BoxText(const std::string& consoleText);

// What the lookup starts from: the working folder and the user's and the program's folders.
struct Environment {
  std::string workDir;
  std::string configHome;             // "" when unknown
  std::string stateHome;              // "" when unknown
  std::string picturesDir;            // "" when none
  std::string programDir;             // "" when unknown
  bool programFolderDecides = false;  // see os::ProgramFolderDecides
  std::string ownFolder = "brimmel";  // the game's folder inside the player's folders
};
Environment CurrentEnvironment();

// PATH as it stands when absolute by the system's rules (a drive letter or UNC name on
// Windows), else joined onto BASE and normalised.
std::string AbsolutePath(const std::string& path, const std::string& base);

struct GamePaths {
  bool gameFolder = false;         // everything beside the deciding folder (os::ProgramFolderDecides)
  std::string dataDir;             // the folder to enter (it holds data/); "" = stay where we are
  std::string configFile;          // the settings file read at start-up
  bool createConfig = false;       // written with the defaults when missing (the player's own)
  std::string logFile;             // "" when there is nowhere to keep one
  std::string screenshotDir;       // made when the first picture is taken
  std::string controllerMappings;  // an optional gamecontrollerdb.txt
  std::string error;               // set when an option names something unusable
};
GamePaths ResolvePaths(const CommandLine& line, const Environment& env);

// Writes the settings file with its defaults, one comment per key. False when it cannot.
bool WriteDefaultSettings(const std::string& path);

// The program: parses, resolves, prepares the folders, runs the game. Exit codes: the game's,
// 0 after --help or --version, 2 for a usage error, 1 when the data cannot be found.
int Main(int argc, char** argv);

}  // namespace app
