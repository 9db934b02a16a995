#include "resource/model_hierarchy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>

#include "resource/model.h"
#include "support/model_files.h"
#include "support/scratch_dir.h"

namespace modeltest {
namespace {

using gfxutil::Matrix;
using Objects = std::vector<std::unique_ptr<xfile::CDataObject>>;

std::vector<std::string> ChildNames(const FrameNode& f) {
  std::vector<std::string> names;
  for (const FrameNode* c = f.child.get(); c; c = c->sibling.get()) names.push_back(c->name);
  return names;
}

std::vector<float> Row(const Matrix& m) {
  std::vector<float> v;
  for (auto& r : m.m)
    for (float f : r) v.push_back(f);
  return v;
}

// A root frame "Top" with children P, Q, R in file order, each holding a triangle.
Objects ThreeChildren(CXBuilder& x) {
  Objects top;
  auto t = x.New("Frame", "Top");
  const char* names[3] = {"P", "Q", "R"};
  for (int i = 0; i < 3; ++i) {
    auto c = x.New("Frame", names[i]);
    c->AddChild(x.Translation(10.0f * (i + 1), 0, 0));
    c->AddChild(x.Triangle(std::string("m") + names[i], 0, 0, 0));
    t->AddChild(std::move(c));
  }
  top.push_back(std::move(t));
  return top;
}

TEST_F(ModelTest, LaterChildrenLinkInReverseAndDrawInThatOrder) {
  Objects objs = ThreeChildren(x);
  ASSERT_TRUE(x.Write("pqr.mdl", objs));
  CModel model("pqr.mdl");
  ModelRoot* root = model.Hierarchy().Root();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(ChildNames(root->frame), std::vector<std::string>{"Top"});
  EXPECT_EQ(ChildNames(*root->frame.child), (std::vector<std::string>{"P", "R", "Q"}));

  model.Draw(std::nullopt);
  ASSERT_EQ(model.Hierarchy().recordCount, 3);
  // Re-centred on the vertices' centre (20, 0, 0): P, R, Q sit at -10, +10, 0.
  EXPECT_NEAR(model.GetRecordedMatrix(0).m[3][0], -10.0f, 1e-4f);
  EXPECT_NEAR(model.GetRecordedMatrix(1).m[3][0], 10.0f, 1e-4f);
  EXPECT_NEAR(model.GetRecordedMatrix(2).m[3][0], 0.0f, 1e-4f);
  EXPECT_EQ(device().indexedDraws.size(), 3u);
}

TEST_F(ModelTest, BoundsAndRecentringFollowTheVertices) {
  Objects objs = ThreeChildren(x);
  ASSERT_TRUE(x.Write("pqr.mdl", objs));
  CModel model("pqr.mdl");
  const ModelRoot* root = model.Hierarchy().Root();
  ASSERT_NE(root, nullptr);
  EXPECT_NEAR(root->center.x, 20.0f, 1e-4f);
  EXPECT_NEAR(root->center.y, -1.0f / 3.0f, 1e-4f);
  // Farthest vertex: (9, -1) or (31, -1) against (20, -1/3).
  EXPECT_NEAR(root->radius, std::sqrt(11.0f * 11.0f + (2.0f / 3) * (2.0f / 3)), 1e-3f);
  EXPECT_EQ(root->frame.local, gfxutil::MatrixTranslation(-20.0f, 1.0f / 3.0f, 0));
  EXPECT_EQ(root->frame.rest, root->frame.local);
}

TEST_F(ModelTest, AllVerticesAtTheOriginGiveZeroBounds) {
  Objects top;
  auto f = x.New("Frame", "F");
  f->AddChild(x.Triangle("t", 0, 0, 0));
  // Squash it to the origin.
  f->AddChild(x.Transform(gfxutil::MatrixScaling(0, 0, 0)));
  top.push_back(std::move(f));
  ASSERT_TRUE(x.Write("zero.mdl", top));
  CModel model("zero.mdl");
  ASSERT_NE(model.Hierarchy().Root(), nullptr);
  // The vertices themselves are not at the origin, so they count; the transform puts them there.
  EXPECT_EQ(model.Hierarchy().Root()->radius, 0.0f);
  EXPECT_EQ(model.Hierarchy().Root()->center, gfxutil::Vector3());
}

TEST_F(ModelTest, MissingFileGivesAModelThatDrawsNothing) {
  CModel model("data/mdl/none.mdl");
  EXPECT_EQ(model.Hierarchy().Root(), nullptr);
  model.Draw(1.0f);
  EXPECT_EQ(model.Hierarchy().recordCount, 0);
  EXPECT_TRUE(device().indexedDraws.empty());
  EXPECT_EQ(model.GetRecordedMatrix(0), Matrix());
  EXPECT_EQ(model.GetRecordedMatrix(64), Matrix());
  EXPECT_EQ(model.GetRecordedMatrix(-1), Matrix());
}

// Frames A and B with an Animation whose children are given in order.
Objects Animated(CXBuilder& x, Objects animChildren, std::vector<std::string> refsAt,
                 std::vector<size_t> refPositions) {
  Objects top;
  auto a = x.New("Frame", "A");
  a->AddChild(x.Translation(1, 2, 3));
  a->AddChild(x.Triangle("ta", 0, 0, 0));
  top.push_back(std::move(a));
  auto b = x.New("Frame", "B");
  b->AddChild(x.Triangle("tb", 5, 0, 0));
  top.push_back(std::move(b));
  auto set = x.New("AnimationSet", "Set");
  auto anim = x.New("Animation", "Anim");
  size_t r = 0;
  for (size_t i = 0; i <= animChildren.size(); ++i) {
    while (r < refPositions.size() && refPositions[r] == i)
      anim->AddUnresolvedReference(refsAt[r++], nullptr);
    if (i < animChildren.size()) anim->AddChild(std::move(animChildren[i]));
  }
  set->AddChild(std::move(anim));
  top.push_back(std::move(set));
  return top;
}

const FrameNode* OnlyAnimation(const CModel& m) {
  const ModelRoot* root = m.Hierarchy().Root();
  if (!root || !root->animations) return nullptr;
  EXPECT_EQ(root->animations->nextAnimation, nullptr);
  return root->animations;
}

TEST_F(ModelTest, SecondFrameReferenceFailsAndTheFirstStays) {
  Objects keys;
  keys.push_back(x.Keys(2, {0, 10}, {{1, 1, 1}, {2, 2, 2}}));
  keys.push_back(x.Keys(1, {0}, {{3, 3, 3}}));
  Objects objs = Animated(x, std::move(keys), {"A", "B"}, {0, 1});
  ASSERT_TRUE(x.Write("two_refs.mdl", objs));
  CModel model("two_refs.mdl");
  const FrameNode* a = OnlyAnimation(model);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(a->animatedFrame, nullptr);
  EXPECT_EQ(a->animatedFrame->name, "A");
  EXPECT_EQ(a->positionKeys.size(), 2u);  // read before the second reference
  EXPECT_TRUE(a->scaleKeys.empty());      // after it: never read
}

TEST_F(ModelTest, KeyTypeThreeEndsTheAnimationKeepingEarlierKeys) {
  Objects keys;
  keys.push_back(x.Keys(0, {0, 10}, {{1, 0, 0, 0}, {0, 0, 1, 0}}));
  keys.push_back(x.Keys(3, {0}, {{1, 2, 3}}));
  keys.push_back(x.Keys(2, {0}, {{1, 2, 3}}));
  Objects objs = Animated(x, std::move(keys), {"A"}, {0});
  ASSERT_TRUE(x.Write("type3.mdl", objs));
  CModel model("type3.mdl");
  const FrameNode* a = OnlyAnimation(model);
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->rotationKeys.size(), 2u);
  // Stored as x, y, z, w from the file's w, x, y, z.
  EXPECT_EQ(a->rotationKeys[1].y, 1.0f);
  EXPECT_EQ(a->rotationKeys[1].w, 0.0f);
  EXPECT_EQ(a->rotationKeys[0].w, 1.0f);
  EXPECT_TRUE(a->positionKeys.empty());
}

TEST_F(ModelTest, SecondKeyBlockOfATypeEndsTheAnimation) {
  Objects keys;
  keys.push_back(x.Keys(2, {0}, {{1, 1, 1}}));
  keys.push_back(x.Keys(2, {0, 5}, {{2, 2, 2}, {3, 3, 3}}));
  keys.push_back(x.Keys(1, {0}, {{1, 1, 1}}));
  Objects objs = Animated(x, std::move(keys), {"A"}, {0});
  ASSERT_TRUE(x.Write("dup.mdl", objs));
  CModel model("dup.mdl");
  const FrameNode* a = OnlyAnimation(model);
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->positionKeys.size(), 1u);
  EXPECT_EQ(a->positionKeys[0].x, 1.0f);
  EXPECT_TRUE(a->scaleKeys.empty());
}

