#include "scene/scene.h"

#include <memory>

#include "app/input.h"
#include "scene/scene_manager.h"
#include "scene/screen_fader.h"
#include "sound/music_stream.h"

const float g_viewDistance = 4800.0f;
WorldValues g_world;
int g_stageEnd = 0;

namespace {

CScene::TraceHook g_traceHook = nullptr;

// The objects a stage-script load creates; the teardown destroys them in a fixed order.
struct World {
  std::unique_ptr<CInput> input;
};
World g_worldObjects;

}  // namespace

void CScene::SetTraceHook(TraceHook hook) { g_traceHook = hook; }
void CScene::Trace(const char* event, const CScene* scene) {
  if (g_traceHook) g_traceHook(event, scene);
}

CScene::~CScene() = default;

void CScene::SetPhase(int16_t phase) {
  if (phase != phase_) {
    phase_ = phase;
    phaseCounter_ = 0;
  }
}
int16_t CScene::GetPhase() const { return phase_; }
void CScene::CountPhaseFrame() { ++phaseCounter_; }
int32_t CScene::GetPhaseCounter() const { return phaseCounter_; }

void CScene::Leave() { WorldTeardown(); }

void CScene::LoadStageScript(const char* /*fileName*/) {
  g_stageEnd = 0;
  g_world.clearColor = 0xFFB4B4FF;
  g_world.fogStart = g_viewDistance - 2800.0f;
  g_world.fogEnd = g_viewDistance;
  g_world.fogDensity = 0.4f;
  g_worldObjects.input = std::make_unique<CInput>();
  if (g_sceneManager) g_sceneManager->Fader().Start(CScreenFader::kFadeIn);
  g_stageEnd = 0;
  SetPhase(0);
}

void CScene::WorldTeardown() {
  StopStream();
  g_worldObjects.input.reset();
}

void CScene::PlayerStep() {}
void CScene::WorldUpdate() {}
void CScene::LateUpdate() {}
void CScene::RenderWorld() {}
void CScene::Present() {}
int CScene::StageEndFlag() const { return g_stageEnd; }

void SetDepthState(bool, bool) {}
void SetCullState(bool) {}
