// The plan of an indexed draw: what lies wholly beyond one side of the view is left out, in
// pieces for a large triangle list, and nothing that could show is (a margin keeps the edge
// pixels D3D's half-pixel shift reaches).
#include "platform/gfx/view_cull.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace gfx {
namespace {

constexpr uint32_t kMeshFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

// Clip space is the position itself (w = 1) under identity transforms: the view is the cube
// -1..1 in x and y, 0..1 in z.
TEST(BoxOutsideViewTest, AWholeSideDecidesWithAMarginOfTwoPixels) {
  const Matrix identity;
  auto outside = [&](float x0, float y0, float z0, float x1, float y1, float z1) {
    const float box[6] = {x0, y0, z0, x1, y1, z1};
    return BoxOutsideView(identity, box, 64, 64);  // two pixels: 4/64 of w
  };
  EXPECT_FALSE(outside(-0.5f, -0.5f, 0.2f, 0.5f, 0.5f, 0.8f));
  EXPECT_TRUE(outside(1.5f, -0.5f, 0.2f, 2.0f, 0.5f, 0.8f)) << "right";
  EXPECT_TRUE(outside(-0.5f, -3.0f, 0.2f, 0.5f, -1.2f, 0.8f)) << "below";
  EXPECT_TRUE(outside(-0.5f, -0.5f, -2.0f, 0.5f, 0.5f, -0.1f)) << "in front of the near plane";
  EXPECT_TRUE(outside(-0.5f, -0.5f, 1.1f, 0.5f, 0.5f, 2.0f)) << "beyond the far plane";
  // Just beyond the edge, but within the margin: kept.
  EXPECT_FALSE(outside(1.03f, -0.5f, 0.2f, 1.2f, 0.5f, 0.8f));
  EXPECT_TRUE(outside(1.07f, -0.5f, 0.2f, 1.2f, 0.5f, 0.8f));
  // Corners beyond different sides, the box across the view: kept.
  EXPECT_FALSE(outside(-3.0f, -0.5f, 0.2f, 3.0f, 0.5f, 0.8f));
  // The margin follows the viewport: at 640 pixels two pixels are 4/640 of w.
  const float box[6] = {1.03f, -0.5f, 0.2f, 1.2f, 0.5f, 0.8f};
  EXPECT_TRUE(BoxOutsideView(identity, box, 640, 480));
}

// Indices in pieces of kPiece, each piece's vertices all at one x (y and z inside the view).
class PiecewiseBounds final : public CIndexedBounds {
 public:
  explicit PiecewiseBounds(std::vector<float> xs) : xs_(std::move(xs)) {}
  bool Box(uint32_t first, uint32_t count, float box[6]) const override {
    ++calls;
    if (unknown) return false;
    const uint32_t p0 = first / CViewCull::kPiece, p1 = (first + count - 1) / CViewCull::kPiece;
    const auto [lo, hi] = std::minmax_element(xs_.begin() + p0, xs_.begin() + p1 + 1);
    const float b[6] = {*lo, -0.5f, 0.5f, *hi, 0.5f, 0.5f};
    std::copy(b, b + 6, box);
    return true;
  }
  bool unknown = false;
  mutable int calls = 0;

