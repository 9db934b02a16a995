// The triangle list a collision or bounds build reads from a D3DX-like mesh: cloned to the
// 36-byte vertex format, faces sorted by attribute, one subset per attribute-table entry.
#pragma once
#include "platform/gfxutil/mesh.h"
#include "world/collision_writer.h"

// False when the mesh cannot be cloned or sorted.
bool CollisionMeshFromMesh(const gfxutil::CMesh& mesh, CollisionMeshData& out);
