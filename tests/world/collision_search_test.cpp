// The model answers segment tests through a search tree; these tests hold it to the plain
// reading: every triangle of every gathered group is a candidate when its plane lies within the
// radius, and the first candidate in group and triangle order that the segment crosses wins.
#include <gtest/gtest.h>

#include <cmath>

#include "support/collision_fixtures.h"

namespace {

using namespace testworld;

// The straightforward scan the tree must agree with.
class PlainScan {
 public:
  explicit PlainScan(const CCollisionModel& m) : model_(m) {}

  void Gather(const Vector3& p, float r, const Vector3& offset) {
    candidates_.assign(model_.GroupCount(), {});
    distances_.assign(model_.GroupCount(), {});
    for (int g = 0; g < model_.GroupCount(); ++g) {
      const CollisionGroup& group = model_.Group(g);
      distances_[g].resize(group.triangleCount);
      const Vector3 c = Xyz(group.center) + offset;
      if (gfxutil::Vec3LengthSq(p - c) > (2 * group.radius) * (2 * group.radius)) continue;
      for (int t = 0; t < group.triangleCount; ++t) {
        const CollisionTriangle& tri = group.triangles[t];
        const float d = gfxutil::Vec3Dot(Xyz(tri.normal), p - (Xyz(tri.vertex[0]) + offset));
        distances_[g][t] = d;
        if (std::fabs(d) <= r) candidates_[g].push_back(t);
      }
    }
  }

  bool Segment(uint8_t kind, const Vector3& s, const Vector3& e, const Vector3& offset,
               SegmentHit& hit) const {
    for (int g = 0; g < model_.GroupCount(); ++g) {
      const CollisionGroup& group = model_.Group(g);
      const Vector3 c = Xyz(group.center) + offset;
      if (gfxutil::Vec3LengthSq(s - c) > (2 * group.radius) * (2 * group.radius)) continue;
      for (int t : candidates_[g]) {
        const CollisionTriangle& tri = group.triangles[t];
        if (tri.kind != kind) continue;
        const Vector3 v0 = Xyz(tri.vertex[0]) + offset, v1 = Xyz(tri.vertex[1]) + offset,
                      v2 = Xyz(tri.vertex[2]) + offset;
        if (!SegmentHitsTriangle(s, e, v0, v1, v2, Xyz(tri.normal), hit.point)) continue;
        hit.normal = gfxutil::Vec3Cross(v1 - v0, v2 - v0);
        hit.planeDistance = distances_[g][t];
        return true;
      }
    }
    hit.point = s;
    return false;
  }

