// What a player relies on beyond the design's keys: the [SOUND] levels are read as the other
// settings are, a button takes several keys (the number row beside the keypad by default), and
// letter buttons work whatever the keyboard layout.
#include <gtest/gtest.h>

#include <string>

#include "core/config.h"
#include "core/input.h"
#include "platform/os/input_device.h"
#include "platform/os/window.h"
#include "support/fake_input.h"
#include "support/scratch_dir.h"

namespace {

// Key places as SDL numbers them (the USB usage ids): the letters A to Z are 4 to 29.
int Place(char letter) { return 4 + (letter - 'A'); }

TEST(PlayerSettings, SoundLevelsAreReadLikeTheOtherSettings) {
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
  CKeyBindings bindings;
  CFakeInput keys;
  CInput input(bindings);
  const int digits[] = {'6', '4', '8', '2'}, buttons[] = {10, 11, 12, 13};
  for (int i = 0; i < 4; ++i) {
    keys.keys = {digits[i]};
    input.Update();
    for (int b = 0; b < CInput::kButtons; ++b)
      EXPECT_EQ(input.Pressed(b), b == buttons[i]) << digits[i] << " " << b;
  }
  EXPECT_EQ(bindings.First(10), CKeyBindings::kKeyCodes[10]) << "the keypad stays the first key";

  CScratchGameDir dir("key_lists");
  dir.Write("keys.ini",
            "[KEYS]\nBUTTON10=Keypad 6, 6, E\nBUTTON5=Space, Hyperjump\nBUTTON4=Nothing, Neither\n");
  EXPECT_EQ(bindings.Load((dir.Path() + "/keys.ini").c_str()), 2);
  EXPECT_EQ(os::KeyListName(bindings.Keys(10)), "Keypad 6, 6, E");
  EXPECT_EQ(os::KeyListName(bindings.Keys(5)), "Space") << "the unknown name is left out";
  EXPECT_EQ(bindings.First(4), 'X') << "a line without any key keeps the default";
  EXPECT_EQ(os::KeyListName(bindings.Keys(13)), "Keypad 2, 2");
  keys.keys = {'E'};
  input.Update();
  EXPECT_TRUE(input.Pressed(10));
  keys.keys = {'Z'};
  input.Update();
  EXPECT_FALSE(input.Pressed(5)) << "Z no longer jumps once Space is given instead";
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
  const CKeyBindings bindings;
  CInput input(bindings);
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
  const CKeyBindings bindings;
  CInput input(bindings);
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
