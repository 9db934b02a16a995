// Collects low-poly geometry (flat-shaded primitives, shared-vertex grids), its materials and
// per-vertex bone bindings, and turns it into a .x Mesh object or into the triangle list the
// collision writer builds from. Faces keep one winding rule throughout: clockwise seen from the
// front, so normal = cross(v1 - v0, v2 - v0) points at the viewer.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfxutil/math.h"
#include "world/collision_writer.h"
#include "x_document.h"

namespace assetgen {

using gfxutil::Matrix;
using gfxutil::Vector2;
using gfxutil::Vector3;

struct BuiltVertex {
  Vector3 position, normal;
  Vector2 uv;
  uint32_t color = 0xFFFFFFFF;
  int bone = -1;
};

struct BuiltTriangle {
  uint32_t v[3];
  int material;
};

struct BuiltMaterial {
  Vector3 diffuse{1, 1, 1};
  std::string texture;
};

class CMeshBuilder {
 public:
  // Texture coordinates of new faces: a cell of a palette atlas (each face spans the cell's
  // inside), world positions projected on the face's main plane (tiling textures), or the
  // whole texture spread over each face (a picture drawn for one panel).
  enum class UvMode { Swatch, Planar, Fitted };

  int AddMaterial(const std::string& texture, Vector3 diffuse = {1, 1, 1});
  void UseMaterial(int material) { material_ = material; }
  void UseSwatch(int cell) { uvMode_ = UvMode::Swatch, swatch_ = cell; }
  void UsePlanar(float unitsPerRepeat) { uvMode_ = UvMode::Planar, planarScale_ = 1.0f / unitsPerRepeat; }
  void UseFitted() { uvMode_ = UvMode::Fitted; }
  void UseBone(int bone) { bone_ = bone; }
  void UseColor(uint32_t argb) { color_ = argb; }
  void SetTransform(const Matrix& m) { transform_ = m; }
  void ResetTransform() { transform_ = Matrix{}; }
  const Matrix& Transform() const { return transform_; }

  // A flat convex polygon (fanned from its first point). Its points are turned around when its
  // normal would face `inside`, a point behind the face (both in untransformed coordinates).
  void Polygon(std::vector<Vector3> points, const Vector3& inside);
  void Quad(const Vector3& a, const Vector3& b, const Vector3& c, const Vector3& d, const Vector3& inside) {
    Polygon({a, b, c, d}, inside);
  }
  // Same, but facing a given direction instead of away from a point.
  void PolygonFacing(std::vector<Vector3> points, const Vector3& direction);
  // The same polygon facing both ways.
  void TwoSided(const std::vector<Vector3>& points);

  // Closed flat-shaded solids.
  void Box(const Vector3& center, const Vector3& half);
  // A prism or frustum along y from `base` up by `height`; `sides` faces, first corner at `phase`
  // radians; radii per end, stretched by `zScale` along z.
  void Prism(const Vector3& base, float height, float rBottom, float rTop, int sides, float phase = 0,
             float zScale = 1.0f, bool capBottom = true, bool capTop = true);
  // `ringsDrawn` < `rings` leaves the bottom open (a cap over something else).
  void Ellipsoid(const Vector3& center, const Vector3& radii, int rings, int segments, int ringsDrawn = -1);
  // A ring-shaped tube around the y axis.
  void Torus(const Vector3& center, float radius, float tube, int segments, int sides, float zScale = 1.0f);

  // Shared-vertex building for smooth surfaces: vertices and triangles given directly (the
  // current transform, material and colour apply; uv is planar in Planar mode).
  uint32_t SharedVertex(const Vector3& p, const Vector3& normal);
  void SharedTriangle(uint32_t a, uint32_t b, uint32_t c);

  const std::vector<BuiltVertex>& Vertices() const { return vertices_; }
  const std::vector<BuiltTriangle>& Triangles() const { return triangles_; }
  const std::vector<BuiltMaterial>& Materials() const { return materials_; }
  std::vector<BuiltVertex>& MutableVertices() { return vertices_; }

  // Mean of the vertex positions that are not exactly the origin, as the model loader centres.
  Vector3 Centroid() const;
  void Bounds(Vector3& lo, Vector3& hi) const;

  // The Mesh object: normals, texture coordinates, optional vertex colours, the material list
  // with texture names, and, when bone names are given, the skin (one bone per vertex) with
  // the given offset matrices.
  std::unique_ptr<xfile::CDataObject> ToXMesh(const CXDocument& doc, const std::string& name, bool colors,
                                              const std::vector<std::string>* boneNames = nullptr,
                                              const std::vector<Matrix>* boneOffsets = nullptr) const;
  // The faces as the mesh loader orders them (stably sorted by material), one subset per
  // material that has faces.
  CollisionMeshData ToCollision() const;

 private:
  void Face(const std::vector<Vector3>& worldPoints);
  Vector2 PlanarUv(const Vector3& p, const Vector3& n) const;

  std::vector<BuiltVertex> vertices_;
  std::vector<BuiltTriangle> triangles_;
  std::vector<BuiltMaterial> materials_;
  Matrix transform_;
  int material_ = 0, swatch_ = 0, bone_ = -1;
  uint32_t color_ = 0xFFFFFFFF;
  UvMode uvMode_ = UvMode::Swatch;
  float planarScale_ = 1.0f / 128.0f;
};

// The texture coordinates of a palette atlas cell's inside (8 x 8 cells of 16 texels).
Vector2 SwatchUv(int cell, float s, float t);

}  // namespace assetgen
