// The platform layer's back ends, as CMakeLists.txt lists them per edition: every edition has one
// of each, every listed file exists, and the files all editions share hold no platform switches.
// Only the Linux build runs the tests, so an edition the machine does not build is checked here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kPlatform = fs::path(BRIMMEL_SOURCE_DIR) / "src" / "platform";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Edition name -> the files of its set(PLATFORM_BACKENDS_<EDITION> ...) list.
std::map<std::string, std::vector<std::string>> BackendLists() {
  const std::string cmake = ReadFile(fs::path(BRIMMEL_SOURCE_DIR) / "CMakeLists.txt");
  std::map<std::string, std::vector<std::string>> lists;
  const std::regex list(R"(set\(PLATFORM_BACKENDS_([A-Z]+)\s([^)]*)\))");
  for (auto it = std::sregex_iterator(cmake.begin(), cmake.end(), list); it != std::sregex_iterator(); ++it) {
    std::istringstream files((*it)[2].str());
    std::string file;
    while (files >> file) lists[(*it)[1].str()].push_back(file);
  }
  return lists;
}

// What a back end stands in for: its name without the platform suffix (os/worker_web.cpp ->
// os/worker, gfx/gl_api_es.h -> gfx/gl_api.h).
std::string Service(const std::string& file) {
  const size_t dot = file.rfind('.'), suffix = file.rfind('_', dot);
  return file.substr(0, suffix) + (file.substr(dot) == ".h" ? ".h" : "");
}

TEST(PlatformBackends, EveryEditionHasOneOfEachBackEndAndEveryListedFileExists) {
  const auto lists = BackendLists();
  ASSERT_EQ(lists.size(), 3u) << "PLATFORM_BACKENDS_DESKTOP, _WEB and _WINDOWS";
  std::set<std::string> services;
  for (const auto& [edition, files] : lists)
    for (const std::string& file : files) services.insert(Service(file));
  for (const auto& [edition, files] : lists) {
    std::map<std::string, int> count;
    for (const std::string& file : files) {
      EXPECT_TRUE(fs::is_regular_file(kPlatform / file)) << edition << " lists " << file;
      ++count[Service(file)];
    }
    for (const std::string& service : services)
      EXPECT_EQ(count[service], 1) << edition << " needs exactly one back end for " << service;
  }
  // CMake hands the shared gl_api.h and al_ext.h the edition's own header from its list.
  EXPECT_EQ(services.count("gfx/gl_api.h"), 1u);
  EXPECT_EQ(services.count("audio/al_ext.h"), 1u);
}

// A back end is for its platform (or two that agree) and needs no switch on it; a shared file
// neither switches on the platform or the GL back end nor includes a header only one platform has.
TEST(PlatformBackends, OnlyBackEndsDependOnThePlatform) {
  std::set<fs::path> backends;
  for (const auto& [edition, files] : BackendLists())
    for (const std::string& file : files) backends.insert(kPlatform / file);
  ASSERT_FALSE(backends.empty());
  const std::regex platformSwitch(
      R"(#\s*(if|ifdef|ifndef|elif)\b.*\b(__EMSCRIPTEN__|_WIN32|_WIN64|__MINGW32__|__MINGW64__|_MSC_VER|__linux__|__unix__|__APPLE__|__GLIBC__)\b)");
  const std::regex backEndSwitch(R"(#\s*(if|ifdef|ifndef|elif)\b.*\bBRIMMEL_GL_ES)");
  const std::regex platformHeader(
      R"(#\s*include\s*<(emscripten[./]|windows\.h|epoxy/|GLES\d*/|fontconfig/|malloc\.h|AL/alext\.h|AL/efx\.h))");
  int shared = 0;
  for (const auto& entry : fs::recursive_directory_iterator(kPlatform)) {
    const fs::path& path = entry.path();
    if (!entry.is_regular_file() || (path.extension() != ".cpp" && path.extension() != ".h")) continue;
    const bool backend = backends.count(path) > 0;
    shared += backend ? 0 : 1;
    std::istringstream lines(ReadFile(path));
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
      const std::string where = path.string() + ":" + std::to_string(number) + ": " + line;
      EXPECT_FALSE(std::regex_search(line, platformSwitch)) << where;
      if (backend) continue;
      EXPECT_FALSE(std::regex_search(line, backEndSwitch)) << where;
      EXPECT_FALSE(std::regex_search(line, platformHeader)) << where;
    }
  }
  EXPECT_GT(shared, 50);
}

}  // namespace