TEST_F(ModelTest, ReferenceToAFrameNotYetLoadedLeavesTheRecordWithoutFrame) {
  // The reader resolves the reference, but the frame comes after the animation in the file, so
  // the name search of the tree built so far misses it.
  Objects top;
  auto set = x.New("AnimationSet", "Set");
  auto anim = x.New("Animation", "Anim");
  anim->AddUnresolvedReference("Late", nullptr);
  anim->AddChild(x.Keys(2, {0, 10}, {{9, 9, 9}, {9, 9, 9}}));
  set->AddChild(std::move(anim));
  top.push_back(std::move(set));
  auto late = x.New("Frame", "Late");
  late->AddChild(x.Triangle("t", 0, 0, 0));
  top.push_back(std::move(late));
  ASSERT_TRUE(x.Write("late.mdl", top));
  CModel model("late.mdl");
  const FrameNode* a = OnlyAnimation(model);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->animatedFrame, nullptr);
  EXPECT_TRUE(a->positionKeys.empty());
  // Such a record is skipped when posing.
  model.Draw(3.0f);
  EXPECT_EQ(model.Hierarchy().recordCount, 1);
  const FrameNode* frame = ModelHierarchy::FindFrame(&model.Hierarchy().Root()->frame, "Late");
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->local, Matrix());
}

