// What a player relies on beyond the design's keys: the settings file written back keeps every
// byte it does not change (and stays whole when it cannot be written), the [SOUND] levels are
// read as the other settings are, a button takes several keys (the number row beside the keypad
// by default), and letter buttons work whatever the keyboard layout.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/config.h"
#include "core/input.h"
#include "platform/os/input_device.h"
#include "platform/os/profile.h"
#include "platform/os/window.h"
#include "support/fake_input.h"
#include "support/scratch_dir.h"

namespace {

// Key places as SDL numbers them (the USB usage ids): the letters A to Z are 4 to 29.
int Place(char letter) { return 4 + (letter - 'A'); }

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
  CConfig read(file.c_str());
  EXPECT_EQ(read.musicVolume, 55);
  EXPECT_EQ(read.effectsVolume, 100);
  EXPECT_EQ(read.width, 800);
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

TEST(SettingsWrittenBack, SoundLevelsAreReadLikeTheOtherSettings) {
  CScratchGameDir dir("sound_levels");
  dir.Write("a.ini", "[SOUND]\nMUSIC=50\nEFFECTS= 0\n");
  dir.Write("b.ini", "[SOUND]\nMUSIC=250\nEFFECTS=loud\n");
  CConfig none("no_such_config.ini");
  EXPECT_EQ(none.musicVolume, 100);
  EXPECT_EQ(none.effectsVolume, 100);
  CConfig a((dir.Path() + "/a.ini").c_str());
  EXPECT_EQ(a.musicVolume, 50);
  EXPECT_EQ(a.effectsVolume, 0);
  CConfig b((dir.Path() + "/b.ini").c_str());
  EXPECT_EQ(b.musicVolume, 100);  // beyond the end stops there
  EXPECT_EQ(b.effectsVolume, 100);
  EXPECT_NE(b.notes.find("EFFECTS=\"loud\""), std::string::npos) << b.notes;
}

TEST(KeyLists, TheNumberRowActsAsTheKeypadAndAButtonTakesAList) {
  CInput::ResetKeyBindings();
  CFakeInput keys;
  CInput input;
  const int digits[] = {'6', '4', '8', '2'}, buttons[] = {10, 11, 12, 13};
  for (int i = 0; i < 4; ++i) {
    keys.keys = {digits[i]};
    input.Update();
    for (int b = 0; b < CInput::kButtons; ++b)
      EXPECT_EQ(input.Pressed(b), b == buttons[i]) << digits[i] << " " << b;
  }
  EXPECT_EQ(CInput::KeyBinding(10), CInput::kKeyCodes[10]) << "the keypad stays the first key";

  CScratchGameDir dir("key_lists");
  dir.Write("keys.ini",
            "[KEYS]\nBUTTON10=Keypad 6, 6, E\nBUTTON5=Space, Hyperjump\nBUTTON4=Nothing, Neither\n");
  EXPECT_EQ(CInput::LoadKeyBindings((dir.Path() + "/keys.ini").c_str()), 2);
  EXPECT_EQ(os::KeyListName(CInput::KeyBindings(10)), "Keypad 6, 6, E");
  EXPECT_EQ(os::KeyListName(CInput::KeyBindings(5)), "Space") << "the unknown name is left out";
  EXPECT_EQ(CInput::KeyBinding(4), 'X') << "a line without any key keeps the default";
  EXPECT_EQ(os::KeyListName(CInput::KeyBindings(13)), "Keypad 2, 2");
  keys.keys = {'E'};
  input.Update();
  EXPECT_TRUE(input.Pressed(10));
  keys.keys = {'Z'};
  input.Update();
  EXPECT_FALSE(input.Pressed(5)) << "Z no longer jumps once Space is given instead";
  CInput::ResetKeyBindings();
}

// The keys of a Russian (ЙЦУКЕН) keyboard: the place of each Latin letter types a Cyrillic one.
os::KeyboardForTests Cyrillic() {
  os::KeyboardForTests k;
  const char32_t letters[26] = {U'ф', U'и', U'с', U'в', U'у', U'а', U'п', U'р', U'ш', U'о', U'л', U'д', U'ь',
                                U'т', U'щ', U'з', U'й', U'к', U'ы', U'е', U'г', U'м', U'ц', U'ч', U'н', U'я'};
  for (int i = 0; i < 26; ++i) k.layout[Place('A') + i] = static_cast<int>(letters[i]);
  return k;
}

class KeyboardLayouts : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(os::InitSystem()); }
  void TearDown() override { os::SetKeyboardForTests(nullptr); }
};

TEST_F(KeyboardLayouts, WithCyrillicLettersXAndZStillRunAndJumpInThePollAndTheMessages) {
  CInput::ResetKeyBindings();
  CInput input;
  os::KeyboardForTests keyboard = Cyrillic();
  os::SetKeyboardForTests(&keyboard);
  keyboard.held = {Place('X'), Place('Z')};
  input.Update();
  EXPECT_TRUE(input.Pressed(4)) << "run";
  EXPECT_TRUE(input.Trigger(5)) << "jump";
  EXPECT_FALSE(input.Pressed(6)) << "S is not held";
  keyboard.held = {Place('P')};
  EXPECT_LT(os::GetAsyncKeyState('P'), 0) << "the pause key";

  // The key message: SDL reports the Cyrillic letter at the X place.
  os::Message m;
  while (os::PeekMessage()) os::GetMessage(m);
  ASSERT_TRUE(os::PushKeyEventForTests("ч", false, "X"));
  ASSERT_TRUE(os::PeekMessage());
  ASSERT_TRUE(os::GetMessage(m));
  EXPECT_EQ(m.message, os::WM_KEYDOWN);
  EXPECT_EQ(m.wParam, uintptr_t('X'));
  os::ForgetKeyTaps();
}

TEST_F(KeyboardLayouts, ALatinLayoutKeepsItsLettersWhereverThePlaceIs) {
  CInput input;
  // AZERTY: the A and Q places trade letters; the game follows the letter, not the place.
  os::KeyboardForTests azerty;
  azerty.layout[Place('Q')] = 'a';
  azerty.layout[Place('A')] = 'q';
  azerty.held = {Place('Q')};
  os::SetKeyboardForTests(&azerty);
  EXPECT_LT(os::GetAsyncKeyState('A'), 0);
  EXPECT_EQ(os::GetAsyncKeyState('Q'), 0);
  input.Update();
  EXPECT_TRUE(input.Pressed(7)) << "button 7 is A";
}

}  // namespace
