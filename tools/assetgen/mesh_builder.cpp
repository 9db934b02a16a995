#include "mesh_builder.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

using gfxutil::Vec3Cross;
using gfxutil::Vec3Dot;
using gfxutil::Vec3Normalize;
using gfxutil::Vec3TransformCoord;
using gfxutil::Vec3TransformNormal;

Vector2 SwatchUv(int cell, float s, float t) {
  const int col = cell % 8, row = (cell / 8) % 8;
  return {(col * 16 + 3 + s * 10) / 128.0f, (row * 16 + 3 + t * 10) / 128.0f};
}

int CMeshBuilder::AddMaterial(const std::string& texture, Vector3 diffuse) {
  materials_.push_back({diffuse, texture});
  return static_cast<int>(materials_.size()) - 1;
}

Vector2 CMeshBuilder::PlanarUv(const Vector3& p, const Vector3& n) const {
  const float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
  if (ay >= ax && ay >= az) return {p.x * planarScale_, p.z * planarScale_};
  if (ax >= az) return {p.z * planarScale_, -p.y * planarScale_};
  return {p.x * planarScale_, -p.y * planarScale_};
}

void CMeshBuilder::Face(const std::vector<Vector3>& pts) {
  if (pts.size() < 3) return;
  Vector3 n{0, 0, 0};
  for (size_t i = 1; i + 1 < pts.size(); ++i) n += Vec3Cross(pts[i] - pts[0], pts[i + 1] - pts[0]);
  n = Vec3Normalize(n);
  // Swatch cells are spanned by the face's extent in its own plane.
  Vector3 ax = Vec3Normalize(pts[1] - pts[0]);
  Vector3 ay = Vec3Cross(n, ax);
  float s0 = 1e30f, s1 = -1e30f, t0 = 1e30f, t1 = -1e30f;
  for (const Vector3& p : pts) {
    const float s = Vec3Dot(p - pts[0], ax), t = Vec3Dot(p - pts[0], ay);
    s0 = std::min(s0, s), s1 = std::max(s1, s), t0 = std::min(t0, t), t1 = std::max(t1, t);
  }
  const uint32_t first = static_cast<uint32_t>(vertices_.size());
  for (const Vector3& p : pts) {
    BuiltVertex v;
    v.position = p;
    v.normal = n;
    v.color = color_;
    v.bone = bone_;
    if (uvMode_ == UvMode::Planar) {
      v.uv = PlanarUv(p, n);
    } else {
      const float s = s1 > s0 ? (Vec3Dot(p - pts[0], ax) - s0) / (s1 - s0) : 0.5f;
      const float t = t1 > t0 ? (Vec3Dot(p - pts[0], ay) - t0) / (t1 - t0) : 0.5f;
      v.uv = uvMode_ == UvMode::Fitted ? Vector2{s, t} : SwatchUv(swatch_, s, t);
    }
    vertices_.push_back(v);
  }
  for (uint32_t i = 1; i + 1 < pts.size(); ++i)
    triangles_.push_back({{first, first + i, first + i + 1}, material_});
}

void CMeshBuilder::Polygon(std::vector<Vector3> points, const Vector3& inside) {
  for (Vector3& p : points) p = Vec3TransformCoord(p, transform_);
  const Vector3 in = Vec3TransformCoord(inside, transform_);
  Vector3 n{0, 0, 0}, c{0, 0, 0};
  for (size_t i = 1; i + 1 < points.size(); ++i)
    n += Vec3Cross(points[i] - points[0], points[i + 1] - points[0]);
  for (const Vector3& p : points) c += p;
  c *= 1.0f / static_cast<float>(points.size());
  if (Vec3Dot(n, c - in) < 0) std::reverse(points.begin(), points.end());
  Face(points);
}

void CMeshBuilder::PolygonFacing(std::vector<Vector3> points, const Vector3& direction) {
  for (Vector3& p : points) p = Vec3TransformCoord(p, transform_);
  const Vector3 d = Vec3TransformNormal(direction, transform_);
  Vector3 n{0, 0, 0};
  for (size_t i = 1; i + 1 < points.size(); ++i)
    n += Vec3Cross(points[i] - points[0], points[i + 1] - points[0]);
  if (Vec3Dot(n, d) < 0) std::reverse(points.begin(), points.end());
  Face(points);
}

void CMeshBuilder::TwoSided(const std::vector<Vector3>& points) {
  std::vector<Vector3> pts = points;
  for (Vector3& p : pts) p = Vec3TransformCoord(p, transform_);
  Face(pts);
  std::reverse(pts.begin(), pts.end());
  Face(pts);
}

void CMeshBuilder::Box(const Vector3& c, const Vector3& h) {
  const float x0 = c.x - h.x, x1 = c.x + h.x, y0 = c.y - h.y, y1 = c.y + h.y, z0 = c.z - h.z, z1 = c.z + h.z;
  Quad({x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}, c);  // top
  Quad({x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}, c);  // bottom
  Quad({x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}, c);  // front (-z)
  Quad({x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}, c);  // back (+z)
  Quad({x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}, {x0, y1, z0}, c);  // left (-x)
  Quad({x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}, c);  // right (+x)
}

