#include "scene/scene.h"

#include "core/graphics.h"
#include "scene/scene_manager.h"

namespace {
CScene::TraceHook g_traceHook = nullptr;
}  // namespace

void CScene::SetTraceHook(TraceHook hook) { g_traceHook = hook; }
void CScene::Trace(const char* event, const CScene* scene) {
  if (g_traceHook) g_traceHook(event, scene);
}

CScene::CScene(CSceneManager& manager) : manager_(manager), world_(manager.WorldServices()) {}

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

void CScene::LoadStageScript(const char* fileName) {
  world_.Load(fileName);
  SetPhase(0);
}

void CScene::WorldTeardown() { world_.Teardown(); }
void CScene::PlayerStep() { world_.PlayerStep(); }
void CScene::WorldUpdate() { world_.Update(); }
void CScene::LateUpdate() { world_.LateUpdate(); }
void CScene::RenderWorld() { world_.Render(); }

void CScene::Present() {
  gfx::CDevice* device = app::GetDevice();
  if (!device) return;
  device->EndScene();
  if (app::PresentFrame() == gfx::D3DERR_DEVICELOST) app::SetDeviceLost(true);
}

int CScene::StageEndFlag() const { return world_.StageEnd(); }
