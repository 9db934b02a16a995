// Base of every scene: its phase bookkeeping and its world (stage-script load, teardown, update,
// late update, render), which it owns and delegates to, and the present that ends each frame. The
// scene manager makes every scene once and each scene names the others through it.
#pragma once
#include <cstdint>

#include "scene/stage_world.h"

class CSceneManager;

class CScene {
 public:
  // `manager` makes the scene and outlives it; its world borrows the manager's services.
  explicit CScene(CSceneManager& manager);
  virtual ~CScene();
  CScene(const CScene&) = delete;
  CScene& operator=(const CScene&) = delete;

  virtual void SetPhase(int16_t phase);
  virtual int16_t GetPhase() const;
  virtual void CountPhaseFrame();
  virtual int32_t GetPhaseCounter() const;
  virtual void Enter() {}
  virtual void Leave();
  virtual void Frame() {}
  // The world's load, then phase 0.
  virtual void LoadStageScript(const char* fileName);
  virtual void WorldTeardown();
  virtual void PlayerStep();
  virtual void WorldUpdate();
  virtual void LateUpdate();
  virtual void RenderWorld();
  virtual void Present();
  virtual int StageEndFlag() const;

  CStageWorld& World() { return world_; }
  const CStageWorld& World() const { return world_; }

  // Tests watch scene lifetimes through this; nullptr when nobody listens.
  using TraceHook = void (*)(const char* event, const CScene* scene);
  static void SetTraceHook(TraceHook hook);
  static void Trace(const char* event, const CScene* scene);
  virtual const char* Name() const { return "CScene"; }

 protected:
  CSceneManager& Manager() const { return manager_; }

 private:
  CSceneManager& manager_;
  CStageWorld world_;
  int16_t phase_ = 0;
  int32_t phaseCounter_ = 0;
};
