#include "scene/scene.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/graphics.h"
#include "core/input.h"
#include "core/log.h"
#include "effect/particle_file.h"
#include "effect/sprite.h"
#include "platform/os/host_loop.h"
#include "platform/os/message_box.h"
#include "platform/os/window.h"
#include "resource/model.h"
#include "resource/resource_cache.h"
#include "resource/script_file.h"
#include "scene/scene_manager.h"
#include "scene/screen_fader.h"
#include "sound/music_stream.h"
#include "sound/sound_device.h"
#include "unit/camera_manager.h"
#include "unit/camera_mask.h"
#include "unit/camera_normal.h"
#include "unit/camera_player.h"
#include "unit/npc.h"
#include "unit/player.h"
#include "unit/shadow.h"
#include "unit/unit_registry.h"
#include "world/bsp_list.h"
#include "world/collision_model.h"
#include "world/collision_world.h"

WorldValues g_world;
int g_stageEnd = 0;

namespace {

CScene::TraceHook g_traceHook = nullptr;
CScene::WorldStepHook g_worldStepHook = nullptr;

// Degrees to radians as the stage scripts have always been read: 3.14 / 180, not pi / 180.
constexpr float kDegreesToRadians = 0.017444445f;

// Camera numbers the loader registers.
constexpr int32_t kPictureCamera = 0;
constexpr int32_t kPlayerCamera = 2;

// The objects a stage-script load creates; the teardown destroys them in a fixed order.
struct World {
  std::unique_ptr<CUnitRegistry> registry;
  std::unique_ptr<CInput> input;
  std::unique_ptr<CCameraManager> cameras;
  std::unique_ptr<ResourceCache<CSprite>> sprites;
  std::unique_ptr<ResourceCache<CModel>> models;
  std::unique_ptr<ResourceCache<CCollisionModel>> collisionModels;
  std::unique_ptr<CCollisionWorld> collisionWorld;
  std::unique_ptr<CBspList> bspList;
  std::unique_ptr<CShadow> shadow;
  std::unique_ptr<ResourceCache<CParticleFile>> particles;

  bool Exists() const {
    return registry || input || cameras || sprites || models || collisionModels || collisionWorld ||
           bspList || shadow || particles;
  }
};
World g_worldObjects;

void WorldStep(const char* step) {
  if (g_worldStepHook) g_worldStepHook(step);
}

std::string FirstLine(const std::list<std::string>& section) {
  return section.empty() ? std::string() : section.front();
}

// Up to three whole numbers from a section; lines it does not have stay 0.
void ReadTriple(const std::list<std::string>& section, float scale, gfxutil::Vector4& out) {
  float* v[3] = {&out.x, &out.y, &out.z};
  int i = 0;
  for (const std::string& line : section) {
    if (i == 3) break;
    *v[i++] = static_cast<float>(std::atoi(line.c_str())) * scale;
  }
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

// Ends the process with no orderly shutdown, as a lost device does. The music may still be
// playing: the exit's static destructors stop its worker before they wait for it.
[[noreturn]] void EndProcessNow(int code) {
  std::fflush(nullptr);
  os::ExitNow(code);
}

}  // namespace

void CScene::SetTraceHook(TraceHook hook) { g_traceHook = hook; }
void CScene::SetWorldStepHook(WorldStepHook hook) { g_worldStepHook = hook; }
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

  // One world at a time: a load that finds the previous world still standing takes it down
  // first, in the usual order, rather than letting two sets of services overlap.
  if (g_worldObjects.Exists()) WorldTeardown();

  World& w = g_worldObjects;
  w.registry = std::make_unique<CUnitRegistry>();
  WorldStep("registry");
  w.input = std::make_unique<CInput>();
  WorldStep("input");
  w.cameras = std::make_unique<CCameraManager>();
  WorldStep("cameras");
  w.sprites = std::make_unique<ResourceCache<CSprite>>(script.GetSection("#sprite"));
  WorldStep("sprites");
  w.models = std::make_unique<ResourceCache<CModel>>(script.GetSection("#model"));
  WorldStep("models");
  w.collisionModels = std::make_unique<ResourceCache<CCollisionModel>>(script.GetSection("#collision"));
  WorldStep("collision models");
  w.collisionWorld = std::make_unique<CCollisionWorld>();
  WorldStep("collision world");
  w.bspList = std::make_unique<CBspList>(script.GetSection("#bsp"));
  WorldStep("bsp list");
  // The shadow takes its image from the sprite cache, which therefore comes first.
  w.shadow = std::make_unique<CShadow>();
  WorldStep("shadow");
  w.particles = std::make_unique<ResourceCache<CParticleFile>>(script.GetSection("#particle"));
  WorldStep("particles");

