// Skinned meshes: bones from SkinWeights, and the conversion into bone-combination groups for
// fixed-function vertex blending.
#include "platform/gfxutil/skin_mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <set>

#include "support/sample_models.h"
#include "support/xfile_test_util.h"

using namespace gfxutil;

namespace {

const xfile::CDataObject* FindMesh(const xfile::CDataObject& o) {
  if (o.Template()->name == "Mesh") return &o;
  for (size_t i = 0; i < o.GetChildCount(); ++i)
    if (!o.GetChild(i).isReference)
      if (const auto* m = FindMesh(*o.GetChild(i).object)) return m;
  return nullptr;
}

// Checks every blended vertex against the source influences: the weights it carries for its
// group's bones (the last slot implied) equal the source weights renormalised over those bones.
void CheckBlended(const CSkinMesh& skin, const CMesh& blended, const BoneCombinationTable& table,
                  const std::vector<uint32_t>& vertexRemap, const std::vector<uint32_t>& faceRemap) {
  const CMesh& src = *skin.GetOriginalMesh();
  const FvfLayout l = GetFvfLayout(blended.GetFVF());
  const uint32_t slots = table.influences;
  ASSERT_GE(slots, 1u);
  ASSERT_LE(slots, 4u);
  ASSERT_EQ(l.weights, slots - 1);
  // Source weights per vertex and bone.
  std::vector<std::map<uint32_t, float>> w(src.GetNumVertices());
  for (uint32_t b = 0; b < skin.GetNumBones(); ++b) {
    std::vector<uint32_t> vs;
    std::vector<float> ws;
    skin.GetBoneInfluence(b, vs, ws);
    for (size_t i = 0; i < vs.size(); ++i) w[vs[i]][b] += ws[i];
  }
  ASSERT_EQ(blended.GetNumFaces(), src.GetNumFaces());
  uint32_t faces = 0;
  for (size_t g = 0; g < table.entries.size(); ++g) {
    const BoneCombination& bc = table.entries[g];
    EXPECT_EQ(bc.FaceStart, faces);
    faces += bc.FaceCount;
    std::set<uint32_t> groupBones;
    uint32_t used = 0;
    for (uint32_t s = 0; s < slots; ++s) {
      if (bc.BoneId[s] == kUnused) continue;
      EXPECT_EQ(used, s) << "used slots come first";
      ++used;
      EXPECT_LT(bc.BoneId[s], skin.GetNumBones());
      EXPECT_TRUE(groupBones.insert(bc.BoneId[s]).second);
    }
    EXPECT_GE(used, 1u);
    for (uint32_t f = bc.FaceStart; f < bc.FaceStart + bc.FaceCount; ++f) {
      EXPECT_EQ(blended.Attributes()[f], g);
      EXPECT_EQ(src.Attributes()[faceRemap[f]], bc.AttribId);
      for (int k = 0; k < 3; ++k) {
        const uint32_t nv = blended.Indices()[3 * f + k];
        EXPECT_GE(nv, bc.VertexStart);
        EXPECT_LT(nv, bc.VertexStart + bc.VertexCount);
        const uint32_t ov = blended.Indices()[3 * f + k] < vertexRemap.size() ? vertexRemap[nv] : 0;
        EXPECT_EQ(ov, src.Indices()[3 * faceRemap[f] + k]);
        EXPECT_EQ(blended.Position(nv), src.Position(ov));
        // Weights: stored ones plus the implied last slot sum to 1.
        float stored[4] = {};
        std::memcpy(stored, blended.Vertices() + nv * l.stride + 12, 4 * l.weights);
        float sum = 0;
        float expectTotal = 0;
        for (uint32_t s = 0; s < used; ++s)
          expectTotal += w[ov].count(bc.BoneId[s]) ? w[ov][bc.BoneId[s]] : 0;
        for (uint32_t s = 0; s < used; ++s) {
          const float actual = s < l.weights ? stored[s] : 1.0f - sum;
          if (s < l.weights) sum += stored[s];
          EXPECT_GE(actual, -1e-6f);
          const float source = w[ov].count(bc.BoneId[s]) ? w[ov][bc.BoneId[s]] : 0.0f;
          if (expectTotal > 0) {
            EXPECT_NEAR(actual, source / expectTotal, 1e-5) << "vertex " << ov;
          }
        }
        EXPECT_LE(sum, 1.0f + 1e-5f);
        for (uint32_t s = used; s < l.weights; ++s) EXPECT_EQ(stored[s], 0.0f);
        // Every bone of the vertex is in the group unless the face had more than four.
        if (skin.GetMaxFaceInfluences() <= 4) {
          for (const auto& [bone, weight] : w[ov]) EXPECT_TRUE(groupBones.count(bone)) << bone;
        }
      }
    }
  }
  EXPECT_EQ(faces, blended.GetNumFaces());
}

TEST(SkinMesh, LoadsBonesWeightsOffsetsAndMaterials) {
  auto x = xtest::NewReader();
  std::unique_ptr<xfile::CEnumObject> e;
  ASSERT_EQ(xtest::Open(*x, xtest::kSkinnedCube, e), xfile::DXFILE_OK);
  const xfile::CDataObject* meshObject = FindMesh(*e->Objects()[2]);
  ASSERT_NE(meshObject, nullptr);
  std::vector<uint32_t> adjacency;
  std::vector<XMaterial> materials;
  uint32_t numMaterials = 0;
  std::vector<std::string> names;
  std::vector<Matrix> offsets;
  std::unique_ptr<CSkinMesh> skin;
  ASSERT_EQ(LoadSkinMeshFromXof(*meshObject, D3DXMESH_MANAGED, nullptr, &adjacency, &materials, &numMaterials,
                                &names, &offsets, skin),
            D3DX_OK);
  ASSERT_NE(skin, nullptr);
  EXPECT_EQ(skin->GetNumBones(), 2u);
  EXPECT_EQ(names, (std::vector<std::string>{"Body", "Arm"}));
  ASSERT_EQ(offsets.size(), 2u);
  EXPECT_EQ(offsets[0].m[3][1], -25.0f);
  EXPECT_EQ(offsets[1].m[3][1], -26.0f);
  EXPECT_EQ(numMaterials, 2u);
  EXPECT_EQ(materials[1].TextureFilename, "tex\\\\blue.bmp");
  // The mesh itself is in its own space: no frame transform is applied to a skinned mesh.
  EXPECT_EQ(skin->GetOriginalMesh()->Position(0), Vector3(-1, -1, -1));
  EXPECT_EQ(adjacency.size(), 3u * skin->GetOriginalMesh()->GetNumFaces());
  // The cube is closed: once split vertices are matched by position, every edge has a neighbour.
  for (uint32_t a : adjacency) EXPECT_NE(a, kUnused);
  // Split copies of file vertex 2 all carry its two weights.
  std::vector<uint32_t> vs;
  std::vector<float> ws;
  skin->GetBoneInfluence(1, vs, ws);
  EXPECT_EQ(vs.size(), 12u);  // four file vertices, three copies each
  EXPECT_EQ(skin->GetMaxVertexInfluences(), 2u);
  EXPECT_EQ(skin->GetMaxFaceInfluences(), 2u);

  BoneCombinationTable table;
  std::vector<uint32_t> faceRemap, vertexRemap, adjOut;
  std::unique_ptr<CMesh> blended;
  ASSERT_EQ(skin->ConvertToBlendedMesh(D3DXMESH_MANAGED | D3DXMESHOPT_VERTEXCACHE, adjacency.data(), &adjOut,
                                       table, &faceRemap, &vertexRemap, blended),
            D3DX_OK);
  ASSERT_NE(blended, nullptr);
  EXPECT_EQ(blended->GetFVF(), gfx::D3DFVF_XYZB1 | gfx::D3DFVF_NORMAL | gfx::D3DFVF_TEX1);
  EXPECT_EQ(table.influences, 2u);
  // One group per material: two bones fit in one.
  ASSERT_EQ(table.entries.size(), 2u);
  EXPECT_EQ(table.entries[0].AttribId, 0u);
  EXPECT_EQ(table.entries[1].AttribId, 1u);
  CheckBlended(*skin, *blended, table, vertexRemap, faceRemap);
  uint32_t n = 0;
  blended->GetAttributeTable(nullptr, &n);
  EXPECT_EQ(n, 2u);
}

TEST(SkinMesh, MeshWithoutFacesHasNoData) {
  auto x = xtest::NewReader();
  std::unique_ptr<xfile::CEnumObject> e;
  ASSERT_EQ(xtest::Open(*x, std::string("xof 0303txt 0032\nMesh { 0;; 0;; }\n"), e), xfile::DXFILE_OK);
  std::unique_ptr<CSkinMesh> skin;
  EXPECT_EQ(
      LoadSkinMeshFromXof(*e->Objects()[0], 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, skin),
      D3DXERR_LOADEDMESHASNODATA);
  EXPECT_EQ(skin, nullptr);
}

TEST(SkinMesh, BonelessMeshReportsNoMaterialsWithoutAList) {
  auto x = xtest::NewReader();
  std::unique_ptr<xfile::CEnumObject> e;
  ASSERT_EQ(
      xtest::Open(*x, std::string("xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n"), e),
      xfile::DXFILE_OK);
  std::unique_ptr<CSkinMesh> skin;
  uint32_t numMaterials = 7;
  std::vector<std::string> names{"stale"};
  ASSERT_EQ(LoadSkinMeshFromXof(*e->Objects()[0], 0, nullptr, nullptr, nullptr, &numMaterials, &names,
                                nullptr, skin),
            D3DX_OK);
  EXPECT_EQ(numMaterials, 0u);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(skin->GetNumBones(), 0u);
  // Converting a bone-less mesh still gives one plain group per material.
  BoneCombinationTable table;
  std::unique_ptr<CMesh> blended;
  ASSERT_EQ(skin->ConvertToBlendedMesh(0, nullptr, nullptr, table, nullptr, nullptr, blended), D3DX_OK);
  EXPECT_EQ(blended->GetFVF(), gfx::D3DFVF_XYZ);
  ASSERT_EQ(table.entries.size(), 1u);
}

// A strip of triangles where bones change along the strip: groups must split, no group holds
// more than four bones, and faces with more than four bones keep their strongest four.
std::string ManyBonesModel(std::mt19937& rng, int quads, int bones, int maxPerVertex) {
  std::string s = "xof 0303txt 0032\nMesh strip {\n" + std::to_string(2 * (quads + 1)) + ";\n";
  for (int i = 0; i <= quads; ++i)
    for (int j = 0; j < 2; ++j)
      s += std::to_string(i) + ";" + std::to_string(j) + ";0;" + (i == quads && j == 1 ? ";\n" : ",\n");
  s += std::to_string(quads) + ";\n";
  for (int i = 0; i < quads; ++i)
    s += "4;" + std::to_string(2 * i) + "," + std::to_string(2 * i + 1) + "," + std::to_string(2 * i + 3) +
         "," + std::to_string(2 * i + 2) + (i + 1 == quads ? ";;\n" : ";,\n");
  s += "MeshMaterialList { 2; " + std::to_string(quads) + "; ";
  for (int i = 0; i < quads; ++i) s += std::to_string(i % 3 == 0 ? 1 : 0) + (i + 1 == quads ? ";;" : ",");
  s += " Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } Material { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; } }\n";
  // Each vertex gets 1..maxPerVertex bones near its position along the strip.
  std::vector<std::vector<std::pair<int, float>>> perBone(bones);
  const int nv = 2 * (quads + 1);
  for (int v = 0; v < nv; ++v) {
    const int count = 1 + static_cast<int>(rng() % maxPerVertex);
    std::set<int> chosen;
    while (static_cast<int>(chosen.size()) < count)
      chosen.insert(std::clamp(v / 2 * bones / (quads + 1) + static_cast<int>(rng() % 5) - 2, 0, bones - 1));
    for (int b : chosen) perBone[b].push_back({v, float(1 + rng() % 9) / 10.0f});
  }
  for (int b = 0; b < bones; ++b) {
    if (perBone[b].empty()) continue;
    s += "SkinWeights { \"bone" + std::to_string(b) + "\"; " + std::to_string(perBone[b].size()) + "; ";
    for (size_t i = 0; i < perBone[b].size(); ++i)
      s += std::to_string(perBone[b][i].first) + (i + 1 == perBone[b].size() ? "; " : ",");
    for (size_t i = 0; i < perBone[b].size(); ++i)
      s += std::to_string(perBone[b][i].second) + (i + 1 == perBone[b].size() ? "; " : ",");
    s += "1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }\n";
  }
  return s + "}\n";
}

TEST(SkinMesh, GroupsHoldAtMostFourBonesAndEveryFaceFits) {
  std::mt19937 rng(77);
  auto x = xtest::NewReader();
  for (int maxPerVertex : {1, 2, 3}) {
    const std::string text = ManyBonesModel(rng, 40, 24, maxPerVertex);
    std::unique_ptr<xfile::CEnumObject> e;
    ASSERT_EQ(xtest::Open(*x, text, e), xfile::DXFILE_OK) << text;
    std::unique_ptr<CSkinMesh> skin;
    std::vector<uint32_t> adjacency;
    ASSERT_EQ(LoadSkinMeshFromXof(*e->Objects()[0], 0, nullptr, &adjacency, nullptr, nullptr, nullptr,
                                  nullptr, skin),
              D3DX_OK);
    BoneCombinationTable table;
    std::vector<uint32_t> faceRemap, vertexRemap;
    std::unique_ptr<CMesh> blended;
    ASSERT_EQ(
        skin->ConvertToBlendedMesh(0, adjacency.data(), nullptr, table, &faceRemap, &vertexRemap, blended),
        D3DX_OK);
    EXPECT_EQ(table.influences, std::min(4u, skin->GetMaxFaceInfluences()));
    EXPECT_GT(table.entries.size(), 2u);
    CheckBlended(*skin, *blended, table, vertexRemap, faceRemap);
    // Groups of one material come before those of the next.
    for (size_t g = 1; g < table.entries.size(); ++g)
      EXPECT_LE(table.entries[g - 1].AttribId, table.entries[g].AttribId);
  }
}

TEST(SkinMesh, FaceWithSixBonesKeepsItsStrongestFour) {
  const std::string text = R"(xof 0303txt 0032
Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;
  SkinWeights { "a"; 1; 0; 0.9; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }
  SkinWeights { "b"; 1; 0; 0.1; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }
  SkinWeights { "c"; 1; 1; 0.6; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }
  SkinWeights { "d"; 1; 1; 0.05; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }
  SkinWeights { "e"; 2; 1,2; 0.35,0.5; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }
  SkinWeights { "f"; 1; 2; 0.5; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }
})";
  auto x = xtest::NewReader();
  std::unique_ptr<xfile::CEnumObject> e;
  ASSERT_EQ(xtest::Open(*x, text, e), xfile::DXFILE_OK);
  std::unique_ptr<CSkinMesh> skin;
  ASSERT_EQ(
      LoadSkinMeshFromXof(*e->Objects()[0], 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, skin),
      D3DX_OK);
  EXPECT_EQ(skin->GetMaxFaceInfluences(), 6u);
  BoneCombinationTable table;
  std::vector<uint32_t> faceRemap, vertexRemap;
  std::unique_ptr<CMesh> blended;
  ASSERT_EQ(skin->ConvertToBlendedMesh(0, nullptr, nullptr, table, &faceRemap, &vertexRemap, blended),
            D3DX_OK);
  EXPECT_EQ(blended->GetFVF(), gfx::D3DFVF_XYZB3);
  ASSERT_EQ(table.entries.size(), 1u);
  // Summed weights: a .9, e .85, c .6, f .5 stay; b .1 and d .05 go.
  const std::vector<uint32_t> ids(table.entries[0].BoneId, table.entries[0].BoneId + 4);
  EXPECT_EQ(ids, (std::vector<uint32_t>{0, 2, 4, 5}));
  CheckBlended(*skin, *blended, table, vertexRemap, faceRemap);
  // Vertex 0 had a (.9) and b (.1): only a is left, so it follows a alone.
  float w[3];
  const uint32_t v0 =
      static_cast<uint32_t>(std::find(vertexRemap.begin(), vertexRemap.end(), 0u) - vertexRemap.begin());
  std::memcpy(w, blended->Vertices() + v0 * blended->GetNumBytesPerVertex() + 12, 12);
  EXPECT_FLOAT_EQ(w[0], 1.0f);
  EXPECT_FLOAT_EQ(w[1], 0.0f);
  EXPECT_FLOAT_EQ(w[2], 0.0f);
}

}  // namespace
