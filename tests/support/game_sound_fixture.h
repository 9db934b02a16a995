// The game's sound started on a loopback output inside a scratch working directory, with the log
// and the message boxes watched.
#pragma once
#include <gtest/gtest.h>

#include "core/log.h"
#include "platform/audio/device.h"
#include "platform/os/message_box.h"
#include "sound/music_stream.h"
#include "sound/sound_device.h"
#include "support/sound_test_util.h"

class GameSoundTest : public ::testing::Test {
 protected:
  void StartSound(audio::Output output) {
    soundtest::WatchMessageBoxes();
    ASSERT_TRUE(app::OpenLog("profile.txt"));
    audio::SetOutput(output);
    started_ = InitSound();
  }
  void TearDown() override {
    StopStream();
    ShutdownSound();
    audio::SetOutput(audio::Output::kDefault);
    app::CloseLog();
    os::SetMessageBoxHook(nullptr);
  }
  std::string LogText() const { return ReadFileText(dir_.Path() + "/profile.txt"); }

  CScratchGameDir dir_{"sound"};
  bool started_ = false;
};