Matrix Numbered(float base) {
  Matrix m;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m.m[r][c] = base + float(r * 4 + c);
  return m;
}

TEST_F(ModelTest, MatrixKeysPickTheNearestKey) {
  Objects keys;
  keys.push_back(x.Keys(4, {0, 100}, {Row(Numbered(0)), Row(Numbered(100))}));
  Objects objs = Animated(x, std::move(keys), {"A"}, {0});
  ASSERT_TRUE(x.Write("mkeys.mdl", objs));
  CModel model("mkeys.mdl");
  const FrameNode* a = OnlyAnimation(model);
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->matrixKeys.size(), 2u);
  ModelHierarchy& h = model.Hierarchy();
  h.SetTime(50.0f);
  EXPECT_EQ(a->animatedFrame->local, Numbered(0));
  h.SetTime(50.5f);
  EXPECT_EQ(a->animatedFrame->local, Numbered(100));
  h.SetTime(150.5f);  // wraps at the last key's time
  EXPECT_EQ(a->animatedFrame->local, Numbered(100));
  h.SetTime(100.0f);
  EXPECT_EQ(a->animatedFrame->local, Numbered(0));
}

TEST_F(ModelTest, HugeTimesActAsZero) {
  Objects keys;
  keys.push_back(x.Keys(2, {0, 100, 200}, {{0, 0, 0}, {10, 0, 0}, {30, 0, 0}}));
  Objects objs = Animated(x, std::move(keys), {"A"}, {0});
  ASSERT_TRUE(x.Write("huge.mdl", objs));
  CModel model("huge.mdl");
  const FrameNode* a = OnlyAnimation(model);
  ASSERT_NE(a, nullptr);
  ModelHierarchy& h = model.Hierarchy();
  h.SetTime(150.0f);
  EXPECT_NEAR(a->animatedFrame->local.m[3][0], 20.0f, 1e-4f);
  h.SetTime(2e15f);
  EXPECT_EQ(h.Root()->time, 0.0f);
  EXPECT_EQ(a->animatedFrame->local, gfxutil::MatrixTranslation(0, 0, 0));
}

