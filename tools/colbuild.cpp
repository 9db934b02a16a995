// colbuild MESH OUT: writes the collision file of a mesh, with the same triangle and bounds
// building the game uses for its background pieces.
//
// MESH is read as a Wavefront-style triangle list (world/triangle_list_reader.h).
// TODO: .x meshes, once the mesh loader is available to tools.
#include <cstdio>
#include <string>
#include <vector>

#include "world/collision_writer.h"
#include "world/triangle_list_reader.h"

namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: colbuild MESH OUT\n");
    return 2;
  }
  const std::string meshPath = argv[1], outPath = argv[2];
  if (EndsWith(meshPath, ".x") || EndsWith(meshPath, ".X")) {
    std::fprintf(stderr, "colbuild: .x meshes are not read yet; give a triangle list\n");
    return 1;
  }
  CollisionMeshData mesh;
  std::vector<CollisionGroupData> groups;
  std::string error;
  if (!ReadTriangleList(meshPath, mesh, error) || !BuildCollisionGroups(mesh, groups, error) ||
      !WriteCollisionFile(outPath, groups, error)) {
    std::fprintf(stderr, "colbuild: %s\n", error.c_str());
    return 1;
  }
  size_t triangles = 0;
  for (const auto& g : groups) triangles += g.triangles.size();
  std::printf("colbuild: %zu groups, %zu triangles -> %s\n", groups.size(), triangles, outPath.c_str());
  return 0;
}
