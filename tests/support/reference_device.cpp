#include "support/reference_device.h"

#include "platform/os/window.h"

namespace testdev {

namespace {
intptr_t Proc(uint32_t, uintptr_t, intptr_t) { return 0; }
}  // namespace

bool EnsureMainWindow() {
  static const bool made = os::InitSystem() && os::RegisterWindowClass("BrimmelTest", Proc) &&
                           os::CreateMainWindow("brimmel test", 640, 480, true);
  return made;
}

gfx::PresentParameters ReferenceParams(uint32_t width, uint32_t height, bool windowed) {
  gfx::PresentParameters pp;
  pp.BackBufferWidth = width;
  pp.BackBufferHeight = height;
  pp.BackBufferFormat = gfx::D3DFMT_X8R8G8B8;
  pp.BackBufferCount = 1;
  pp.SwapEffect = 1;
  pp.Windowed = windowed;
  pp.EnableAutoDepthStencil = true;
  pp.AutoDepthStencilFormat = gfx::D3DFMT_D16;
  pp.Flags = 1;
  return pp;
}

std::unique_ptr<gfx::CDevice> MakeReferenceDevice(uint32_t width, uint32_t height, bool windowed) {
  std::unique_ptr<gfx::CDevice> device =
      gfx::CDevice::Create(ReferenceParams(width, height, windowed), gfx::D3DDEVTYPE_REF,
                           gfx::D3DCREATE_SOFTWARE_VERTEXPROCESSING);
  if (device && !gfx::TestHooks(*device)) device.reset();  // the tests read its pictures back
  return device;
}

}  // namespace testdev