void CMeshBuilder::Prism(const Vector3& base, float height, float rb, float rt, int sides, float phase,
                         float zScale, bool capBottom, bool capTop) {
  std::vector<Vector3> bottom, top;
  for (int i = 0; i < sides; ++i) {
    const float a = phase + 6.2831853f * static_cast<float>(i) / static_cast<float>(sides);
    const float cx = std::cos(a), sz = std::sin(a) * zScale;
    bottom.push_back({base.x + cx * rb, base.y, base.z + sz * rb});
    top.push_back({base.x + cx * rt, base.y + height, base.z + sz * rt});
  }
  const Vector3 mid{base.x, base.y + height * 0.5f, base.z};
  for (int i = 0; i < sides; ++i) {
    const int j = (i + 1) % sides;
    if (rt <= 0.0001f)
      Polygon({bottom[i], bottom[j], top[i]}, mid);
    else if (rb <= 0.0001f)
      Polygon({bottom[i], top[j], top[i]}, mid);
    else
      Quad(bottom[i], bottom[j], top[j], top[i], mid);
  }
  if (capBottom && rb > 0.0001f) Polygon(bottom, {mid.x, mid.y + 1e4f, mid.z});
  if (capTop && rt > 0.0001f) Polygon(top, {mid.x, mid.y - 1e4f, mid.z});
}

void CMeshBuilder::Ellipsoid(const Vector3& c, const Vector3& r, int rings, int segments, int ringsDrawn) {
  if (ringsDrawn < 0) ringsDrawn = rings;
  auto at = [&](int ring, int seg) {
    const float th = 3.14159265f * static_cast<float>(ring) / static_cast<float>(rings);
    const float ph = 6.2831853f * static_cast<float>(seg) / static_cast<float>(segments);
    return Vector3{c.x + r.x * std::sin(th) * std::cos(ph), c.y + r.y * std::cos(th),
                   c.z + r.z * std::sin(th) * std::sin(ph)};
  };
  for (int i = 0; i < ringsDrawn; ++i)
    for (int j = 0; j < segments; ++j) {
      const Vector3 a = at(i, j), b = at(i, j + 1), d = at(i + 1, j), e = at(i + 1, j + 1);
      if (i == 0)
        Polygon({a, e, d}, c);
      else if (i == rings - 1)
        Polygon({a, b, d}, c);
      else
        Quad(a, b, e, d, c);
    }
}

void CMeshBuilder::Torus(const Vector3& c, float radius, float tube, int segments, int sides, float zScale) {
  auto at = [&](int i, int j) {
    const float a = 6.2831853f * static_cast<float>(i) / static_cast<float>(segments);
    const float b = 6.2831853f * static_cast<float>(j) / static_cast<float>(sides);
    const float rr = radius + tube * std::cos(b);
    return Vector3{c.x + rr * std::cos(a), c.y + tube * std::sin(b), c.z + rr * std::sin(a) * zScale};
  };
  for (int i = 0; i < segments; ++i) {
    const float a = 6.2831853f * (static_cast<float>(i) + 0.5f) / static_cast<float>(segments);
    const Vector3 core{c.x + radius * std::cos(a), c.y, c.z + radius * std::sin(a) * zScale};
    for (int j = 0; j < sides; ++j) Quad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1), core);
  }
}

uint32_t CMeshBuilder::SharedVertex(const Vector3& p, const Vector3& normal) {
  BuiltVertex v;
  v.position = Vec3TransformCoord(p, transform_);
  v.normal = Vec3Normalize(Vec3TransformNormal(normal, transform_));
  v.color = color_;
  v.bone = bone_;
  v.uv = uvMode_ == UvMode::Planar ? PlanarUv(v.position, v.normal) : SwatchUv(swatch_, 0.5f, 0.5f);
  vertices_.push_back(v);
  return static_cast<uint32_t>(vertices_.size()) - 1;
}

void CMeshBuilder::SharedTriangle(uint32_t a, uint32_t b, uint32_t c) {
  triangles_.push_back({{a, b, c}, material_});
}

Vector3 CMeshBuilder::Centroid() const {
  Vector3 sum{0, 0, 0};
  int n = 0;
  for (const BuiltVertex& v : vertices_) {
    if (v.position.x == 0 && v.position.y == 0 && v.position.z == 0) continue;
    sum += v.position;
    ++n;
  }
  return n ? sum * (1.0f / static_cast<float>(n)) : Vector3{};
}

void CMeshBuilder::Bounds(Vector3& lo, Vector3& hi) const {
  lo = {1e30f, 1e30f, 1e30f}, hi = {-1e30f, -1e30f, -1e30f};
  for (const BuiltVertex& v : vertices_) {
    lo = {std::min(lo.x, v.position.x), std::min(lo.y, v.position.y), std::min(lo.z, v.position.z)};
    hi = {std::max(hi.x, v.position.x), std::max(hi.y, v.position.y), std::max(hi.z, v.position.z)};
  }
}

