// A scene's world: what its stage script builds (the unit registry, the input state, the cameras,
// the caches, the collision world, the background pieces, the shadow and, on a playable stage, the
// player, the bear, the camera mask and the player camera), its passes each frame and its
// teardown. Every scene owns one; it stands between the scene's enter and leave.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/gfxutil/math.h"
#include "unit/world_context.h"

class CBspList;
class CKeyBindings;
class CScreenFader;

// What every world borrows for the whole run from whoever runs the scenes (the scene manager
// fills one for all its scenes' worlds). Read at each load, so it may be filled after the worlds
// are made; null members are left out (a test's world without sound).
struct StageServices {
  CScreenFader* fader = nullptr;       // a load starts its fade-in; a render draws it last
  const CKeyBindings* keys = nullptr;  // what the world's input reads; the defaults when null
  const CConfig* config = nullptr;
  SoundBank* sounds = nullptr;
  CarriedOver* carried = nullptr;
};

// The values every load resets and the render reads.
struct WorldValues {
  gfxutil::Color clearColor = 0xFFB4B4FF;
  float fogStart = 2000.0f;
  float fogEnd = 4800.0f;
  float fogDensity = 0.4f;
};

class CStageWorld {
 public:
  // `services` must outlive the world.
  explicit CStageWorld(const StageServices& services);
  // Takes down a world still standing.
  ~CStageWorld();
  CStageWorld(const CStageWorld&) = delete;
  CStageWorld& operator=(const CStageWorld&) = delete;

  // Builds the world from a stage script in a fixed order, taking down one still standing first;
  // starts the fade-in and the script's music. A script that cannot be read ends the process.
  void Load(const char* fileName);
  // Stops the music, then destroys the world in the reverse order, the registry last.
  void Teardown();
  bool Exists() const;

  // The passes of a stage frame.
  void PlayerStep();
  void Update();
  void LateUpdate();
  void Render();

  // Set by stage logic when the stage is over; cleared by every load.
  int StageEnd() const { return stageEnd_; }
  void EndStage() { stageEnd_ = 1; }
  const WorldValues& Values() const { return values_; }

  // What the units reach the world through; its pointers are null outside a loaded world.
  WorldContext& Context() { return context_; }
  const WorldContext& Context() const { return context_; }
  CBspList* BspList() const { return bspList_.get(); }

  // Tests follow the world's construction and teardown step by step through this.
  using StepHook = void (*)(const char* step);
  static void SetStepHook(StepHook hook);

 private:
  const StageServices& services_;
  WorldContext context_;
  // The world's objects, in the order a load makes them.
  std::unique_ptr<CUnitRegistry> registry_;
  std::unique_ptr<CInput> input_;
  std::unique_ptr<CCameraManager> cameras_;
  std::unique_ptr<ResourceCache<CSprite>> sprites_;
  std::unique_ptr<ResourceCache<CModel>> models_;
  std::unique_ptr<ResourceCache<CCollisionModel>> collisionModels_;
  std::unique_ptr<CCollisionWorld> collisionWorld_;
  std::unique_ptr<CBspList> bspList_;
  std::unique_ptr<CShadow> shadow_;
  std::unique_ptr<ResourceCache<CParticleFile>> particles_;
  WorldValues values_;
  int stageEnd_ = 0;
};

// The two render-state helpers every scene shares.
void SetDepthState(bool test, bool write);
void SetCullState(bool cullCounterClockwise);
