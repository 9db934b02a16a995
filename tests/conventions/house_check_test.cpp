// The house checker on scratch trees, each with slips planted: every rule has to catch its slip
// and pass what keeps it, or a broken checker would pass every tree.
#include "conventions/house_check.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

namespace house {
namespace {

// A tree with the rooms top, mid and side (beside each other), low; test places for low and mid,
// a whole-game place, the shared fixtures; and the compile commands of its sources.
class ScratchTree : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("house_check_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    map.rooms = {{"top"}, {"mid", "side"}, {"low"}};
    map.places = {
        {"tests/low", "low"}, {"tests/mid", "mid"}, {"tests/whole", "top"}, {"tests/support", "support"}};
    Write("src/top/a.h", "\n");
    Write("src/low/e.h", "\n");
  }
  void TearDown() override { fs::remove_all(root); }

  void Write(const std::string& path, const std::string& text) {
    fs::create_directories((root / path).parent_path());
    std::ofstream(root / path) << text;
  }
  // A source compiled with these flags (as a build's compile_commands.json has them).
  void Compile(const std::string& path, const std::string& flags) { commands.push_back({path, flags}); }
  std::vector<std::string> Faults() {
    std::string json = "[\n";
    for (size_t i = 0; i < commands.size(); ++i) {
      std::string command =
          "/usr/bin/c++ " + commands[i].second + " -c " + (root / commands[i].first).string();
      std::string escaped;
      for (char c : command) {
        if (c == '"' || c == '\\') escaped += '\\';
        escaped += c;
      }
      json += std::string(i ? ",\n" : "") + "{\"directory\": \"" + root.string() + "\", \"command\": \"" +
              escaped + "\", \"file\": \"" + (root / commands[i].first).string() + "\"}";
    }
    std::ofstream(root / "compile_commands.json") << json << "\n]\n";
    const std::vector<CompileUnit> units = ReadCompileCommands(root / "compile_commands.json");
    EXPECT_EQ(units.size(), commands.size());
    return IncludeFaults(root, map, units);
  }
  std::string Src() const { return "-I" + (root / "src").string(); }

  fs::path root;
  Map map;
  std::vector<std::pair<std::string, std::string>> commands;
};

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += "  " + line + "\n";
  return out;
}

bool Has(const std::vector<std::string>& faults, const std::string& text) {
  for (const std::string& f : faults)
    if (f.find(text) != std::string::npos) return true;
  return false;
}

using HouseCheck = ScratchTree;

TEST_F(HouseCheck, FindsUphillAndSidewaysIncludes) {
  Write("src/top/a.cpp", "#include \"top/a.h\"\n#include \"low/b.h\"\n#include <vector>\n");
  Write("src/mid/c.h", "#include \"side/d.h\"\n");  // sideways
  Write("src/side/d.h", "\n");
  Write("src/low/b.h",
        "#include \"top/a.h\"\n#include \"e.h\"\n#include \"mid/c.h\"\n");  // uphill, own, uphill
  Compile("src/top/a.cpp", Src());
  const std::vector<std::string> faults = Faults();
  ASSERT_EQ(faults.size(), 3u) << Joined(faults);
  EXPECT_TRUE(Has(faults, "src/low/b.h (low) includes src/top/a.h (top)")) << Joined(faults);
  EXPECT_TRUE(Has(faults, "src/low/b.h (low) includes src/mid/c.h (mid)")) << Joined(faults);
  EXPECT_TRUE(Has(faults, "src/mid/c.h (mid) includes src/side/d.h (side)")) << Joined(faults);
}

TEST_F(HouseCheck, AngleBracketIncludesOfOurHeadersCount) {
  Write("src/low/b.cpp", "#include <top/a.h>\n#include <vector>\n#include <low/e.h>\n");
  Compile("src/low/b.cpp", Src());
  const std::vector<std::string> faults = Faults();
  ASSERT_EQ(faults.size(), 1u) << Joined(faults);
  EXPECT_TRUE(Has(faults, "src/low/b.cpp (low) includes src/top/a.h (top)")) << Joined(faults);
}