std::unique_ptr<xfile::CDataObject> CMeshBuilder::ToXMesh(const CXDocument& doc, const std::string& name,
                                                          bool colors,
                                                          const std::vector<std::string>* boneNames,
                                                          const std::vector<Matrix>* boneOffsets) const {
  const uint32_t nv = static_cast<uint32_t>(vertices_.size()), nf = static_cast<uint32_t>(triangles_.size());
  auto mesh = doc.New("Mesh", name);
  mesh->AppendDword(nv);
  for (const BuiltVertex& v : vertices_)
    mesh->AppendFloat(v.position.x), mesh->AppendFloat(v.position.y), mesh->AppendFloat(v.position.z);
  mesh->AppendDword(nf);
  for (const BuiltTriangle& t : triangles_)
    mesh->AppendDword(3), mesh->AppendDword(t.v[0]), mesh->AppendDword(t.v[1]), mesh->AppendDword(t.v[2]);

  auto normals = doc.New("MeshNormals");
  normals->AppendDword(nv);
  for (const BuiltVertex& v : vertices_)
    normals->AppendFloat(v.normal.x), normals->AppendFloat(v.normal.y), normals->AppendFloat(v.normal.z);
  normals->AppendDword(nf);
  for (const BuiltTriangle& t : triangles_)
    normals->AppendDword(3), normals->AppendDword(t.v[0]), normals->AppendDword(t.v[1]),
        normals->AppendDword(t.v[2]);
  mesh->AddChild(std::move(normals));

  auto uv = doc.New("MeshTextureCoords");
  uv->AppendDword(nv);
  for (const BuiltVertex& v : vertices_) uv->AppendFloat(v.uv.x), uv->AppendFloat(v.uv.y);
  mesh->AddChild(std::move(uv));

  if (colors) {
    auto vc = doc.New("MeshVertexColors");
    vc->AppendDword(nv);
    for (uint32_t i = 0; i < nv; ++i) {
      const uint32_t c = vertices_[i].color;
      vc->AppendDword(i);
      vc->AppendFloat(static_cast<float>((c >> 16) & 0xFF) / 255.0f);
      vc->AppendFloat(static_cast<float>((c >> 8) & 0xFF) / 255.0f);
      vc->AppendFloat(static_cast<float>(c & 0xFF) / 255.0f);
      vc->AppendFloat(static_cast<float>((c >> 24) & 0xFF) / 255.0f);
    }
    mesh->AddChild(std::move(vc));
  }

  auto list = doc.New("MeshMaterialList");
  list->AppendDword(static_cast<uint32_t>(materials_.size()));
  list->AppendDword(nf);
  for (const BuiltTriangle& t : triangles_) list->AppendDword(static_cast<uint32_t>(t.material));
  for (const BuiltMaterial& m : materials_) {
    auto mat = doc.New("Material");
    mat->AppendFloat(m.diffuse.x), mat->AppendFloat(m.diffuse.y), mat->AppendFloat(m.diffuse.z),
        mat->AppendFloat(1.0f);
    mat->AppendFloat(4.0f);
    for (int i = 0; i < 3; ++i) mat->AppendFloat(0.0f);
    for (int i = 0; i < 3; ++i) mat->AppendFloat(0.0f);
    if (!m.texture.empty()) {
      auto tex = doc.New("TextureFilename");
      tex->AppendString(m.texture);
      mat->AddChild(std::move(tex));
    }
    list->AddChild(std::move(mat));
  }
  mesh->AddChild(std::move(list));

  if (boneNames && boneOffsets) {
    const uint16_t nb = static_cast<uint16_t>(boneNames->size());
    auto header = doc.New("XSkinMeshHeader");
    header->AppendWord(1), header->AppendWord(1), header->AppendWord(nb);
    mesh->AddChild(std::move(header));
    for (uint16_t b = 0; b < nb; ++b) {
      std::vector<uint32_t> influenced;
      for (uint32_t i = 0; i < nv; ++i)
        if (vertices_[i].bone == b) influenced.push_back(i);
      auto sw = doc.New("SkinWeights");
      sw->AppendString((*boneNames)[b]);
      sw->AppendDword(static_cast<uint32_t>(influenced.size()));
      for (uint32_t i : influenced) sw->AppendDword(i);
      for (size_t i = 0; i < influenced.size(); ++i) sw->AppendFloat(1.0f);
      AppendMatrix(*sw, (*boneOffsets)[b]);
      mesh->AddChild(std::move(sw));
    }
  }
  return mesh;
}

CollisionMeshData CMeshBuilder::ToCollision() const {
  CollisionMeshData out;
  for (const BuiltVertex& v : vertices_) out.positions.push_back(v.position);
  for (size_t m = 0; m < materials_.size(); ++m) {
    MeshSubsetRange range;
    range.firstFace = static_cast<uint32_t>(out.indices.size() / 3);
    for (const BuiltTriangle& t : triangles_) {
      if (t.material != static_cast<int>(m)) continue;
      out.indices.insert(out.indices.end(), t.v, t.v + 3);
      ++range.faceCount;
    }
    if (range.faceCount) out.subsets.push_back(range);
  }
  return out;
}

}  // namespace assetgen
