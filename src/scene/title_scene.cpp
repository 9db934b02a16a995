#include "scene/title_scene.h"

#include <cmath>

#include "core/input.h"
#include "scene/scene_manager.h"
#include "scene/telop_scene.h"
#include "sound/sound_bank.h"

namespace {
// Drives the caption's pulse; never reset, so the pulse stays smooth across visits.
float g_pulse = 0.0f;
}  // namespace

void CTitleScene::Enter() {
  LoadStageScript("data/scr/title.txt");
  title_ = FindSprite("data/image/title.jpg");
  caption_ = FindSprite("data/image/title_moji.bmp");
}

void CTitleScene::Step() {
  CInput* input = World().Context().input;
  if (input && input->Trigger(4)) {
    Manager().Sounds().PlaySE2D(1);
    Manager().RequestScene(&Manager().Telop());
  }
}

void CTitleScene::DrawImages() {
  if (title_) title_->Draw2D(0, 0, 640, 480, 0, 0, 1, 1, 0xFFFFFFFF);
  g_pulse += 0.05f;
  const int alpha = static_cast<int>((std::cos(g_pulse) + 1.0f) * 100.0f + 55.0f);
  if (caption_)
    caption_->Draw2D(208, 320, 432, 352, 0, 0, 0.35f, 0.0666f,
                     (static_cast<uint32_t>(alpha) << 24) | 0xFFFFFF);
}
