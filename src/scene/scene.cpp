#include "scene/scene.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/app.h"
#include "app/graphics.h"
#include "app/input.h"
#include "app/log.h"
#include "effect/sprite.h"
#include "platform/os/message_box.h"
#include "platform/os/window.h"
#include "resource/resource_cache.h"
#include "resource/script_file.h"
#include "scene/scene_manager.h"
#include "scene/screen_fader.h"
#include "sound/music_stream.h"
#include "sound/sound_device.h"
#include "world/collision_model.h"
#include "world/collision_world.h"

const float g_viewDistance = 4800.0f;
WorldValues g_world;
int g_stageEnd = 0;

namespace {

CScene::TraceHook g_traceHook = nullptr;

// The objects a stage-script load creates; the teardown destroys them in a fixed order.
struct World {
  std::unique_ptr<CInput> input;
  std::unique_ptr<ResourceCache<CSprite>> sprites;
  std::unique_ptr<ResourceCache<CCollisionModel>> collisionModels;
  std::unique_ptr<CCollisionWorld> collisionWorld;
};
World g_worldObjects;

std::string FirstLine(const std::list<std::string>& section) {
  return section.empty() ? std::string() : section.front();
}

// A scene script that cannot be read leaves nothing to show: say which file, and end with a
// failure code rather than reporting success.
[[noreturn]] void MissingScript(const char* fileName) {
  char text[512];
  std::snprintf(text, sizeof text, "The scene script \"%s\" is missing or unreadable.", fileName);
  os::ShowCursor(true);
  os::MessageBox(text, "BRIMMEL");
  std::exit(3);
}

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

void CScene::LoadStageScript(const char* fileName) {
  g_stageEnd = 0;
  g_world.clearColor = 0xFFB4B4FF;
  g_world.fogStart = g_viewDistance - 2800.0f;
  g_world.fogEnd = g_viewDistance;
  g_world.fogDensity = 0.4f;

  CScriptFile script(fileName);
  if (!script.Loaded()) MissingScript(fileName);

  World& w = g_worldObjects;
  w.input = std::make_unique<CInput>();
  w.sprites = std::make_unique<ResourceCache<CSprite>>(script.GetSection("#sprite"));
  w.collisionModels = std::make_unique<ResourceCache<CCollisionModel>>(script.GetSection("#collision"));
  w.collisionWorld = std::make_unique<CCollisionWorld>();

  if (g_sceneManager) g_sceneManager->Fader().Start(CScreenFader::kFadeIn);
  const std::string music = FirstLine(script.GetSection("#bgm"));
  if (!music.empty()) StartStream(music.c_str());
  g_stageEnd = 0;
  SetPhase(0);
}

void CScene::WorldTeardown() {
  StopStream();
  World& w = g_worldObjects;
  w.collisionWorld.reset();
  w.collisionModels.reset();
  w.sprites.reset();
  w.input.reset();
}

void CScene::PlayerStep() {}

void CScene::WorldUpdate() {
  if (g_collisionWorld) g_collisionWorld->Purge();
}

void CScene::LateUpdate() {}

void CScene::RenderWorld() {
  gfx::CDevice* device = app::GetDevice();
  if (!device) return;
  if (app::IsDeviceLost()) {
    const gfx::Result r = device->TestCooperativeLevel();
    if (r == gfx::D3DERR_DEVICELOST) {
      while (os::ShowCursor(true) < -1) {
      }
      os::MessageBox("Device Lost!", "EXIT");
      std::exit(0);
    }
    if (r == gfx::D3DERR_DEVICENOTRESET) app::SetDeviceLost(false);
  }
  device->BeginScene();

  device->SetRenderState(gfx::D3DRS_FOGCOLOR, app::GetPreviousClearColor());
  device->SetRenderState(gfx::D3DRS_FOGTABLEMODE, gfx::D3DFOG_NONE);
  device->SetRenderState(gfx::D3DRS_FOGVERTEXMODE, gfx::D3DFOG_LINEAR);
  device->SetRenderState(gfx::D3DRS_RANGEFOGENABLE, 1);
  device->SetRenderStateF(gfx::D3DRS_FOGSTART, g_world.fogStart);
  device->SetRenderStateF(gfx::D3DRS_FOGEND, g_world.fogEnd);
  device->SetRenderStateF(gfx::D3DRS_FOGDENSITY, g_world.fogDensity);
  device->SetRenderState(gfx::D3DRS_FOGENABLE, 1);

  SetDepthState(true, true);
  device->SetTextureStageState(0, gfx::D3DTSS_MINFILTER, gfx::D3DTEXF_LINEAR);
  device->SetTextureStageState(0, gfx::D3DTSS_MAGFILTER, gfx::D3DTEXF_LINEAR);
  device->SetTextureStageState(0, gfx::D3DTSS_MIPFILTER, gfx::D3DTEXF_LINEAR);
  device->SetTextureStageState(0, gfx::D3DTSS_MIPMAPLODBIAS, gfx::FloatBits(0.0f));
  device->SetTextureStageState(0, gfx::D3DTSS_MAXMIPLEVEL, 2);
  device->SetTextureStageState(0, gfx::D3DTSS_ADDRESSU, gfx::D3DTADDRESS_WRAP);
  device->SetTextureStageState(0, gfx::D3DTSS_ADDRESSV, gfx::D3DTADDRESS_WRAP);

  device->Clear(gfx::D3DCLEAR_TARGET | gfx::D3DCLEAR_ZBUFFER, g_world.clearColor, 1.0f, 0);
  app::SetPreviousClearColor(g_world.clearColor);

  UpdateListener(gfxutil::Vector3(0, 0, 0));

  device->SetRenderState(gfx::D3DRS_SPECULARENABLE, 0);
  device->SetRenderState(gfx::D3DRS_COLORVERTEX, 1);
  SetDepthState(true, true);
  SetCullState(true);
  device->SetRenderState(gfx::D3DRS_DITHERENABLE, 1);
  device->SetRenderState(gfx::D3DRS_NORMALIZENORMALS, 1);
  device->SetRenderState(gfx::D3DRS_LIGHTING, 1);

  if (app::DebugDrawEnabled() && g_collisionWorld) {
    device->SetRenderState(gfx::D3DRS_LIGHTING, 0);
    g_collisionWorld->Draw(*device);
    device->SetRenderState(gfx::D3DRS_LIGHTING, 1);
  }

  SetDepthState(false, false);
  device->SetRenderState(gfx::D3DRS_LIGHTING, 0);
  device->SetRenderState(gfx::D3DRS_ALPHABLENDENABLE, 1);
  device->SetRenderState(gfx::D3DRS_FOGENABLE, 0);
  if (g_sceneManager) g_sceneManager->Fader().Draw();

  SetDepthState(true, true);
  device->SetRenderState(gfx::D3DRS_LIGHTING, 1);
  device->EndScene();
}

void CScene::Present() {
  gfx::CDevice* device = app::GetDevice();
  if (!device) return;
  device->EndScene();
  if (device->Present() == gfx::D3DERR_DEVICELOST) app::SetDeviceLost(true);
}

int CScene::StageEndFlag() const { return g_stageEnd; }

void SetDepthState(bool test, bool write) {
  gfx::CDevice* device = app::GetDevice();
  if (!device) return;
  device->SetRenderState(gfx::D3DRS_ZENABLE, test ? gfx::D3DZB_TRUE : gfx::D3DZB_FALSE);
  device->SetRenderState(gfx::D3DRS_ZWRITEENABLE, write ? 1 : 0);
}

void SetCullState(bool cullCounterClockwise) {
  gfx::CDevice* device = app::GetDevice();
  if (!device) return;
  device->SetRenderState(gfx::D3DRS_CULLMODE, cullCounterClockwise ? gfx::D3DCULL_CCW : gfx::D3DCULL_NONE);
}
