#include "support/content_fixture.h"

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "platform/gfxutil/mesh.h"
#include "platform/os/files.h"

namespace contenttest {

using gfxutil::Vector3;

bool RunGenerator(const std::string& dir) {
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  std::filesystem::create_directories(dir, ec);
  const std::string command = std::string("\"") + BRIMMEL_ASSETGEN + "\" \"" + dir + "\"";
  return std::system(command.c_str()) == 0;
}

std::string OutputPath(const std::string& name) {
  return std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/content_" + name;
}

// The build generates the tree once into the game folder; every test process reads that one.
const std::string& GameDir() {
  static const std::string dir = BRIMMEL_GAME_DIR;
  return dir;
}

namespace {

// A second, private run of the generator, made only when a test compares against it.
struct SecondRun {
  std::string dir;
  SecondRun() {
    const std::string d =
        std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/content-gen-" + std::to_string(::getpid()) + "-second";
    if (RunGenerator(d)) dir = d;
  }
  ~SecondRun() {
    std::error_code ec;
    if (!dir.empty()) std::filesystem::remove_all(dir, ec);
  }
};

}  // namespace

const std::string& SecondGameDir() {
  static SecondRun run;
  return run.dir;
}

std::string PreviewDir() {
  const std::string dir = std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/content-preview";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

const std::vector<std::string>& ModelFiles() {
  static const std::vector<std::string> files = {
      "data/mdl/player/player.mdl",      "data/mdl/player/head.mdl",
      "data/mdl/kuma/kuma.mdl",          "data/mdl/creature/butterfly/butterfly.mdl",
      "data/mdl/object/door/door.mdl",   "data/mdl/object/leaf/leaf00.mdl",
      "data/mdl/object/leaf/leaf01.mdl", "data/mdl/object/leaf/leaf02.mdl",
      "data/mdl/object/leaf/leaf03.mdl", "data/mdl/object/leaf/leaf04.mdl",
      "data/mdl/object/leaf/leaf05.mdl",
  };
  return files;
}

const std::vector<std::string>& StagePieces() {
  static const std::vector<std::string> files = {
      "data/mdl/stage/home/yard.mdl",     "data/mdl/stage/home/house.mdl",
      "data/mdl/stage/forest/ground.mdl", "data/mdl/stage/forest/plateau.mdl",
      "data/mdl/stage/forest/trees.mdl",  "data/mdl/stage/forest/rocks.mdl",
  };
  return files;
}

bool MeshTriangles(const std::string& path, std::vector<std::vector<CollisionTriangle>>& groups,
                   std::string& error) {
  std::vector<gfxutil::XMaterial> materials;
  uint32_t count = 0;
  auto loaded = gfxutil::LoadMeshFromX(path, gfxutil::D3DXMESH_MANAGED, nullptr, nullptr, &materials, &count);
  if (!loaded) return error = "mesh does not load: " + path, false;
  auto sorted = loaded->Optimize(gfxutil::D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr);
  if (!sorted) return error = "optimise failed", false;
  auto mesh = sorted->CloneMeshFVF(0, 0x152, nullptr);
  if (!mesh || mesh->GetNumBytesPerVertex() != 36) return error = "clone failed", false;
  uint32_t n = 0;
  mesh->GetAttributeTable(nullptr, &n);
  std::vector<gfxutil::AttributeRange> table(n);
  mesh->GetAttributeTable(table.data(), &n);
  groups.clear();
  for (const auto& r : table) {
    std::vector<CollisionTriangle> tris;
    for (uint32_t f = r.FaceStart; f < r.FaceStart + r.FaceCount; ++f) {
      CollisionTriangle t{};
      Vector3 v[3];
      for (int k = 0; k < 3; ++k) {
        v[k] = mesh->Position(mesh->Indices()[3 * f + k]);
        t.vertex[k] = {v[k].x, v[k].y, v[k].z, 0};
      }
      const Vector3 c = gfxutil::Vec3Cross(v[1] - v[0], v[2] - v[0]);
      const float len = gfxutil::Vec3Length(c);
      const Vector3 nrm = len > 0 ? c * (1.0f / len) : c;
      t.normal = {nrm.x, nrm.y, nrm.z, 0};
      t.kind = nrm.y >= kFloorNormalY ? kCollisionFloor : kCollisionWall;
      tris.push_back(t);
    }
    groups.push_back(std::move(tris));
  }
  return true;
}

bool CollisionSoup::Load(const std::vector<std::string>& decFiles) {
  triangles.clear();
  for (const std::string& f : decFiles) {
    std::vector<uint8_t> bytes;
    if (!os::ReadWholeFile(f, bytes)) return false;
    CCollisionModel m;
    if (!m.Parse(bytes.data(), bytes.size())) return false;
    for (int32_t g = 0; g < m.GroupCount(); ++g)
      for (int32_t t = 0; t < m.Group(g).triangleCount; ++t) triangles.push_back(m.Group(g).triangles[t]);
  }
  return true;
}

bool CollisionSoup::Cast(const Vector3& s, const Vector3& e, int kind, Vector3& hit,
                         const CollisionTriangle** found) const {
  float best = 2.0f;
  for (const CollisionTriangle& t : triangles) {
    if (kind >= 0 && t.kind != kind) continue;
    const Vector3 v0{t.vertex[0].x, t.vertex[0].y, t.vertex[0].z};
    const Vector3 v1{t.vertex[1].x, t.vertex[1].y, t.vertex[1].z};
    const Vector3 v2{t.vertex[2].x, t.vertex[2].y, t.vertex[2].z};
    const Vector3 n{t.normal.x, t.normal.y, t.normal.z};
    const float a = gfxutil::Vec3Dot(n, s - v0), b = gfxutil::Vec3Dot(n, e - v0);
    if (a * b > 0 || a == b) continue;
    const float u = a / (a - b);
    if (u >= best) continue;
    const Vector3 h = s + (e - s) * u;
    // Inside or within a hair of an edge (points exactly on a shared edge belong to both).
    auto outside = [&](const Vector3& from, const Vector3& edge) {
      return gfxutil::Vec3Dot(h - from, gfxutil::Vec3Normalize(gfxutil::Vec3Cross(edge, n))) < -0.01f;
    };
    if (outside(v0, v0 - v1) || outside(v1, v1 - v2) || outside(v0, v2 - v0)) continue;
    best = u, hit = h;
    if (found) *found = &t;
  }
  return best <= 1.0f;
}

bool ReadBmp(const std::string& path, Bitmap& out) {
  std::vector<uint8_t> b;
  if (!os::ReadWholeFile(path, b) || b.size() < 54 || b[0] != 'B' || b[1] != 'M') return false;
  auto u32 = [&](size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
  };
  const uint32_t offset = u32(10), w = u32(18), h = u32(22);
  if (b[28] != 24 || w == 0 || h == 0 || w > 4096 || h > 4096) return false;
  const uint32_t row = (w * 3 + 3) & ~3u;
  if (b.size() < offset + row * h) return false;
  out.width = static_cast<int>(w), out.height = static_cast<int>(h);
  out.argb.resize(static_cast<size_t>(w) * h);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      const uint8_t* p = &b[offset + (h - 1 - y) * row + 3 * x];
      out.argb[y * w + x] = 0xFF000000u | p[2] << 16 | p[1] << 8 | p[0];
    }
  return true;
}

}  // namespace contenttest
