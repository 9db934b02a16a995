// Cost of the unit side of one world frame: the player camera, the registry's removal, update,
// late (visibility) and draw passes over a walking unit, the letterbox and a cloud of particles,
// with no device (the drawing itself is measured by the device benchmark).
#include <boost/make_shared.hpp>
#include <chrono>
#include <cstdio>

#include "resource/script_file.h"
#include "unit/camera_manager.h"
#include "unit/camera_mask.h"
#include "unit/camera_player.h"
#include "unit/particle_unit.h"
#include "unit/unit_registry.h"
#include "unit/world_context.h"

namespace {

class CWalker : public CUnit {
 public:
  void Update() override {
    Push(0.1f, 0, 0.05f);
    PhysicsStep();
    body_.position.y = 0;
    body_.landingNormal.y = 1;
  }
};

// Mean microseconds per frame with `particles` particles kept alive.
double Measure(int particles, int frames) {
  CarriedOver carried;
  WorldContext world{.carried = &carried};
  CUnitRegistry registry(world);
  CCameraManager cameras(world);
  world.registry = &registry;
  world.cameras = &cameras;
  auto walker = boost::make_shared<CWalker>();
  registry.Insert("CPlayer", walker);
  registry.Insert("CCameraMask", boost::make_shared<CCameraMask>());
  cameras.Add(2, boost::make_shared<CCamera_Player>(world, &walker->Body()));
  cameras.SetCurrent(2);
  const CParticleFile def(
      CScriptFile::FromText("#kill\n30000\n#end\n#speed\n0\n10\n0\n#end\n#rand\n100\n100\n100\n#end\n#"
                            "frict\n99\n99\n99\n#end\n#EOF\n"),
      nullptr);
  for (int i = 0; i < particles; ++i)
    registry.Insert(CParticleUnit::kRegistryName,
                    boost::make_shared<CParticleUnit>(world, i % 50, 0, i / 50, 0, def));
  auto frame = [&] {
    registry.RemoveFinished();
    cameras.Update();
    registry.Update();
    registry.LatePass();
    registry.Draw();
    registry.DrawSecondPass();
    registry.DrawScreen();
  };
  for (int i = 0; i < 10; ++i) frame();
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < frames; ++i) frame();
  const auto t1 = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::micro>(t1 - t0).count() / frames;
}

}  // namespace

int main() {
  const double small = Measure(20, 5000);
  const double large = Measure(500, 1000);
  std::printf("unit_frame_20_particles_us: %.2f us\n", small);
  std::printf("unit_frame_500_particles_us: %.2f us\n", large);
  std::printf("unit_frame_per_particle_us: %.3f us\n", (large - small) / 480.0);
  return 0;
}
