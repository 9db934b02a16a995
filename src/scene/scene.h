// Base of every scene: phase bookkeeping plus the world services shared by the scenes that show a
// 3D world (stage-script load, teardown, update, late update, render, present).
#pragma once
#include <cstdint>

#include "platform/gfxutil/math.h"
#include "world/view_distance.h"

// World-wide values every stage-script load resets and the render reads.
struct WorldValues {
  gfxutil::Color clearColor = 0xFFB4B4FF;
  float fogStart = 2000.0f;
  float fogEnd = 4800.0f;
  float fogDensity = 0.4f;
};
extern WorldValues g_world;
// Set to 1 by stage logic when a stage is over; cleared by every stage-script load.
extern int g_stageEnd;

class CScene {
 public:
  CScene() = default;
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
  virtual void LoadStageScript(const char* fileName);
  virtual void WorldTeardown();
  virtual void PlayerStep();
  virtual void WorldUpdate();
  virtual void LateUpdate();
  virtual void RenderWorld();
  virtual void Present();
  virtual int StageEndFlag() const;

  // Tests watch scene lifetimes through this; nullptr when nobody listens.
  using TraceHook = void (*)(const char* event, const CScene* scene);
  static void SetTraceHook(TraceHook hook);
  static void Trace(const char* event, const CScene* scene);
  virtual const char* Name() const { return "CScene"; }
  // Tests follow the world's construction and teardown step by step through this.
  using WorldStepHook = void (*)(const char* step);
  static void SetWorldStepHook(WorldStepHook hook);

 private:
  int16_t phase_ = 0;
  int32_t phaseCounter_ = 0;
};

// The two render-state helpers every scene shares.
void SetDepthState(bool test, bool write);
void SetCullState(bool cullCounterClockwise);
