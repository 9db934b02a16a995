// D3DX-like meshes: loading with frames collapsed, attribute sort and table, clone, normals,
// adjacency and subset drawing.
#include "platform/gfxutil/mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "support/recording_device.h"
#include "support/sample_models.h"
#include "support/xfile_test_util.h"

using namespace gfxutil;

namespace {

std::unique_ptr<CMesh> Load(const std::string& text, std::vector<XMaterial>* mats = nullptr,
                            uint32_t* count = nullptr, gfx::CDevice* device = nullptr,
                            int32_t* result = nullptr) {
  return LoadMeshFromXInMemory(text.data(), text.size(), D3DXMESH_MANAGED, device, nullptr, mats, count,
                               result);
}

Vector3 NormalOf(const CMesh& m, uint32_t v) {
  const FvfLayout l = GetFvfLayout(m.GetFVF());
  Vector3 n;
  std::memcpy(&n, m.Vertices() + v * l.stride + l.normal, 12);
  return n;
}

// Two triangles: one mesh at the top level, one inside a frame behind a translation, another
// mesh in the same frame before the transform (untouched by it).
const char kFramed[] = R"(xof 0303txt 0032
Mesh top { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;
  MeshMaterialList { 1; 1; 0;; Material { 1;0;0;1;; 2; 0;0;0;; 0;0;0;; TextureFilename { "a.bmp"; } } } }
Frame F {
  Mesh before { 3; 0;0;0;, 2;0;0;, 0;2;0;; 1; 3;0,1,2;; }
  FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 10,20,30,1;; }
  Frame G {
    FrameTransformMatrix { 2,0,0,0, 0,2,0,0, 0,0,2,0, 0,0,0,1;; }
    Mesh inner { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;
      MeshMaterialList { 2; 1; 1;; Material { 0;1;0;1;; 1; 0;0;0;; 0;0;0;; } Material { 0;0;1;1;; 1; 0;0;0;; 0;0;0;; } } }
  }
}
)";

TEST(LoadMesh, FramesCollapseWithTransformsAppliedInOrder) {
  std::vector<XMaterial> mats;
  uint32_t count = 0;
  auto m = Load(kFramed, &mats, &count);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->GetNumVertices(), 9u);
  EXPECT_EQ(m->GetNumFaces(), 3u);
  EXPECT_EQ(m->GetFVF(), gfx::D3DFVF_XYZ);
  // Materials: top's 1, before's default, inner's 2.
  ASSERT_EQ(count, 4u);
  ASSERT_EQ(mats.size(), 4u);
  EXPECT_EQ(mats[0].TextureFilename, "a.bmp");
  EXPECT_FLOAT_EQ(mats[0].MatD3D.Diffuse.r, 1.0f);
  EXPECT_FLOAT_EQ(mats[0].MatD3D.Power, 2.0f);
  EXPECT_FLOAT_EQ(mats[0].MatD3D.Specular.a, 1.0f);
  EXPECT_FLOAT_EQ(mats[1].MatD3D.Diffuse.r, 0.5f);
  EXPECT_FLOAT_EQ(mats[1].MatD3D.Diffuse.a, 0.0f);
  EXPECT_FLOAT_EQ(mats[3].MatD3D.Diffuse.b, 1.0f);
  // Positions: the mesh before the transform is untouched; inner is scaled then translated.
  EXPECT_EQ(m->Position(4), Vector3(2, 0, 0));
  EXPECT_EQ(m->Position(6), Vector3(10, 20, 30));
  EXPECT_EQ(m->Position(7), Vector3(12, 20, 30));
  EXPECT_EQ(m->Position(8), Vector3(10, 22, 30));
  // Faces sorted by attribute: 0 (top), 1 (before), 3 (inner's second material).
  const uint32_t* a = m->Attributes();
  EXPECT_EQ(a[0], 0u);
  EXPECT_EQ(a[1], 1u);
  EXPECT_EQ(a[2], 3u);
  EXPECT_EQ(m->Indices()[6], 6);
  uint32_t n = 0;
  m->GetAttributeTable(nullptr, &n);
  EXPECT_EQ(n, 3u);
}

