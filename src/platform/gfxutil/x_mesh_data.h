// A Mesh data object of a .x file read into plain arrays, before it becomes a CMesh: vertices
// split where corners carry different normals, polygons fanned into triangles, materials with
// texture names, and the skin weights of its bones. Shared by the static and skinned loaders.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfxutil/math.h"
#include "platform/gfxutil/mesh.h"

namespace xfile {
class CDataObject;
}

namespace gfxutil {

struct XBone {
  std::string name;
  std::vector<uint32_t> vertices;  // indices into the file's vertex list
  std::vector<float> weights;
  Matrix offset;
};

struct XMeshData {
  uint32_t fvf = gfx::D3DFVF_XYZ;
  std::vector<Vector3> positions;
  std::vector<Vector3> normals;    // when fvf has a normal
  std::vector<uint32_t> colors;    // when fvf has a diffuse colour
  std::vector<Vector2> texcoords;  // when fvf has TEX1
  std::vector<uint32_t> original;  // per vertex: its index in the file's vertex list
  uint32_t fileVertices = 0;
  std::vector<uint32_t> indices;     // three per triangle
  std::vector<uint32_t> attributes;  // one per triangle
  std::vector<XMaterial> materials;
  bool hasMaterialList = false;
  std::vector<XBone> bones;
};

// Reads one Mesh object (its children too: normals, texture coordinates, colours, material
// list, skin weights). Returns D3DX_OK, D3DXERR_LOADEDMESHASNODATA for a mesh without faces, or
// D3DXERR_INVALIDDATA for anything inconsistent.
int32_t ReadXMesh(const xfile::CDataObject& mesh, XMeshData& out);
// Applies a frame transform: positions as points, normals by the inverse transpose.
void TransformXMesh(XMeshData& m, const Matrix& transform);
// Appends src to dst: indices and attribute ids offset, materials concatenated.
void AppendXMesh(XMeshData& dst, const XMeshData& src);
// The mesh in its own vertex format; faces stably sorted by attribute with the table built.
// Null when it has more vertices than 16-bit indices can reach.
std::unique_ptr<CMesh> BuildMesh(const XMeshData& m, uint32_t options, gfx::CDevice* device);

}  // namespace gfxutil
