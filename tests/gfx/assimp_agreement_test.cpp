// xinfo's view of generated models against assimp's importer on the same files: frame names,
// triangle counts, bone names and animation key counts.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/gfxutil/x_info.h"
#include "platform/os/files.h"
#include "support/model_gen.h"
#include "support/xfile_test_util.h"

#ifdef BRIMMEL_HAVE_ASSIMP
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <assimp/Importer.hpp>
#endif

namespace {

#ifdef BRIMMEL_HAVE_ASSIMP
void Collect(const aiNode* n, const aiScene* s, std::map<std::string, const aiNode*>& nodes) {
  nodes[n->mName.C_Str()] = n;
  for (unsigned i = 0; i < n->mNumChildren; ++i) Collect(n->mChildren[i], s, nodes);
}

TEST(AssimpAgreement, XinfoMatchesAssimpOnGeneratedModels) {
  auto x = xtest::NewReader();
  xtest::CModelGen gen(*x);
  struct Case {
    xtest::ModelParams params;
    xfile::Encoding enc;
    bool doubles;
  };
  xtest::ModelParams skinned;
  skinned.rings = 12, skinned.segments = 10, skinned.bones = 5, skinned.keys = 7;
  xtest::ModelParams still;
  still.skinned = false, still.animated = false, still.meshes = 3, still.bones = 2;
  const Case cases[] = {
      {skinned, xfile::Encoding::Text, false},  {skinned, xfile::Encoding::Binary, false},
      {skinned, xfile::Encoding::Binary, true}, {skinned, xfile::Encoding::BinaryCompressed, false},
      {still, xfile::Encoding::Text, false},    {still, xfile::Encoding::TextCompressed, false}};
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(n);
    auto top = gen.Build(c.params);
    xfile::CWriter w({c.enc, c.doubles});
    for (const auto& o : top) w.AddObject(o.get());
    const std::string path = std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/agreement" + std::to_string(n++) + ".x";
    ASSERT_TRUE(w.WriteFile(path));

    std::vector<uint8_t> bytes;
    ASSERT_TRUE(os::ReadWholeFile(path, bytes));
    gfxutil::XInfo info;
    std::string error;
    ASSERT_TRUE(gfxutil::DescribeXFile(bytes.data(), bytes.size(), info, error)) << error;

    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, aiProcess_Triangulate);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    std::map<std::string, const aiNode*> nodes;
    Collect(scene->mRootNode, scene, nodes);

    // Frames.
    ASSERT_FALSE(info.frames.empty());
    for (const auto& f : info.frames) EXPECT_TRUE(nodes.count(f.name)) << f.name;
    std::set<std::string> ours;
    for (const auto& f : info.frames) ours.insert(f.name);
    for (const auto& [name, node] : nodes)
      if (!name.empty() && name[0] != '$') {
        EXPECT_TRUE(ours.count(name)) << name;
      }
    // Meshes: assimp splits a mesh per material; the frame's totals must agree.
    ASSERT_EQ(info.meshes.size(), static_cast<size_t>(c.params.meshes));
    for (const auto& m : info.meshes) {
      ASSERT_TRUE(nodes.count(m.frame)) << m.frame;
      const aiNode* node = nodes[m.frame];
      unsigned triangles = 0;
      std::set<std::string> bones;
      for (unsigned i = 0; i < node->mNumMeshes; ++i) {
        const aiMesh* am = scene->mMeshes[node->mMeshes[i]];
        triangles += am->mNumFaces;
        for (unsigned b = 0; b < am->mNumBones; ++b) bones.insert(am->mBones[b]->mName.C_Str());
      }
      EXPECT_EQ(triangles, m.triangles);
      EXPECT_EQ(bones, std::set<std::string>(m.bones.begin(), m.bones.end()));
    }
    // Animations.
    ASSERT_EQ(info.sets.size(), scene->mNumAnimations);
    for (const auto& s : info.sets) {
      const aiAnimation* anim = nullptr;
      for (unsigned i = 0; i < scene->mNumAnimations; ++i)
        if (s.name == scene->mAnimations[i]->mName.C_Str()) anim = scene->mAnimations[i];
      ASSERT_NE(anim, nullptr) << s.name;
      ASSERT_EQ(anim->mNumChannels, s.animations.size());
      for (const auto& a : s.animations) {
        const aiNodeAnim* ch = nullptr;
        for (unsigned i = 0; i < anim->mNumChannels; ++i)
          if (a.frame == anim->mChannels[i]->mNodeName.C_Str()) ch = anim->mChannels[i];
        ASSERT_NE(ch, nullptr) << a.frame;
        EXPECT_EQ(ch->mNumRotationKeys, a.rotation);
        EXPECT_EQ(ch->mNumPositionKeys, a.position);
      }
    }
  }
}
#else
TEST(AssimpAgreement, XinfoMatchesAssimpOnGeneratedModels) { GTEST_SKIP() << "assimp is not installed"; }
#endif

