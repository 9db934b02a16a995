// The rules that keep the source tree one a newcomer can hold in mind: rooms include only the
// rooms below them, and tests, benchmarks, tools and fuzz targets only what their place in the map
// allows (both read from docs/ARCHITECTURE.md, so the map and the code cannot drift apart; the
// checker is house_check.h), headers export no mutable global the map does not list, only the
// platform layer sees SDL, OpenGL and OpenAL, every C++ source keeps the repository's format, and
// the map names every room and script.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "conventions/house_check.h"

namespace fs = std::filesystem;

namespace {

const fs::path kRoot = BRIMMEL_SOURCE_DIR;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Relative(const fs::path& path, const fs::path& base) {
  return path.lexically_relative(base).generic_string();
}

// The C++ sources of ours (not the browser test's node_modules).
std::vector<fs::path> Sources(const std::vector<fs::path>& folders) {
  std::vector<fs::path> files;
  for (const fs::path& folder : folders) {
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
      if (it->is_directory() && it->path().filename() == "node_modules") {
        it.disable_recursion_pending();
        continue;
      }
      const std::string ext = it->path().extension().string();
      if (it->is_regular_file() && (ext == ".cpp" || ext == ".h")) files.push_back(it->path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += "  " + line + "\n";
  return out;
}

const house::Map& TheMap() {
  static const house::Map map = house::ReadMap(ReadText(kRoot / "docs" / "ARCHITECTURE.md"));
  return map;
}

// Every include of the tree as this build's compiler resolves it, split by where it stands.
const std::vector<std::string>& IncludeFaults() {
  static const std::vector<std::string> faults =
      house::IncludeFaults(kRoot, TheMap(), house::ReadCompileCommands(BRIMMEL_COMPILE_COMMANDS));
  return faults;
}
std::vector<std::string> IncludeFaultsFrom(bool src) {
  std::vector<std::string> out;
  for (const std::string& fault : IncludeFaults())
    if ((fault.rfind("src/", 0) == 0) == src) out.push_back(fault);
  return out;
}

TEST(House, TheMapAndTheBuildAreReadable) {
  EXPECT_GE(TheMap().rooms.size(), 5u) << "docs/ARCHITECTURE.md has no room order block";
  EXPECT_GE(TheMap().places.size(), 5u) << "docs/ARCHITECTURE.md has no places block";
  EXPECT_GT(house::ReadCompileCommands(BRIMMEL_COMPILE_COMMANDS).size(), 100u) << BRIMMEL_COMPILE_COMMANDS;
}

TEST(House, RoomsIncludeOnlyTheRoomsBelowThem) {
  const std::vector<std::string> faults = IncludeFaultsFrom(true);
  EXPECT_TRUE(faults.empty()) << "includes in src/ that do not run downhill or resolve to nothing:\n"
                              << Joined(faults);
}

TEST(House, TestsBenchToolsAndFuzzIncludeWhatTheirPlaceAllows) {
  const std::vector<std::string> faults = IncludeFaultsFrom(false);
  EXPECT_TRUE(faults.empty())
      << "includes outside src/ beyond their place in the map, or resolving to nothing:\n"
      << Joined(faults);
}

TEST(House, HeadersExportOnlyTheMutableGlobalsTheMapLists) {
  const std::vector<std::string> faults = house::GlobalFaults(kRoot, TheMap());
  EXPECT_TRUE(faults.empty()) << Joined(faults);
}

// A file a reader can hold in mind: the graphics device was split by job for this.
TEST(House, NoSourceUnderSrcIsOver800Lines) {
  std::vector<std::string> faults;
  for (const fs::path& file : Sources({kRoot / "src"})) {
    const std::string text = ReadText(file);
    const auto lines = std::count(text.begin(), text.end(), '\n');
    if (lines > 800) faults.push_back(Relative(file, kRoot) + ": " + std::to_string(lines) + " lines");
  }
  EXPECT_TRUE(faults.empty()) << Joined(faults);
}

TEST(House, OnlyThePlatformLayerIncludesSdlGlOrAl) {
  static const std::regex library(
      R"(^\s*#\s*include\s*[<"](SDL|SDL2/|GL/|GLES\d?/|EGL/|epoxy/|AL/|emscripten))");
  std::vector<std::string> faults;
  for (const fs::path& file :
       Sources({kRoot / "src", kRoot / "tests", kRoot / "bench", kRoot / "tools", kRoot / "fuzz"})) {
    const std::string path = Relative(file, kRoot);
    if (path.rfind("src/platform/", 0) == 0) continue;
    std::istringstream lines(ReadText(file));
    std::string line;
    for (int n = 1; std::getline(lines, line); ++n)
      if (std::regex_search(line, library)) faults.push_back(path + ":" + std::to_string(n) + ": " + line);
  }
  EXPECT_TRUE(faults.empty()) << "platform headers outside src/platform/:\n" << Joined(faults);
}

// Windows reads a narrow file name in the ANSI code page, so a player's folder named in Japanese
// would not open: the game opens files through os::OpenFile or a path made by os::PathFromUtf8.
// Exempt: the helper's own back ends, those only Linux or the browser build, and the build-time
// encoder (a host tool given its paths by the build).
TEST(House, TheGameOpensFilesByTheirUtf8Names) {
  static const std::regex narrow(
      R"(\bfopen\s*\(|png_image_write_to_file|std::[io]?fstream\s+\w+\s*\((?!\s*(os::)?PathFromUtf8\())");
  static const std::regex exempt(R"(^src/platform/(os/files_\w+|.*_(linux|web)|xfile/encoder/.*)\.cpp$)");
  std::vector<std::string> faults;
  for (const fs::path& file : Sources({kRoot / "src"})) {
    const std::string path = Relative(file, kRoot);
    if (std::regex_match(path, exempt)) continue;
    std::istringstream lines(ReadText(file));
    std::string line;
    for (int n = 1; std::getline(lines, line); ++n)
      if (std::regex_search(line, narrow)) faults.push_back(path + ":" + std::to_string(n) + ": " + line);
  }
  EXPECT_TRUE(faults.empty()) << "files opened by a narrow name:\n" << Joined(faults);
  EXPECT_TRUE(std::regex_search("  std::ifstream in(name, std::ios::binary);", narrow));
  EXPECT_FALSE(std::regex_search("  std::ifstream in(os::PathFromUtf8(name));", narrow));
}

TEST(House, EverySourceKeepsTheRepositoryFormat) {
  const std::vector<fs::path> files =
      Sources({kRoot / "src", kRoot / "tests", kRoot / "bench", kRoot / "tools", kRoot / "fuzz"});
  ASSERT_GT(files.size(), 300u);
  std::vector<std::string> differing;
  // A few dozen files a run keeps the command line short.
  for (size_t first = 0; first < files.size(); first += 40) {
    std::string command = std::string("\"") + BRIMMEL_CLANG_FORMAT + "\" --style=file --dry-run 2>&1";
    for (size_t i = first; i < std::min(files.size(), first + 40); ++i)
      command += " \"" + files[i].string() + "\"";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), &pclose);
    ASSERT_TRUE(pipe) << command;
    std::array<char, 4096> buffer{};
    std::string output;
    while (std::fgets(buffer.data(), buffer.size(), pipe.get())) output += buffer.data();
    // clang-format names each differing place "FILE:LINE:COL: warning: code should be clang-formatted".
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
      const size_t at = line.find(": warning: code should be clang-formatted");
      if (at == std::string::npos) continue;
      std::string file = line.substr(0, at);
      file = Relative(file.substr(0, file.rfind(':', file.rfind(':') - 1)), kRoot);
      if (differing.empty() || differing.back() != file) differing.push_back(file);
    }
  }
  EXPECT_TRUE(differing.empty()) << differing.size()
                                 << " files differ from .clang-format (clang-format -i them):\n"
                                 << Joined(differing);
}

TEST(House, TheMapNamesEveryRoomAndScript) {
  const std::string map = ReadText(kRoot / "docs" / "ARCHITECTURE.md");
  std::vector<std::string> rooms;
  for (const auto& layer : TheMap().rooms) rooms.insert(rooms.end(), layer.begin(), layer.end());
  std::vector<std::string> missing;
  for (auto it = fs::recursive_directory_iterator(kRoot / "src"); it != fs::recursive_directory_iterator();
       ++it) {
    if (!it->is_directory()) continue;
    const std::string rel = Relative(it->path(), kRoot / "src");
    if (std::find(rooms.begin(), rooms.end(), rel) == rooms.end() &&
        map.find("src/" + rel + "/") == std::string::npos)
      missing.push_back("src/" + rel + "/");
  }
  for (auto it = fs::recursive_directory_iterator(kRoot / "scripts");
       it != fs::recursive_directory_iterator(); ++it) {
    const std::string rel = "scripts/" + Relative(it->path(), kRoot / "scripts");
    if (it->is_regular_file() && map.find(rel) == std::string::npos) missing.push_back(rel);
  }
  EXPECT_TRUE(missing.empty()) << "docs/ARCHITECTURE.md does not name:\n" << Joined(missing);
}

}  // namespace
