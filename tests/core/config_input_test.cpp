#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "core/config.h"
#include "core/input.h"
#include "support/fake_input.h"

namespace {

struct IniFile {
  explicit IniFile(const std::string& text)
      : name(std::string("config_") + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
             ".ini"),
        path(name.c_str()) {
    std::ofstream(path, std::ios::binary) << text;
  }
  ~IniFile() { std::remove(path); }
  std::string name;
  const char* path;
};

TEST(Config, NoFileGivesFullScreen640x480InR5G6B5) {
  CConfig c("no_such_config.ini");
  EXPECT_EQ(c.window, 0);
  EXPECT_EQ(c.width, 640);
  EXPECT_EQ(c.height, 480);
  EXPECT_EQ(c.format, 23);
  EXPECT_EQ(c.quality, 1);
  EXPECT_EQ(c.fps, 60);
  EXPECT_EQ(c.displayNo, 0);
}

TEST(Config, NumbersGoThroughAtoi) {
  IniFile f("[TORIDEN]\nWINDOW=2\nWIDTH= 800px\nHEIGHT=\"600\"\nQUALITY=-3\n");
  CConfig c(f.path);
  EXPECT_EQ(c.window, 2);
  EXPECT_EQ(c.width, 800);
  EXPECT_EQ(c.height, 600);
  EXPECT_EQ(c.quality, -3);
  EXPECT_EQ(c.notes, "");
}

// "WIDTH=" reads as 0 through atoi; no window can be that size, so the default stays and the
// line is kept for the log.
TEST(Config, SizesThatCannotOpenAWindowKeepTheirDefaults) {
  IniFile f("[TORIDEN]\nWIDTH=\nHEIGHT=-480\n");
  CConfig c(f.path);
  EXPECT_EQ(c.width, 640);
  EXPECT_EQ(c.height, 480);
  EXPECT_NE(c.notes.find("WIDTH=\"\" gives 0"), std::string::npos) << c.notes;
  EXPECT_NE(c.notes.find("HEIGHT=\"-480\" gives -480"), std::string::npos) << c.notes;
}

TEST(Config, TextWithoutDigitsMeansFullScreen) {
  IniFile f("[toriden]\nwindow=abc\n");
  EXPECT_EQ(CConfig(f.path).window, 0);
}

TEST(Config, FormatNamesAreCaseSensitive) {
  EXPECT_EQ(CConfig::FormatFromName("X8R8G8B8"), 22);
  EXPECT_EQ(CConfig::FormatFromName("D24X4S4"), 79);
  EXPECT_EQ(CConfig::FormatFromName("D16"), 80);
  EXPECT_EQ(CConfig::FormatFromName("r5g6b5"), 0);
  EXPECT_EQ(CConfig::FormatFromName(""), 0);
  IniFile f("[TORIDEN]\nFORMAT = A8R8G8B8 \n");
  EXPECT_EQ(CConfig(f.path).format, 21);
}

class InputTest : public ::testing::Test {
 protected:
  CFakeInput fake;
  const CKeyBindings bindings;
  CInput input{bindings};
};

TEST_F(InputTest, HeldButtonTriggersOnceUntilReleased) {
  fake.Press('X');
  input.Update();
  EXPECT_TRUE(input.Pressed(4));
  EXPECT_TRUE(input.Trigger(4));
  EXPECT_FALSE(input.Trigger(4));
  input.Update();
  EXPECT_FALSE(input.Trigger(4)) << "still held: no new edge";
  fake.Release('X');
  input.Update();
  EXPECT_FALSE(input.Pressed(4));
  fake.Press('X');
  input.Update();
  EXPECT_TRUE(input.Trigger(4));
}

TEST_F(InputTest, KeyAndPadButtonTogetherAreOnePress) {
  fake.joystickPresent = true;
  fake.joy.buttons = 0x01;
  fake.Press('X');
  input.Update();
  EXPECT_TRUE(input.Trigger(4));
  EXPECT_FALSE(input.Trigger(4));
}

TEST_F(InputTest, ReleaseAndPressBetweenUpdatesIsNoNewEdge) {
  fake.Press('Z');
  input.Update();
  EXPECT_TRUE(input.Trigger(5));
  fake.Release('Z');
  fake.Press('Z');  // never seen released by an update
  input.Update();
  EXPECT_FALSE(input.Trigger(5));
}

TEST_F(InputTest, KeyboardMapping) {
  const int keys[14] = {0x27, 0x25, 0x26, 0x28, 'X', 'Z', 'S', 'A', 0xA1, 0xA0, 0x66, 0x64, 0x68, 0x62};
  for (int b = 0; b < 14; ++b) {
    fake.keys = {keys[b]};
    input.Update();
    for (int i = 0; i < 16; ++i) EXPECT_EQ(input.Pressed(i), i == b) << "key " << keys[b] << " button " << i;
  }
}

TEST_F(InputTest, JoystickAxesUseTheDeadZoneEdges) {
  fake.joystickPresent = true;
  struct Case {
    uint32_t x, y;
    bool right, left, up, down;
  } cases[] = {
      {1000, 60000, false, false, false, false}, {999, 60001, false, true, false, true},
      {60001, 999, true, false, true, false},    {32767, 32767, false, false, false, false},
      {0, 65535, false, true, false, true},
  };
  for (const Case& c : cases) {
    fake.joy.xPos = c.x;
    fake.joy.yPos = c.y;
    input.Update();
    EXPECT_EQ(input.Pressed(0), c.right) << c.x;
    EXPECT_EQ(input.Pressed(1), c.left) << c.x;
    EXPECT_EQ(input.Pressed(2), c.up) << c.y;
    EXPECT_EQ(input.Pressed(3), c.down) << c.y;
    EXPECT_EQ(input.AnyDirection(), c.right || c.left || c.up || c.down);
  }
}

TEST_F(InputTest, JoystickButtonBits) {
  fake.joystickPresent = true;
  const struct {
    uint32_t bit;
    int button;
  } map[] = {{0x01, 4}, {0x02, 5}, {0x80, 13}, {0x40, 10}, {0x10, 11}, {0x08, 12}, {0x04, -1}, {0x20, -1}};
  for (const auto& m : map) {
    fake.joy.buttons = m.bit;
    input.Update();
    for (int i = 0; i < 16; ++i) EXPECT_EQ(input.Pressed(i), i == m.button) << std::hex << m.bit;
  }
}

TEST_F(InputTest, MissingJoystickLeavesTheKeyboardAlone) {
  fake.joystickPresent = false;
  fake.Press(0x68);
  input.Update();
  EXPECT_TRUE(input.Pressed(12));
  EXPECT_FALSE(input.Pressed(14));
  EXPECT_FALSE(input.Pressed(15));
}

}  // namespace