TEST(GeneratedModels, SameTreeFromEveryEncoding) {
  auto x = xtest::NewReader();
  xtest::CModelGen gen(*x);
  xtest::ModelParams p;
  auto top = gen.Build(p);
  xfile::CWriter text({xfile::Encoding::Text, false});
  for (const auto& o : top) text.AddObject(o.get());
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(text.Write(bytes));
  std::unique_ptr<xfile::CEnumObject> ref;
  ASSERT_EQ(xtest::Open(*x, bytes, ref), xfile::DXFILE_OK);
  const std::string dump = xtest::Dump(*ref);
  for (auto enc :
       {xfile::Encoding::Binary, xfile::Encoding::TextCompressed, xfile::Encoding::BinaryCompressed})
    for (bool doubles : {false, true}) {
      std::unique_ptr<xfile::CEnumObject> back;
      ASSERT_EQ(xtest::Open(*x, xtest::Write(*ref, enc, doubles), back), xfile::DXFILE_OK);
      EXPECT_EQ(xtest::Dump(*back), dump);
    }
  gfxutil::XInfo info;
  std::string error;
  ASSERT_TRUE(gfxutil::DescribeXFile(bytes.data(), bytes.size(), info, error));
  ASSERT_EQ(info.meshes.size(), 1u);
  EXPECT_EQ(info.meshes[0].vertices, static_cast<uint32_t>((p.rings + 1) * p.segments));
  EXPECT_EQ(info.meshes[0].triangles, static_cast<uint32_t>(2 * p.rings * p.segments));
  EXPECT_EQ(info.meshes[0].bones.size(), static_cast<size_t>(p.bones));
  ASSERT_EQ(info.sets.size(), 1u);
  EXPECT_EQ(info.sets[0].animations.size(), static_cast<size_t>(p.bones));
  EXPECT_EQ(info.sets[0].animations[1].frame, "Bone1");
  EXPECT_EQ(info.sets[0].animations[1].rotation, static_cast<uint32_t>(p.keys));
  EXPECT_GT(info.radius, 0.0f);
}

TEST(XInfo, FormatsOneLinePerItem) {
  gfxutil::XInfo info;
  info.frames = {{0, "Root"}, {1, "Arm"}};
  info.meshes.push_back({"Arm", "Skin", 8, 6, 12, 2, {"Root", "Arm"}});
  info.sets.push_back({"Walk", {{"Arm", 2, 0, 3, 0}}});
  info.center = {1, 2, 3};
  info.radius = 4;
  const std::vector<std::string> expect = {
      "frame 0 Root",
      "frame 1 Arm",
      "mesh Arm Skin vertices=8 faces=6 triangles=12 materials=2 bones=2",
      "bone Skin Root",
      "bone Skin Arm",
      "animationset Walk animations=1",
      "animation Walk Arm rotation=2 scale=0 position=3 matrix=0",
      "sphere 1 2 3 4"};
  EXPECT_EQ(gfxutil::FormatXInfo(info), expect);
}

TEST(XInfo, SphereLeavesOriginVerticesOutAndAppliesFrames) {
  const std::string text = R"(xof 0303txt 0032
Frame A { FrameTransformMatrix { 1,0,0,0,0,1,0,0,0,0,1,0,0,0,10,1;; }
  Mesh { 4; 0;0;0;, 2;0;0;, 0;2;0;, 2;2;0;; 2; 3;0,1,2;, 3;1,3,2;; } })";
  gfxutil::XInfo info;
  std::string error;
  ASSERT_TRUE(gfxutil::DescribeXFile(text.data(), text.size(), info, error)) << error;
  // (2,0,10), (0,2,10), (2,2,10): centre (4/3, 4/3, 10).
  EXPECT_NEAR(info.center.x, 4.0f / 3, 1e-5);
  EXPECT_NEAR(info.center.y, 4.0f / 3, 1e-5);
  EXPECT_NEAR(info.center.z, 10.0f, 1e-5);
  EXPECT_NEAR(info.radius, std::sqrt(20.0f) / 3, 1e-5);  // from (2, 0, 10)
  EXPECT_FALSE(gfxutil::DescribeXFile("xof", 3, info, error));
  EXPECT_FALSE(error.empty());
}

// What xinfo prints for a file it cannot read: the result's name and where reading stopped.
TEST(XInfo, FailureNamesTheResultAndWhereReadingStopped) {
  const struct {
    std::string bytes, error;
  } cases[] = {
      {"xof 0303txt 0032\nFrame A {\n  Mesh { 4; 0;0;0;, 2;0;0;; 0; }\n}\n",
       "DXFILEERR_BADVALUE at line 3 (byte "},
      {"xof 0303abc 0032\n", "DXFILEERR_BADFILECOMPRESSIONTYPE in the 16-byte header"},
      {std::string("xof 0303tzip0032\x01\x02\x03\x04\x05\x06\x07\x08", 24),
       "DXFILEERR_BADFILE in the compressed body (it does not expand)"},
      {std::string("xof 0303bin 0032\x1f\x00\x07\x00", 20), "DXFILEERR_PARSEERROR at byte 20"},
  };
  for (const auto& c : cases) {
    gfxutil::XInfo info;
    std::string error;
    EXPECT_FALSE(gfxutil::DescribeXFile(c.bytes.data(), c.bytes.size(), info, error));
    EXPECT_EQ(error.substr(0, c.error.size()), c.error);
  }
}

}  // namespace
