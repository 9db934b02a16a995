// colbuild MESH OUT: writes the collision file of a mesh, with the same triangle and bounds
// building the game uses for its background pieces.
//
// MESH is a .x file (every mesh of it, frames collapsed, one group per material) or a
// Wavefront-style triangle list (world/triangle_list_reader.h).
#include <cstdio>
#include <string>
#include <vector>

#include "platform/gfxutil/mesh.h"
#include "world/collision_writer.h"
#include "world/mesh_collision_data.h"
#include "world/triangle_list_reader.h"

namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Loaded as a background piece's mesh is, so the file's groups are the piece's subsets.
bool ReadXMesh(const std::string& path, CollisionMeshData& mesh, std::string& error) {
  auto loaded = gfxutil::LoadMeshFromX(path, gfxutil::D3DXMESH_MANAGED, nullptr, nullptr, nullptr, nullptr);
  if (!loaded) {
    error = "cannot read the .x mesh " + path;
    return false;
  }
  auto sorted = loaded->Optimize(gfxutil::D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr);
  if (!sorted || !CollisionMeshFromMesh(*sorted, mesh)) {
    error = "cannot sort the faces of " + path;
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: colbuild MESH OUT\n");
    return 2;
  }
  const std::string meshPath = argv[1], outPath = argv[2];
  CollisionMeshData mesh;
  std::vector<CollisionGroupData> groups;
  std::string error;
  if (EndsWith(meshPath, ".x") || EndsWith(meshPath, ".X")) {
    if (!ReadXMesh(meshPath, mesh, error)) {
      std::fprintf(stderr, "colbuild: %s\n", error.c_str());
      return 1;
    }
  } else if (!ReadTriangleList(meshPath, mesh, error)) {
    std::fprintf(stderr, "colbuild: %s\n", error.c_str());
    return 1;
  }
  if (!BuildCollisionGroups(mesh, groups, error) || !WriteCollisionFile(outPath, groups, error)) {
    std::fprintf(stderr, "colbuild: %s\n", error.c_str());
    return 1;
  }
  size_t triangles = 0;
  for (const auto& g : groups) triangles += g.triangles.size();
  std::printf("colbuild: %zu groups, %zu triangles -> %s\n", groups.size(), triangles, outPath.c_str());
  return 0;
}
