// The house's include and global rules as a checker over a tree at any root, so the real tree's
// test and the checker's own tests (on planted slips in scratch trees) run the same code.
//
// Includes are found as the compiler finds them, from what the build gives each source file
// (compile_commands.json): a quoted include first in the including file's folder, then the
// -iquote, -I and -isystem folders in order; an angle-bracket include in those folders only; a
// macro include (#include NAME) through NAME's definition on the command line, in the file or in
// what it included before. A quoted or macro include that resolves to nothing is a fault; an
// angle-bracket include found in none of our folders is a system header.
#pragma once
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace house {

namespace fs = std::filesystem;

// What docs/ARCHITECTURE.md lays down.
struct Map {
  // The rooms of src/, top to bottom; rooms on one line sit side by side.
  std::vector<std::vector<std::string>> rooms;
  // A folder outside src/ and the room its files may include down from: a room of the order,
  // "top" (any room, like main) or "support" (shared fixtures, held to the rule of each file that
  // includes them).
  std::map<std::string, std::string> places;
  // The mutable globals a header may declare extern, as "header name" (header from the root).
  std::set<std::string> globals;
};
Map ReadMap(const std::string& text);

// How the compiler sees one source file.
struct CompileUnit {
  fs::path file;
  std::vector<fs::path> quoteDirs;  // searched for quoted includes after the includer's folder
  std::vector<fs::path> angleDirs;  // searched for both
  std::map<std::string, std::string> macros;
};
// The units of a compile_commands.json (an empty list when it cannot be read).
std::vector<CompileUnit> ReadCompileCommands(const fs::path& json);

// The include faults of the tree at `root` (src/, tests/, bench/, tools/, fuzz/), one line each,
// naming the including file from the root. Sources no unit compiles (another edition's back ends,
// headers no one includes) are read as the nearest compiled source's folder would read them.
std::vector<std::string> IncludeFaults(const fs::path& root, const Map& map,
                                       const std::vector<CompileUnit>& units);

// Headers that declare an extern mutable global the map does not list, and listed globals no
// header declares.
std::vector<std::string> GlobalFaults(const fs::path& root, const Map& map);

}  // namespace house