TEST_F(ModelTest, MotionFramesAreConvertedAt160Ticks) {
  Objects keys;
  keys.push_back(x.Keys(2, {0, 1000}, {{0, 0, 0}, {1000, 0, 0}}));
  Objects objs = Animated(x, std::move(keys), {"A"}, {0});
  ASSERT_TRUE(x.Write("frames.mdl", objs));
  CModel model("frames.mdl");
  model.Draw(2.5f);
  EXPECT_EQ(model.Hierarchy().Root()->time, 400.0f);
  const FrameNode* a = OnlyAnimation(model);
  EXPECT_NEAR(a->animatedFrame->local.m[3][0], 400.0f, 1e-3f);
  // Without a motion the pose stays.
  model.Draw(std::nullopt);
  EXPECT_EQ(model.Hierarchy().Root()->time, 400.0f);
  EXPECT_NEAR(a->animatedFrame->local.m[3][0], 400.0f, 1e-3f);
}

TEST_F(ModelTest, RotationWithoutPositionKeysKeepsTheRestTranslation) {
  Objects keys;
  keys.push_back(x.Keys(0, {0, 100}, {{1, 0, 0, 0}, {0.7071068f, 0, 0.7071068f, 0}}));
  Objects objs = Animated(x, std::move(keys), {"A"}, {0});
  ASSERT_TRUE(x.Write("rot.mdl", objs));
  CModel model("rot.mdl");
  const FrameNode* a = OnlyAnimation(model);
  ASSERT_NE(a, nullptr);
  model.Hierarchy().SetTime(50.0f);
  const Matrix& m = a->animatedFrame->local;
  EXPECT_NEAR(m.m[3][0], 1.0f, 1e-6f);
  EXPECT_NEAR(m.m[3][1], 2.0f, 1e-6f);
  EXPECT_NEAR(m.m[3][2], 3.0f, 1e-6f);
  EXPECT_GT(std::fabs(m.m[0][2]), 0.1f);  // rotated about y
}

