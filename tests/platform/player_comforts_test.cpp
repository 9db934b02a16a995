// What a player relies on of the settings file written back: it keeps every byte it does not
// change, and stays whole when it cannot be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/os/profile.h"
#include "support/scratch_dir.h"

namespace {

// ASCII text as UTF-16 with a byte-order mark, either way round.
std::string Utf16(const std::string& text, bool little) {
  std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
  for (char c : text) {
    out += little ? c : '\0';
    out += little ? '\0' : c;
  }
  return out;
}

const char* const kPlayersFile =
    "; my settings\r\n"
    "[TORIDEN]\r\n"
    "WINDOW=1   ; in a window\r\n"
    "WIDTH = 800\r\n"
    "MYKEY=kept\r\n"
    "\r\n"
    "[SOUND]\r\n"
    "; quieter music\r\n"
    "MUSIC = 40\r\n"
    "\r\n"
    "[OTHER]\r\n"
    "MUSIC=77\r\n";

TEST(SettingsWrittenBack, OnlyTheChangedValuesChangeAndEveryOtherByteStays) {
  // A value in place: only the text after '=' changes (a trailing comment is part of the value,
  // as the reader sees it); a key the section lacks goes after its last line; a missing section
  // at the end, with the file's own line ends.
  const std::string edited = os::EditProfileText(kPlayersFile, {{"SOUND", "MUSIC", "60"},
                                                                {"SOUND", "EFFECTS", "30"},
                                                                {"toriden", "width", "1024"},
                                                                {"KEYS", "BUTTON10", "6"}});
  EXPECT_EQ(edited,
            "; my settings\r\n"
            "[TORIDEN]\r\n"
            "WINDOW=1   ; in a window\r\n"
            "WIDTH = 1024\r\n"
            "MYKEY=kept\r\n"
            "\r\n"
            "[SOUND]\r\n"
            "; quieter music\r\n"
            "MUSIC = 60\r\n"
            "EFFECTS=30\r\n"
            "\r\n"
            "[OTHER]\r\n"
            "MUSIC=77\r\n"
            "[KEYS]\r\n"
            "BUTTON10=6\r\n");
  std::string value;
  ASSERT_TRUE(os::FindProfileValue(edited, "SOUND", "EFFECTS", value));
  EXPECT_EQ(value, "30");
  ASSERT_TRUE(os::FindProfileValue(edited, "OTHER", "MUSIC", value));
  EXPECT_EQ(value, "77");

  // A file without a last line end, and a UTF-8 mark, Unix line ends, a byte beyond ASCII.
  EXPECT_EQ(os::EditProfileText("\xEF\xBB\xBF[SOUND]\n; caf\xC3\xA9\nEFFECTS=5", {{"SOUND", "MUSIC", "0"}}),
            "\xEF\xBB\xBF[SOUND]\n; caf\xC3\xA9\nEFFECTS=5\nMUSIC=0\n");
  // An empty file gets the section.
  EXPECT_EQ(os::EditProfileText("", {{"SOUND", "MUSIC", "50"}}), "[SOUND]\r\nMUSIC=50\r\n");
}

TEST(SettingsWrittenBack, AUtf16FileStaysUtf16EitherWayRound) {
  for (bool little : {true, false}) {
    const std::string before = Utf16("[SOUND]\r\n;x\r\nMUSIC=100\r\n[TORIDEN]\r\nWINDOW=0\r\n", little);
    const std::string after =
        os::EditProfileText(before, {{"SOUND", "MUSIC", "20"}, {"TORIDEN", "WINDOW", "1"}});
    EXPECT_EQ(after, Utf16("[SOUND]\r\n;x\r\nMUSIC=20\r\n[TORIDEN]\r\nWINDOW=1\r\n", little)) << little;
    std::string value;
    ASSERT_TRUE(os::FindProfileValue(after, "SOUND", "MUSIC", value));
    EXPECT_EQ(value, "20");
  }
}

// The writer finds a key where the reader (and Windows' own writer) would: names compared as the
// reader compares them, letters beyond ASCII and blanks around the names included, in either
// encoding, and a line of the key's name alone is the key.
TEST(SettingsWrittenBack, TheWriterFindsAKeyWhereTheReaderDoes) {
  const struct {
    const char* how;
    std::string before, section, key, after;
  } cases[] = {
      {"letters beyond ASCII, another case", "[R\xC3\xA9glages]\nVolume=1\n[SOUND]\nMUSIC=40\n",
       "R\xC3\xA9GLAGES", "VOLUME", "[R\xC3\xA9glages]\nVolume=5\n[SOUND]\nMUSIC=40\n"},
      {"blanks around the names asked for", "[SOUND]\nMUSIC=40\n", " SOUND\t", " MUSIC ",
       "[SOUND]\nMUSIC=5\n"},
      {"the name alone, then the name with a value", "[SOUND]\n  music  \nMUSIC=40\n", "SOUND", "MUSIC",
       "[SOUND]\n  music=5  \nMUSIC=40\n"},
      {"a missing key and section, asked for with blanks", "[SOUND]\n", " KEYS ", " BUTTON5 ",
       "[SOUND]\n[KEYS]\nBUTTON5=5\n"},
  };
  for (const auto& c : cases) {
    const std::string after = os::EditProfileText(c.before, {{c.section, c.key, "5"}});
    EXPECT_EQ(after, c.after) << c.how;
    std::string value;
    EXPECT_TRUE(os::FindProfileValue(after, c.section, c.key, value) && value == "5")
        << c.how << ": " << after;
  }

  // UTF-16: a name beyond ASCII in the file is found, and one the file lacks is written as UTF-16.
  const std::u16string unicode = u"[R\u00E9glages]\r\nVolume=1\r\n";
  for (bool little : {true, false}) {
    std::string before = little ? "\xFF\xFE" : "\xFE\xFF";
    for (const char16_t c : unicode) {
      before += static_cast<char>(little ? c & 0xFF : c >> 8);
      before += static_cast<char>(little ? c >> 8 : c & 0xFF);
    }
    const std::string after = os::EditProfileText(
        before, {{"r\xC3\xA9glages", "volume", "5"}, {"\xE8\xA8\xAD\xE5\xAE\x9A", "\xE9\x9F\xB3", "7"}});
    std::string value;
    EXPECT_TRUE(os::FindProfileValue(after, "R\xC3\xA9GLAGES", "VOLUME", value) && value == "5") << little;
    EXPECT_TRUE(os::FindProfileValue(after, "\xE8\xA8\xAD\xE5\xAE\x9A", "\xE9\x9F\xB3", value) &&
                value == "7")
        << little;
    EXPECT_EQ(after.size(), before.size() + 2 * std::u16string(u"[\u8A2D\u5B9A]\r\n\u97F3=7\r\n").size())
        << "one unit a character: " << little;
  }
}

TEST(SettingsWrittenBack, TheFileIsReplacedWholeOrNotAtAll) {
  CScratchGameDir dir("settings_write_back");
  const std::string file = dir.Path() + "/TORIDEN.ini";
  dir.Write("TORIDEN.ini", kPlayersFile);
  std::string error;
  ASSERT_TRUE(os::WriteProfileValues(file, {{"SOUND", "MUSIC", "55"}}, error)) << error;
  const auto read = [&](const char* section, const char* key) {
    char value[64];
    os::GetPrivateProfileString(section, key, "none", value, sizeof value, file.c_str());
    return std::string(value);
  };
  EXPECT_EQ(read("SOUND", "MUSIC"), "55");
  EXPECT_EQ(read("SOUND", "EFFECTS"), "none");
  EXPECT_EQ(read("TORIDEN", "WIDTH"), "800");
  EXPECT_FALSE(std::filesystem::exists(file + ".new")) << "no temporary file is left";

  // Where the temporary file cannot be made, the write fails, says why, and the file stays.
  const std::string kept = ReadFileText(file);
  std::filesystem::create_directory(file + ".new");
  EXPECT_FALSE(os::WriteProfileValues(file, {{"SOUND", "MUSIC", "10"}}, error));
  EXPECT_NE(error.find(".new"), std::string::npos) << error;
  EXPECT_EQ(ReadFileText(file), kept);

  // A file that is not there yet is made.
  ASSERT_TRUE(os::WriteProfileValues(dir.Path() + "/fresh.ini", {{"SOUND", "EFFECTS", "0"}}, error));
  EXPECT_EQ(ReadFileText(dir.Path() + "/fresh.ini"), "[SOUND]\r\nEFFECTS=0\r\n");
}

}  // namespace
