#include "resource/mesh.h"

#include <gtest/gtest.h>

#include "resource/model.h"
#include "support/image_files.h"
#include "support/model_files.h"
#include "support/scratch_dir.h"

namespace modeltest {
namespace {

using Objects = std::vector<std::unique_ptr<xfile::CDataObject>>;

std::string ReadLog() { return ReadFileText("profile.txt"); }

void WriteBmp(const std::string& path) {
  ASSERT_TRUE(
      testimg::WriteFile(path, testimg::Bmp24(2, 2, {0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xFF00FF00})));
}

TEST_F(ModelTest, MeshUsesTheWhiteDefaultMaterialWhateverTheFileSays) {
  Objects top;
  top.push_back(x.Triangle("red", 0, 0, 0, nullptr, 1.0f));
  ASSERT_TRUE(x.Write("data/mdl/red.x", top));
  CMesh mesh("data/mdl/red.x");
  ASSERT_NE(mesh.GetMesh(), nullptr);
  ASSERT_EQ(mesh.GetGroupCount(), 1u);
  const gfx::Material& m = mesh.GetMaterial(0);
  EXPECT_EQ(m.Diffuse.r, 1.0f);
  EXPECT_EQ(m.Diffuse.g, 1.0f);
  EXPECT_EQ(m.Diffuse.b, 1.0f);
  EXPECT_EQ(m.Diffuse.a, 1.0f);
  EXPECT_FLOAT_EQ(m.Ambient.g, 0.4f);
  EXPECT_FLOAT_EQ(m.Emissive.b, 0.1f);
  EXPECT_EQ(m.Specular.r, 0.0f);
  EXPECT_EQ(m.Power, 0.0f);
  EXPECT_EQ(mesh.GetMesh()->GetFVF(), 0x152u);
  EXPECT_EQ(mesh.GetMesh()->GetNumBytesPerVertex(), 36u);
}

TEST_F(ModelTest, MeshDrawGroupSetsItsStateAndUnbindsTheTexture) {
  WriteBmp("data/mdl/grass.bmp");
  Objects top;
  top.push_back(x.Triangle("g", 0, 0, 0, "textures\\grass.bmp"));
  ASSERT_TRUE(x.Write("data/mdl/ground.x", top));
  CMesh mesh("data/mdl/ground.x");
  ASSERT_EQ(mesh.GetGroupCount(), 1u);
  ASSERT_NE(mesh.GetTexture(0), nullptr);
  EXPECT_EQ(mesh.GetTexture(0)->Levels(), 2u);
  mesh.DrawGroup(0);
  ASSERT_EQ(device().indexedDraws.size(), 1u);
  EXPECT_EQ(device().indexedDraws[0].fvf, 0x152u);
  EXPECT_EQ(device().indexedDraws[0].texture, mesh.GetTexture(0));
  EXPECT_EQ(device().indexedDraws[0].material.Diffuse.r, 1.0f);
  EXPECT_EQ(device().boundTexture, nullptr);
  mesh.DrawGroup(1);  // no such group
  EXPECT_EQ(device().indexedDraws.size(), 1u);
}

TEST_F(ModelTest, MeshTexturePathsCutAtEitherSlash) {
  EXPECT_EQ(CMesh::TexturePath("data/mdl/kuma/kuma.x", "tex\\fur.bmp"), "data/mdl/kuma/fur.bmp");
  EXPECT_EQ(CMesh::TexturePath("data/mdl/kuma/kuma.x", "tex/fur.bmp"), "data/mdl/kuma/fur.bmp");
  EXPECT_EQ(CMesh::TexturePath("kuma.x", "fur.bmp"), "fur.bmp");
  WriteBmp("data/mdl/kuma/fur.bmp");
  Objects top;
  top.push_back(x.Triangle("g", 0, 0, 0, "tex/fur.bmp"));
  ASSERT_TRUE(x.Write("data/mdl/kuma/k.x", top));
  CMesh mesh("data/mdl/kuma/k.x");
  ASSERT_EQ(mesh.GetGroupCount(), 1u);
  EXPECT_NE(mesh.GetTexture(0), nullptr);
}

TEST_F(ModelTest, ModelTexturesKeepAForwardSlashSubdirectory) {
  WriteBmp("data/mdl/kuma/fur.bmp");
  for (const char* name : {"tex\\fur.bmp", "tex/fur.bmp"}) {
    Objects top;
    auto f = x.New("Frame", "F");
    f->AddChild(x.Triangle("t", 0, 0, 0, name));
    top.push_back(std::move(f));
    ASSERT_TRUE(x.Write("data/mdl/kuma/kuma.mdl", top));
    CModel model("data/mdl/kuma/kuma.mdl");
    ASSERT_NE(model.Hierarchy().Root(), nullptr);
    const MeshPart* p = model.Hierarchy().Root()->frame.child->parts.get();
    ASSERT_NE(p, nullptr);
    if (name[3] == '\\') {
      ASSERT_NE(p->textures[0], nullptr);
      EXPECT_EQ(p->textures[0]->Levels(), 1u);
    } else {
      EXPECT_EQ(p->textures[0], nullptr);  // looked up in data/mdl/kuma/tex/
    }
  }
}

TEST_F(ModelTest, MissingMeshIsLoggedAndDrawsNothing) {
  CMesh mesh("data/mdl/missing.x");
  EXPECT_EQ(mesh.GetMesh(), nullptr);
  EXPECT_EQ(mesh.GetGroupCount(), 0u);
  mesh.DrawGroup(0);
  EXPECT_TRUE(device().indexedDraws.empty());
  EXPECT_NE(ReadLog().find("Not Found data/mdl/missing.x "), std::string::npos);
}

// A missing model or texture is as visible in the log as a missing mesh or sprite.
TEST_F(ModelTest, MissingModelIsLoggedAndDrawsNothing) {
  CModel model("data/mdl/kuma/gone.mdl");
  EXPECT_EQ(model.Hierarchy().Root(), nullptr);
  model.Draw(0.0f);
  EXPECT_TRUE(device().indexedDraws.empty());
  EXPECT_NE(ReadLog().find("Not Found data/mdl/kuma/gone.mdl"), std::string::npos);
}

TEST_F(ModelTest, MissingTexturesOfMeshesAndModelsAreLogged) {
  WriteBmp("data/mdl/here.bmp");
  Objects top;
  top.push_back(x.Triangle("a", 0, 0, 0, "here.bmp"));
  top.push_back(x.Triangle("b", 10, 0, 0, "gone.bmp"));
  ASSERT_TRUE(x.Write("data/mdl/two.x", top));
  CMesh mesh("data/mdl/two.x");
  ASSERT_EQ(mesh.GetGroupCount(), 2u);
  Objects frame;
  auto f = x.New("Frame", "F");
  f->AddChild(x.Triangle("t", 0, 0, 0, "tex\\lost.bmp"));
  frame.push_back(std::move(f));
  ASSERT_TRUE(x.Write("data/mdl/m.mdl", frame));
  CModel model("data/mdl/m.mdl");
  ASSERT_NE(model.Hierarchy().Root(), nullptr);
  const std::string log = ReadLog();
  EXPECT_NE(log.find("NotFound data/mdl/gone.bmp\n"), std::string::npos) << log;
  EXPECT_NE(log.find("NotFound data/mdl/lost.bmp\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("here.bmp"), std::string::npos) << log;
  EXPECT_EQ(log.find("m.mdl"), std::string::npos) << log;
}

TEST_F(ModelTest, MeshGroupsFollowTheAttributeSort) {
  // Two meshes, collapsed into one with a group each.
  Objects top;
  top.push_back(x.Triangle("a", 0, 0, 0));
  top.push_back(x.Triangle("b", 10, 0, 0, "b.bmp"));
  ASSERT_TRUE(x.Write("data/mdl/two.x", top));
  CMesh mesh("data/mdl/two.x");
  ASSERT_EQ(mesh.GetGroupCount(), 2u);
  EXPECT_EQ(mesh.GetTexture(1), nullptr);  // not on disk
  mesh.DrawGroup(0);
  mesh.DrawGroup(1);
  ASSERT_EQ(device().indexedDraws.size(), 2u);
  EXPECT_EQ(device().indexedDraws[0].startIndex, 0u);
  EXPECT_EQ(device().indexedDraws[1].startIndex, 3u);
}

}  // namespace
}  // namespace modeltest
