// Background pieces: the static scenery, drawn subset by subset with distance and screen-margin
// culling, each placing its collision model in the collision world.
#pragma once
#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gfxutil/math.h"
#include "world/unit_body.h"

class CMesh;
class CBspUnit;
class CCollisionModel;
class CCollisionWorld;
template <class T>
class ResourceCache;

// The collision file of a mesh file: its last three characters replaced by "dec".
std::string CollisionFileName(const std::string& meshFileName);

enum SubsetVisibility : int32_t {
  kSubsetDrawn = 1,
  kSubsetBeyondView = 0,
  kSubsetOffScreen = -2,
};

// Whether a subset's bounding sphere (center, radius) is drawn from `eye`: culled beyond
// viewDistance + radius, or when its projected center lies more than 8 x radius + 1280 pixels off
// a width x height screen; always drawn from inside the sphere. viewProjection is the camera's
// view x projection.
SubsetVisibility DecideSubsetVisibility(const gfxutil::Vector3& eye, const gfxutil::Vector3& center,
                                        float radius, float viewDistance,
                                        const gfxutil::Matrix& viewProjection, int32_t width, int32_t height);

// What the culling needs of the current camera: its eye, view x projection and the configured
// screen size.
struct BspView {
  gfxutil::Vector3 eye;
  gfxutil::Matrix viewProjection;
  int32_t width = 640;
  int32_t height = 480;
  float viewDistance = 4800.0f;
};

class CBsp {
 public:
  // Loads the mesh, appends the piece's collision unit (model "...dec" from `collisionModels`) to
  // `collisionWorld` and builds the subset bounds. Either may be null: then no collision unit.
  CBsp(const std::string& fileName, const ResourceCache<CCollisionModel>* collisionModels,
       CCollisionWorld* collisionWorld);
  ~CBsp();
  CBsp(const CBsp&) = delete;
  CBsp& operator=(const CBsp&) = delete;

  // 1 drawn, 0 beyond the view distance, -2 off screen.
  int32_t DrawSubset(uint32_t index, const BspView& view);
  void DrawOpaque(const BspView& view);
  // The opaque pass's set-up of this piece (its world transform, blending off), for drawing its
  // subsets one by one.
  void BeginOpaque();
  // Draws only subsets whose type is above 6; leaves blending and lighting on.
  void DrawTranslucent(const BspView& view);

  UnitBody body;
  std::vector<uint16_t> subsetTypes;  // one per subset plus one, all 0

  const boost::shared_ptr<CMesh>& Mesh() const { return mesh_; }
  const boost::shared_ptr<CBspUnit>& Bounds() const { return bounds_; }

 private:
  boost::shared_ptr<CMesh> mesh_;
  boost::shared_ptr<CBspUnit> bounds_;
};
