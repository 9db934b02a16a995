#include "scene/stage_world.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/graphics.h"
#include "core/input.h"
#include "effect/particle_file.h"
#include "effect/sprite.h"
#include "platform/os/host_loop.h"
#include "platform/os/message_box.h"
#include "platform/os/window.h"
#include "resource/model.h"
#include "resource/resource_cache.h"
#include "resource/script_file.h"
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
#include "world/view_distance.h"

namespace {

CStageWorld::StepHook g_stepHook = nullptr;

// Degrees to radians as the stage scripts have always been read: 3.14 / 180, not pi / 180.
constexpr float kDegreesToRadians = 0.017444445f;

// Camera numbers the loader registers.
constexpr int32_t kPictureCamera = 0;
constexpr int32_t kPlayerCamera = 2;

void WorldStep(const char* step) {
  if (g_stepHook) g_stepHook(step);
}

// One object of the world made: kept by the world, lent through the context, the step told.
template <class T>
void Place(std::unique_ptr<T>& owned, std::unique_ptr<T> made, T*& lent, const char* step) {
  owned = std::move(made);
  lent = owned.get();
  WorldStep(step);
}

// One object of the world gone, then taken out of the context (a unit going with the registry may
// still reach it while it goes).
template <class T>
void Drop(std::unique_ptr<T>& owned, T*& lent, const char* step) {
  owned.reset();
  lent = nullptr;
  WorldStep(step);
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

void CStageWorld::SetStepHook(StepHook hook) { g_stepHook = hook; }

CStageWorld::CStageWorld(const StageServices& services) : services_(services) {}

CStageWorld::~CStageWorld() {
  if (Exists()) Teardown();
}

bool CStageWorld::Exists() const {
  return registry_ || input_ || cameras_ || sprites_ || models_ || collisionModels_ || collisionWorld_ ||
         bspList_ || shadow_ || particles_;
}

void CStageWorld::Load(const char* fileName) {
  stageEnd_ = 0;
  values_.clearColor = 0xFFB4B4FF;
  values_.fogStart = g_viewDistance - 2800.0f;
  values_.fogEnd = g_viewDistance;
  values_.fogDensity = 0.4f;

  CScriptFile script(fileName);
  if (!script.Loaded()) MissingScript(fileName);

  // One world at a time: a load that finds the previous world still standing takes it down
  // first, in the usual order, rather than letting two sets of services overlap.
  if (Exists()) Teardown();

  WorldContext& c = context_;
  c.config = services_.config;
  c.sounds = services_.sounds;
  c.carried = services_.carried;
  Place(registry_, std::make_unique<CUnitRegistry>(c), c.registry, "registry");
  static const CKeyBindings kDefaultKeys;
  Place(input_, std::make_unique<CInput>(services_.keys ? *services_.keys : kDefaultKeys), c.input, "input");
  Place(cameras_, std::make_unique<CCameraManager>(c), c.cameras, "cameras");
  Place(sprites_, std::make_unique<ResourceCache<CSprite>>(script.GetSection("#sprite")), c.sprites,
        "sprites");
  Place(models_, std::make_unique<ResourceCache<CModel>>(script.GetSection("#model")), c.models, "models");
  Place(collisionModels_, std::make_unique<ResourceCache<CCollisionModel>>(script.GetSection("#collision")),
        c.collisionModels, "collision models");
  Place(collisionWorld_, std::make_unique<CCollisionWorld>(), c.collisionWorld, "collision world");
  bspList_ =
      std::make_unique<CBspList>(script.GetSection("#bsp"), collisionModels_.get(), collisionWorld_.get());
  WorldStep("bsp list");
  // The shadow takes its image from the sprite cache, which therefore comes first.
  Place(shadow_, std::make_unique<CShadow>(sprites_.get()), c.shadow, "shadow");
  Place(particles_,
        std::make_unique<ResourceCache<CParticleFile>>(script.GetSection("#particle"), sprites_.get()),
        c.particles, "particles");

  if (FirstLine(script.GetSection("#type")) != "GAME") {
    cameras_->Add(kPictureCamera, boost::shared_ptr<CCamera>(new CCamera_Normal()));
    cameras_->SetCurrent(kPictureCamera);
    WorldStep("picture camera");
  } else {
    gfxutil::Vector4 position, rotation;
    ReadTriple(script.GetSection("#position"), 1.0f, position);
    ReadTriple(script.GetSection("#degree"), kDegreesToRadians, rotation);
    CPlayer* player = new CPlayer(c, position, rotation);
    registry_->Insert("CPlayer", boost::shared_ptr<CUnit>(player));
    c.player = player;
    WorldStep("player");
    CNPC* bear = new CNPC(c, position, rotation);
    registry_->Insert("CNPC", boost::shared_ptr<CUnit>(bear));
    c.bear = bear;
    WorldStep("bear");
    CCameraMask* mask = new CCameraMask();
    registry_->Insert("CCameraMask", boost::shared_ptr<CUnit>(mask));
    c.cameraMask = mask;
    WorldStep("camera mask");
    // The camera manager goes before the registry in the teardown, so the body outlives it.
    cameras_->Add(kPlayerCamera, boost::shared_ptr<CCamera>(new CCamera_Player(c, &player->Body())));
    cameras_->SetCurrent(kPlayerCamera);
    WorldStep("player camera");
  }

  if (services_.fader) services_.fader->Start(CScreenFader::kFadeIn);
  WorldStep("fade-in");
  const std::string music = FirstLine(script.GetSection("#bgm"));
  if (!music.empty()) StartStream(music.c_str());
  WorldStep("music");
  stageEnd_ = 0;
}

void CStageWorld::Teardown() {
  StopStream();
  WorldStep("music stopped");
  WorldContext& c = context_;
  Drop(particles_, c.particles, "particles gone");
  Drop(shadow_, c.shadow, "shadow gone");
  bspList_.reset();
  WorldStep("bsp list gone");
  Drop(collisionWorld_, c.collisionWorld, "collision world gone");
  Drop(collisionModels_, c.collisionModels, "collision models gone");
  Drop(models_, c.models, "models gone");
  Drop(sprites_, c.sprites, "sprites gone");
  Drop(cameras_, c.cameras, "cameras gone");
  Drop(input_, c.input, "input gone");
  // The units go with the registry; none of them is looked for any more.
  c.player = nullptr;
  c.bear = nullptr;
  c.cameraMask = nullptr;
  Drop(registry_, c.registry, "registry gone");
}

void CStageWorld::PlayerStep() {
  if (context_.player) context_.player->ReadInput();
}

void CStageWorld::Update() {
  if (registry_) registry_->RemoveFinished();
  if (collisionWorld_) collisionWorld_->Purge();
  if (cameras_) cameras_->Update();
  if (registry_) registry_->Update();
}

void CStageWorld::LateUpdate() {
  if (registry_) registry_->LatePass();
  if (cameras_) cameras_->Collide();
}

void CStageWorld::Render() {
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
  device->SetRenderStateF(gfx::D3DRS_FOGSTART, values_.fogStart);
  device->SetRenderStateF(gfx::D3DRS_FOGEND, values_.fogEnd);
  device->SetRenderStateF(gfx::D3DRS_FOGDENSITY, values_.fogDensity);
  device->SetRenderState(gfx::D3DRS_FOGENABLE, 1);

  SetDepthState(true, true);
  device->SetTextureStageState(0, gfx::D3DTSS_MINFILTER, gfx::D3DTEXF_LINEAR);
  device->SetTextureStageState(0, gfx::D3DTSS_MAGFILTER, gfx::D3DTEXF_LINEAR);
  device->SetTextureStageState(0, gfx::D3DTSS_MIPFILTER, gfx::D3DTEXF_LINEAR);
  device->SetTextureStageState(0, gfx::D3DTSS_MIPMAPLODBIAS, gfx::FloatBits(0.0f));
  device->SetTextureStageState(0, gfx::D3DTSS_MAXMIPLEVEL, 2);
  device->SetTextureStageState(0, gfx::D3DTSS_ADDRESSU, gfx::D3DTADDRESS_WRAP);
  device->SetTextureStageState(0, gfx::D3DTSS_ADDRESSV, gfx::D3DTADDRESS_WRAP);

  device->Clear(gfx::D3DCLEAR_TARGET | gfx::D3DCLEAR_ZBUFFER, values_.clearColor, 1.0f, 0);
  app::SetPreviousClearColor(values_.clearColor);

  const gfxutil::Vector4 eye = cameras_ ? cameras_->GetEyePosition() : gfxutil::Vector4();
  const CCamera* camera = cameras_ ? cameras_->Current() : nullptr;
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
  if (cameras_) view.eye = gfxutil::Vector3(eye.x, eye.y, eye.z);
  if (bspList_) bspList_->DrawOpaque(view);
  if (registry_) registry_->Draw();
  if (bspList_) bspList_->DrawTranslucent(view);
  if (registry_) registry_->DrawSecondPass();

  if (app::DebugDrawEnabled() && collisionWorld_) {
    device->SetRenderState(gfx::D3DRS_LIGHTING, 0);
    collisionWorld_->Draw(*device);
    device->SetRenderState(gfx::D3DRS_LIGHTING, 1);
  }

  SetDepthState(false, false);
  device->SetRenderState(gfx::D3DRS_LIGHTING, 0);
  device->SetRenderState(gfx::D3DRS_ALPHABLENDENABLE, 1);
  device->SetRenderState(gfx::D3DRS_FOGENABLE, 0);
  if (registry_) registry_->DrawScreen();
  if (services_.fader) services_.fader->Draw();

  SetDepthState(true, true);
  device->SetRenderState(gfx::D3DRS_LIGHTING, 1);
  device->EndScene();
}

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