TEST_F(HouseCheck, MacroIncludesAreFollowedToTheirDefinition) {
  Write("src/low/own.cpp", "#define LOW_PICK \"top/a.h\"\n#include LOW_PICK\n");
  Write("src/low/given.cpp", "#include GIVEN_PICK\n");
  Write("src/low/names.h", "#define NAMED <top/a.h>\n#define FINE \"low/e.h\"\n");
  Write("src/low/included.cpp", "#include \"low/names.h\"\n#include NAMED\n#include FINE\n");
  Write("src/low/unknown.cpp", "#include NOWHERE\n");
  // A library that names its headers by macros (as FreeType does), given as a system folder.
  const fs::path library = root.string() + "_library";
  fs::create_directories(library / "lib");
  std::ofstream(library / "names.h") << "#define LIB_THING_H <lib/thing.h>\n";
  std::ofstream(library / "lib" / "thing.h") << "\n";
  Write("src/low/uses_library.cpp", "#include <names.h>\n#include LIB_THING_H\n");
  Compile("src/low/uses_library.cpp", Src() + " -isystem " + library.string());
  Compile("src/low/own.cpp", Src());
  Compile("src/low/given.cpp", Src() + " -DGIVEN_PICK=\\\"top/a.h\\\"");
  Compile("src/low/included.cpp", Src());
  Compile("src/low/unknown.cpp", Src());
  const std::vector<std::string> faults = Faults();
  fs::remove_all(library);
  EXPECT_EQ(faults.size(), 4u) << Joined(faults);
  EXPECT_TRUE(Has(faults, "src/low/own.cpp (low) includes src/top/a.h (top) (line 2, #include LOW_PICK)"))
      << Joined(faults);
  EXPECT_TRUE(Has(faults, "src/low/given.cpp (low) includes src/top/a.h (top)")) << Joined(faults);
  EXPECT_TRUE(Has(faults, "src/low/included.cpp (low) includes src/top/a.h (top) (line 2, #include NAMED)"))
      << Joined(faults);
  EXPECT_TRUE(Has(faults, "src/low/unknown.cpp:1: #include NOWHERE names no include")) << Joined(faults);
}

TEST_F(HouseCheck, AQuotedIncludeThatResolvesToNothingFails) {
  Write("src/low/b.cpp", "#include \"low/gone.h\"\n#include <gone/library.h>\n");
  Compile("src/low/b.cpp", Src());
  const std::vector<std::string> faults = Faults();
  ASSERT_EQ(faults.size(), 1u) << Joined(faults);
  EXPECT_TRUE(Has(faults, "src/low/b.cpp:1: #include \"low/gone.h\" resolves to nothing")) << Joined(faults);
}

// A quoted include is looked for beside its file first, then in the include folders in their
// order; an angle-bracket one only in the folders.
TEST_F(HouseCheck, IncludesResolveInTheCompilersOrder) {
  Write("src/low/top/a.h", "\n");  // beside low/b.h, in room low
  Write("src/low/b.cpp", "#include \"top/a.h\"\n");
  Write("src/low/c.cpp", "#include <top/a.h>\n");
  Compile("src/low/b.cpp", Src());
  Compile("src/low/c.cpp", Src());
  std::vector<std::string> faults = Faults();
  ASSERT_EQ(faults.size(), 1u) << Joined(faults);
  EXPECT_TRUE(Has(faults, "src/low/c.cpp (low) includes src/top/a.h (top)")) << Joined(faults);

  // The same name under two include folders: the first one given wins.
  fs::remove_all(root / "src/low");
  commands.clear();
  Write("src/low/pick/x.h", "\n");
  Write("src/top/pick/x.h", "\n");
  Write("src/mid/m.cpp", "#include \"pick/x.h\"\n");
  Compile("src/mid/m.cpp", "-I" + (root / "src/low").string() + " -I" + (root / "src/top").string());
  EXPECT_TRUE(Faults().empty());
  commands.clear();
  Compile("src/mid/m.cpp", "-I" + (root / "src/top").string() + " -I" + (root / "src/low").string());
  faults = Faults();
  ASSERT_EQ(faults.size(), 1u) << Joined(faults);
  EXPECT_TRUE(Has(faults, "src/mid/m.cpp (mid) includes src/top/pick/x.h (top)")) << Joined(faults);
}

TEST_F(HouseCheck, ATestIncludesItsRoomAndWhatLiesBelow) {
  const std::string flags = "-I" + (root / "tests").string() + " " + Src();
  Write("src/side/d.h", "\n");
  Write("tests/low/fixture.h", "#include \"low/e.h\"\n");
  Write("tests/low/b_test.cpp", "#include \"fixture.h\"\n#include \"top/a.h\"\n");  // up
  Write("tests/mid/c_test.cpp", "#include \"low/e.h\"\n#include \"side/d.h\"\n#include \"low/fixture.h\"\n");
  Write("tests/whole/w_test.cpp", "#include \"top/a.h\"\n#include \"side/d.h\"\n");
  Write("tests/nowhere/n_test.cpp", "#include \"low/e.h\"\n");
  for (const char* test :
       {"tests/low/b_test.cpp", "tests/mid/c_test.cpp", "tests/whole/w_test.cpp", "tests/nowhere/n_test.cpp"})
    Compile(test, flags);
  const std::vector<std::string> faults = Faults();
  EXPECT_EQ(faults.size(), 4u) << Joined(faults);
  EXPECT_TRUE(Has(faults, "tests/low/b_test.cpp (tests/low: low and below) includes src/top/a.h (top)"))
      << Joined(faults);
  EXPECT_TRUE(Has(faults, "tests/mid/c_test.cpp (tests/mid: mid and below) includes src/side/d.h (side)"))
      << Joined(faults);
  EXPECT_TRUE(
      Has(faults, "tests/mid/c_test.cpp (tests/mid: mid and below) includes tests/low/fixture.h (tests/low)"))
      << Joined(faults);
  EXPECT_TRUE(Has(faults, "tests/nowhere/n_test.cpp is in no place of the map")) << Joined(faults);
}

