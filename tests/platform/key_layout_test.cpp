// The layout the browser edition learns from key events: a letter is found where it was seen
// typed, a US place known to type another Latin letter is not taken for it, and places of layouts
// without Latin letters (or AZERTY's number row) act by their place.
#include "platform/os/key_layout.h"

#include <gtest/gtest.h>

namespace {

TEST(KeyLayout, LettersAreFoundWhereTheLayoutTypesThem) {
  os::CKeyLayout azerty;
  // Nothing seen yet: the US place.
  EXPECT_EQ(azerty.PlaceOf('z'), "KeyZ");
  // The key labelled Z on AZERTY sits in the US W place; shifted, it says so in capitals.
  azerty.Learn("KeyW", "Z");
  EXPECT_EQ(azerty.PlaceOf('z'), "KeyW");
  // The US Z place types W there: it answers for W, and is not Z.
  azerty.Learn("KeyZ", "w");
  EXPECT_EQ(azerty.PlaceOf('w'), "KeyZ");
  EXPECT_EQ(azerty.PlaceOf('z'), "KeyW");
  // M beside L: the US semicolon place.
  azerty.Learn("Semicolon", "m");
  EXPECT_EQ(azerty.PlaceOf('m'), "Semicolon");
  // The US Q place types A there, and Q has not been pressed yet: no key is Q so far.
  azerty.Learn("KeyQ", "a");
  EXPECT_EQ(azerty.PlaceOf('q'), "");
  azerty.Forget();
  EXPECT_EQ(azerty.PlaceOf('q'), "KeyQ");
}

TEST(KeyLayout, PlacesWithoutTheLetterActByTheirPlace) {
  os::CKeyLayout layout;
  // Cyrillic: the US X place types a Cyrillic letter (two bytes of UTF-8); X is that place.
  layout.Learn("KeyX", "\xd1\x87");
  EXPECT_EQ(layout.PlaceOf('x'), "KeyX");
  // AZERTY's number row types symbols unshifted; 6 stays the place of 6.
  layout.Learn("Digit6", "-");
  EXPECT_EQ(layout.PlaceOf('6'), "Digit6");
  layout.Learn("Digit0", "0");
  EXPECT_EQ(layout.PlaceOf('0'), "Digit0");
  // Key names type nothing and teach nothing; the keypad's digits are places of their own.
  layout.Learn("KeyY", "Dead");
  layout.Learn("Numpad8", "8");
  layout.Learn("IntlBackslash", "y");
  EXPECT_EQ(layout.PlaceOf('8'), "Digit8");
  EXPECT_EQ(layout.PlaceOf('y'), "IntlBackslash");
  EXPECT_EQ(layout.PlaceOf('!'), "");
}

}  // namespace
