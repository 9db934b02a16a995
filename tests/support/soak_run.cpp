#include "support/soak_run.h"

#include <chrono>
#include <string_view>

#include "platform/audio/device.h"
#include "scene/forest_stage_scene.h"
#include "scene/scene_manager.h"
#include "support/headless_game.h"
#include "support/null_device.h"
#include "support/random_play.h"
#include "unit/unit_registry.h"

namespace testgame {

SoakResult RunSoak(uint64_t forestFrames, uint64_t warmFrames, uint64_t progressEvery,
                   const std::function<void(uint64_t, uint64_t)>& progress) {
  SoakResult result;
  CHeadlessGame game;
  CRandomPlay play(12345);
  uint64_t inForest = 0;
  static float mix[735 * 2];  // one 60th of a second at 44.1 kHz, stereo
  const auto start = std::chrono::steady_clock::now();
  result.exitCode = game.Run([&](CHeadlessGame& g, uint64_t frame) {
    if (frame == 1) g.RequestScene(&g.Scenes().ForestStage());
    audio::RenderLoopback(mix, 735);
    if (g.CurrentSceneName() != std::string_view("CForestStageScene")) return;
    ++inForest;
    play.Step(g.Input());
    const CUnitRegistry* registry = g.Scenes().CurrentWorld()->Context().registry;
    if (registry && registry->Count() > result.maxUnits) result.maxUnits = registry->Count();
    if (inForest == warmFrames) result.warmResidentKiB = ResidentKiB();
    if (progressEvery && inForest % progressEvery == 0 && progress) progress(inForest, ResidentKiB());
    if (inForest == forestFrames) {
      result.endResidentKiB = ResidentKiB();
      if (testdev::CNullDevice* device = testdev::LastNullDevice()) result.primitives = device->primitives;
      g.Quit();
    }
  });
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.forestFrames = inForest;
  result.peakResidentKiB = PeakResidentKiB();
  return result;
}

}  // namespace testgame