TEST(LoadMesh, NormalsSplitVerticesAndPolygonsFan) {
  std::vector<XMaterial> mats;
  uint32_t count = 0;
  auto m = Load(xtest::kSkinnedCube, &mats, &count);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->GetFVF(), gfx::D3DFVF_XYZ | gfx::D3DFVF_NORMAL | gfx::D3DFVF_TEX1);
  EXPECT_EQ(m->GetNumVertices(), 24u);  // every corner of the cube has three normals
  EXPECT_EQ(m->GetNumFaces(), 12u);
  ASSERT_EQ(count, 2u);
  EXPECT_FLOAT_EQ(mats[0].MatD3D.Diffuse.r, 1.0f);  // by reference
  EXPECT_EQ(mats[1].TextureFilename, "tex\\\\blue.bmp");
  // The mesh sits in Root (y + 25) and Body (x + 1).
  EXPECT_EQ(m->Position(0), Vector3(0, 24, -1));
  // Each face's three vertices carry that face's normal.
  const uint16_t* idx = m->Indices();
  for (uint32_t f = 0; f < m->GetNumFaces(); ++f) {
    const Vector3 p0 = m->Position(idx[3 * f]), p1 = m->Position(idx[3 * f + 1]),
                  p2 = m->Position(idx[3 * f + 2]);
    const Vector3 geometric = Vec3Normalize(Vec3Cross(p1 - p0, p2 - p0));
    for (int k = 0; k < 3; ++k) EXPECT_EQ(NormalOf(*m, idx[3 * f + k]), geometric) << f;
  }
  // Attribute groups: faces 0,1,4 use material 0 (2 triangles each), 2,3,5 material 1.
  std::vector<AttributeRange> t(2);
  uint32_t n = 2;
  m->GetAttributeTable(t.data(), &n);
  ASSERT_EQ(n, 2u);
  EXPECT_EQ(t[0].AttribId, 0u);
  EXPECT_EQ(t[0].FaceStart, 0u);
  EXPECT_EQ(t[0].FaceCount, 6u);
  EXPECT_EQ(t[1].AttribId, 1u);
  EXPECT_EQ(t[1].FaceStart, 6u);
  EXPECT_EQ(t[1].FaceCount, 6u);
}

TEST(LoadMesh, FailuresAreCleanAndReported) {
  int32_t r = 0;
  EXPECT_EQ(Load("xof 0303txt 0032\nFrame F { }\n", nullptr, nullptr, nullptr, &r), nullptr);
  EXPECT_EQ(r, D3DXERR_LOADEDMESHASNODATA);
  EXPECT_EQ(Load("not an x file", nullptr, nullptr, nullptr, &r), nullptr);
  EXPECT_LT(r, 0);
  // Index beyond the vertices, material index beyond the materials, texture coordinates short.
  EXPECT_EQ(Load("xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,3;; }\n", nullptr, nullptr,
                 nullptr, &r),
            nullptr);
  EXPECT_EQ(r, D3DXERR_INVALIDDATA);
  EXPECT_EQ(Load("xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 1; 1; "
                 "1;; } }\n"),
            nullptr);
  EXPECT_EQ(Load("xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshTextureCoords { 2; "
                 "0;0;, 1;1;; } }\n"),
            nullptr);
  // A vertex count 16-bit indices cannot reach.
  std::string big = "xof 0303txt 0032\nMesh { 70000; ";
  for (int i = 0; i < 70000; ++i) big += "0;0;0;,";
  big += "; 1; 3;0,1,2;; }\n";
  EXPECT_EQ(Load(big, nullptr, nullptr, nullptr, &r), nullptr);
  EXPECT_EQ(r, D3DXERR_INVALIDMESH);
  EXPECT_EQ(LoadMeshFromX("/nonexistent.x", 0, nullptr, nullptr, nullptr, nullptr, &r), nullptr);
  EXPECT_LT(r, 0);
}

TEST(LoadMesh, MissingMaterialsGetTheDefault) {
  std::vector<XMaterial> mats;
  uint32_t count = 0;
  auto m = Load("xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n", &mats, &count);
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(count, 1u);
  EXPECT_FLOAT_EQ(mats[0].MatD3D.Diffuse.g, 0.5f);
  EXPECT_FLOAT_EQ(mats[0].MatD3D.Specular.g, 0.5f);
  EXPECT_FLOAT_EQ(mats[0].MatD3D.Ambient.g, 0.0f);
  // A list naming two materials but holding one: the second is the default.
  m = Load(
      "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 2; 1; 1;; "
      "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }\n",
      &mats, &count);
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(count, 2u);
  EXPECT_FLOAT_EQ(mats[1].MatD3D.Diffuse.r, 0.5f);
}

