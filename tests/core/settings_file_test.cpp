// The settings file is described once: what the first run writes, what the configuration and the
// keys read and what the pause screen writes back all go by the same names and defaults.
#include "core/settings_file.h"

#include <gtest/gtest.h>

#include <string>

#include "core/config.h"
#include "platform/os/input_device.h"
#include "support/scratch_dir.h"

namespace {

const settings::Key* const kEveryKey[] = {&settings::kWindow, &settings::kWidth,     &settings::kHeight,
                                          &settings::kFormat, &settings::kDisplayNo, &settings::kQuality,
                                          &settings::kFps,    &settings::kMusic,     &settings::kEffects};

TEST(SettingsFile, TheFirstRunFileHoldsEveryKeyAtItsDefaultInItsSection) {
  const std::string text = settings::DefaultText();
  for (const settings::Key* key : kEveryKey) {
    std::string value;
    ASSERT_TRUE(os::FindProfileValue(text, key->section, key->name, value)) << key->name;
    EXPECT_EQ(value, key->value) << key->name;
  }
  // What a configuration without a file holds is what the file says.
  CScratchGameDir dir("settings_first_run");
  dir.Write(settings::kFileName, text);
  const CConfig read(settings::kFileName), none;
  EXPECT_EQ(read.window, none.window);
  EXPECT_EQ(read.width, none.width);
  EXPECT_EQ(read.height, none.height);
  EXPECT_EQ(read.format, none.format);
  EXPECT_EQ(read.formatName, none.formatName);
  EXPECT_EQ(read.fps, none.fps);
  EXPECT_EQ(read.musicVolume, none.musicVolume);
  EXPECT_EQ(read.effectsVolume, none.effectsVolume);
  EXPECT_EQ(read.notes, "");
}

// The pause screen writes WINDOW, WIDTH, HEIGHT, MUSIC and EFFECTS back: the configuration of the
// next start must read exactly those lines.
TEST(SettingsFile, WhatIsWrittenBackIsWhatTheNextStartReads) {
  const std::string text =
      os::EditProfileText(settings::DefaultText(), {settings::kWindow.Set("1"), settings::kWidth.Set("800"),
                                                    settings::kHeight.Set("600"), settings::kMusic.Set("40"),
                                                    settings::kEffects.Set("0")});
  CScratchGameDir dir("settings_written_back");
  dir.Write(settings::kFileName, text);
  const CConfig read(settings::kFileName);
  EXPECT_EQ(read.window, 1);
  EXPECT_EQ(read.width, 800);
  EXPECT_EQ(read.height, 600);
  EXPECT_EQ(read.musicVolume, 40);
  EXPECT_EQ(read.effectsVolume, 0);
}

}  // namespace
