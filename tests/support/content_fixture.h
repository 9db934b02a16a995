// Shared by the content tests: the data tree the build generated (and a second, private run of the
// generator for comparisons), stage pieces read as the game reads them, and brute-force ray tests
// against the collision triangles.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gfxutil/math.h"
#include "world/collision_model.h"

namespace contenttest {

// The game folder the build's generator wrote (holds data/...).
const std::string& GameDir();
// Game folder of a second run made on first use, once per test program ("" if it failed).
const std::string& SecondGameDir();
// Runs the generator into `dir` (emptied first); false when it fails.
bool RunGenerator(const std::string& dir);
// A file in the shared test output folder, with this room's prefix.
std::string OutputPath(const std::string& name);
// Where tests leave pictures for a person to look at.
std::string PreviewDir();

// The models units look up, relative to the game folder.
const std::vector<std::string>& ModelFiles();
// The stage pieces ("data/mdl/stage/.../x.mdl").
const std::vector<std::string>& StagePieces();

// Triangles of a stage mesh built as the background pieces build them: loaded, attribute
// sorted, cloned to the 36-byte vertex layout, read subset by subset.
bool MeshTriangles(const std::string& path, std::vector<std::vector<CollisionTriangle>>& groups,
                   std::string& error);

// All triangles of some collision files (world coordinates: pieces sit at the origin).
struct CollisionSoup {
  std::vector<CollisionTriangle> triangles;
  bool Load(const std::vector<std::string>& decFiles);
  // The hit of the kind wanted nearest to `s` on the segment s..e; false on a miss.
  bool Cast(const gfxutil::Vector3& s, const gfxutil::Vector3& e, int kind, gfxutil::Vector3& hit,
            const CollisionTriangle** tri = nullptr) const;
};

struct Bitmap {
  int width = 0, height = 0;
  std::vector<uint32_t> argb;  // top row first
};
// Reads the 24-bit BMP files the generator writes.
bool ReadBmp(const std::string& path, Bitmap& out);

}  // namespace contenttest
