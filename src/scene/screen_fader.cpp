#include "scene/screen_fader.h"

#include "core/graphics.h"
#include "effect/sprite.h"
#include "scene/scene_manager.h"

void CScreenFader::Start(int index) {
  if (index == kFadeIn && !in_.active) {
    in_.alpha = 255;
    in_.active = true;
  } else if (index == kFadeOut && !out_.active) {
    out_.alpha = 0;
    out_.active = true;
  }
}

bool CScreenFader::Active(int index) const {
  return index == kFadeIn ? in_.active : index == kFadeOut ? out_.active : false;
}

int CScreenFader::Alpha(int index) const {
  return index == kFadeIn ? in_.alpha : index == kFadeOut ? out_.alpha : 0;
}

void CScreenFader::Draw() {
  if (in_.active) {
    in_.alpha -= kStep;
    if (in_.alpha < 0) in_.alpha = 0;
    DrawBlack(in_.alpha);
    if (in_.alpha == 0) in_.active = false;
  }
  if (out_.active) {
    out_.alpha += kStep;
    if (out_.alpha > 255) out_.alpha = 255;
    DrawBlack(out_.alpha);
    if (out_.alpha == 255) {
      // The switch runs inside this draw: the rest of the frame only touches device state.
      out_.active = false;
      manager_.Switch();
      Start(kFadeIn);
    }
  }
}

void CScreenFader::DrawBlack(int alpha) {
  gfx::CDevice* device = app::GetDevice();
  const boost::shared_ptr<CSprite>& black = app::GetBlackSprite();
  if (!device || !black) return;
  Set2DRenderStates(*device);
  black->Draw2D(0, 0, 640, 480, 0, 0, 1, 1, static_cast<uint32_t>(alpha) << 24);
}