// A mesh built by hand: five triangles over six vertices with attributes 2,0,2,1,0.
std::unique_ptr<CMesh> Handmade(gfx::CDevice* device = nullptr) {
  auto m =
      CMesh::Create(5, 7, D3DXMESH_MANAGED, gfx::D3DFVF_XYZ | gfx::D3DFVF_NORMAL | gfx::D3DFVF_TEX1, device);
  const FvfLayout l = GetFvfLayout(m->GetFVF());
  uint8_t* v = static_cast<uint8_t*>(m->LockVertexBuffer());
  for (uint32_t i = 0; i < 7; ++i) {
    const float pos[3] = {float(i), float(i * i), 0};
    const float uv[2] = {float(i) / 10, 1};
    std::memcpy(v + i * l.stride, pos, 12);
    std::memcpy(v + i * l.stride + l.tex, uv, 8);
  }
  m->UnlockVertexBuffer();
  const uint16_t idx[15] = {0, 1, 2, 1, 3, 2, 2, 3, 4, 3, 5, 4, 4, 5, 0};  // vertex 6 unused
  std::memcpy(m->LockIndexBuffer(), idx, sizeof idx);
  m->UnlockIndexBuffer();
  const uint32_t attr[5] = {2, 0, 2, 1, 0};
  std::memcpy(m->LockAttributeBuffer(), attr, sizeof attr);
  m->UnlockAttributeBuffer();
  return m;
}

