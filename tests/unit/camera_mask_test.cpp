// The letterbox bars.
#include "unit/camera_mask.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/recording_graphics.h"

using testdev::ScreenVertex;

// A mask a test may put into a state of its choosing.
class CStrangeMask : public CCameraMask {
 public:
  void Set(int16_t s) { ChangeState(s); }
};

TEST(CameraMask, CreationHidesTheBarsEachMaskItsOwn) {
  CCameraMask shown;
  shown.Show();
  for (int i = 0; i < 20; ++i) shown.Update();
  CCameraMask fresh;
  EXPECT_EQ(fresh.BarHeight(), 0.0f);
  EXPECT_EQ(fresh.State(), CCameraMask::kHidden);
  EXPECT_GT(shown.BarHeight(), 10.0f);
}

TEST(CameraMask, ShownBarsReachThreePointTwoAfterOneUpdateAndAboutTwentyPointEightAfterTen) {
  CCameraMask mask;
  mask.Show();
  EXPECT_EQ(mask.State(), CCameraMask::kShown);
  EXPECT_EQ(mask.Tick(), 0);
  mask.Update();
  EXPECT_FLOAT_EQ(mask.BarHeight(), 3.2f);
  for (int i = 1; i < 10; ++i) mask.Update();
  EXPECT_NEAR(mask.BarHeight(), 32.0f * (1.0f - std::pow(0.9f, 10.0f)), 1e-4f);
  EXPECT_NEAR(mask.BarHeight(), 20.8f, 0.05f);
  for (int i = 0; i < 300; ++i) mask.Update();
  EXPECT_NEAR(mask.BarHeight(), 32.0f, 1e-3f);
}

TEST(CameraMask, HiddenBarsTendToMinusFive) {
  CCameraMask mask;
  mask.Show();
  for (int i = 0; i < 50; ++i) mask.Update();
  mask.Hide();
  EXPECT_EQ(mask.State(), CCameraMask::kHidden);
  for (int i = 0; i < 300; ++i) mask.Update();
  EXPECT_NEAR(mask.BarHeight(), -5.0f, 1e-3f);
  EXPECT_LT(mask.BarHeight(), 0.0f);
}

TEST(CameraMask, OtherStatesLeaveTheBarsAlone) {
  CStrangeMask mask;
  mask.Show();
  for (int i = 0; i < 5; ++i) mask.Update();
  const float before = mask.BarHeight();
  mask.Set(2);
  mask.Update();
  EXPECT_EQ(mask.BarHeight(), before);
}

TEST(CameraMask, DrawsTwoHalfBlackBarsWithAlphaBlendingThenResetsTheBlend) {
  testdev::CRecordingGraphics graphics{"camera_mask", 800, 600};
  ASSERT_TRUE(graphics.ok());
  testdev::CRecordingDevice& d = graphics.device();
  CCameraMask mask;
  mask.Show();
  for (int i = 0; i < 300; ++i) mask.Update();
  const float h = mask.BarHeight();
  ASSERT_NEAR(h, 32.0f, 1e-3f);
  d.draws.clear();
  mask.DrawScreen();
  ASSERT_EQ(d.draws.size(), 2u);
  for (const auto& draw : d.draws) {
    EXPECT_EQ(draw.fvf, 0x144u);
    EXPECT_EQ(draw.renderStates.at(gfx::D3DRS_ALPHABLENDENABLE), 1u);
    EXPECT_EQ(draw.renderStates.at(gfx::D3DRS_SRCBLEND), gfx::D3DBLEND_SRCALPHA);
    EXPECT_EQ(draw.renderStates.at(gfx::D3DRS_DESTBLEND), gfx::D3DBLEND_INVSRCALPHA);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(draw.Vertex<ScreenVertex>(i).color, 0x80000000u);
  }
  // Top bar: (0, 0)-(640, 32) on the virtual screen, scaled to 800 x 600.
  const ScreenVertex top0 = d.draws[0].Vertex<ScreenVertex>(0), top1 = d.draws[0].Vertex<ScreenVertex>(1);
  EXPECT_FLOAT_EQ(top0.y, 0.0f);
  EXPECT_FLOAT_EQ(top1.x, 640.0f * 0.0015625f * 800.0f);
  EXPECT_FLOAT_EQ(top1.y, h * 0.0020833f * 600.0f);
  // Bottom bar: (0, 448)-(640, 480).
  const ScreenVertex bottom0 = d.draws[1].Vertex<ScreenVertex>(0),
                     bottom1 = d.draws[1].Vertex<ScreenVertex>(1);
  EXPECT_FLOAT_EQ(bottom0.y, (480.0f - h) * 0.0020833f * 600.0f);
  EXPECT_FLOAT_EQ(bottom1.y, 480.0f * 0.0020833f * 600.0f);
  EXPECT_EQ(d.GetRenderState(gfx::D3DRS_SRCBLEND), gfx::D3DBLEND_ONE);
  EXPECT_EQ(d.GetRenderState(gfx::D3DRS_DESTBLEND), gfx::D3DBLEND_ZERO);
}

TEST(CameraMask, HiddenBarsLieOffTheScreen) {
  testdev::CRecordingGraphics graphics{"camera_mask_hidden"};
  ASSERT_TRUE(graphics.ok());
  testdev::CRecordingDevice& d = graphics.device();
  CCameraMask mask;
  for (int i = 0; i < 300; ++i) mask.Update();  // hidden: towards -5
  d.draws.clear();
  mask.DrawScreen();
  ASSERT_EQ(d.draws.size(), 2u);
  float topMax = -1e9f, bottomMin = 1e9f;
  for (int i = 0; i < 6; ++i) {
    topMax = std::max(topMax, d.draws[0].Vertex<ScreenVertex>(i).y);
    bottomMin = std::min(bottomMin, d.draws[1].Vertex<ScreenVertex>(i).y);
  }
  EXPECT_LE(topMax, 0.0f);
  EXPECT_GE(bottomMin, 480.0f * 0.0020833f * 480.0f);
}
