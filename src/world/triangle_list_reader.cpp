#include "world/triangle_list_reader.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "platform/os/files.h"

namespace {

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

}  // namespace

bool ReadTriangleList(const std::string& path, CollisionMeshData& mesh, std::string& error) {
  std::ifstream in(os::PathFromUtf8(path));
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
