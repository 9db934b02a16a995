// colbuild MESH OUT: writes the collision file of a mesh, with the same triangle and bounds
// building the game uses for its background pieces.
//
// MESH is read as a Wavefront-style triangle list: "v x y z" vertices, "f a b c ..." faces
// (1-based or negative indices, "a/b/c" forms allowed, polygons split as fans) and "usemtl NAME"
// to start or resume a subset; subsets are numbered in order of first use and their faces kept
// together in file order, as an attribute-sorted mesh lists them.
// TODO: .x meshes, once the mesh loader is available to tools.
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "world/collision_writer.h"

namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool ParseIndex(const std::string& token, size_t vertexCount, uint32_t& out) {
  const std::string head = token.substr(0, token.find('/'));
  char* end = nullptr;
  const long v = std::strtol(head.c_str(), &end, 10);
  if (head.empty() || *end != '\0' || v == 0) return false;
  const long index = v > 0 ? v - 1 : static_cast<long>(vertexCount) + v;
  if (index < 0 || static_cast<size_t>(index) >= vertexCount) return false;
  out = static_cast<uint32_t>(index);
  return true;
}

bool ReadTriangleList(const std::string& path, CollisionMeshData& mesh, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  std::map<std::string, size_t> subsetOfName;
  std::vector<std::vector<uint32_t>> subsetIndices(1);  // faces before any "usemtl" go to subset 0
  size_t current = 0;
  bool anyFace = false;
  std::string line;
  for (int lineNo = 1; std::getline(in, line); ++lineNo) {
    std::istringstream words(line);
    std::string key;
    if (!(words >> key) || key[0] == '#') continue;
    if (key == "v") {
      gfxutil::Vector3 v;
      if (!(words >> v.x >> v.y >> v.z)) {
        error = path + ":" + std::to_string(lineNo) + ": bad vertex";
        return false;
      }
      mesh.positions.push_back(v);
    } else if (key == "f") {
      std::vector<uint32_t> poly;
      std::string token;
      while (words >> token) {
        uint32_t index = 0;
        if (!ParseIndex(token, mesh.positions.size(), index)) {
          error = path + ":" + std::to_string(lineNo) + ": bad face index " + token;
          return false;
        }
        poly.push_back(index);
      }
      if (poly.size() < 3) {
        error = path + ":" + std::to_string(lineNo) + ": a face needs three vertices";
        return false;
      }
      for (size_t i = 1; i + 1 < poly.size(); ++i) {
        subsetIndices[current].insert(subsetIndices[current].end(), {poly[0], poly[i], poly[i + 1]});
      }
      anyFace = true;
    } else if (key == "usemtl") {
      std::string name;
      words >> name;
      // The first material named before any face takes over the unnamed subset 0.
      if (subsetOfName.empty() && !anyFace) {
        subsetOfName[name] = 0;
        current = 0;
        continue;
      }
      auto it = subsetOfName.find(name);
      if (it == subsetOfName.end()) {
        it = subsetOfName.emplace(name, subsetIndices.size()).first;
        subsetIndices.emplace_back();
      }
      current = it->second;
    }
  }
  for (const auto& indices : subsetIndices) {
    MeshSubsetRange range;
    range.firstFace = static_cast<uint32_t>(mesh.indices.size() / 3);
    range.faceCount = static_cast<uint32_t>(indices.size() / 3);
    if (range.faceCount == 0) continue;
    mesh.indices.insert(mesh.indices.end(), indices.begin(), indices.end());
    mesh.subsets.push_back(range);
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
