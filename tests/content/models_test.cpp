// The generated models as the units use them: they load, carry the bones, record slots and
// key ranges the unit classes rely on, and stand on the ground when drawn the units' way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "content/model_pose.h"
#include "support/content_fixture.h"

namespace contenttest {
namespace {

using gfxutil::MatrixScaling;
using gfxutil::MatrixTranslation;

constexpr float kTicks = 160.0f;

CPosedModel LoadModel(const std::string& relative) {
  CPosedModel m;
  std::string error;
  EXPECT_TRUE(m.Load(GameDir() + "/" + relative, error)) << relative << ": " << error;
  return m;
}

float LowestY(const std::vector<PosedVertex>& vs) {
  float y = 1e30f;
  for (const auto& v : vs) y = std::min(y, v.position.y);
  return y;
}

float HighestY(const std::vector<PosedVertex>& vs) {
  float y = -1e30f;
  for (const auto& v : vs) y = std::max(y, v.position.y);
  return y;
}

float LargestMove(const std::vector<PosedVertex>& a, const std::vector<PosedVertex>& b) {
  float d = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    d = std::max(d, gfxutil::Vec3Length(a[i].position - b[i].position));
  return d;
}

std::vector<PosedVertex> PoseAt(CPosedModel& m, float frame, const Matrix& world) {
  m.SetTime(frame * kTicks);
  m.Update(world);
  return m.Vertices();
}

// The vertices a named bone moves, posed.
std::vector<PosedVertex> BoneVertices(CPosedModel& m, const std::string& bone) {
  std::vector<PosedVertex> all = m.Vertices(), out;
  for (const auto& n : m.Nodes())
    for (const auto& p : n->parts)
      for (uint32_t b = 0; b < p.bones.size(); ++b) {
        if (p.bones[b] != bone) continue;
        std::vector<uint32_t> vs;
        std::vector<float> ws;
        p.skin->GetBoneInfluence(b, vs, ws);
        for (uint32_t v : vs) out.push_back(all[v]);
      }
  return out;
}

TEST(ContentModels, EveryModelLoadsWithItsTexturesBesideIt) {
  ASSERT_FALSE(GameDir().empty()) << "the generator failed";
  for (const std::string& file : ModelFiles()) {
    SCOPED_TRACE(file);
    CPosedModel m = LoadModel(file);
    size_t parts = 0;
    for (const auto& n : m.Nodes())
      for (const auto& p : n->parts) {
        ++parts;
        ASSERT_TRUE(p.skin);
        EXPECT_GT(p.skin->GetOriginalMesh()->GetNumFaces(), 0u);
        ASSERT_FALSE(p.materials.empty());
        for (const auto& mat : p.materials) {
          ASSERT_FALSE(mat.TextureFilename.empty());
          const std::string dir = std::filesystem::path(GameDir() + "/" + file).parent_path().string();
          Bitmap bmp;
          EXPECT_TRUE(ReadBmp(dir + "/" + mat.TextureFilename, bmp)) << mat.TextureFilename;
        }
        if (p.skin->GetNumBones() > 0) {
          gfxutil::BoneCombinationTable table;
          std::unique_ptr<gfxutil::CMesh> blended;
          ASSERT_EQ(p.skin->ConvertToBlendedMesh(gfxutil::D3DXMESH_MANAGED, nullptr, nullptr, table, nullptr,
                                                 nullptr, blended),
                    0);
          EXPECT_FALSE(table.entries.empty());
        }
      }
    EXPECT_GT(parts, 0u);
  }
}

TEST(ContentModels, PlayerRecordSlotTwoIsTheNeckAboveTheBody) {
  CPosedModel player = LoadModel("data/mdl/player/player.mdl");
  const PoseNode* neck = player.Find("Neck");
  ASSERT_NE(neck, nullptr);
  for (float frame : {0.0f, 30.0f, 38.0f, 48.0f}) {
    SCOPED_TRACE(frame);
    player.SetTime(frame * kTicks);
    const auto record = player.Update(MatrixTranslation(0, 40, 0));
    ASSERT_GE(record.size(), 3u);
    EXPECT_EQ(record[2].m[3][0], neck->combined.m[3][0]);
    EXPECT_EQ(record[2].m[3][1], neck->combined.m[3][1]);
    const auto vs = player.Vertices();
    const float feet = LowestY(vs), top = HighestY(vs);
    const float neckY = record[2].m[3][1];
    EXPECT_GT(neckY - feet, 36.0f);
    EXPECT_LT(neckY - feet, 52.0f);
    EXPECT_LT(top - neckY, 20.0f) << "only the neck, hood and bedroll reach above the neck";
    EXPECT_LT(std::fabs(record[2].m[3][0]), 4.0f);
    EXPECT_LT(std::fabs(record[2].m[3][2]), 6.0f);
  }
}

TEST(ContentModels, PlayerStandsOnItsPositionWhenRaisedForty) {
  CPosedModel player = LoadModel("data/mdl/player/player.mdl");
  for (float frame : {0.0f, 10.0f, 28.0f, 33.0f, 38.0f, 48.0f, 185.0f}) {
    const auto vs = PoseAt(player, frame, MatrixTranslation(0, 40, 0));
    const float feet = LowestY(vs);
    EXPECT_GT(feet, frame >= 180 ? -2.0f : -1.5f) << "frame " << frame;
    EXPECT_LT(feet, frame >= 180 ? 12.0f : 2.5f) << "frame " << frame;
  }
}

TEST(ContentModels, HeadDrawnThirtyAboveSlotTwoSitsOnTheNeck) {
  CPosedModel player = LoadModel("data/mdl/player/player.mdl");
  CPosedModel head = LoadModel("data/mdl/player/head.mdl");
  for (float frame : {0.0f, 33.0f, 48.0f}) {
    SCOPED_TRACE(frame);
    player.SetTime(frame * kTicks);
    const auto record = player.Update(MatrixTranslation(0, 40, 0));
    const auto neck = BoneVertices(player, "Neck");
    ASSERT_FALSE(neck.empty());
    const float neckTop = HighestY(neck), neckBottom = LowestY(neck);
    head.Update(MatrixTranslation(record[2].m[3][0], record[2].m[3][1] + 30, record[2].m[3][2]));
    const auto hv = head.Vertices();
    const float chin = LowestY(hv);
    EXPECT_LT(chin, neckTop) << "a gap between neck and head";
    EXPECT_GT(chin, neckBottom + 2.0f) << "no neck shows";
    const float height = HighestY(hv) - LowestY(player.Vertices());
    EXPECT_GT(height, 60.0f);
    EXPECT_LT(height, 90.0f);
  }
}

TEST(ContentModels, PlayerKeysCoverTheMotionTablesAndLoopSeamlessly) {
  CPosedModel player = LoadModel("data/mdl/player/player.mdl");
  EXPECT_GT(player.LastKeyTicks(), 200 * kTicks) << "time modulo the last key must not wrap inside a motion";
  for (const PoseNode* a : player.Animations()) EXPECT_EQ(a->rotations.front().first, 0u);
  const Matrix world = MatrixTranslation(0, 40, 0);
  const auto stand0 = PoseAt(player, 0, world), stand20 = PoseAt(player, 19.9f, world);
  EXPECT_LT(LargestMove(stand0, stand20), 1.0f) << "standing loop";
  const auto walk20 = PoseAt(player, 20, world), walk60 = PoseAt(player, 59.9f, world);
  EXPECT_LT(LargestMove(walk20, walk60), 1.0f) << "walking loop";
  EXPECT_GT(LargestMove(stand0, PoseAt(player, 33, world)), 5.0f) << "walking moves the limbs";
  EXPECT_GT(LargestMove(stand0, PoseAt(player, 65, world)), 5.0f) << "the strike has a pose";
  EXPECT_GT(LargestMove(stand0, PoseAt(player, 190, world)), 5.0f) << "the jump has a pose";
}

TEST(ContentModels, PlayerFeetComeDownAtTheFootstepFrames) {
  CPosedModel player = LoadModel("data/mdl/player/player.mdl");
  const Matrix world = MatrixTranslation(0, 40, 0);
  auto footAt = [&](float frame, const char* shin) {
    player.SetTime(frame * kTicks);
    player.Update(world);
    return LowestY(BoneVertices(player, shin));
  };
  float ground = 1e30f;
  for (float f = 20; f < 60; f += 0.5f) ground = std::min({ground, footAt(f, "ShinL"), footAt(f, "ShinR")});
  // Right foot down at 38 and 58, left at 28 and 48; each swings clear in between.
  EXPECT_LT(footAt(38, "ShinR") - ground, 2.0f);
  EXPECT_LT(footAt(48, "ShinL") - ground, 2.0f);
  EXPECT_LT(footAt(28, "ShinL") - ground, 2.0f);
  EXPECT_GT(footAt(43, "ShinL") - ground, 3.0f);
  EXPECT_GT(footAt(53, "ShinR") - ground, 3.0f);
}

TEST(ContentModels, BearBoneTwoIsTheHeadAndTheBearStandsAtScalePointThree) {
  CPosedModel bear = LoadModel("data/mdl/kuma/kuma.mdl");
  const PoseNode* body = bear.Find("Kuma");
  ASSERT_NE(body, nullptr);
  ASSERT_EQ(body->parts.size(), 1u);
  const auto& part = body->parts[0];
  ASSERT_GT(part.bones.size(), 2u);
  const PoseNode* bone2 = part.boneFrames[2];
  EXPECT_EQ(bone2->name, "Head");
  for (const PoseNode* c : bone2->children)
    EXPECT_TRUE(c->name.empty()) << "the sprung bone must not carry other bones: " << c->name;
  const Matrix world = MatrixScaling(0.3f, 0.3f, 0.3f) * MatrixTranslation(0, 10, 0);
  for (float frame : {0.0f, 10.0f, 25.0f, 30.0f}) {
    const auto vs = PoseAt(bear, frame, world);
    EXPECT_GT(LowestY(vs), -1.5f) << frame;
    EXPECT_LT(LowestY(vs), 2.0f) << frame;
    EXPECT_GT(HighestY(vs) - LowestY(vs), 20.0f);
    EXPECT_LT(HighestY(vs) - LowestY(vs), 40.0f);
  }
  EXPECT_GT(bear.LastKeyTicks(), 40 * kTicks);
  EXPECT_LT(LargestMove(PoseAt(bear, 0, world), PoseAt(bear, 19.9f, world)), 0.5f);
  EXPECT_LT(LargestMove(PoseAt(bear, 20, world), PoseAt(bear, 39.9f, world)), 0.5f);
  EXPECT_GT(LargestMove(PoseAt(bear, 20, world), PoseAt(bear, 25, world)), 2.0f);
}

TEST(ContentModels, ButterflyFlapsOverTenFrames) {
  CPosedModel fly = LoadModel("data/mdl/creature/butterfly/butterfly.mdl");
  EXPECT_GE(fly.LastKeyTicks(), 10 * kTicks);
  const auto up = PoseAt(fly, 0, Matrix{}), down = PoseAt(fly, 5, Matrix{}),
             end = PoseAt(fly, 9.9f, Matrix{});
  EXPECT_GT(LargestMove(up, down), 8.0f);
  EXPECT_LT(LargestMove(up, end), 0.5f);
  EXPECT_LT(HighestY(up) - LowestY(down), 40.0f);
}

TEST(ContentModels, DoorPanelFillsTheDoorwayWhenDrawnAtHeightHundred) {
  CPosedModel door = LoadModel("data/mdl/object/door/door.mdl");
  door.Update(MatrixTranslation(110, 100, 240));
  float x0 = 1e30f, x1 = -1e30f, z0 = 1e30f, z1 = -1e30f;
  const auto vs = door.Vertices();
  for (const auto& v : vs) {
    x0 = std::min(x0, v.position.x), x1 = std::max(x1, v.position.x);
    z0 = std::min(z0, v.position.z), z1 = std::max(z1, v.position.z);
  }
  EXPECT_NEAR(LowestY(vs), 0.0f, 1.0f);
  EXPECT_NEAR(HighestY(vs), 200.0f, 1.0f);
  EXPECT_NEAR(x1 - x0, 150.0f, 1.0f);
  EXPECT_LT(z1, 247.0f) << "the panel runs in front of the wall";
  EXPECT_GT(z0, 230.0f);
}

TEST(ContentModels, SixDistinctSmallLeaves) {
  std::vector<std::vector<PosedVertex>> leaves;
  for (int i = 0; i < 6; ++i) {
    CPosedModel leaf = LoadModel("data/mdl/object/leaf/leaf0" + std::to_string(i) + ".mdl");
    leaf.Update(Matrix{});
    leaves.push_back(leaf.Vertices());
    float r = 0;
    for (const auto& v : leaves.back()) r = std::max(r, gfxutil::Vec3Length(v.position));
    EXPECT_GT(r, 3.0f);
    EXPECT_LT(r, 10.0f);
  }
  for (int i = 0; i < 6; ++i)
    for (int j = i + 1; j < 6; ++j) {
      const bool sameSize = leaves[i].size() == leaves[j].size();
      EXPECT_TRUE(!sameSize || LargestMove(leaves[i], leaves[j]) > 0.5f) << i << " and " << j;
    }
}

}  // namespace
}  // namespace contenttest
