#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "platform/os/profile.h"

namespace {

std::string Read(const char* text, const char* section, const char* key, const char* def = "DEF",
                 size_t size = 256) {
  // Tests run in parallel processes: each needs a file of its own.
  const std::string name = std::string("profile_") +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
  const char* path = name.c_str();
  {
    std::ofstream f(path, std::ios::binary);
    f << text;
  }
  std::vector<char> buf(size);
  os::GetPrivateProfileString(section, key, def, buf.data(), buf.size(), path);
  std::remove(path);
  return buf.data();
}

TEST(ProfileReader, NamesMatchCaseInsensitivelyAndBlanksAreDropped) {
  EXPECT_EQ(Read("[toriden]\n  width =  800  \r\n", "TORIDEN", "WIDTH"), "800");
  EXPECT_EQ(Read("[ TORIDEN ]\nWiDtH=1\n", "toriden", "width"), "1");
}

TEST(ProfileReader, OnePairOfQuotesIsRemoved) {
  EXPECT_EQ(Read("[S]\nK=\"\"quoted\"\"\n", "S", "K"), "\"quoted\"");
  EXPECT_EQ(Read("[S]\nK=\" a b \"\n", "S", "K"), " a b ");
}

TEST(ProfileReader, FirstMatchWinsAndOtherSectionsAreIgnored) {
  EXPECT_EQ(Read("[A]\nK=a\n[S]\nK=first\nK=second\n[S]\nK=third\n", "S", "K"), "first");
}

TEST(ProfileReader, MissingFileSectionOrKeyGivesTheDefault) {
  char buf[16];
  os::GetPrivateProfileString("S", "K", "dflt", buf, sizeof buf, "no/such/file.ini");
  EXPECT_STREQ(buf, "dflt");
  EXPECT_EQ(Read("[S]\nX=1\n", "S", "K"), "DEF");
  EXPECT_EQ(Read("[T]\nK=1\n", "S", "K"), "DEF");
}

TEST(ProfileReader, ValueIsCutToTheBuffer) {
  EXPECT_EQ(Read("[S]\nK=abcdefgh\n", "S", "K", "", 4), "abc");
  EXPECT_EQ(Read(("[S]\nK=" + std::string(400, 'x') + "\n").c_str(), "S", "K").size(), 255u);
}

}  // namespace
