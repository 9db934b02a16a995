#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "core/graphics.h"
#include "platform/gfx/device_test_hooks.h"
#include "resource/model.h"
#include "support/expect_matrix.h"
#include "support/model_files.h"
#include "support/model_gen.h"

namespace modeltest {
namespace {

using gfxutil::Matrix;
using testdev::ExpectNear;

// The generated character: frame Scene with the bone chain Bone0..Bone3 and the frame Body0
// holding a tube skinned to the bones.
void WriteCharacter(const std::string& path, xfile::Encoding enc = xfile::Encoding::Binary) {
  auto x = xfile::CXFile::Create();
  ASSERT_EQ(x->RegisterStandardTemplates(), xfile::DXFILE_OK);
  xtest::CModelGen gen(*x);
  xtest::ModelParams p;
  auto objects = gen.Build(p);
  xfile::CWriter w({enc, false});
  for (const auto& o : objects) w.AddObject(o.get());
  ASSERT_TRUE(w.WriteFile(path));
}

const MeshPart* SkinnedPart(const CModel& m, const FrameNode** owner) {
  std::vector<const FrameNode*> stack{&m.Hierarchy().Root()->frame};
  while (!stack.empty()) {
    const FrameNode* f = stack.back();
    stack.pop_back();
    for (const MeshPart* p = f->parts.get(); p; p = p->next.get())
      if (p->skin) {
        *owner = f;
        return p;
      }
    if (f->sibling) stack.push_back(f->sibling.get());
    if (f->child) stack.push_back(f->child.get());
  }
  return nullptr;
}

TEST_F(ModelTest, SkinnedPartRecordsItsFrameThenItsBonesBeforeAdjustment) {
  WriteCharacter("data/mdl/kuma/kuma.mdl");
  CModel model("data/mdl/kuma/kuma.mdl");
  ASSERT_NE(model.Hierarchy().Root(), nullptr);
  const FrameNode* body = nullptr;
  const MeshPart* part = SkinnedPart(model, &body);
  ASSERT_NE(part, nullptr);
  ASSERT_EQ(part->boneLinks.size(), 4u);
  ASSERT_GT(part->groupCount, 0u);

  model.SetBoneAdjust(1, gfxutil::MatrixTranslation(0, 5, 0));
  model.SetMatrix(gfxutil::MatrixTranslation(100, 0, 0));
  model.Draw(1.5f);
  ModelHierarchy& h = model.Hierarchy();
  ASSERT_EQ(h.recordCount, 5);
  // The root bone sits at the re-centred world position.
  EXPECT_NEAR(h.record[1].m[3][0], 100.0f - h.Root()->center.x, 1e-3f);
  EXPECT_EQ(h.record[0], body->combined);
  for (int b = 0; b < 4; ++b) {
    const FrameNode* bone = ModelHierarchy::FindFrame(&h.Root()->frame, "Bone" + std::to_string(b));
    ASSERT_NE(bone, nullptr);
    EXPECT_EQ(part->boneLinks[b], &bone->combined);
    // Recorded before the adjustment; the adjustment stays in the combined matrix afterwards.
    const Matrix expected = b == 1 ? h.record[1 + b] * gfxutil::MatrixTranslation(0, 5, 0) : h.record[1 + b];
    EXPECT_EQ(bone->combined, expected) << b;
  }

  // Every group drawn once, blend matrices = offset x the bone's (adjusted) combined matrix.
  const auto& draws = device().indexedDraws;
  ASSERT_EQ(draws.size(), part->groupCount);
  for (uint32_t g = 0; g < part->groupCount; ++g) {
    const gfxutil::BoneCombination& c = part->combinations.entries[g];
    uint32_t highest = 0;
    for (int k = 0; k < part->maxFaceInfluences; ++k) {
      if (c.BoneId[k] == gfxutil::kUnused) continue;
      highest = k;
      ExpectNear(draws[g].world[k], part->boneOffsets[c.BoneId[k]] * *part->boneLinks[c.BoneId[k]]);
    }
    EXPECT_EQ(draws[g].vertexBlend, highest);
    EXPECT_EQ(draws[g].software, 0u);
  }
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_VERTEXBLEND), 0u);
}

TEST_F(ModelTest, GroupsBeyondTheDeviceGoToTheSoftwarePass) {
  device().maxBlend = 2;
  WriteCharacter("data/mdl/kuma/kuma.mdl");
  CModel model("data/mdl/kuma/kuma.mdl");
  const FrameNode* body = nullptr;
  const MeshPart* part = SkinnedPart(model, &body);
  ASSERT_NE(part, nullptr);
  ASSERT_GE(part->maxFaceInfluences, 3) << "the test model needs faces with three bones";
  ASSERT_LT(part->softwareSplit, part->groupCount);
  EXPECT_NE(part->mesh->GetOptions() & gfxutil::D3DXMESH_SOFTWAREPROCESSING, 0u);

  model.Draw(std::nullopt);
  std::multiset<uint32_t> hardware, software;
  for (const auto& d : device().indexedDraws) (d.software ? software : hardware).insert(d.vertexBlend);
  for (uint32_t n : hardware) EXPECT_LE(n + 1, 2u);
  for (uint32_t n : software) EXPECT_GT(n + 1, 2u);
  EXPECT_FALSE(software.empty());
  EXPECT_EQ(device().GetRenderState(gfx::D3DRS_SOFTWAREVERTEXPROCESSING), 0u);
}

