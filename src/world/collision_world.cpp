#include "world/collision_world.h"

#include "platform/gfx/device.h"
#include "resource/math_helpers.h"
#include "world/unit_body.h"

using gfxutil::Vector3;
using gfxutil::Vector4;

namespace {

// Body mode probes further than the movement by this much; camera mode by kCameraReach.
constexpr float kBodyReach = 16.0f;
constexpr float kCameraReach = 48.0f;
constexpr float kWallProbeHeight = 8.0f;
constexpr float kLandingProbeLength = 30.0f;
constexpr float kGroundProbeAbove = 32.0f;
constexpr float kGroundProbeBelow = 128.0f;
constexpr int kBodyProbes = 8;
constexpr int kCameraProbes = 16;

Vector3 Xyz(const Vector4& v) { return {v.x, v.y, v.z}; }
void SetXyz(Vector4& v, const Vector3& x) {
  v.x = x.x;
  v.y = x.y;
  v.z = x.z;
}

// Camera probes use 22.5-degree steps cut to whole degrees (22, 45, 67, ...).
uint16_t CameraProbeIndex(int k) {
  return SineIndexOfDegrees(static_cast<float>(static_cast<int>(22.5f * k)));
}

// Sums of the wall probes that hit: the body ends at their mean push.
struct WallSums {
  float x = 0, z = 0;
  Vector3 normal;
  int hits = 0;

  void Add(const SegmentHit& hit, const Vector3& s, const Vector3& e, UnitBody& body) {
    const Vector3 pushed = hit.point - (e - s);
    x += pushed.x;
    z += pushed.z;
    normal += gfxutil::Vec3Normalize(hit.normal);
    ++hits;
    body.wall = 1;
  }
  void Apply(UnitBody& body) const {
    if (hits == 0) return;
    const float n = static_cast<float>(hits);
    SetXyz(body.wallNormal, {normal.x / n, normal.y / n, normal.z / n});
    body.position.x = x / n;
    body.position.z = z / n;
  }
};

void Land(UnitBody& body) {
  body.landed = 1;
  body.fallSpeed = 0;
  body.fallAux = 0;
}

}  // namespace

void CCollisionWorld::Add(const boost::shared_ptr<CCollisionUnit>& unit) {
  if (!unit) return;
  units_.push_back(unit);
  ++count_;
}

void CCollisionWorld::Purge() {
  for (auto it = units_.begin(); it != units_.end();) {
    if ((*it)->removal != 0) {
      it = units_.erase(it);
      --count_;
    } else {
      ++it;
    }
  }
}

void CCollisionWorld::Clear() {
  units_.clear();
  count_ = 0;
}

void CCollisionWorld::Collide(UnitBody& body, int32_t mode) {
  if (body.position.x == body.previousPosition.x && body.position.y == body.previousPosition.y &&
      body.position.z == body.previousPosition.z)
    return;
  body.landed = 0;
  body.wall = 0;
  body.third = 0;
  ZeroVector4(body.landingNormal);
  for (const auto& unit : units_) {
    CCollisionModel* model = unit->Model();
    if (!model) continue;
    model->SetOwner(unit->Owner());
    if (mode == kCameraMode) {
      CollideCamera(*model, body);
    } else {
      CollideBody(*model, body);
    }
  }
  body.previousPosition = body.position;
}

void CCollisionWorld::CollideBody(CCollisionModel& model, UnitBody& body) {
  const Vector3 previous = Xyz(body.previousPosition);
  const Vector3 movement = Xyz(body.position) - previous;
  SetXyz(body.movement, movement);
  const float r = gfxutil::Vec3Length(movement) + kBodyReach;
  model.Gather(Xyz(body.position), r);
  SegmentHit hit;

  if (body.position.x != previous.x || body.position.z != previous.z) {
    WallSums sums;
    const Vector3 s(body.position.x, body.position.y + kWallProbeHeight, body.position.z);
    for (int k = 0; k < kBodyProbes; ++k) {
      const uint16_t a = SineIndexOfDegrees(static_cast<float>(45 * k));
      const Vector3 e = s + Vector3(TableSin(a) * r, 0, TableCos(a) * r);
      SetXyz(body.probeStart, s);
      SetXyz(body.probeEnd, e);
      if (model.SegmentTest(kCollisionWall, s, e, hit)) sums.Add(hit, s, e, body);
    }
    sums.Apply(body);
  }

  if (body.position.y != previous.y) {
    const Vector3 s = Xyz(body.position);
    const Vector3 e = s + Vector3(0, kLandingProbeLength, 0);
    SetXyz(body.probeStart, s);
    SetXyz(body.probeEnd, e);
    if (model.SegmentTest(kCollisionFloor, s, e, hit)) {
      SetXyz(body.landingNormal, gfxutil::Vec3Normalize(hit.normal));
      body.velocityY = 0;
      Land(body);
      body.position.y = hit.point.y;
    }
  }

  const Vector3 p = Xyz(body.position);
  const Vector3 s = p + Vector3(0, kGroundProbeAbove, 0);
  const Vector3 e = p - Vector3(0, kGroundProbeBelow, 0);
  SetXyz(body.probeStart, s);
  SetXyz(body.probeEnd, e);
  if (model.SegmentTest(kCollisionFloor, s, e, hit)) {
    SetXyz(body.groundPoint, hit.point);
    SetXyz(body.groundNormal, gfxutil::Vec3Normalize(hit.normal));
    body.groundDistance = hit.planeDistance;
  }
}

