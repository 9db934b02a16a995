// Shared entry point of every test program: headless video and sound, so tests run without a display.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {
// SDL unloads the GL driver libraries when it shuts down, and the few allocations Mesa keeps for
// the life of the process would then be reported from unknown modules. Pinning the libraries keeps
// them symbolised, so the leak checker's suppressions can name them.
void PinDriverLibraries() {
  const char* libs[] = {"libEGL.so.1",
                        "libEGL_mesa.so.0",
                        "libGLX_mesa.so.0",
                        "libGL.so.1",
                        "libgallium_dri.so",
                        "swrast_dri.so",
                        "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
                        "libopenal.so.1"};
  for (const char* lib : libs) dlopen(lib, RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
}
}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  PinDriverLibraries();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
