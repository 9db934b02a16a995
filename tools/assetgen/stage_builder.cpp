#include "stage_builder.h"

#include <algorithm>
#include <cmath>

#include "bitmap.h"

namespace assetgen {

uint32_t Grey(float f) {
  const uint32_t v = static_cast<uint32_t>(std::clamp(f, 0.0f, 1.0f) * 255.0f + 0.5f);
  return 0xFF000000u | (v << 16) | (v << 8) | v;
}

std::vector<float> GridLines(float lo, float hi, float innerLo, float innerHi, float fine) {
  std::vector<float> out;
  // Outside the inner span the spacing doubles every step, up to 8 x fine.
  std::vector<float> left;
  float step = fine, at = innerLo;
  while (at > lo + 0.5f) {
    step = std::min(step * 1.5f, fine * 8);
    at = std::max(lo, at - step);
    left.push_back(at);
  }
  out.assign(left.rbegin(), left.rend());
  for (float x = innerLo; x <= innerHi + 0.01f; x += fine) out.push_back(x);
  step = fine, at = out.back();
  while (at < hi - 0.5f) {
    step = std::min(step * 1.5f, fine * 8);
    at = std::min(hi, at + step);
    out.push_back(at);
  }
  return out;
}

void AddGround(CMeshBuilder& b, const std::vector<float>& xs, const std::vector<float>& zs,
               const HeightFn& height, const CellMaterialFn& material, uint32_t seed) {
  const size_t nx = xs.size(), nz = zs.size();
  std::vector<uint32_t> index(nx * nz);
  for (size_t j = 0; j < nz; ++j)
    for (size_t i = 0; i < nx; ++i) {
      const float x = xs[i], z = zs[j];
      const float n = TiledNoise(x / 180.0f, z / 180.0f, 1 << 20, seed);
      b.UseColor(Grey(0.82f + 0.18f * n));
      index[j * nx + i] = b.SharedVertex({x, height(x, z), z}, {0, 1, 0});
    }
  for (size_t j = 0; j + 1 < nz; ++j)
    for (size_t i = 0; i + 1 < nx; ++i) {
      const uint32_t a = index[j * nx + i], c = index[(j + 1) * nx + i];
      const uint32_t d = index[(j + 1) * nx + i + 1], e = index[j * nx + i + 1];
      const Vector3 pa = b.Vertices()[a].position, pc = b.Vertices()[c].position,
                    pe = b.Vertices()[e].position;
      const Vector3 n = gfxutil::Vec3Normalize(gfxutil::Vec3Cross(pc - pa, pe - pa));
      b.UseMaterial(material(0.5f * (xs[i] + xs[i + 1]), 0.5f * (zs[j] + zs[j + 1]), n.y));
      // Split along the diagonal that follows the surface better.
      const float ya = pa.y, yd = b.Vertices()[d].position.y, yc = pc.y, ye = pe.y;
      if (std::fabs(ya - yd) <= std::fabs(yc - ye)) {
        b.SharedTriangle(a, c, d);
        b.SharedTriangle(a, d, e);
      } else {
        b.SharedTriangle(a, c, e);
        b.SharedTriangle(c, d, e);
      }
    }
  b.UseColor(0xFFFFFFFF);
}

void AddTree(CMeshBuilder& b, int bark, int foliage, float x, float y, float z, float s, bool pine,
             CPlacementRandom& rnd) {
  b.UseMaterial(bark);
  b.UseColor(Grey(rnd.Uniform(0.8f, 1.0f)));
  const float trunkH = (pine ? 120.0f : 150.0f) * s;
  b.Prism({x, y - 30, z}, trunkH + 30, 20 * s, 14 * s, 7, rnd.Uniform(0, 1), 1, false, false);
  b.UseMaterial(foliage);
  b.UseColor(Grey(rnd.Uniform(0.75f, 1.0f)));
  if (pine) {
    float base = y + trunkH * 0.6f, r = 95 * s;
    for (int tier = 0; tier < 3; ++tier) {
      b.Prism({x, base, z}, 110 * s, r, tier == 2 ? 0.0f : r * 0.25f, 8, rnd.Uniform(0, 1));
      base += 70 * s, r *= 0.75f;
    }
  } else {
    const float top = y + trunkH;
    b.Ellipsoid({x, top + 50 * s, z}, {105 * s, 85 * s, 105 * s}, 5, 9);
    b.Ellipsoid({x + 40 * s, top + 110 * s, z - 25 * s}, {70 * s, 60 * s, 70 * s}, 4, 8);
  }
  b.UseColor(0xFFFFFFFF);
}

void AddRock(CMeshBuilder& b, float x, float y, float z, float radius, CPlacementRandom& rnd) {
  // A lumpy flat-shaded ellipsoid: corner points pushed in and out, then faces built from them.
  const int rings = 4, segs = 7;
  const float sx = rnd.Uniform(0.8f, 1.3f), sy = rnd.Uniform(0.5f, 0.8f), sz = rnd.Uniform(0.8f, 1.3f);
  std::vector<Vector3> p((rings + 1) * segs);
  for (int i = 0; i <= rings; ++i)
    for (int j = 0; j < segs; ++j) {
      const float th = 3.14159265f * static_cast<float>(i) / rings,
                  ph = 6.2831853f * static_cast<float>(j) / segs;
      const float k = (i == 0 || i == rings) ? 1.0f : rnd.Uniform(0.8f, 1.15f);
      p[i * segs + j] = {x + radius * sx * k * std::sin(th) * std::cos(ph),
                         y + radius * sy * k * std::cos(th),
                         z + radius * sz * k * std::sin(th) * std::sin(ph)};
    }
  const Vector3 c{x, y, z};
  b.UseColor(Grey(rnd.Uniform(0.75f, 1.0f)));
  for (int i = 0; i < rings; ++i)
    for (int j = 0; j < segs; ++j) {
      const int jn = (j + 1) % segs;
      const Vector3 a = p[i * segs + j], bb = p[i * segs + jn], d = p[(i + 1) * segs + j],
                    e = p[(i + 1) * segs + jn];
      if (i != 0) b.Polygon({a, bb, e}, c);
      if (i != rings - 1) b.Polygon({a, e, d}, c);
    }
  b.UseColor(0xFFFFFFFF);
}

bool WritePiece(const COutput& out, const std::string& dir, const std::string& name, const CMeshBuilder& b,
                xfile::Encoding encoding) {
  CXDocument doc;
  auto header = doc.New("Header");
  header->AppendWord(1), header->AppendWord(0), header->AppendDword(1);
  doc.Add(std::move(header));
  doc.Add(b.ToXMesh(doc, name, true));
  if (!doc.Write(out, dir + "/" + name + ".mdl", encoding)) return false;
  std::vector<CollisionGroupData> groups;
  std::string error;
  std::vector<uint8_t> bytes;
  if (!BuildCollisionGroups(b.ToCollision(), groups, error) || !EncodeCollisionFile(groups, bytes, error))
    return false;
  return out.Write(dir + "/" + name + ".dec", bytes);
}

}  // namespace assetgen
