// Steady 2D frames (pictures, the fader's overlay and the debug text) must not touch the heap.
// Counts the C++ allocations made from this executable (our code); the GL driver is not counted.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/graphics.h"
#include "effect/sprite.h"
#include "support/allocation_counter.h"
#include "support/recording_graphics.h"

TEST(SpriteFrames, SteadyTwoDFramesAllocateNothing) {
#ifndef BRIMMEL_COUNT_ALLOCATIONS
  GTEST_SKIP() << "allocation counting needs the plain build";
#else
  testdev::CRecordingGraphics graphics("sprite_alloc");
  ASSERT_TRUE(graphics.ok());
  ASSERT_TRUE(graphics.UseRealDevice());
  gfx::CDevice* device = app::GetDevice();
  CSprite picture("data/image/none.bmp");
  auto frame = [&](int i) {
    device->BeginScene();
    device->Clear(gfx::D3DCLEAR_TARGET | gfx::D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    Set2DRenderStates(*device);
    picture.Draw2D(0, 0, 640, 480, 0, 0, 1, 1, 0xFFFFFFFF);
    app::GetBlackSprite()->Draw2D(0, 0, 640, 480, 0, 0, 1, 1, uint32_t(i & 255) << 24);
    picture.Draw3D(gfxutil::MatrixTranslation(0, 0, 5), 0xFFFFFFFF, -1, -1, 1, 1);
    if (gfxutil::CFont* font = app::GetFont()) {
      gfxutil::Rect r{0, 0, 1024, 768};
      font->DrawText("POS:1.000000,2.000000,3.000000", -1, &r, gfxutil::DT_EXPANDTABS, 0xFFFFFFFF);
    }
    device->EndScene();
    app::PresentAndResetIfLost();
  };
  for (int i = 0; i < 3; ++i) frame(i);  // first frames fill the glyph atlas and the shader cache
  testalloc::StartCounting();
  for (int i = 0; i < 20; ++i) frame(i);
  testalloc::StopCounting();
  EXPECT_EQ(testalloc::Counted(), 0);
#endif
}
