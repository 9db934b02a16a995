#include "platform/gfxutil/skin_mesh.h"

#include <algorithm>
#include <cstring>

#include "platform/gfxutil/x_mesh_data.h"
#include "platform/xfile/data_object.h"

namespace gfxutil {

namespace {
constexpr uint32_t kMaxBlendMatrices = 4;
}

CSkinMesh::CSkinMesh(std::unique_ptr<CMesh> mesh, std::vector<std::string> boneNames,
                     std::vector<uint32_t> first, std::vector<Influence> flat)
    : mesh_(std::move(mesh)),
      boneNames_(std::move(boneNames)),
      first_(std::move(first)),
      flat_(std::move(flat)) {}

void CSkinMesh::GetBoneInfluence(uint32_t bone, std::vector<uint32_t>& vertices,
                                 std::vector<float>& weights) const {
  vertices.clear();
  weights.clear();
  for (uint32_t v = 0; v + 1 < first_.size(); ++v)
    for (const Influence& i : Of(v))
      if (i.bone == bone) vertices.push_back(v), weights.push_back(i.weight);
}

uint32_t CSkinMesh::GetMaxVertexInfluences() const {
  size_t most = 0;
  for (size_t v = 0; v + 1 < first_.size(); ++v) most = std::max<size_t>(most, first_[v + 1] - first_[v]);
  return static_cast<uint32_t>(most);
}

uint32_t CSkinMesh::GetMaxFaceInfluences() const {
  if (!mesh_) return 0;
  uint32_t most = 0;
  const uint16_t* idx = mesh_->Indices();
  std::vector<uint32_t> bones;
  for (uint32_t f = 0; f < mesh_->GetNumFaces(); ++f) {
    bones.clear();
    for (int k = 0; k < 3; ++k)
      for (const Influence& i : Of(idx[3 * f + k])) bones.push_back(i.bone);
    std::sort(bones.begin(), bones.end());
    most = std::max<uint32_t>(most,
                              static_cast<uint32_t>(std::unique(bones.begin(), bones.end()) - bones.begin()));
  }
  return most;
}

int32_t CSkinMesh::ConvertToBlendedMesh(uint32_t options, const uint32_t* /*adjacencyIn*/,
                                        std::vector<uint32_t>* adjacencyOut, BoneCombinationTable& table,
                                        std::vector<uint32_t>* faceRemap, std::vector<uint32_t>* vertexRemap,
                                        std::unique_ptr<CMesh>& out) const {
  out.reset();
  table = BoneCombinationTable{};
  if (!mesh_) return D3DX_E_INVALIDARG;
  const CMesh& src = *mesh_;
  const uint32_t nFaces = src.GetNumFaces();
  const uint32_t maxInfl = std::clamp<uint32_t>(GetMaxFaceInfluences(), 1, kMaxBlendMatrices);
  const uint16_t* idx = src.Indices();
  const uint32_t* attr = src.Attributes();

  // Each face's bones: the union over its corners, cut to the strongest maxInfl by summed weight.
  std::vector<std::vector<uint32_t>> faceBones(nFaces);
  std::vector<std::pair<uint32_t, float>> sums;
  for (uint32_t f = 0; f < nFaces; ++f) {
    sums.clear();
    for (int k = 0; k < 3; ++k)
      for (const Influence& i : Of(idx[3 * f + k])) {
        auto it = std::find_if(sums.begin(), sums.end(), [&](const auto& s) { return s.first == i.bone; });
        if (it == sums.end())
          sums.push_back({i.bone, i.weight});
        else
          it->second += i.weight;
      }
    if (sums.size() > maxInfl) {
      std::stable_sort(sums.begin(), sums.end(),
                       [](const auto& a, const auto& b) { return a.second > b.second; });
      sums.resize(maxInfl);
    }
    for (const auto& s : sums) faceBones[f].push_back(s.first);
    std::sort(faceBones[f].begin(), faceBones[f].end());
  }

  // Groups per material in ascending material order, faces in their order.
  std::vector<uint32_t> faceOrder(nFaces);
  for (uint32_t f = 0; f < nFaces; ++f) faceOrder[f] = f;
  std::stable_sort(faceOrder.begin(), faceOrder.end(),
                   [&](uint32_t a, uint32_t b) { return attr[a] < attr[b]; });
  struct Group {
    uint32_t attrib;
    std::vector<uint32_t> bones;  // sorted
    std::vector<uint32_t> faces;
  };
  std::vector<Group> groups;
  size_t firstOfAttrib = 0;
  std::vector<uint32_t> merged;
  for (uint32_t f : faceOrder) {
    if (groups.empty() || groups[firstOfAttrib].attrib != attr[f]) {
      firstOfAttrib = groups.size();
      groups.push_back({attr[f], faceBones[f], {f}});
      continue;
    }
    bool placed = false;
    for (size_t g = firstOfAttrib; g < groups.size() && !placed; ++g) {
      merged.clear();
      std::set_union(groups[g].bones.begin(), groups[g].bones.end(), faceBones[f].begin(), faceBones[f].end(),
                     std::back_inserter(merged));
      if (merged.size() <= maxInfl) {
        groups[g].bones = merged;
        groups[g].faces.push_back(f);
        placed = true;
      }
    }
    if (!placed) groups.push_back({attr[f], faceBones[f], {f}});
  }

  // New vertices: one copy per group that uses a vertex.
  const FvfLayout sl = GetFvfLayout(src.GetFVF());
  const uint32_t posFormat = maxInfl == 1 ? gfx::D3DFVF_XYZ : 4 + 2 * (maxInfl - 1);
  const uint32_t fvf = (src.GetFVF() & ~gfx::D3DFVF_POSITION_MASK) | posFormat;
  const FvfLayout dl = GetFvfLayout(fvf);
  std::vector<uint32_t> newToOld;
  std::vector<uint32_t> groupOfNew;
  std::vector<uint32_t> newIndices;
  std::vector<uint32_t> newFaceToOld;
  std::vector<uint32_t> slot(src.GetNumVertices(), kUnused);
  table.influences = maxInfl;
  table.entries.resize(groups.size());
  table.boneIds.assign(groups.size() * maxInfl, kUnused);
  for (size_t g = 0; g < groups.size(); ++g) {
    std::fill(slot.begin(), slot.end(), kUnused);
    BoneCombination& bc = table.entries[g];
    bc.AttribId = groups[g].attrib;
    bc.FaceStart = static_cast<uint32_t>(newFaceToOld.size());
    bc.FaceCount = static_cast<uint32_t>(groups[g].faces.size());
    bc.VertexStart = static_cast<uint32_t>(newToOld.size());
    for (size_t b = 0; b < groups[g].bones.size(); ++b) table.boneIds[g * maxInfl + b] = groups[g].bones[b];
    for (uint32_t f : groups[g].faces) {
      newFaceToOld.push_back(f);
      for (int k = 0; k < 3; ++k) {
        const uint32_t v = idx[3 * f + k];
        if (slot[v] == kUnused) {
          slot[v] = static_cast<uint32_t>(newToOld.size());
          newToOld.push_back(v);
          groupOfNew.push_back(static_cast<uint32_t>(g));
        }
        newIndices.push_back(slot[v]);
      }
    }
    bc.VertexCount = static_cast<uint32_t>(newToOld.size()) - bc.VertexStart;
  }
  for (size_t g = 0; g < groups.size(); ++g) table.entries[g].BoneId = table.boneIds.data() + g * maxInfl;

  auto mesh = CMesh::Create(nFaces, static_cast<uint32_t>(newToOld.size()), options & ~0xFF000000u, fvf,
                            src.GetDevice());
  if (!mesh) return D3DXERR_INVALIDMESH;
  uint8_t* dv = static_cast<uint8_t*>(mesh->LockVertexBuffer());
  const uint8_t* sv = src.Vertices();
  for (uint32_t n = 0; n < newToOld.size(); ++n) {
    const uint32_t o = newToOld[n];
    const uint8_t* from = sv + static_cast<size_t>(o) * sl.stride;
    uint8_t* to = dv + static_cast<size_t>(n) * dl.stride;
    std::memcpy(to, from, 12);
    // Everything after the position is the same layout shifted by the weights.
    std::memcpy(to + 12 + 4 * dl.weights, from + 12 + 4 * sl.weights, sl.stride - 12 - 4 * sl.weights);
    const uint32_t* ids = table.boneIds.data() + groupOfNew[n] * maxInfl;
    float w[kMaxBlendMatrices] = {};
    float total = 0;
    for (uint32_t s = 0; s < maxInfl && ids[s] != kUnused; ++s) {
      for (const Influence& i : Of(o))
        if (i.bone == ids[s]) w[s] += i.weight;
      total += w[s];
    }
    if (total > 0) {
      for (float& x : w) x /= total;
    } else {
      w[0] = 1;  // a vertex no bone of its group moves follows the group's first bone
    }
    std::memcpy(to + 12, w, 4 * dl.weights);
  }
  mesh->UnlockVertexBuffer();
  uint16_t* di = mesh->LockIndexBuffer();
  for (size_t i = 0; i < newIndices.size(); ++i) di[i] = static_cast<uint16_t>(newIndices[i]);
  mesh->UnlockIndexBuffer();
  uint32_t* da = mesh->LockAttributeBuffer();
  std::vector<AttributeRange> ranges(groups.size());
  for (size_t g = 0; g < groups.size(); ++g) {
    const BoneCombination& bc = table.entries[g];
    for (uint32_t f = bc.FaceStart; f < bc.FaceStart + bc.FaceCount; ++f) da[f] = static_cast<uint32_t>(g);
    ranges[g] = {static_cast<uint32_t>(g), bc.FaceStart, bc.FaceCount, bc.VertexStart, bc.VertexCount};
  }
  mesh->UnlockAttributeBuffer();
  mesh->SetAttributeTable(ranges.data(), static_cast<uint32_t>(ranges.size()));
  if (adjacencyOut) mesh->GenerateAdjacency(0.0f, *adjacencyOut);
  if (faceRemap) *faceRemap = newFaceToOld;
  if (vertexRemap) *vertexRemap = newToOld;
  out = std::move(mesh);
  return D3DX_OK;
}

int32_t LoadSkinMeshFromXof(const xfile::CDataObject& meshObject, uint32_t options, gfx::CDevice* device,
                            std::vector<uint32_t>* adjacency, std::vector<XMaterial>* materials,
                            uint32_t* numMaterials, std::vector<std::string>* boneNames,
                            std::vector<Matrix>* boneOffsets, std::unique_ptr<CSkinMesh>& out) {
  out.reset();
  XMeshData data;
  if (int32_t r = ReadXMesh(meshObject, data); r != D3DX_OK) return r;
  auto mesh = BuildMesh(data, options, device);
  if (!mesh) return D3DXERR_INVALIDMESH;
  // Influences are given on the file's vertices; split copies share them. Counted first, then
  // placed, so the whole table is two arrays.
  const uint32_t nv = static_cast<uint32_t>(data.positions.size());
  std::vector<uint32_t> perFile(data.fileVertices + 1, 0);
  for (const XBone& bone : data.bones)
    for (uint32_t v : bone.vertices) ++perFile[v];
  std::vector<uint32_t> first(nv + 1, 0);
  for (uint32_t v = 0; v < nv; ++v) first[v + 1] = first[v] + perFile[data.original[v]];
  std::vector<CSkinMesh::Influence> flat(first[nv]);
  std::vector<uint32_t> fill(first.begin(), first.end() - 1);
  // Copies of each file vertex, as a linked list through the split vertices.
  std::vector<uint32_t> head(data.fileVertices, kUnused), next(nv, kUnused);
  for (uint32_t v = nv; v-- > 0;) {
    next[v] = head[data.original[v]];
    head[data.original[v]] = v;
  }
  std::vector<std::string> names;
  for (uint32_t b = 0; b < data.bones.size(); ++b) {
    const XBone& bone = data.bones[b];
    names.push_back(bone.name);
    for (size_t i = 0; i < bone.vertices.size(); ++i)
      for (uint32_t v = head[bone.vertices[i]]; v != kUnused; v = next[v])
        flat[fill[v]++] = {b, bone.weights[i]};
  }
  if (adjacency) mesh->GenerateAdjacency(0.0f, *adjacency);
  if (materials) *materials = data.hasMaterialList ? data.materials : std::vector<XMaterial>{};
  if (numMaterials) *numMaterials = data.hasMaterialList ? static_cast<uint32_t>(data.materials.size()) : 0;
  if (boneNames) *boneNames = names;
  if (boneOffsets) {
    boneOffsets->clear();
    for (const XBone& b : data.bones) boneOffsets->push_back(b.offset);
  }
  out = std::make_unique<CSkinMesh>(std::move(mesh), std::move(names), std::move(first), std::move(flat));
  return D3DX_OK;
}

}  // namespace gfxutil