// Squad computed here from the textbook formulas, in double precision.
struct Q {
  double x, y, z, w;
};
Q Mul(const Q& a, const Q& b) {  // the library's order: a then b, i.e. b (x) a
  return {b.w * a.x + b.x * a.w + b.y * a.z - b.z * a.y, b.w * a.y - b.x * a.z + b.y * a.w + b.z * a.x,
          b.w * a.z + b.x * a.y - b.y * a.x + b.z * a.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}
double Dot(const Q& a, const Q& b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }
Q Neg(const Q& a) { return {-a.x, -a.y, -a.z, -a.w}; }
Q Inv(const Q& a) {
  const double n = Dot(a, a);
  return {-a.x / n, -a.y / n, -a.z / n, a.w / n};
}
Q Ln(const Q& q) {
  const double s = (q.w >= 1 || q.w == -1) ? 1 : std::acos(q.w) / std::sqrt(1 - q.w * q.w);
  return {s * q.x, s * q.y, s * q.z, 0};
}
Q Exp(const Q& q) {
  const double t = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
  if (t == 0) return {0, 0, 0, 1};
  return {std::sin(t) * q.x / t, std::sin(t) * q.y / t, std::sin(t) * q.z / t, std::cos(t)};
}
Q Slerp(const Q& a, const Q& b, double t) {
  double k0 = 1 - t, k1 = t, d = Dot(a, b);
  if (d < 0) k1 = -t, d = -d;
  if (1 - d > 0.001) {
    const double th = std::acos(d);
    k0 = std::sin(k0 * th) / std::sin(th);
    k1 = std::sin(k1 * th) / std::sin(th);
  }
  return {k0 * a.x + k1 * b.x, k0 * a.y + k1 * b.y, k0 * a.z + k1 * b.z, k0 * a.w + k1 * b.w};
}
Q Scale(const Q& a, double s) { return {a.x * s, a.y * s, a.z * s, a.w * s}; }
Q Add(const Q& a, const Q& b) { return {a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w}; }
Q Squad(Q q0, Q q1, Q q2, Q q3, double t) {
  if (Dot(q0, q1) < 0) q0 = Neg(q0);
  if (Dot(q1, q2) < 0) q2 = Neg(q2);
  if (Dot(q2, q3) < 0) q3 = Neg(q3);
  const Q a = Mul(q1, Exp(Scale(Add(Ln(Mul(Inv(q1), q0)), Ln(Mul(Inv(q1), q2))), -0.25)));
  const Q b = Mul(q2, Exp(Scale(Add(Ln(Mul(Inv(q2), q1)), Ln(Mul(Inv(q2), q3))), -0.25)));
  return Slerp(Slerp(q1, q2, t), Slerp(a, b, t), 2 * t * (1 - t));
}
// Row-vector rotation matrix of a unit quaternion.
void RotationRows(const Q& q, double m[3][3]) {
  m[0][0] = 1 - 2 * (q.y * q.y + q.z * q.z), m[0][1] = 2 * (q.x * q.y + q.z * q.w),
  m[0][2] = 2 * (q.x * q.z - q.y * q.w);
  m[1][0] = 2 * (q.x * q.y - q.z * q.w), m[1][1] = 1 - 2 * (q.x * q.x + q.z * q.z),
  m[1][2] = 2 * (q.y * q.z + q.x * q.w);
  m[2][0] = 2 * (q.x * q.z + q.y * q.w), m[2][1] = 2 * (q.y * q.z - q.x * q.w),
  m[2][2] = 1 - 2 * (q.x * q.x + q.y * q.y);
}

Q Axis(double ax, double ay, double az, double angle) {
  const double n = std::sqrt(ax * ax + ay * ay + az * az), s = std::sin(angle / 2);
  return {ax / n * s, ay / n * s, az / n * s, std::cos(angle / 2)};
}

TEST_F(ModelTest, RotationKeysFollowSquadWithTheNegatedW) {
  const Q keys[4] = {Axis(0, 1, 0, 0.1), Axis(1, 1, 0, 0.9), Axis(0, 1, 1, 2.0), Axis(1, 0, 1, -1.2)};
  const std::vector<uint32_t> times = {0, 100, 250, 400};
  std::vector<std::vector<float>> values;
  for (const Q& q : keys) values.push_back({float(q.w), float(q.x), float(q.y), float(q.z)});
  Objects k;
  k.push_back(x.Keys(0, times, values));
  Objects objs = Animated(x, std::move(k), {"A"}, {0});
  ASSERT_TRUE(x.Write("squad.mdl", objs));
  CModel model("squad.mdl");
  const FrameNode* a = OnlyAnimation(model);
  ASSERT_NE(a, nullptr);

  struct Case {
    float t;
    int k0, k1, k2, k3;
    double f;
  } cases[] = {
      {130, 0, 1, 2, 3, 0.2}, {40, 3, 0, 1, 2, 0.4}, {330, 1, 2, 3, 0, 80.0 / 150}, {650, 1, 2, 3, 0, 0}};
  for (const Case& c : cases) {
    model.Hierarchy().SetTime(c.t);
    // Squad runs on float-rounded keys as the file holds them.
    auto fk = [&](int i) {
      return Q{float(keys[i].x), float(keys[i].y), float(keys[i].z), float(keys[i].w)};
    };
    Q q = Squad(fk(c.k0), fk(c.k1), fk(c.k2), fk(c.k3), c.f);
    q.w = -q.w;
    double m[3][3];
    RotationRows(q, m);
    const Matrix& got = a->animatedFrame->local;
    for (int r = 0; r < 3; ++r)
      for (int col = 0; col < 3; ++col) EXPECT_NEAR(got.m[r][col], m[r][col], 2e-4) << "t " << c.t;
    EXPECT_NEAR(got.m[3][0], 1.0f, 1e-6f);
  }
}

// Neighbouring keys in opposite hemispheres of the quaternion sphere: the same rotations written
// with other signs, and turns of more than half a revolution from one key to the next. The set-up
// brings the neighbours over to the side of the key the segment starts from (the last one to the
// side of the key before it), so the signs a file uses change nothing and a long turn goes the
// short way round.
TEST_F(ModelTest, RotationKeysInOppositeHemispheresFollowSquad) {
  const std::vector<uint32_t> times = {0, 100, 250, 400};
  const float at[] = {40, 75, 130, 200, 330, 385};
  int files = 0;
  // The rotation rows at each time in `at`, each checked against squad computed here.
  auto poses = [&](const std::vector<Q>& keys) {
    std::vector<std::vector<float>> values;
    for (const Q& q : keys) values.push_back({float(q.w), float(q.x), float(q.y), float(q.z)});
    Objects k;
    k.push_back(x.Keys(0, times, values));
    Objects objs = Animated(x, std::move(k), {"A"}, {0});
    const std::string file = "hemi" + std::to_string(files++) + ".mdl";
    EXPECT_TRUE(x.Write(file, objs));
    CModel model(file.c_str());
    const FrameNode* a = OnlyAnimation(model);
    std::vector<float> rows;
    if (!a) {
      ADD_FAILURE() << file;
      return rows;
    }
    auto fk = [&](size_t i) {
      return Q{float(keys[i].x), float(keys[i].y), float(keys[i].z), float(keys[i].w)};
    };
    for (float t : at) {
      model.Hierarchy().SetTime(t);
      size_t k1 = 0;
      while (times[k1 + 1] <= t) ++k1;
      const size_t k2 = k1 + 1, k0 = k1 == 0 ? 3 : k1 - 1, k3 = k2 == 3 ? 0 : k2 + 1;
      Q q = Squad(fk(k0), fk(k1), fk(k2), fk(k3), (t - times[k1]) / double(times[k2] - times[k1]));
      q.w = -q.w;
      double m[3][3];
      RotationRows(q, m);
      const Matrix& got = a->animatedFrame->local;
      for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
          EXPECT_NEAR(got.m[r][c], m[r][c], 2e-4) << file << " t " << t;
          rows.push_back(got.m[r][c]);
        }
    }
    return rows;
  };
  const std::vector<Q> keys = {Axis(0, 1, 0, 0.1), Axis(1, 1, 0, 0.9), Axis(0, 1, 1, 2.0),
                               Axis(1, 0, 1, -1.2)};
  const std::vector<float> plain = poses(keys);
  // The same rotations with other signs: first every neighbour of a segment's first key on the
  // far side of it; then signs under which the fourth key must be compared with the third as the
  // third was brought over, not as it is written.
  for (const std::vector<Q>& signed_ : {std::vector<Q>{keys[0], Neg(keys[1]), keys[2], Neg(keys[3])},
                                        std::vector<Q>{keys[0], Neg(keys[1]), Neg(keys[2]), keys[3]}}) {
    const std::vector<float> same = poses(signed_);
    ASSERT_EQ(same.size(), plain.size());
    for (size_t i = 0; i < same.size(); ++i)
      EXPECT_NEAR(same[i], plain[i], 1e-4) << "file " << files - 1 << ", " << i;
  }
  // Each key more than half a turn from the next (turns of 3.9 and 4.6 radians among them), so
  // every neighbour lies in the far hemisphere as written and the short way round is the other.
  poses({Axis(0, 1, 0, 0.4), Axis(1, 2, 0, 3.9), Axis(0, 1, 1, -2.6), Axis(1, 1, 1, 4.6)});
}