  if (FirstLine(script.GetSection("#type")) != "GAME") {
    w.cameras->Add(kPictureCamera, boost::shared_ptr<CCamera>(new CCamera_Normal()));
    w.cameras->SetCurrent(kPictureCamera);
    WorldStep("picture camera");
  } else {
    gfxutil::Vector4 position, rotation;
    ReadTriple(script.GetSection("#position"), 1.0f, position);
    ReadTriple(script.GetSection("#degree"), kDegreesToRadians, rotation);
    CPlayer* player = new CPlayer(position, rotation);
    w.registry->Insert("CPlayer", boost::shared_ptr<CUnit>(player));
    WorldStep("player");
    w.registry->Insert("CNPC", boost::shared_ptr<CUnit>(new CNPC(position, rotation)));
    WorldStep("bear");
    w.registry->Insert("CCameraMask", boost::shared_ptr<CUnit>(new CCameraMask()));
    WorldStep("camera mask");
    // The camera manager goes before the registry in the teardown, so the body outlives it.
    w.cameras->Add(kPlayerCamera, boost::shared_ptr<CCamera>(new CCamera_Player(&player->Body())));
    w.cameras->SetCurrent(kPlayerCamera);
    WorldStep("player camera");
  }

  if (g_sceneManager) g_sceneManager->Fader().Start(CScreenFader::kFadeIn);
  WorldStep("fade-in");
  const std::string music = FirstLine(script.GetSection("#bgm"));
  if (!music.empty()) StartStream(music.c_str());
  WorldStep("music");
  g_stageEnd = 0;
  SetPhase(0);
}

void CScene::WorldTeardown() {
  StopStream();
  WorldStep("music stopped");
  World& w = g_worldObjects;
  w.particles.reset();
  WorldStep("particles gone");
  w.shadow.reset();
  WorldStep("shadow gone");
  w.bspList.reset();
  WorldStep("bsp list gone");
  w.collisionWorld.reset();
  WorldStep("collision world gone");
  w.collisionModels.reset();
  WorldStep("collision models gone");
  w.models.reset();
  WorldStep("models gone");
  w.sprites.reset();
  WorldStep("sprites gone");
  w.cameras.reset();
  WorldStep("cameras gone");
  w.input.reset();
  WorldStep("input gone");
  w.registry.reset();
  WorldStep("registry gone");
}

void CScene::PlayerStep() {
  if (CPlayer* player = CPlayer::Current()) player->ReadInput();
}

void CScene::WorldUpdate() {
  if (g_unitRegistry) g_unitRegistry->RemoveFinished();
  if (g_collisionWorld) g_collisionWorld->Purge();
  if (g_cameraManager) g_cameraManager->Update();
  if (g_unitRegistry) g_unitRegistry->Update();
}

void CScene::LateUpdate() {
  if (g_unitRegistry) g_unitRegistry->LatePass();
  if (g_cameraManager) g_cameraManager->Collide();
}

void CScene::RenderWorld() {
  gfx::CDevice* device = app::GetDevice();
  if (!device) return;
  if (app::IsDeviceLost()) {
    const gfx::Result r = device->TestCooperativeLevel();
    if (r == gfx::D3DERR_DEVICELOST) {
      while (os::ShowCursor(true) < -1) {
      }
      os::MessageBox("Device Lost!", "EXIT");
      EndProcessNow(0);
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

  const gfxutil::Vector4 eye = g_cameraManager ? g_cameraManager->GetEyePosition() : gfxutil::Vector4();
  const CCamera* camera = g_cameraManager ? g_cameraManager->Current() : nullptr;
  UpdateListener(gfxutil::Vector3(eye.x, eye.y, eye.z), camera ? camera->View() : gfxutil::Matrix());

  device->SetRenderState(gfx::D3DRS_SPECULARENABLE, 0);
  device->SetRenderState(gfx::D3DRS_COLORVERTEX, 1);
  SetDepthState(true, true);
  SetCullState(true);
  device->SetRenderState(gfx::D3DRS_DITHERENABLE, 1);
  device->SetRenderState(gfx::D3DRS_NORMALIZENORMALS, 1);
  device->SetRenderState(gfx::D3DRS_LIGHTING, 1);

  // Background culling measures from the camera's own eye, not one recovered from the view.
  BspView view = CurrentBspView();
  if (g_cameraManager) view.eye = gfxutil::Vector3(eye.x, eye.y, eye.z);
  if (g_bspList) g_bspList->DrawOpaque(view);
  if (g_unitRegistry) g_unitRegistry->Draw();
  if (g_bspList) g_bspList->DrawTranslucent(view);
  if (g_unitRegistry) g_unitRegistry->DrawSecondPass();

  if (app::DebugDrawEnabled() && g_collisionWorld) {
    device->SetRenderState(gfx::D3DRS_LIGHTING, 0);
    g_collisionWorld->Draw(*device);
    device->SetRenderState(gfx::D3DRS_LIGHTING, 1);
  }

  SetDepthState(false, false);
  device->SetRenderState(gfx::D3DRS_LIGHTING, 0);
  device->SetRenderState(gfx::D3DRS_ALPHABLENDENABLE, 1);
  device->SetRenderState(gfx::D3DRS_FOGENABLE, 0);
  if (g_unitRegistry) g_unitRegistry->DrawScreen();
  if (g_sceneManager) g_sceneManager->Fader().Draw();

  SetDepthState(true, true);
  device->SetRenderState(gfx::D3DRS_LIGHTING, 1);
  device->EndScene();
}

void CScene::Present() {
  gfx::CDevice* device = app::GetDevice();
  if (!device) return;
  device->EndScene();
  if (app::PresentFrame() == gfx::D3DERR_DEVICELOST) app::SetDeviceLost(true);
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
