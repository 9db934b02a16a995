// Steady 2D frames (pictures, the fader's overlay and the debug text) must not touch the heap.
// Counts the C++ allocations made from this executable (our code); the GL driver is not counted.
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "app/config.h"
#include "app/graphics.h"
#include "effect/sprite.h"
#include "platform/os/window.h"

#if !defined(__SANITIZE_ADDRESS__)
#define BRIMMEL_COUNT_ALLOCATIONS 1
namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

bool FromThisExecutable(const void* caller) {
  static const void* const self = [] {
    Dl_info info{};
    dladdr(reinterpret_cast<const void*>(&FromThisExecutable), &info);
    return info.dli_fbase;
  }();
  Dl_info info{};
  return dladdr(caller, &info) != 0 && info.dli_fbase == self;
}
}  // namespace

void* operator new(std::size_t size) {
  if (g_counting.load(std::memory_order_relaxed) && FromThisExecutable(__builtin_return_address(0)))
    g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
static void (*volatile g_free)(void*) = std::free;  // keeps the compiler from pairing new and free
void operator delete(void* p) noexcept { g_free(p); }
void operator delete(void* p, std::size_t) noexcept { g_free(p); }

namespace {
intptr_t Proc(uint32_t, uintptr_t, intptr_t) { return 0; }
}  // namespace
#endif

TEST(SpriteFrames, SteadyTwoDFramesAllocateNothing) {
#ifndef BRIMMEL_COUNT_ALLOCATIONS
  GTEST_SKIP() << "allocation counting needs the plain build";
#else
  const std::string dir = std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/sprite_alloc";
  std::filesystem::create_directories(dir);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  ASSERT_TRUE(os::InitSystem());
  ASSERT_TRUE(os::RegisterWindowClass("BrimmelSpriteAlloc", Proc));
  ASSERT_TRUE(os::CreateMainWindow("sprite alloc", 640, 480, true));
  CConfig config("no-such-file.ini");
  config.window = 1;
  ASSERT_EQ(app::InitGraphics(), 1);
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
  g_allocations = 0;
  g_counting = true;
  for (int i = 0; i < 20; ++i) frame(i);
  g_counting = false;
  EXPECT_EQ(g_allocations.load(), 0);
  app::ShutdownGraphics();
#endif
}