void CCollisionWorld::CollideCamera(CCollisionModel& model, UnitBody& body) {
  const Vector3 previous = Xyz(body.previousPosition);
  const Vector3 movement = Xyz(body.position) - previous;
  SetXyz(body.movement, movement);
  const float r = gfxutil::Vec3Length(movement) + kCameraReach;
  model.Gather(Xyz(body.position), r);
  SegmentHit hit;

  if (body.position.x != previous.x || body.position.z != previous.z) {
    WallSums sums;
    const Vector3 s(body.position.x, body.position.y + kWallProbeHeight, body.position.z);
    for (int k = 0; k < kCameraProbes; ++k) {
      const uint16_t a = CameraProbeIndex(k);
      const Vector3 e = s + Vector3(TableCos(a) * r, 0, TableSin(a) * r);
      SetXyz(body.probeStart, s);
      SetXyz(body.probeEnd, e);
      if (model.SegmentTest(kCollisionWall, s, e, hit)) sums.Add(hit, s, e, body);
    }
    sums.Apply(body);
  }

  if (body.position.y != previous.y) {
    float sumY = 0;
    int hits = 0;
    const Vector3 p = Xyz(body.position);
    for (int k = 0; k < kCameraProbes; ++k) {
      const uint16_t a = CameraProbeIndex(k);
      const Vector3 s = p + Vector3(TableSin(a) * r, 0, TableCos(a) * r);
      const Vector3 e = s + Vector3(0, r, 0);
      SetXyz(body.probeStart, s);
      SetXyz(body.probeEnd, e);
      if (!model.SegmentTest(kCollisionFloor, s, e, hit)) continue;
      sumY += hit.point.y;
      ++hits;
      SetXyz(body.landingNormal, gfxutil::Vec3Normalize(hit.normal));
      body.velocityY = 0;
    }
    if (hits > 0) {
      Land(body);
      body.position.y = sumY / static_cast<float>(hits);
    }
  }
}

namespace {
// Vertex format 0x142: position, diffuse colour, one texture coordinate pair.
struct WireVertex {
  float x, y, z;
  uint32_t color;
  float u, v;
};
static_assert(sizeof(WireVertex) == 24);
constexpr uint32_t kWireFvf = gfx::D3DFVF_XYZ | gfx::D3DFVF_DIFFUSE | gfx::D3DFVF_TEX1;
constexpr uint32_t kWireColor = 0xFFFFFFFF;
}  // namespace

void CCollisionWorld::Draw(gfx::CDevice& device) const {
  device.SetRenderState(gfx::D3DRS_LIGHTING, 0);
  device.SetRenderState(gfx::D3DRS_FILLMODE, gfx::D3DFILL_WIREFRAME);
  device.SetVertexShader(kWireFvf);
  for (const auto& unit : units_) {
    const CCollisionModel* model = unit->Model();
    if (!model) continue;
    device.SetTransform(gfx::D3DTS_WORLD, unit->Owner() ? unit->Owner()->world : gfxutil::Matrix());
    for (int32_t g = 0; g < model->GroupCount(); ++g) {
      const CollisionGroup& group = model->Group(g);
      for (int32_t t = 0; t < group.triangleCount; ++t) {
        const CollisionTriangle& tri = group.triangles[t];
        WireVertex v[3];
        for (int i = 0; i < 3; ++i)
          v[i] = {tri.vertex[i].x, tri.vertex[i].y, tri.vertex[i].z, kWireColor, 0, 0};
        device.DrawPrimitiveUP(gfx::D3DPT_TRIANGLELIST, 1, v, sizeof(WireVertex));
      }
    }
  }
  device.SetRenderState(gfx::D3DRS_FILLMODE, gfx::D3DFILL_SOLID);
  device.SetRenderState(gfx::D3DRS_LIGHTING, 1);
}
