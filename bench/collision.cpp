// Collision query cost against a generated stage: a hilly ground grid with box-shaped walls,
// split into material groups that each span the whole stage (no group is rejected by its
// sphere, as with a real stage's texture subsets). A player and a bear walk, fall under
// gravity and are lifted onto the ground; the camera follows above and behind.
#include <benchmark/benchmark.h>

#include <boost/make_shared.hpp>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "resource/math_helpers.h"
#include "world/collision_model.h"
#include "world/collision_world.h"
#include "world/collision_writer.h"
#include "world/unit_body.h"

namespace {

using gfxutil::Vector3;
using gfxutil::Vector4;

constexpr float kCell = 20.0f;

float GroundHeight(float x, float z) { return 30.0f * std::sin(x / 300.0f) * std::cos(z / 250.0f); }

// About `triangles` triangles: four fifths ground, one fifth walls (boxes of four quads).
boost::shared_ptr<CCollisionModel> BuildStage(int triangles, float& extent) {
  const int cells = static_cast<int>(std::sqrt(0.8 * triangles / 2.0));
  const int boxes = (triangles - 2 * cells * cells) / 8;
  extent = cells * kCell;
  const int groupCount = 4 * ((triangles + 99999) / 100000);
  std::vector<CollisionGroupData> groups(groupCount);
  const int groundGroups = groupCount / 2;
  for (int i = 0; i < cells; ++i) {
    for (int j = 0; j < cells; ++j) {
      const float x0 = i * kCell - extent / 2, z0 = j * kCell - extent / 2, x1 = x0 + kCell, z1 = z0 + kCell;
      const Vector3 a(x0, GroundHeight(x0, z0), z0), b(x0, GroundHeight(x0, z1), z1);
      const Vector3 c(x1, GroundHeight(x1, z0), z0), d(x1, GroundHeight(x1, z1), z1);
      auto& g = groups[(i + j) % groundGroups].triangles;  // interleaved like texture subsets
      g.push_back(MakeCollisionTriangle(a, b, c));
      g.push_back(MakeCollisionTriangle(d, c, b));
    }
  }
  uint32_t seed = 7;
  auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<float>((seed >> 8) & 0xFFFF) / 65535.0f;
  };
  for (int k = 0; k < boxes; ++k) {
    const float cx = (next() - 0.5f) * extent * 0.95f, cz = (next() - 0.5f) * extent * 0.95f;
    const float y0 = GroundHeight(cx, cz) - 10, y1 = y0 + 70, h = 10;
    const Vector3 p[4] = {{cx - h, 0, cz - h}, {cx + h, 0, cz - h}, {cx + h, 0, cz + h}, {cx - h, 0, cz + h}};
    auto& g = groups[groundGroups + k % (groupCount - groundGroups)].triangles;
    for (int s = 0; s < 4; ++s) {
      const Vector3 lo0(p[s].x, y0, p[s].z), lo1(p[(s + 1) % 4].x, y0, p[(s + 1) % 4].z);
      const Vector3 hi0(lo0.x, y1, lo0.z), hi1(lo1.x, y1, lo1.z);
      g.push_back(MakeCollisionTriangle(lo0, hi0, lo1));
      g.push_back(MakeCollisionTriangle(hi1, lo1, hi0));
    }
  }
  for (auto& g : groups) ComputeGroupBounds(g.triangles.data(), g.triangles.size(), g.center, g.radius);
  std::vector<uint8_t> bytes;
  std::string error;
  auto model = boost::make_shared<CCollisionModel>();
  if (!EncodeCollisionFile(groups, bytes, error) || !model->Parse(bytes.data(), bytes.size())) {
    std::fprintf(stderr, "bench: cannot build the stage: %s\n", error.c_str());
  }
  return model;
}

struct Walker {
  UnitBody body;
  float angle = 0, radius;
  Vector3 center;

  Walker(const Vector3& c, float r, float start) : radius(r), center(c) {
    angle = start;
    const Vector3 p = Spot();
    body.position = body.previousPosition = {p.x, GroundHeight(p.x, p.z), p.z, 1};
  }
  Vector3 Spot() const { return center + Vector3(std::cos(angle) * radius, 0, std::sin(angle) * radius); }
  // Walks about 3 units along its circle and falls 2: a frame of a walking unit.
  void Step() {
    angle += 3.0f / radius;
    const Vector3 p = Spot();
    body.position = {p.x, body.position.y - 2.0f, p.z, 1};
  }
};

struct Scene {
  CCollisionWorld world;
  UnitBody owner;
  Walker player, bear;
  UnitBody camera;
  float extent = 0;

  explicit Scene(int triangles) : player({0, 0, 0}, 300, 0), bear({0, 0, 0}, 260, 0.4f) {
    world.Add(boost::make_shared<CCollisionUnit>(&owner, BuildStage(triangles, extent)));
    PlaceCamera();
    camera.previousPosition = camera.position;
  }
  void PlaceCamera() {
    // Above and behind the player, circling slowly.
    const Vector4& p = player.body.position;
    camera.position = {p.x - 150.0f * std::cos(player.angle * 0.5f), p.y + 80.0f,
                       p.z - 150.0f * std::sin(player.angle * 0.5f), 1};
  }
  void Frame(double* bodyNs, double* cameraNs) {
    using Clock = std::chrono::steady_clock;
    player.Step();
    bear.Step();
    const auto t0 = Clock::now();
    world.Collide(player.body, CCollisionWorld::kBodyMode);
    world.Collide(bear.body, CCollisionWorld::kBodyMode);
    const auto t1 = Clock::now();
    PlaceCamera();
    const auto t2 = Clock::now();
    world.Collide(camera, CCollisionWorld::kCameraMode);
    const auto t3 = Clock::now();
    benchmark::DoNotOptimize(camera.position);
    *bodyNs += std::chrono::duration<double, std::nano>(t1 - t0).count();
    *cameraNs += std::chrono::duration<double, std::nano>(t3 - t2).count();
  }
};

// Mean microseconds of one body query and one camera query over `frames` frames.
void Measure(int triangles, int frames, double& bodyUs, double& cameraUs) {
  Scene scene(triangles);
  double b = 0, c = 0;
  for (int i = 0; i < frames / 10 + 1; ++i) scene.Frame(&b, &c);  // warm caches and settle
  b = c = 0;
  for (int i = 0; i < frames; ++i) scene.Frame(&b, &c);
  bodyUs = b / 1000.0 / (2.0 * frames);
  cameraUs = c / 1000.0 / frames;
}

}  // namespace

int main() {
  BuildSineTable();
  double bodyUs = 0, cameraUs = 0;
  Measure(100000, 3000, bodyUs, cameraUs);
  std::printf("collide_body_us: %.2f us\n", bodyUs);
  std::printf("collide_camera_us: %.2f us\n", cameraUs);
  std::printf("collide_frame_budget_pct: %.3f %%\n", (2 * bodyUs + cameraUs) / 16667.0 * 100.0);
  for (int n : {10000, 100000, 1000000}) {
    double b = 0, c = 0;
    Measure(n, n >= 1000000 ? 300 : 3000, b, c);
    std::printf("collide_body_us_at_%dtris: %.2f us\n", n, b);
  }
  return 0;
}
