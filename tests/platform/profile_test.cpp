#include "platform/os/profile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace {

std::string Read(const std::string& text, const char* section, const char* key, const char* def = "DEF",
                 size_t size = 256) {
  // Tests run in parallel processes: each needs a file of its own.
  const std::string name =
      std::string("profile_") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
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
  // Only the first section of a name is searched: a key in a later one is not found.
  EXPECT_EQ(Read("[S]\nK=1\n[T]\nL=t\n[s]\nL=later\n", "S", "L"), "DEF");
  // A line of the name alone is the key, with no value: the default, not a later line's value.
  EXPECT_EQ(Read("[S]\n  k \nK=later\n", "S", "K"), "DEF");
  EXPECT_EQ(Read("[S]\nKEY\nK=this\n", "S", "K"), "this");
}

std::string Utf16(const std::u16string& text, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t c : text) {
    const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
  }
  return out;
}

// The same settings as editors save them; each must read as the plain file does.
TEST(ProfileReader, FilesAsEditorsSaveThemReadAlike) {
  const std::u16string unicode = u"[TORIDEN]\r\nWIDTH=800\r\nFORMAT=X8R8G8B8\r\nFACE=ゴシック\r\n";
  const struct {
    const char* how;
    std::string bytes;
  } files[] = {
      {"plain", "[TORIDEN]\r\nWIDTH=800\r\nFORMAT=X8R8G8B8\r\nFACE=ゴシック\r\n"},
      {"UTF-8 with a byte-order mark",
       "\xEF\xBB\xBF[TORIDEN]\r\nWIDTH=800\r\nFORMAT=X8R8G8B8\r\nFACE=ゴシック\r\n"},
      {"UTF-16 little-endian with its mark", Utf16(unicode, false)},
      {"UTF-16 big-endian with its mark", Utf16(unicode, true)},
      {"CR alone ending lines", "[TORIDEN]\rWIDTH=800\rFORMAT=X8R8G8B8\rFACE=ゴシック\r"},
      {"Ctrl-Z after the last value", "[TORIDEN]\r\nWIDTH=800\r\nFORMAT=X8R8G8B8\r\nFACE=ゴシック\x1a"},
  };
  for (const auto& f : files) {
    EXPECT_EQ(Read(f.bytes, "TORIDEN", "WIDTH"), "800") << f.how;
    EXPECT_EQ(Read(f.bytes, "TORIDEN", "FORMAT"), "X8R8G8B8") << f.how;
    EXPECT_EQ(Read(f.bytes, "TORIDEN", "FACE"), "ゴシック") << f.how;
  }
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