TEST_F(ModelTest, TexturePathsCutOnlyAtTheBackslash) {
  EXPECT_EQ(ModelTexturePath("data/mdl/kuma/kuma.mdl", "tex\\fur.bmp"), "data/mdl/kuma/fur.bmp");
  EXPECT_EQ(ModelTexturePath("data/mdl/kuma/kuma.mdl", "tex/fur.bmp"), "data/mdl/kuma/tex/fur.bmp");
  EXPECT_EQ(ModelTexturePath("kuma.mdl", "a\\b\\fur.bmp"), "fur.bmp");
  EXPECT_EQ(ModelTexturePath("data/mdl/kuma/kuma.mdl", "fur.bmp"), "data/mdl/kuma/fur.bmp");
}

TEST_F(ModelTest, PartMaterialsAreRecomputedFromTheDiffuse) {
  Objects top;
  auto f = x.New("Frame", "F");
  f->AddChild(x.Triangle("t", 0, 0, 0, nullptr, 0.8f));
  top.push_back(std::move(f));
  ASSERT_TRUE(x.Write("mat.mdl", top));
  CModel model("mat.mdl");
  ASSERT_NE(model.Hierarchy().Root(), nullptr);
  const MeshPart* p = model.Hierarchy().Root()->frame.child->parts.get();
  ASSERT_NE(p, nullptr);
  ASSERT_EQ(p->materialCount, 1u);
  const gfx::Material& m = p->materials[0];
  EXPECT_FLOAT_EQ(m.Ambient.r, 0.24f);
  EXPECT_FLOAT_EQ(m.Ambient.a, 0.3f);
  EXPECT_FLOAT_EQ(m.Emissive.r, 0.1f);
  EXPECT_FLOAT_EQ(m.Specular.r, 0.8f);
  EXPECT_EQ(m.Power, 1.0f);
}

