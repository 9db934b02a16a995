#include "app/frame_services.h"

#include "effect/sprite.h"
#include "resource/math_helpers.h"

namespace app {

int InitGraphics(const CConfig& config) {
  BuildSineTable();
  if (!OpenGraphicsDevice(config)) return 0;
  if (!GetBlackSprite()) SetBlackSprite(boost::shared_ptr<CSprite>(new CSprite("data/image/black.bmp")));
  return 1;
}

int ShutdownGraphics() {
  // The black sprite holds a texture of this device, so it goes first and a later start-up makes
  // it afresh for the new device.
  SetBlackSprite(nullptr);
  CloseGraphicsDevice();
  return 1;
}

}  // namespace app
