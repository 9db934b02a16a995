#include "world/mesh_collision_data.h"

bool CollisionMeshFromMesh(const gfxutil::CMesh& mesh, CollisionMeshData& out) {
  out = CollisionMeshData{};
  std::unique_ptr<gfxutil::CMesh> clone = mesh.CloneMeshFVF(0, 0x152, nullptr);
  if (!clone) return false;
  std::unique_ptr<gfxutil::CMesh> sorted =
      clone->Optimize(gfxutil::D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr);
  if (!sorted) return false;

  out.positions.reserve(sorted->GetNumVertices());
  for (uint32_t v = 0; v < sorted->GetNumVertices(); ++v) out.positions.push_back(sorted->Position(v));
  // Whole faces only.
  const size_t indexCount = size_t(sorted->GetNumFaces()) * 3;
  out.indices.assign(sorted->Indices(), sorted->Indices() + indexCount);
  for (const gfxutil::AttributeRange& r : sorted->AttributeTable())
    out.subsets.push_back({r.FaceStart, r.FaceCount});
  return true;
}