TEST_F(ModelTest, BonelessMeshWithoutMaterialsGetsTheDefaultAndDrawsNothing) {
  Objects top;
  auto f = x.New("Frame", "F");
  auto mesh = x.Triangle("t", 0, 0, 0);
  // Same triangle without its material list.
  auto bare = x.New("Mesh", "bare");
  bare->MutableData() = mesh->MutableData();
  f->AddChild(std::move(bare));
  top.push_back(std::move(f));
  ASSERT_TRUE(x.Write("bare.mdl", top));
  CModel model("bare.mdl");
  ASSERT_NE(model.Hierarchy().Root(), nullptr);
  const MeshPart* p = model.Hierarchy().Root()->frame.child->parts.get();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->materialCount, 0u);
  EXPECT_EQ(p->groupCount, 0u);
  ASSERT_EQ(p->materials.size(), 1u);
  EXPECT_EQ(p->materials[0].Diffuse.r, 0.5f);
  EXPECT_EQ(p->materials[0].Diffuse.a, 0.0f);
  EXPECT_EQ(p->materials[0].Power, 1.0f);
  model.Draw(std::nullopt);
  EXPECT_TRUE(device().indexedDraws.empty());
  EXPECT_EQ(model.Hierarchy().recordCount, 1);  // the frame is still recorded
}

