// The rules that keep the source tree one a newcomer can hold in mind: rooms include only the
// rooms below them (the order is read from docs/ARCHITECTURE.md, so the map and the code cannot
// drift apart), only the platform layer sees SDL, OpenGL and OpenAL, every C++ source keeps the
// repository's format, and the map names every room and script.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

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

// The quoted includes of a file.
std::vector<std::string> QuotedIncludes(const fs::path& file) {
  static const std::regex include(R"(^\s*#\s*include\s*"([^"]+)\")");
  std::vector<std::string> out;
  std::istringstream lines(ReadText(file));
  std::string line;
  std::smatch m;
  while (std::getline(lines, line))
    if (std::regex_search(line, m, include)) out.push_back(m[1]);
  return out;
}

// The room order block of the map: layers top to bottom, each a list of rooms.
std::vector<std::vector<std::string>> RoomOrder(const std::string& map) {
  std::vector<std::vector<std::string>> layers;
  const size_t marker = map.find("<!-- room order");
  if (marker == std::string::npos) return layers;
  const size_t open = map.find("```", marker);
  const size_t start = map.find('\n', open);
  const size_t close = map.find("\n```", start);
  if (open == std::string::npos || start == std::string::npos || close == std::string::npos) return layers;
  std::istringstream lines(map.substr(start + 1, close - start - 1));
  std::string line;
  while (std::getline(lines, line)) {
    // Rooms are separated by one space; two or more begin the description.
    const std::string rooms = line.substr(0, line.find("  "));
    std::istringstream words(rooms);
    std::vector<std::string> layer;
    for (std::string word; words >> word;) layer.push_back(word);
    if (!layer.empty()) layers.push_back(layer);
  }
  return layers;
}

// The room a path under src/ belongs to: the longest room that is the path itself, a folder
// holding it, or (for a file room such as main) the path without its extension.
std::string RoomOf(const std::string& path, const std::map<std::string, int>& layerOf) {
  std::string best;
  for (const auto& [room, layer] : layerOf) {
    const bool holds = path == room || path.rfind(room + "/", 0) == 0 ||
                       (path.rfind(room + ".", 0) == 0 && path.find('/', room.size()) == std::string::npos);
    if (holds && room.size() > best.size()) best = room;
  }
  return best;
}

struct Uphill {
  std::string from, to;
};

// Every include between two rooms that does not run strictly downhill.
std::vector<std::string> UphillIncludes(const fs::path& src,
                                        const std::vector<std::vector<std::string>>& order) {
  std::map<std::string, int> layerOf;
  for (size_t i = 0; i < order.size(); ++i)
    for (const std::string& room : order[i]) layerOf[room] = static_cast<int>(i);
  std::vector<std::string> faults;
  for (const fs::path& file : Sources({src})) {
    const std::string path = Relative(file, src);
    const std::string room = RoomOf(path, layerOf);
    if (room.empty()) {
      faults.push_back(path + " is in no room of the map");
      continue;
    }
    for (const std::string& include : QuotedIncludes(file)) {
      fs::path target = src / include;
      if (!fs::exists(target)) target = file.parent_path() / include;
      if (!fs::exists(target)) continue;  // generated, or a library's own
      const std::string targetPath = Relative(fs::weakly_canonical(target), fs::weakly_canonical(src));
      const std::string targetRoom = RoomOf(targetPath, layerOf);
      if (targetRoom == room) continue;
      if (targetRoom.empty() || layerOf.at(targetRoom) <= layerOf.at(room))
        faults.push_back(path + " (" + room + ") includes " + targetPath + " (" +
                         (targetRoom.empty() ? "no room" : targetRoom) + ")");
    }
  }
  return faults;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += "  " + line + "\n";
  return out;
}

TEST(House, RoomsIncludeOnlyTheRoomsBelowThem) {
  const auto order = RoomOrder(ReadText(kRoot / "docs" / "ARCHITECTURE.md"));
  ASSERT_GE(order.size(), 5u) << "docs/ARCHITECTURE.md has no room order block";
  const std::vector<std::string> faults = UphillIncludes(kRoot / "src", order);
  EXPECT_TRUE(faults.empty()) << "includes that do not run downhill:\n" << Joined(faults);
}

// The checker itself: a scratch tree with one include of each kind must give exactly the two
// faults it holds, or a broken checker would pass every tree.
TEST(House, TheIncludeCheckFindsUphillAndSidewaysIncludes) {
  const fs::path src = fs::temp_directory_path() / ("house_check_" + std::to_string(::getpid()));
  fs::remove_all(src);
  const auto write = [&](const std::string& path, const std::string& text) {
    fs::create_directories((src / path).parent_path());
    std::ofstream(src / path) << text;
  };
  write("top/a.cpp", "#include \"top/a.h\"\n#include \"low/b.h\"\n#include <vector>\n");
  write("top/a.h", "#include \"mid/c.h\"\n");
  write("mid/c.h", "#include \"side/d.h\"\n");  // sideways
  write("side/d.h", "\n");
  write("low/b.h", "#include \"top/a.h\"\n#include \"e.h\"\n");  // uphill, then its own room
  write("low/e.h", "\n");
  const std::vector<std::vector<std::string>> order = {{"top"}, {"mid", "side"}, {"low"}};
  const std::vector<std::string> faults = UphillIncludes(src, order);
  fs::remove_all(src);
  ASSERT_EQ(faults.size(), 2u) << Joined(faults);
  EXPECT_NE(faults[0].find("low/b.h (low) includes top/a.h (top)"), std::string::npos) << faults[0];
  EXPECT_NE(faults[1].find("mid/c.h (mid) includes side/d.h (side)"), std::string::npos) << faults[1];
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
  for (const auto& layer : RoomOrder(map)) rooms.insert(rooms.end(), layer.begin(), layer.end());
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
