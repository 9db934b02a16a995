#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "resource/resource_cache.h"
#include "resource/script_file.h"

namespace {

using Lines = std::list<std::string>;

TEST(ScriptFile, SectionsAreWholeLinesUpToEnd) {
  const auto s = CScriptFile::FromText("free text\n#sprite\na.jpg\n\n b.bmp \n#end\n#model\n#end\n#EOF\n");
  EXPECT_EQ(s.GetSection("#sprite"), (Lines{"a.jpg", "", " b.bmp "}));
  EXPECT_TRUE(s.GetSection("#model").empty());
  EXPECT_TRUE(s.GetSection("#bgm").empty()) << "missing header";
  EXPECT_TRUE(s.GetSection("#SPRITE").empty()) << "names are case-sensitive";
}

TEST(ScriptFile, EofOnlyAsAWholeLine) {
  const auto s = CScriptFile::FromText("#a\n1\n #EOF\n#EOF \n#eof\n2\n#EOF\n3\n#end\n");
  EXPECT_EQ(s.GetSection("#a"), (Lines{"1", " #EOF", "#EOF ", "#eof", "2", "#EOF"}))
      << "nothing after #EOF is read, and #EOF is stored as a line";
  EXPECT_EQ(s.LineCount(), 7);
}

TEST(ScriptFile, FirstHeaderWinsEvenInsideAnotherSection) {
  const auto s = CScriptFile::FromText("#a\n#b\n#end\n#b\nsecond\n#end\n#EOF\n");
  EXPECT_EQ(s.GetSection("#b"), Lines{}) << "the #b entry of #a is the first #b line";
  EXPECT_EQ(s.GetSection("#a"), (Lines{"#b"}));
}

TEST(ScriptFile, MissingEofAndMissingEnd) {
  const auto s = CScriptFile::FromText("#a\nx\ny");
  EXPECT_EQ(s.GetSection("#a"), (Lines{"x", "y"}));
  EXPECT_EQ(s.LineCount(), 3);
}

TEST(ScriptFile, CarriageReturnsAreNotPartOfLines) {
  const auto s = CScriptFile::FromText("#a\r\nx\r\n#end\r\n#EOF\r\n");
  EXPECT_EQ(s.GetSection("#a"), (Lines{"x"}));
}

TEST(ScriptFile, MissingFileIsReported) {
  CScriptFile s("no/such/script.txt");
  EXPECT_FALSE(s.Loaded());
  EXPECT_TRUE(s.GetSection("#a").empty());
}

TEST(ScriptFile, ReadsAFileFromDisk) {
  const char* path = "script_file_test.txt";
  std::ofstream(path, std::ios::binary) << "#position\n-12\n0\n300\n#end\n#EOF\n";
  CScriptFile s(path);
  std::remove(path);
  EXPECT_TRUE(s.Loaded());
  EXPECT_EQ(s.GetSection("#position"), (Lines{"-12", "0", "300"}));
}

struct Probe {
  explicit Probe(const std::string& p) : path(p) {
    ++alive;
    ++made;
  }
  ~Probe() { --alive; }
  std::string path;
  static inline int alive = 0, made = 0;
};

TEST(ResourceCache, FirstOfEqualPathsIsKeptAndLookupIsExact) {
  Probe::alive = Probe::made = 0;
  {
    ResourceCache<Probe> cache({"data/mdl/kuma/kuma.mdl", "data\\mdl\\a.mdl", "data/mdl/kuma/kuma.mdl"});
    EXPECT_EQ(Probe::made, 3) << "a repeated path loads again";
    EXPECT_EQ(Probe::alive, 2) << "the later duplicate is released at once";
    EXPECT_EQ(cache.Size(), 2u);
    EXPECT_TRUE(cache.Find("data/mdl/kuma/kuma.mdl"));
    EXPECT_FALSE(cache.Find("data/mdl/a.mdl")) << "separators count";
    EXPECT_FALSE(cache.Find("data/mdl/KUMA/kuma.mdl"));
    EXPECT_FALSE(cache.Find("never/listed"));
  }
  EXPECT_EQ(Probe::alive, 0);
}

// What a resource needs besides its path (the sprites a particle file takes its image from) is
// handed to every load; there is no cache of the moment to find it through.
TEST(ResourceCache, WhatTheCacheIsGivenReachesEveryLoad) {
  struct Counted {
    Counted(const std::string& p, int* loads) : path(p) { ++*loads; }
    std::string path;
  };
  int loads = 0;
  ResourceCache<Counted> cache({"a", "b", "a"}, &loads);
  EXPECT_EQ(loads, 3);
  EXPECT_EQ(cache.Find("b")->path, "b");
  EXPECT_EQ(FindIn(&cache, "a"), cache.Find("a"));
  EXPECT_FALSE(FindIn<Counted>(nullptr, "a"));
}

TEST(ResourceCache, AHolderOutlivesTheCache) {
  Probe::alive = 0;
  boost::shared_ptr<Probe> held;
  {
    ResourceCache<Probe> cache({"x"});
    held = cache.Find("x");
  }
  EXPECT_EQ(Probe::alive, 1);
  EXPECT_EQ(held->path, "x");
  held.reset();
  EXPECT_EQ(Probe::alive, 0);
}

}  // namespace