TEST_F(ModelTest, BoneAdjustmentsOutsideTheRecordAreIgnored) {
  CModel model("none.mdl");
  model.SetBoneAdjust(64, gfxutil::MatrixTranslation(1, 2, 3));
  model.SetBoneAdjust(-1, gfxutil::MatrixTranslation(1, 2, 3));
  for (const Matrix& m : model.Hierarchy().boneAdjust) EXPECT_EQ(m, Matrix());
  model.SetBoneAdjust(63, gfxutil::MatrixTranslation(1, 2, 3));
  EXPECT_EQ(model.Hierarchy().boneAdjust[63], gfxutil::MatrixTranslation(1, 2, 3));
}

TEST_F(ModelTest, RecordingStopsAfter64Slots) {
  Objects top;
  auto t = x.New("Frame", "Top");
  for (int i = 0; i < 70; ++i) {
    auto c = x.New("Frame", "c" + std::to_string(i));
    c->AddChild(x.Translation(float(i), 0, 0));
    c->AddChild(x.Triangle("m" + std::to_string(i), 0, 0, 0));
    t->AddChild(std::move(c));
  }
  top.push_back(std::move(t));
  ASSERT_TRUE(x.Write("many.mdl", top));
  CModel model("many.mdl");
  model.Draw(std::nullopt);
  EXPECT_EQ(model.Hierarchy().recordCount, 64);
  EXPECT_EQ(device().indexedDraws.size(), 70u);
}

// A damaged file either still reads (a cut between top-level objects leaves the leading frames)
// or fails whole: a negative result, no root even over a model loaded before, nothing drawn and
// the file named in the log.
TEST_F(ModelTest, DamagedFilesFailCleanly) {
  Objects keys;
  keys.push_back(x.Keys(2, {0, 100}, {{0, 0, 0}, {10, 0, 0}}));
  Objects objs = Animated(x, std::move(keys), {"A"}, {0});
  int failed = 0;
  for (xfile::Encoding enc : {xfile::Encoding::Text, xfile::Encoding::Binary}) {
    ASSERT_TRUE(x.Write("good.mdl", objs, enc));
    const std::string good = ReadFileText("good.mdl");
    std::mt19937 rng(7);
    for (int i = 0; i < 300; ++i) {
      std::string bad = good;
      const bool cut = i % 2 == 0;
      if (cut) {
        bad.resize(rng() % good.size());
      } else {
        for (int k = 0; k < 3; ++k) bad[rng() % bad.size()] ^= char(1 << (rng() % 8));
      }
      std::ofstream("bad.mdl", std::ios::binary) << bad;
      ModelHierarchy h;
      ASSERT_GE(h.LoadHierarchy("good.mdl"), 0);
      const int32_t hr = h.LoadHierarchy("bad.mdl");
      ASSERT_EQ(hr < 0, h.Root() == nullptr) << i;
      if (hr >= 0 && cut) {
        const std::vector<std::string> frames = ChildNames(h.Root()->frame);
        EXPECT_TRUE(frames == std::vector<std::string>{"A"} || frames == (std::vector<std::string>{"A", "B"}))
            << i;
      }
      CModel model("bad.mdl");
      ASSERT_EQ(model.Hierarchy().Root() == nullptr, hr < 0) << i;
      const size_t drawn = device().indexedDraws.size();
      model.Draw(float(i));
      if (hr < 0) {
        ++failed;
        EXPECT_EQ(device().indexedDraws.size(), drawn) << i;
        EXPECT_EQ(model.Hierarchy().recordCount, 0) << i;
      } else {
        EXPECT_LE(model.Hierarchy().recordCount, 64);
      }
    }
  }
  // Most cuts fall inside an object; each failure named the file once.
  EXPECT_GT(failed, 150);
  const std::string log = ReadFileText("profile.txt");
  int named = 0;
  for (size_t at = log.find("Not Found bad.mdl"); at != std::string::npos;
       at = log.find("Not Found bad.mdl", at + 1))
    ++named;
  EXPECT_EQ(named, failed);
}

}  // namespace
}  // namespace modeltest