TEST_F(HouseCheck, ASupportHeaderHoldsEachTestToItsOwnRoom) {
  const std::string flags = "-I" + (root / "tests").string() + " " + Src();
  Write("tests/support/game.h", "#include \"support/inner.h\"\n#include \"low/e.h\"\n");
  Write("tests/support/inner.h", "#include \"top/a.h\"\n");
  Write("tests/support/game.cpp", "#include \"support/game.h\"\n");
  Write("tests/low/b_test.cpp", "#include \"support/game.h\"\n");
  Write("tests/whole/w_test.cpp", "#include \"support/game.h\"\n");
  for (const char* source : {"tests/support/game.cpp", "tests/low/b_test.cpp", "tests/whole/w_test.cpp"})
    Compile(source, flags);
  const std::vector<std::string> faults = Faults();
  ASSERT_EQ(faults.size(), 1u) << Joined(faults);
  EXPECT_TRUE(Has(faults,
                  "tests/low/b_test.cpp (tests/low: low and below) includes src/top/a.h (top) through "
                  "tests/support/inner.h"))
      << Joined(faults);
}

TEST_F(HouseCheck, SourcesNoUnitCompilesAreReadAsTheirNeighboursAre) {
  // Another edition's back end, beside a compiled source that names its header by a macro.
  Write("src/low/api.h", "#include LOW_API_H\n");
  Write("src/low/api_here.h", "\n");
  Write("src/low/back_here.cpp", "#include \"low/api.h\"\n");
  Write("src/low/back_there.cpp", "#include \"low/api.h\"\n#include \"top/a.h\"\n");
  Compile("src/low/back_here.cpp", Src() + " -DLOW_API_H=\\\"low/api_here.h\\\"");
  const std::vector<std::string> faults = Faults();
  ASSERT_EQ(faults.size(), 1u) << Joined(faults);
  EXPECT_TRUE(Has(faults, "src/low/back_there.cpp (low) includes src/top/a.h (top)")) << Joined(faults);
}

TEST_F(HouseCheck, ExternMutableGlobalsInHeadersMustBeListed) {
  Write("src/low/g.h",
        "struct Foo;\n"
        "extern int g_count;\n"
        "extern float g_listed;\n"
        "extern const int kLimit;\n"
        "extern Foo* const g_fixed;\n"
        "extern void Tick();\n"
        "extern void (*g_hook)(int);\n"
        "extern \"C\" {\nint c_function(void);\n}\n"
        "// extern int g_commented;\n");
  Write("src/low/g.cpp", "extern int g_inSource;\n");
  map.globals = {"src/low/g.h g_listed", "src/low/g.h g_gone"};
  const std::vector<std::string> faults = GlobalFaults(root, map);
  ASSERT_EQ(faults.size(), 3u) << Joined(faults);
  EXPECT_TRUE(Has(faults, "src/low/g.h declares the mutable global g_count, which the map does not list"))
      << Joined(faults);
  EXPECT_TRUE(Has(faults, "src/low/g.h declares the mutable global g_hook")) << Joined(faults);
  EXPECT_TRUE(Has(faults, "the map lists src/low/g.h g_gone, which no header declares")) << Joined(faults);
}

TEST(HouseMap, BlocksAreReadFromTheMapsText) {
  const std::string text =
      "<!-- room order -->\n```text\napp                 the loop\nworld effect        both\n```\n"
      "<!-- places -->\n```text\ntests/a tests/b     world   two suites\nbench  top\n```\n"
      "<!-- exported globals -->\n```text\nsrc/app/app.h  g_app\n```\n";
  const Map map = ReadMap(text);
  ASSERT_EQ(map.rooms.size(), 2u);
  EXPECT_EQ(map.rooms[1], (std::vector<std::string>{"world", "effect"}));
  EXPECT_EQ(map.places, (std::map<std::string, std::string>{
                            {"tests/a", "world"}, {"tests/b", "world"}, {"bench", "top"}}));
  EXPECT_EQ(map.globals, (std::set<std::string>{"src/app/app.h g_app"}));

  // A list with nothing in it is empty, not the rest of the page.
  const Map none = ReadMap("<!-- exported globals -->\n```text\n```\n\n## Scripts\n- `scripts/x`\n");
  EXPECT_TRUE(none.globals.empty());
}

}  // namespace
}  // namespace house