TEST_F(ModelTest, BoneAdjustmentIsSharedByEveryDrawOfTheModel) {
  WriteCharacter("data/mdl/kuma/kuma.mdl");
  CModel model("data/mdl/kuma/kuma.mdl");
  const FrameNode* body = nullptr;
  const MeshPart* part = SkinnedPart(model, &body);
  ASSERT_NE(part, nullptr);
  model.SetBoneAdjust(0, gfxutil::MatrixTranslation(0, 7, 0));
  model.Draw(0.0f);
  const Matrix first = *part->boneLinks[0];
  model.SetMatrix(gfxutil::MatrixTranslation(3, 0, 0));  // another unit, elsewhere
  model.Draw(0.0f);
  const Matrix second = *part->boneLinks[0];
  EXPECT_NEAR(second.m[3][1] - first.m[3][1], 0.0f, 1e-4f);
  EXPECT_NEAR(second.m[3][0] - first.m[3][0], 3.0f, 1e-4f);
  // The bone moved up 7 in world space on top of its recorded pose.
  EXPECT_NEAR(second.m[3][1] - model.GetRecordedMatrix(1).m[3][1], 7.0f, 1e-4f);
}

TEST_F(ModelTest, EveryEncodingGivesTheSameTree) {
  std::vector<int32_t> counts;
  std::vector<float> radii;
  for (xfile::Encoding enc : {xfile::Encoding::Text, xfile::Encoding::Binary, xfile::Encoding::TextCompressed,
                              xfile::Encoding::BinaryCompressed}) {
    WriteCharacter("data/mdl/c.mdl", enc);
    CModel model("data/mdl/c.mdl");
    ASSERT_NE(model.Hierarchy().Root(), nullptr);
    model.Draw(2.0f);
    counts.push_back(model.Hierarchy().recordCount);
    radii.push_back(model.Hierarchy().Root()->radius);
  }
  for (size_t i = 1; i < counts.size(); ++i) {
    EXPECT_EQ(counts[i], counts[0]);
    EXPECT_NEAR(radii[i], radii[0], 1e-4f);
  }
}

// The real device: the character in its bind pose and mid-animation, as PNGs to look at.
class ModelRenderTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    real_ = UseRealDevice();
  }
  bool real_ = false;
};

TEST_F(ModelRenderTest, SkinnedCharacterBindPoseAndMidAnimation) {
  if (!real_) GTEST_SKIP() << "no GL device here";
  gfx::CDevice* d = app::GetDevice();
  WriteCharacter("data/mdl/kuma/kuma.mdl");
  CModel model("data/mdl/kuma/kuma.mdl");
  ASSERT_NE(model.Hierarchy().Root(), nullptr);

  d->SetTransform(gfx::D3DTS_VIEW, gfxutil::MatrixLookAtLH({0, 0, -14}, {0, 0, 0}, {0, 1, 0}));
  d->SetTransform(gfx::D3DTS_PROJECTION, gfxutil::MatrixPerspectiveFovLH(0.785f, 4.0f / 3, 1, 100));
  gfx::Light light;
  light.Type = gfx::D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1, 1, 1, 1};
  light.Ambient = {0.3f, 0.3f, 0.3f, 1};
  light.Direction = {0.3f, -0.5f, 1};
  d->SetLight(0, light);
  d->LightEnable(0, true);
  d->SetRenderState(gfx::D3DRS_LIGHTING, 1);
  d->SetRenderState(gfx::D3DRS_AMBIENT, 0xFF404040);
  d->SetRenderState(gfx::D3DRS_ZENABLE, 1);
  d->SetRenderState(gfx::D3DRS_ZWRITEENABLE, 1);
  d->SetRenderState(gfx::D3DRS_CULLMODE, 1);

  const std::string out = std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/resource_skinned_";
  struct Shot {
    const char* name;
    std::optional<float> frame;
  } shots[] = {{"bind_pose.png", std::nullopt}, {"mid_animation.png", 2.0f}};
  std::vector<std::vector<uint32_t>> pixels;
  for (const Shot& s : shots) {
    d->Clear(gfx::D3DCLEAR_TARGET | gfx::D3DCLEAR_ZBUFFER, 0xFF202840, 1.0f, 0);
    d->BeginScene();
    model.SetMatrix(gfxutil::MatrixRotationY(0.4f));
    model.Draw(s.frame);
    d->EndScene();
    std::vector<uint32_t> argb;
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(gfx::TestHooks(d) && gfx::TestHooks(d)->ReadBackBuffer(argb, w, h));
    size_t lit = 0;
    for (uint32_t p : argb) lit += (p & 0xFFFFFF) != 0x202840;
    EXPECT_GT(lit, argb.size() / 50) << s.name << ": the model covers part of the screen";
    pixels.push_back(argb);
    EXPECT_TRUE(d->SaveScreenshot(out + s.name));
  }
  EXPECT_NE(pixels[0], pixels[1]) << "the animation moves the model";
}

}  // namespace
}  // namespace modeltest
