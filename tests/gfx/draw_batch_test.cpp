// Gathering small draws from memory into one: which draws may join, what a gathered vertex
// holds, and when what is gathered has to be sent first (a third texture, another format).
#include "platform/gfx/draw_batch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace gfx {
namespace {

constexpr uint32_t kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;  // 28 bytes

class FakeTexture final : public CTexture {
 public:
  uint32_t Width() const override { return 1; }
  uint32_t Height() const override { return 1; }
  uint32_t Levels() const override { return 1; }
  bool SetLevel(uint32_t, const uint32_t*) override { return true; }
};

struct ScreenVertex {
  float x, y, z, rhw;
  uint32_t diffuse;
  float u, v;
};

std::vector<ScreenVertex> Triangle(float x) {
  return {
      {x, 0, 0, 1, 0xFF0000FFu, 0, 0}, {x + 1, 0, 0, 1, 0xFF00FF00u, 1, 0}, {x, 1, 0, 1, 0xFFFF0000u, 0, 1}};
}

TEST(DrawBatchTest, SmallTriangleListsWhoseStageReadsTheTextureAreGathered) {
  CStateCache state;
  state.Reset(true, false, 64, 64);  // texture times diffuse, texture alpha
  EXPECT_TRUE(CDrawBatch::Gathers(state, kScreenFvf, true, 6));
  EXPECT_TRUE(CDrawBatch::Gathers(state, kScreenFvf, true, CDrawBatch::kGatherVertices));
  EXPECT_FALSE(CDrawBatch::Gathers(state, kScreenFvf, true, CDrawBatch::kGatherVertices + 3)) << "large";
  EXPECT_FALSE(CDrawBatch::Gathers(state, kScreenFvf, false, 6)) << "not a triangle list";
  EXPECT_FALSE(CDrawBatch::Gathers(state, D3DFVF_DIFFUSE, true, 6)) << "no position";

  // A stage that shows the diffuse colour alone would draw a textured vertex untextured.
  state.SetStage(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
  EXPECT_FALSE(CDrawBatch::Gathers(state, kScreenFvf, true, 6));
  state.SetStage(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  EXPECT_TRUE(CDrawBatch::Gathers(state, kScreenFvf, true, 6));
  // The gathering program has no general stage.
  state.SetStage(0, D3DTSS_ALPHAOP, D3DTOP_ADD);
  EXPECT_FALSE(CDrawBatch::Gathers(state, kScreenFvf, true, 6));
  state.SetStage(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
  EXPECT_TRUE(CDrawBatch::Gathers(state, kScreenFvf, true, 6));
}

TEST(DrawBatchTest, EachVertexCarriesTheSlotOfItsTexture) {
  const auto a = std::make_shared<FakeTexture>(), b = std::make_shared<FakeTexture>();
  CDrawBatch batch;
  const uint32_t stride = sizeof(ScreenVertex);
  const std::vector<ScreenVertex> t0 = Triangle(0), t1 = Triangle(2), t2 = Triangle(4), t3 = Triangle(6);
  batch.Add(t0.data(), 3, stride, kScreenFvf, a);
  ASSERT_TRUE(batch.Takes(kScreenFvf, stride, b.get()));
  batch.Add(t1.data(), 3, stride, kScreenFvf, b);
  ASSERT_TRUE(batch.Takes(kScreenFvf, stride, nullptr));
  batch.Add(t2.data(), 3, stride, kScreenFvf, nullptr);
  ASSERT_TRUE(batch.Takes(kScreenFvf, stride, a.get()));
  batch.Add(t3.data(), 3, stride, kScreenFvf, a);

  EXPECT_EQ(batch.Count(), 12u);
  EXPECT_EQ(batch.Fvf(), kScreenFvf);
  ASSERT_EQ(batch.Stride(), stride + 4);
  ASSERT_EQ(batch.Vertices().size(), 12u * (stride + 4));
  EXPECT_EQ(batch.Texture(0), a.get());
  EXPECT_EQ(batch.Texture(1), b.get());
  const float slots[4] = {1, 2, 0, 1};
  const std::vector<ScreenVertex>* triangles[4] = {&t0, &t1, &t2, &t3};
  for (uint32_t v = 0; v < 12; ++v) {
    const unsigned char* at = batch.Vertices().data() + v * batch.Stride();
    EXPECT_EQ(std::memcmp(at, &(*triangles[v / 3])[v % 3], stride), 0) << "vertex " << v;
    float slot = -1;
    std::memcpy(&slot, at + stride, sizeof slot);
    EXPECT_EQ(slot, slots[v / 3]) << "vertex " << v;
  }
}

TEST(DrawBatchTest, AThirdTextureOrAnotherFormatWaitsUntilWhatIsGatheredIsSent) {
  const auto a = std::make_shared<FakeTexture>(), b = std::make_shared<FakeTexture>(),
             c = std::make_shared<FakeTexture>();
  CDrawBatch batch;
  const uint32_t stride = sizeof(ScreenVertex);
  const std::vector<ScreenVertex> t = Triangle(0);
  EXPECT_TRUE(batch.Empty());
  EXPECT_TRUE(batch.Takes(kScreenFvf, stride, c.get())) << "an empty batch takes anything";
  batch.Add(t.data(), 3, stride, kScreenFvf, a);
  EXPECT_TRUE(batch.Takes(kScreenFvf, stride, c.get())) << "the second slot is free";
  batch.Add(t.data(), 3, stride, kScreenFvf, b);
  EXPECT_FALSE(batch.Takes(kScreenFvf, stride, c.get()));
  EXPECT_TRUE(batch.Takes(kScreenFvf, stride, b.get()));
  EXPECT_FALSE(batch.Takes(kScreenFvf | D3DFVF_SPECULAR, stride + 4, nullptr)) << "another format";
  EXPECT_FALSE(batch.Takes(kScreenFvf, stride + 4, nullptr)) << "another stride";

  batch.Clear();
  EXPECT_TRUE(batch.Empty());
  EXPECT_EQ(batch.Texture(0), nullptr) << "the textures are let go";
  EXPECT_TRUE(batch.Vertices().empty());
  batch.Add(t.data(), 3, stride, kScreenFvf, c);
  EXPECT_EQ(batch.Texture(0), c.get());

  // Full at the batch's length, whatever the textures.
  batch.Clear();
  std::vector<ScreenVertex> many;
  while (many.size() < CDrawBatch::kBatchVertices) {
    const auto tri = Triangle(0);
    many.insert(many.end(), tri.begin(), tri.end());
  }
  batch.Add(many.data(), CDrawBatch::kBatchVertices - 3, stride, kScreenFvf, nullptr);
  EXPECT_FALSE(batch.Full());
  batch.Add(many.data(), 3, stride, kScreenFvf, nullptr);
  EXPECT_TRUE(batch.Full());
}

}  // namespace
}  // namespace gfx
