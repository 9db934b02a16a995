// Steady world frames of the unit passes, the player camera, the letterbox and the particles must
// not touch the heap; only creating a particle may. Counts the C++ allocations made from this
// executable; plain builds only (the sanitizers bring their own allocator).
#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include "core/input.h"
#include "resource/script_file.h"
#include "support/allocation_counter.h"
#include "unit/camera_manager.h"
#include "unit/camera_mask.h"
#include "unit/camera_player.h"
#include "unit/motion.h"
#include "unit/particle_unit.h"
#include "unit/unit_registry.h"
#include "unit/world_context.h"

namespace {

// A walking unit as the player and bear are: physics, motion, camera-relative bookkeeping.
class CWalker : public CUnit {
 public:
  CWalker() { body_.motion = boost::make_shared<CMotion>(kPlayerMotionTable); }
  void Update() override {
    body_.motion->SetMotion(1);
    Push(0.1f, 0, 0.05f);
    PhysicsStep();
    body_.position.y = 0;  // stands in for landing
    body_.landingNormal.y = 1;
    body_.motion->Advance();
  }
  void Draw() override { BuildWorldMatrix(); }
};

}  // namespace

TEST(UnitFrames, SteadyFramesAllocateNothing) {
#ifndef BRIMMEL_COUNT_ALLOCATIONS
  GTEST_SKIP() << "allocation counting needs the plain build";
#else
  CarriedOver carried;
  WorldContext world{.carried = &carried};
  CUnitRegistry registry(world);
  const CKeyBindings keys;
  CInput input(keys);
  CCameraManager cameras(world);
  world.registry = &registry;
  world.input = &input;
  world.cameras = &cameras;
  auto walker = boost::make_shared<CWalker>();
  registry.Insert("CPlayer", walker);
  auto mask = boost::make_shared<CCameraMask>();
  registry.Insert("CCameraMask", mask);
  cameras.Add(2, boost::make_shared<CCamera_Player>(world, &walker->Body()));
  cameras.SetCurrent(2);
  const CParticleFile def(CScriptFile::FromText("#kill\n30000\n#end\n#speed\n0\n10\n0\n#end\n#EOF\n"),
                          nullptr);
  for (int i = 0; i < 20; ++i)
    registry.Insert(CParticleUnit::kRegistryName, boost::make_shared<CParticleUnit>(world, 0, 0, 0, 0, def));
  auto frame = [&] {
    registry.RemoveFinished();
    cameras.Update();
    registry.Update();
    registry.LatePass();
    cameras.Collide();
    registry.Draw();
    registry.DrawSecondPass();
    registry.DrawScreen();
  };
  for (int i = 0; i < 3; ++i) frame();
  mask->Show();
  testalloc::StartCounting();
  for (int i = 0; i < 120; ++i) frame();
  testalloc::StopCounting();
  EXPECT_EQ(testalloc::Counted(), 0);
  EXPECT_EQ(registry.Count(), 22u);
  EXPECT_GT(mask->BarHeight(), 30.0f);
#endif
}
