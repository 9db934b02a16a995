// The game's graphics start-up on top of the device (app::InitGraphics, app::ShutdownGraphics):
// the sine table before any unit, the black sprite the fader and letterbox draw with, both made
// afresh for each device.
#include "app/frame_services.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "core/log.h"
#include "effect/sprite.h"
#include "resource/math_helpers.h"
#include "support/game_graphics.h"
#include "support/image_files.h"

using namespace gamegfx;

TEST_F(GameGfxTest, TheStartUpBuildsTheSineTable) {
  Configure(1, 800, 600);
  std::fill_n(const_cast<float*>(SineTable()), kSineTableSize, 0.0f);
  ASSERT_EQ(InitRecording(), 1);
  // The start-up builds the sine table that units read from the first frame on.
  EXPECT_NEAR(TableSin(SineIndexOfDegrees(90)), 1.0f, 1e-4f);
  EXPECT_NEAR(TableCos(SineIndexOfDegrees(180)), -1.0f, 1e-4f);
}

TEST_F(GameGfxTest, LogIsTruncatedAtStart) {
  {
    std::ofstream old(dir + "/profile.txt");
    old << "an earlier run\n";
  }
  Configure(1, 640, 480);
  ASSERT_EQ(InitRecording(), 1);
  Log("line %d\n", 1);
  // The black sprite's image is missing here, so the log holds exactly that and our line.
  EXPECT_EQ(ReadLog(), "NotFound data/image/black.bmp\nline 1\n");
}

TEST_F(GameGfxTest, FontAndBlackSprite) {
  ASSERT_TRUE(testimg::WriteFile(dir + "/data/image/black.bmp",
                                 testimg::Bmp24(8, 8, std::vector<uint32_t>(64, 0xFF000000))));
  Configure(1, 640, 480);
  ASSERT_EQ(InitRecording(), 1);
  ASSERT_NE(app::GetFont(), nullptr);
  ASSERT_NE(app::GetBlackSprite(), nullptr);
  EXPECT_NE(app::GetBlackSprite()->GetTexture(), nullptr);
  EXPECT_EQ(app::GetBlackSprite()->GetWidth(), 8u);
  EXPECT_EQ(ReadLog(), "");
}

TEST_F(GameGfxTest, SecondInitialisationHasFontAndSpriteForItsOwnDevice) {
  ASSERT_TRUE(testimg::WriteFile(dir + "/data/image/black.bmp",
                                 testimg::Bmp24(4, 4, std::vector<uint32_t>(16, 0xFF000000))));
  Configure(1, 640, 480);
  ASSERT_EQ(InitRecording(), 1);
  ShutdownGraphics();
  EXPECT_EQ(app::GetDevice(), nullptr);
  EXPECT_EQ(app::GetFont(), nullptr);
  EXPECT_EQ(app::GetBlackSprite(), nullptr);
  ASSERT_EQ(InitRecording(), 1);
  EXPECT_NE(app::GetFont(), nullptr);
  ASSERT_NE(app::GetBlackSprite(), nullptr);
  EXPECT_NE(app::GetBlackSprite()->GetTexture(), nullptr);
}