TEST(Optimize, AttributeSortIsStableAndBuildsTheTable) {
  auto m = Handmade();
  uint32_t n = 99;
  m->GetAttributeTable(nullptr, &n);
  EXPECT_EQ(n, 0u);  // no table before sorting
  std::vector<uint32_t> faceRemap, vertexRemap, adjIn, adjOut;
  m->GenerateAdjacency(0, adjIn);
  auto o = m->Optimize(D3DXMESHOPT_ATTRSORT, adjIn.data(), &adjOut, &faceRemap, &vertexRemap);
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(faceRemap, (std::vector<uint32_t>{1, 4, 3, 0, 2}));
  // Compacting dropped the unused vertex 6 and kept the order of the rest.
  EXPECT_EQ(vertexRemap, (std::vector<uint32_t>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(o->GetNumVertices(), 6u);
  const std::vector<uint32_t> attrs(o->Attributes(), o->Attributes() + 5);
  EXPECT_EQ(attrs, (std::vector<uint32_t>{0, 0, 1, 2, 2}));
  const std::vector<uint16_t> idx(o->Indices(), o->Indices() + 15);
  EXPECT_EQ(idx, (std::vector<uint16_t>{1, 3, 2, 4, 5, 0, 3, 5, 4, 0, 1, 2, 2, 3, 4}));
  std::vector<AttributeRange> t(3);
  n = 3;
  o->GetAttributeTable(t.data(), &n);
  ASSERT_EQ(n, 3u);
  EXPECT_EQ(t[0], (AttributeRange{0, 0, 2, 0, 6}));
  EXPECT_EQ(t[1], (AttributeRange{1, 2, 1, 3, 3}));
  EXPECT_EQ(t[2], (AttributeRange{2, 3, 2, 0, 5}));
  // Adjacency follows the faces: old face 0 (now 3) neighbours old face 1 (now 0).
  std::vector<uint32_t> fresh;
  o->GenerateAdjacency(0, fresh);
  EXPECT_EQ(adjOut, fresh);
  EXPECT_EQ(adjOut[3 * 3 + 1], 0u);
  // Vertex data travelled with the remap.
  EXPECT_EQ(o->Position(5), Vector3(5, 25, 0));
}

TEST(Optimize, IgnoreVertsKeepsEveryVertex) {
  auto m = Handmade();
  std::vector<uint32_t> vertexRemap;
  auto o =
      m->Optimize(D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_IGNOREVERTS, nullptr, nullptr, nullptr, &vertexRemap);
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(o->GetNumVertices(), 7u);
  EXPECT_EQ(vertexRemap.size(), 7u);
}

TEST(Clone, CopiesSharedComponentsAndStartsNewColoursWhite) {
  auto m = Handmade();
  auto c = m->CloneMeshFVF(m->GetOptions(), 0x152, nullptr);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->GetNumBytesPerVertex(), 36u);
  EXPECT_EQ(c->GetFVF(), 0x152u);
  for (uint32_t i = 0; i < 7; ++i) {
    const uint8_t* v = c->Vertices() + i * 36;
    float pos[3], uv[2];
    uint32_t diffuse;
    std::memcpy(pos, v, 12);
    std::memcpy(&diffuse, v + 24, 4);
    std::memcpy(uv, v + 28, 8);
    EXPECT_EQ(pos[0], float(i));
    EXPECT_EQ(pos[1], float(i * i));
    EXPECT_EQ(diffuse, 0xFFFFFFFFu) << "a colour the source lacks starts white";
    EXPECT_FLOAT_EQ(uv[0], float(i) / 10);
    EXPECT_EQ(uv[1], 1.0f);
  }
  EXPECT_EQ(std::memcmp(c->Indices(), m->Indices(), 30), 0);
  EXPECT_EQ(std::memcmp(c->Attributes(), m->Attributes(), 20), 0);
  // And back: dropping the colour loses nothing else.
  auto back = c->CloneMeshFVF(0, m->GetFVF(), nullptr);
  EXPECT_EQ(std::memcmp(back->Vertices(), m->Vertices(), 7 * m->GetNumBytesPerVertex()), 0);
}

TEST(Normals, AngleWeightedAtACubeCorner) {
  // A closed cube over 8 shared vertices, clockwise seen from outside.
  auto m = Load(R"(xof 0303txt 0032
Mesh { 8; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;, 0;0;1;, 1;0;1;, 1;1;1;, 0;1;1;;
 6; 4;0,3,2,1;, 4;4,5,6,7;, 4;0,1,5,4;, 4;1,2,6,5;, 4;2,3,7,6;, 4;3,0,4,7;; })");
  ASSERT_NE(m, nullptr);
  auto c = m->CloneMeshFVF(0, gfx::D3DFVF_XYZ | gfx::D3DFVF_NORMAL, nullptr);
  ASSERT_TRUE(ComputeNormals(*c, nullptr));
  const float k = 1.0f / std::sqrt(3.0f);
  for (uint32_t v = 0; v < 8; ++v) {
    const Vector3 p = c->Position(v);
    const Vector3 n = NormalOf(*c, v);
    EXPECT_NEAR(n.x, p.x > 0 ? k : -k, 1e-5) << v;
    EXPECT_NEAR(n.y, p.y > 0 ? k : -k, 1e-5) << v;
    EXPECT_NEAR(n.z, p.z > 0 ? k : -k, 1e-5) << v;
  }
  EXPECT_FALSE(ComputeNormals(*m, nullptr));  // no normal in the format
}

TEST(Normals, UnequalAnglesWeighTheNormals) {
  // Two triangles at vertex 0: one in the z=0 plane with a 90 degree corner, one in the y=0
  // plane with a 45 degree corner; the normal leans 2:1 toward the first plane's normal.
  auto m = CMesh::Create(2, 5, 0, gfx::D3DFVF_XYZ | gfx::D3DFVF_NORMAL, nullptr);
  const float pos[5][3] = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 1}};
  uint8_t* v = static_cast<uint8_t*>(m->LockVertexBuffer());
  for (int i = 0; i < 5; ++i) std::memcpy(v + i * 24, pos[i], 12);
  const uint16_t idx[6] = {0, 1, 2, 0, 3, 4};
  std::memcpy(m->LockIndexBuffer(), idx, sizeof idx);
  ASSERT_TRUE(ComputeNormals(*m, nullptr));
  const Vector3 a = Vec3Normalize(Vec3Cross(Vector3(0, 1, 0), Vector3(1, 0, 0)));  // (0,0,-1)
  const Vector3 b = Vec3Normalize(Vec3Cross(Vector3(1, 0, 0), Vector3(1, 0, 1)));  // (0,-1,0)
  const Vector3 expect = Vec3Normalize(a * 2.0f + b);
  const Vector3 n = NormalOf(*m, 0);
  EXPECT_NEAR(n.x, expect.x, 1e-5);
  EXPECT_NEAR(n.y, expect.y, 1e-5);
  EXPECT_NEAR(n.z, expect.z, 1e-5);
  // With adjacency, vertices 2 and 3 (same place) share one normal.
  std::vector<uint32_t> adj;
  m->GenerateAdjacency(0, adj);
  ASSERT_TRUE(ComputeNormals(*m, adj.data()));
  EXPECT_EQ(NormalOf(*m, 2), NormalOf(*m, 3));
}