 private:
  const CCollisionModel& model_;
  std::vector<std::vector<int>> candidates_;
  std::vector<std::vector<float>> distances_;
};

struct Rng {
  uint32_t seed;
  float Next() {  // 0 .. 1
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>(seed >> 8) / 16777216.0f;
  }
  float Range(float lo, float hi) { return lo + (hi - lo) * Next(); }
};

// Groups of scattered triangles of all sizes and slopes, plus terrain-like floors and walls
// that share planes (many candidates at once).
std::vector<CollisionGroupData> Scatter(Rng& rng, int groups, int perGroup) {
  std::vector<CollisionGroupData> out(groups);
  for (auto& g : out) {
    for (int k = 0; k < perGroup; ++k) {
      const Vector3 a(rng.Range(-100, 100), rng.Range(-40, 40), rng.Range(-100, 100));
      const float size = rng.Next() < 0.8f ? rng.Range(1, 20) : rng.Range(20, 120);
      const Vector3 b =
          a + Vector3(rng.Range(-size, size), rng.Range(-size, size) * 0.3f, rng.Range(-size, size));
      const Vector3 c = a + Vector3(rng.Range(-size, size), rng.Range(-size, size), rng.Range(-size, size));
      g.triangles.push_back(MakeCollisionTriangle(a, b, c));
    }
    const float y = std::floor(rng.Range(-20, 20));
    for (int i = 0; i < 6; ++i) {
      AddFloor(g, -100 + 30 * i, -70 + 30 * i, -60, 60, y);
      AddWallZ(g, -100 + 30 * i, -70 + 30 * i, -40, 40, std::floor(rng.Range(-80, 80)));
    }
  }
  return out;
}

TEST(CollisionSearchTest, AgreesWithThePlainScanOnScatteredGeometry) {
  Rng rng{2024};
  int hits = 0, misses = 0;
  for (int scene = 0; scene < 12; ++scene) {
    auto model = MakeModel(Scatter(rng, 1 + scene % 4, 50 + 40 * scene));
    UnitBody owner;
    const Vector3 offset =
        scene % 3 == 0 ? Vector3() : Vector3(rng.Range(-500, 500), rng.Range(-50, 50), rng.Range(-500, 500));
    owner.position = {offset.x, offset.y, offset.z, 1};
    model->SetOwner(&owner);
    PlainScan plain(*model);
    for (int q = 0; q < 300; ++q) {
      const Vector3 p = offset + Vector3(rng.Range(-110, 110), rng.Range(-45, 45), rng.Range(-110, 110));
      const float r = rng.Range(16, 80);
      model->Gather(p, r);
      plain.Gather(p, r, offset);
      for (int probe = 0; probe < 12; ++probe) {
        Vector3 s = p, e;
        switch (probe % 4) {
          case 0: {  // horizontal, as the wall probes
            const float a = rng.Range(0, 6.2832f);
            s.y += 8;
            e = s + Vector3(std::sin(a) * r, 0, std::cos(a) * r);
            break;
          }
          case 1:  // upward, as the landing probe
            e = s + Vector3(0, 30, 0);
            break;
          case 2:  // the ground probe
            s = p + Vector3(0, 32, 0);
            e = p - Vector3(0, 128, 0);
            break;
          default:  // anywhere
            s = p + Vector3(rng.Range(-r, r), rng.Range(-r, r), rng.Range(-r, r));
            e = s + Vector3(rng.Range(-2 * r, 2 * r), rng.Range(-2 * r, 2 * r), rng.Range(-2 * r, 2 * r));
        }
        for (uint8_t kind : {kCollisionWall, kCollisionFloor}) {
          SegmentHit fast, slow;
          const bool a = model->SegmentTest(kind, s, e, fast);
          const bool b = plain.Segment(kind, s, e, offset, slow);
          ASSERT_EQ(a, b) << "scene " << scene << " query " << q << " probe " << probe;
          EXPECT_EQ(fast.point, slow.point);
          if (a) {
            EXPECT_EQ(fast.normal, slow.normal);
            EXPECT_EQ(fast.planeDistance, slow.planeDistance);
            ++hits;
          } else {
            ++misses;
          }
        }
      }
    }
  }
  // Both outcomes well represented, or the comparison says little.
  EXPECT_GT(hits, 5000);
  EXPECT_GT(misses, 5000);
}

TEST(CollisionSearchTest, SharedPlanesFavourTheEarliestTriangle) {
  // Overlapping copies of one floor: every copy is a candidate and crossed; index order decides.
  CollisionGroupData g;
  for (int k = 0; k < 200; ++k) {
    const float shift = static_cast<float>(k % 7);
    g.triangles.push_back(
        MakeCollisionTriangle({-50 + shift, 0, -50}, {-50 + shift, 0, 50}, {50 + shift, 0, -50}));
  }
  auto model = MakeModel({g});
  PlainScan plain(*model);
  UnitBody owner;
  model->SetOwner(&owner);
  Rng rng{9};
  for (int q = 0; q < 500; ++q) {
    const Vector3 p(rng.Range(-60, 60), rng.Range(-10, 10), rng.Range(-60, 60));
    model->Gather(p, 16);
    plain.Gather(p, 16, {});
    SegmentHit fast, slow;
    const Vector3 s = p + Vector3(0, 32, 0), e = p - Vector3(0, 128, 0);
    ASSERT_EQ(model->SegmentTest(kCollisionFloor, s, e, fast),
              plain.Segment(kCollisionFloor, s, e, {}, slow));
    EXPECT_EQ(fast.point, slow.point);
    EXPECT_EQ(fast.planeDistance, slow.planeDistance);
  }
}

}  // namespace
