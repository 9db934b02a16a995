// The D3DX-like skinned mesh: a mesh with bones (name, influenced vertices and weights, offset
// matrix), converted for fixed-function vertex blending into bone-combination groups of at most
// four matrices each.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfxutil/mesh.h"

namespace xfile {
class CDataObject;
}

namespace gfxutil {

struct BoneCombination {
  uint32_t AttribId = 0;  // the original material
  uint32_t FaceStart = 0, FaceCount = 0, VertexStart = 0, VertexCount = 0;
  const uint32_t* BoneId = nullptr;  // max-face-influences entries, kUnused for an empty slot
};

// The combination table with the bone ids its entries point into.
struct BoneCombinationTable {
  std::vector<BoneCombination> entries;
  std::vector<uint32_t> boneIds;
  uint32_t influences = 0;  // BoneId entries per combination
};

class CSkinMesh {
 public:
  struct Influence {
    uint32_t bone;
    float weight;
  };

  // Influences of vertex v are flat[first[v] .. first[v + 1]).
  CSkinMesh(std::unique_ptr<CMesh> mesh, std::vector<std::string> boneNames, std::vector<uint32_t> first,
            std::vector<Influence> flat);
  CSkinMesh(const CSkinMesh&) = delete;
  CSkinMesh& operator=(const CSkinMesh&) = delete;

  CMesh* GetOriginalMesh() const { return mesh_.get(); }
  std::unique_ptr<CMesh> ReleaseOriginalMesh() { return std::move(mesh_); }
  uint32_t GetNumBones() const { return static_cast<uint32_t>(boneNames_.size()); }
  const std::string& GetBoneName(uint32_t bone) const { return boneNames_[bone]; }
  // Vertices of the mesh (after normal splitting) a bone moves, with their weights.
  void GetBoneInfluence(uint32_t bone, std::vector<uint32_t>& vertices, std::vector<float>& weights) const;
  // The most bones any single vertex / any single face is influenced by.
  uint32_t GetMaxVertexInfluences() const;
  uint32_t GetMaxFaceInfluences() const;

  // Regroups the faces so each group needs at most four bone matrices: faces grouped per
  // material in face order, each joining the first group of its material that stays within the
  // limit; vertices used by several groups are duplicated. The new mesh's attribute id of a face
  // is its group's index, its position format XYZB(n-1) for n = max face influences (at most 4),
  // with the weights of each vertex given in its group's bone-slot order (the last implicit).
  // A face touched by more than four bones keeps its four strongest and its vertices' weights
  // are renormalised over them. Remaps: new -> old.
  int32_t ConvertToBlendedMesh(uint32_t options, const uint32_t* adjacencyIn,
                               std::vector<uint32_t>* adjacencyOut, BoneCombinationTable& table,
                               std::vector<uint32_t>* faceRemap, std::vector<uint32_t>* vertexRemap,
                               std::unique_ptr<CMesh>& out) const;

 private:
  std::unique_ptr<CMesh> mesh_;
  std::vector<std::string> boneNames_;
  struct Span {
    const Influence* b;
    const Influence* e;
    const Influence* begin() const { return b; }
    const Influence* end() const { return e; }
  };
  Span Of(uint32_t v) const { return {flat_.data() + first_[v], flat_.data() + first_[v + 1]}; }
  std::vector<uint32_t> first_;
  std::vector<Influence> flat_;
};

// D3DXLoadSkinMeshFromXof: one Mesh data object with its materials and skin. Materials: the
// file's (count 0 when it has no material list). Bone names and offset matrices in SkinWeights
// order. Returns D3DXERR_LOADEDMESHASNODATA for a mesh without faces.
int32_t LoadSkinMeshFromXof(const xfile::CDataObject& mesh, uint32_t options, gfx::CDevice* device,
                            std::vector<uint32_t>* adjacency, std::vector<XMaterial>* materials,
                            uint32_t* numMaterials, std::vector<std::string>* boneNames,
                            std::vector<Matrix>* boneOffsets, std::unique_ptr<CSkinMesh>& out);

}  // namespace gfxutil