TEST(Adjacency, NeighboursAcrossSharedEdges) {
  auto m = Handmade();
  std::vector<uint32_t> adj;
  m->GenerateAdjacency(0, adj);
  ASSERT_EQ(adj.size(), 15u);
  // Face 0 (0,1,2): edge 1-2 meets face 1 (1,3,2) at its edge 2-1.
  EXPECT_EQ(adj[0 * 3 + 1], 1u);
  EXPECT_EQ(adj[1 * 3 + 2], 0u);
  EXPECT_EQ(adj[0 * 3 + 0], kUnused);
  // Symmetric everywhere.
  for (uint32_t f = 0; f < 5; ++f)
    for (int k = 0; k < 3; ++k) {
      const uint32_t g = adj[3 * f + k];
      if (g == kUnused) continue;
      EXPECT_NE(std::find(adj.begin() + 3 * g, adj.begin() + 3 * g + 3, f), adj.begin() + 3 * g + 3);
    }
}

TEST(DrawSubset, DrawsEachTableRangeThroughTheDevice) {
  testdev::CRecordingDevice device;
  device.createBuffers = true;
  auto m = Handmade(&device)->Optimize(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr);
  ASSERT_EQ(m->DrawSubset(2), gfx::D3D_OK);
  ASSERT_EQ(device.indexedDraws.size(), 1u);
  EXPECT_EQ(device.indexedDraws[0].startIndex, 9u);
  EXPECT_EQ(device.indexedDraws[0].primitiveCount, 2u);
  EXPECT_EQ(device.indexedDraws[0].minIndex, 0u);
  EXPECT_EQ(device.indexedDraws[0].numVertices, 5u);
  EXPECT_EQ(device.indexedDraws[0].fvf, m->GetFVF());
  // The device copy holds the mesh's vertices.
  ASSERT_NE(device.streamSource, nullptr);
  EXPECT_EQ(std::memcmp(device.streamSource->Data(), m->Vertices(),
                        m->GetNumVertices() * m->GetNumBytesPerVertex()),
            0);
  EXPECT_EQ(std::memcmp(device.indices->Data(), m->Indices(), 30), 0);
  const int created = device.buffersCreated;
  EXPECT_EQ(m->DrawSubset(7), gfx::D3D_OK);  // no such attribute: nothing drawn
  EXPECT_EQ(device.indexedDraws.size(), 1u);
  m->DrawSubset(0);
  EXPECT_EQ(device.buffersCreated, created);  // buffers made once
  // A lock refreshes the device copy on the next draw.
  static_cast<float*>(m->LockVertexBuffer())[0] = 42.0f;
  m->UnlockVertexBuffer();
  m->DrawSubset(0);
  float first;
  std::memcpy(&first, device.streamSource->Data(), 4);
  EXPECT_EQ(first, 42.0f);
  // Without a device there is nothing to draw with.
  auto bare = Handmade();
  EXPECT_NE(bare->DrawSubset(0), gfx::D3D_OK);
}

TEST(DrawSubset, WithoutTableDrawsRunsOfTheAttribute) {
  testdev::CRecordingDevice device;
  device.createBuffers = true;
  auto m = Handmade(&device);
  ASSERT_EQ(m->DrawSubset(2), gfx::D3D_OK);
  ASSERT_EQ(device.indexedDraws.size(), 2u);
  EXPECT_EQ(device.indexedDraws[0].startIndex, 0u);
  EXPECT_EQ(device.indexedDraws[1].startIndex, 6u);
  EXPECT_EQ(device.indexedDraws[1].primitiveCount, 1u);
}

}  // namespace
