// Reads a Wavefront-style triangle list into the mesh form the collision writer builds from:
// "v x y z" vertices, "f a b c ..." faces (1-based or negative indices, "a/b/c" forms allowed,
// polygons split as fans) and "usemtl NAME" to start or resume a subset. Subsets are numbered in
// order of first use and their faces kept together in file order, as an attribute-sorted mesh
// lists them.
#pragma once
#include <string>

#include "world/collision_writer.h"

// False, with the file and line in `error`, on anything it cannot read.
bool ReadTriangleList(const std::string& path, CollisionMeshData& mesh, std::string& error);
