// The opaque subsets' reordering must leave the picture as the list's own order draws it. A small
// depth-buffer model checks that: every subset leaves fragments at points inside its sphere, one
// grid cell being one pixel (x, y) at one depth (z); drawn in list order under "less or equal",
// and in the planned order with each draw's own test, every pixel must end with the same subset.
#include "world/opaque_order.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <set>
#include <tuple>
#include <vector>

namespace {

using gfxutil::Vector3;

struct Fragment {
  int x, y, z;
};
using Buffer = std::map<std::pair<int, int>, std::pair<int, uint32_t>>;  // pixel -> depth, subset

// A cell's diagonal is under the tie distance, so fragments of subsets that do not touch never
// share a cell.
constexpr float kTie = 4.0f, kCell = 2.0f;

std::vector<Fragment> FragmentsOf(const OpaqueBounds& b, std::mt19937& rng, int count) {
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  std::set<std::tuple<int, int, int>> cells;  // one fragment per cell: a subset does not lie over itself
  std::vector<Fragment> out;
  for (int tries = 0; tries < count * 4 && static_cast<int>(out.size()) < count; ++tries) {
    const Vector3 d(unit(rng), unit(rng), unit(rng));
    if (gfxutil::Vec3LengthSq(d) > 1.0f) continue;
    const Vector3 p = b.center + d * b.radius;
    const Fragment f{static_cast<int>(std::floor(p.x / kCell)), static_cast<int>(std::floor(p.y / kCell)),
                     static_cast<int>(std::floor(p.z / kCell))};
    if (cells.insert({f.x, f.y, f.z}).second) out.push_back(f);
  }
  return out;
}

void Draw(Buffer& buffer, const std::vector<Fragment>& fragments, uint32_t subset, bool lessOnly) {
  for (const Fragment& f : fragments) {
    auto [it, fresh] = buffer.try_emplace({f.x, f.y}, f.z, subset);
    if (fresh) continue;
    if (f.z < it->second.first || (!lessOnly && f.z == it->second.first)) it->second = {f.z, subset};
  }
}

// Pixels whose subset differs between the list's order and the planned one.
size_t WrongPixels(const std::vector<OpaqueBounds>& bounds, const std::vector<OpaqueDraw>& plan,
                   std::mt19937& rng, int fragmentsEach) {
  std::vector<std::vector<Fragment>> fragments;
  for (const OpaqueBounds& b : bounds) fragments.push_back(FragmentsOf(b, rng, fragmentsEach));
  Buffer listed, planned;
  for (uint32_t i = 0; i < bounds.size(); ++i) Draw(listed, fragments[i], i, false);
  for (const OpaqueDraw& d : plan) Draw(planned, fragments[d.index], d.index, d.losesTies);
  size_t wrong = 0;
  for (const auto& [pixel, entry] : listed) wrong += planned.at(pixel).second != entry.second;
  return wrong;
}

bool EachOnce(const std::vector<OpaqueDraw>& plan, size_t n) {
  std::set<uint32_t> seen;
  for (const OpaqueDraw& d : plan)
    if (d.index >= n || !seen.insert(d.index).second) return false;
  return plan.size() == n;
}

std::vector<uint32_t> Indices(const std::vector<OpaqueDraw>& plan) {
  std::vector<uint32_t> v;
  for (const OpaqueDraw& d : plan) v.push_back(d.index);
  return v;
}

// A flat yard: a ground listed first, fixtures standing on it, decals lying on it and on one
// another, listed in no order of size, with more ground and fixtures in a second piece.
std::vector<OpaqueBounds> Yard(std::mt19937& rng, int subsets) {
  std::uniform_real_distribution<float> across(-60.0f, 60.0f), size(1.0f, 14.0f);
  std::vector<OpaqueBounds> bounds;
  bounds.push_back({Vector3(0, 0, 0), 90.0f});
  for (int i = 1; i < subsets; ++i) {
    if (i == subsets / 2) {
      bounds.push_back({Vector3(across(rng), 0, across(rng)), 45.0f});  // the second piece's ground
      continue;
    }
    const float r = size(rng);
    const float lift = i % 3 == 0 ? r * 0.8f : 0.0f;  // some stand up, the rest lie flat
    bounds.push_back({Vector3(across(rng), lift, across(rng)), r});
  }
  return bounds;
}

TEST(OpaqueOrder, ReorderedDrawsGiveEveryPixelToTheListOrdersSubset) {
  std::mt19937 rng(1234);
  size_t ties = 0;
  for (int scene = 0; scene < 60; ++scene) {
    const std::vector<OpaqueBounds> bounds = Yard(rng, 4 + scene % 20);
    const std::vector<OpaqueDraw> plan = OrderOpaqueDraws(bounds, kTie);
    ASSERT_TRUE(EachOnce(plan, bounds.size())) << "scene " << scene;
    EXPECT_EQ(WrongPixels(bounds, plan, rng, 3000), 0u) << "scene " << scene;
    for (const OpaqueDraw& d : plan) ties += d.losesTies;
  }
  EXPECT_GT(ties, 0u) << "the scenes should need draws that lose ties";
}

// The model itself can tell: the same scenes drawn smallest first, every draw winning ties, leave
// pixels to the wrong subset.
TEST(OpaqueOrder, SmallestFirstWithoutTheTieRuleWouldShowTheWrongSubsets) {
  std::mt19937 rng(1234);
  size_t wrong = 0;
  for (int scene = 0; scene < 10; ++scene) {
    const std::vector<OpaqueBounds> bounds = Yard(rng, 12);
    std::vector<OpaqueDraw> naive;
    for (uint32_t i = 0; i < bounds.size(); ++i) naive.push_back({i, false});
    std::stable_sort(naive.begin(), naive.end(), [&](const OpaqueDraw& a, const OpaqueDraw& b) {
      return bounds[a.index].radius < bounds[b.index].radius;
    });
    wrong += WrongPixels(bounds, naive, rng, 3000);
  }
  EXPECT_GT(wrong, 100u);
}

TEST(OpaqueOrder, GroundListedFirstGoesLastAndLosesTies) {
  // The ground, then three fixtures on it, listed large to small, far enough apart not to touch.
  const std::vector<OpaqueBounds> bounds = {
      {Vector3(0, 0, 0), 500}, {Vector3(-200, 20, 0), 30}, {Vector3(0, 20, 0), 20}, {Vector3(200, 5, 0), 6}};
  const std::vector<OpaqueDraw> plan = OrderOpaqueDraws(bounds, kTie);
  EXPECT_EQ(Indices(plan), (std::vector<uint32_t>{3, 2, 1, 0}));
  EXPECT_FALSE(plan[0].losesTies);
  EXPECT_FALSE(plan[1].losesTies);
  EXPECT_FALSE(plan[2].losesTies);
  EXPECT_TRUE(plan[3].losesTies);
}

TEST(OpaqueOrder, AGroundListedBetweenItsFixturesCannotFollowThemAll) {
  // A stone listed before the ground and a decal after it: drawn after both, the ground would have
  // to win the ties with the one and lose those with the other. It goes before the stone, which
  // then loses its ties with the ground as it would have drawn first.
  const std::vector<OpaqueBounds> bounds = {
      {Vector3(-100, 5, 0), 10}, {Vector3(0, 0, 0), 500}, {Vector3(100, 0, 0), 5}};
  const std::vector<OpaqueDraw> plan = OrderOpaqueDraws(bounds, kTie);
  EXPECT_EQ(Indices(plan), (std::vector<uint32_t>{2, 1, 0}));
  EXPECT_FALSE(plan[0].losesTies);
  EXPECT_TRUE(plan[1].losesTies);
  EXPECT_TRUE(plan[2].losesTies);
}

TEST(OpaqueOrder, SubsetsApartGoSmallestFirstAndNothingLosesTies) {
  const std::vector<OpaqueBounds> bounds = {
      {Vector3(0, 0, 0), 30}, {Vector3(100, 0, 0), 10}, {Vector3(0, 100, 0), 20}};
  const std::vector<OpaqueDraw> plan = OrderOpaqueDraws(bounds, kTie);
  EXPECT_EQ(Indices(plan), (std::vector<uint32_t>{1, 2, 0}));
  for (const OpaqueDraw& d : plan) EXPECT_FALSE(d.losesTies);
  // Closer than the tie distance counts as touching: the larger, listed first, then goes last
  // and loses ties.
  const std::vector<OpaqueBounds> near = {{Vector3(0, 0, 0), 30}, {Vector3(30 + 10 + kTie - 0.5f, 0, 0), 10}};
  const std::vector<OpaqueDraw> nearPlan = OrderOpaqueDraws(near, kTie);
  EXPECT_EQ(Indices(nearPlan), (std::vector<uint32_t>{1, 0}));
  EXPECT_TRUE(nearPlan[1].losesTies);
  EXPECT_TRUE(OrderOpaqueDraws({}, kTie).empty());
}

TEST(OpaqueOrder, TieDistanceCoversTheDepthStepsAtTheFarEnd) {
  // 24-bit depth from the camera's near plane at 10: the step at the far end, many times over.
  for (float view : {4800.0f, 20000.0f}) {
    const float step = view * view / (10.0f * 16777216.0f);
    EXPECT_GE(DepthTieDistance(view), 16 * step) << view;
  }
}

}  // namespace
