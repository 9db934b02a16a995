#include "scene/team_logo_scene.h"

#include "scene/scene_manager.h"
#include "scene/title_scene.h"
#include "sound/sound_bank.h"

namespace {
int g_logoCounter = 0;
}

int CTeamLogoScene::FrameCounter() { return g_logoCounter; }

void CTeamLogoScene::Enter() {
  LoadStageScript("data/scr/teamlogo.txt");
  logo_ = FindSprite("data/image/logo.jpg");
  g_logoCounter = 0;
}

void CTeamLogoScene::Step() {
  ++g_logoCounter;
  if (g_logoCounter > 256) {
    // Repeated every later frame; the fader ignores a start while it runs.
    Manager().RequestScene(&Manager().Title());
  } else if (g_logoCounter == 16) {
    Manager().Sounds().PlaySE2D(8);
  }
}

void CTeamLogoScene::DrawImages() {
  // Larger than the screen on purpose: a 1024x512 image shows its top-left 640x480 one to one.
  if (logo_) logo_->Draw2D(0, 0, 1024, 512, 0, 0, 1, 1, 0xFFFFFFFF);
}