 private:
  std::vector<float> xs_;
};

class ViewCullTest : public ::testing::Test {
 protected:
  void SetUp() override { state.Reset(true, false, 64, 64); }
  std::vector<IndexRun> Plan(const PiecewiseBounds& bounds, uint32_t start, uint32_t count,
                             uint32_t fvf = kMeshFvf, bool triangleList = true, bool shortcuts = true) {
    return cull.Plan(state, fvf, triangleList, start, count, shortcuts, bounds);
  }
  static constexpr uint32_t P = CViewCull::kPiece;
  CStateCache state;
  CViewCull cull;
};

TEST_F(ViewCullTest, PiecesOutOfViewAreLeftOutAndNeighboursJoin) {
  // Pieces 0 and 1 in view, 2 and 3 beyond the right side, 4 in view, 5 (a short one) beyond.
  const PiecewiseBounds bounds({0, 0.5f, 3, 4, -0.5f, 5});
  const uint32_t count = 5 * P + 30;
  EXPECT_EQ(Plan(bounds, 0, count), (std::vector<IndexRun>{{0, 2 * P}, {4 * P, P}}));
  // Every piece beyond: nothing is drawn.
  const PiecewiseBounds gone({3, 4, 5});
  EXPECT_TRUE(Plan(gone, 0, 3 * P).empty());
  // A range that starts within the buffer is cut from its own start.
  EXPECT_EQ(Plan(bounds, P, 3 * P), (std::vector<IndexRun>{{P, P}}));
}

TEST_F(ViewCullTest, WhatCannotBeJudgedIsDrawnWhole) {
  const PiecewiseBounds bounds({0, 3, 3, 0});
  const std::vector<IndexRun> whole = {{0, 4 * P}};
  EXPECT_EQ(Plan(bounds, 0, 4 * P, kMeshFvf, true, false), whole) << "shortcuts off";
  EXPECT_EQ(Plan(bounds, 0, 4 * P, D3DFVF_XYZRHW | D3DFVF_DIFFUSE), whole) << "pretransformed";
  EXPECT_EQ(Plan(bounds, 0, 4 * P, kMeshFvf, false), whole) << "a strip is not cut into pieces";
  EXPECT_EQ(Plan(bounds, 0, 2 * P - 3), (std::vector<IndexRun>{{0, 2 * P - 3}})) << "too short to cut";
  PiecewiseBounds unknown({3, 3, 3, 3});
  unknown.unknown = true;
  EXPECT_EQ(Plan(unknown, 0, 4 * P), whole) << "no bounds";
  EXPECT_EQ(unknown.calls, 1) << "asked once, not per piece";

  // Blended positions move in the shader: the stored ones say nothing about where they show.
  const PiecewiseBounds beyond({3, 3, 3, 3});
  state.SetRender(D3DRS_VERTEXBLEND, D3DVBF_1WEIGHTS);
  EXPECT_EQ(Plan(beyond, 0, 4 * P, D3DFVF_XYZB1 | D3DFVF_NORMAL), whole);
  EXPECT_TRUE(Plan(beyond, 0, 4 * P, kMeshFvf).empty()) << "no weights stored: not blended";
}

TEST_F(ViewCullTest, TheTransformsAndTheViewportDecide) {
  const PiecewiseBounds bounds({3, 3});
  EXPECT_TRUE(Plan(bounds, 0, 2 * P).empty());
  // World, view and projection each bring it back into view.
  state.SetTransform(D3DTS_WORLD, gfxutil::MatrixTranslation(-3, 0, 0));
  EXPECT_EQ(Plan(bounds, 0, 2 * P).size(), 1u);
  state.SetTransform(D3DTS_WORLD, Matrix{});
  state.SetTransform(D3DTS_VIEW, gfxutil::MatrixTranslation(-3, 0, 0));
  EXPECT_EQ(Plan(bounds, 0, 2 * P).size(), 1u);
  state.SetTransform(D3DTS_VIEW, Matrix{});
  state.SetTransform(D3DTS_PROJECTION, gfxutil::MatrixScaling(0.25f, 1, 1));
  EXPECT_EQ(Plan(bounds, 0, 2 * P).size(), 1u);

  // The margin is two of the viewport's pixels.
  state.SetTransform(D3DTS_PROJECTION, Matrix{});
  const PiecewiseBounds edge({1.03f, 1.03f});
  EXPECT_EQ(Plan(edge, 0, 2 * P).size(), 1u);
  state.SetViewport(Viewport{0, 0, 640, 480, 0, 1});
  EXPECT_TRUE(Plan(edge, 0, 2 * P).empty());
}

}  // namespace
}  // namespace gfx
