// The shared test device and allocation counter that other rooms' tests rely on: what they record
// must be what was asked of them, or those tests would pass on wrong code.
#include "support/recording_device.h"

#include <gtest/gtest.h>

#include "support/allocation_counter.h"

namespace {

TEST(RecordingDevice, LogsCallsInOrderOnlyWhenAsked) {
  testdev::CRecordingDevice device;
  std::vector<std::string> journal;
  device.SetRenderState(gfx::D3DRS_LIGHTING, 0);
  device.journal = &journal;
  device.SetRenderState(gfx::D3DRS_FILLMODE, 2);
  device.SetTransform(gfx::D3DTS_WORLD, gfxutil::MatrixTranslation(1, 2, 3));
  device.SetVertexShader(0x142);
  const float tri[3][6] = {};
  device.DrawPrimitiveUP(gfx::D3DPT_TRIANGLELIST, 1, tri, 24);
  const std::vector<std::string> want = {"rs 8=2", "transform " + std::to_string(gfx::D3DTS_WORLD), "fvf 322",
                                         "draw"};
  EXPECT_EQ(journal, want);
  ASSERT_EQ(device.draws.size(), 1u);
  EXPECT_EQ(device.draws[0].type, gfx::D3DPT_TRIANGLELIST);
  EXPECT_EQ(device.draws[0].State(gfx::D3DRS_FILLMODE), 2u);
  EXPECT_EQ(device.draws[0].State(gfx::D3DRS_ZENABLE), 0u);  // never set
  EXPECT_EQ(device.draws[0].vertices.size(), 72u);
  EXPECT_EQ(device.draws[0].world, gfxutil::MatrixTranslation(1, 2, 3));
}

TEST(RecordingDevice, MakesBuffersOnlyWhenAskedAndRecordsIndexedDraws) {
  testdev::CRecordingDevice device;
  EXPECT_EQ(device.CreateVertexBuffer(4, 0x142), nullptr);
  EXPECT_EQ(device.CreateIndexBuffer(6), nullptr);
  EXPECT_EQ(device.buffersCreated, 0);
  device.createBuffers = true;
  gfx::VertexBufferPtr vb = device.CreateVertexBuffer(4, 0x142);
  gfx::IndexBufferPtr ib = device.CreateIndexBuffer(6);
  ASSERT_TRUE(vb && ib);
  EXPECT_EQ(device.buffersCreated, 2);
  EXPECT_EQ(vb->Stride(), 24u);  // position, colour, one texture pair
  EXPECT_EQ(vb->Count(), 4u);
  EXPECT_EQ(ib->Count(), 6u);
  static_cast<uint8_t*>(vb->Lock())[95] = 7;  // last byte of the last vertex is there to write
  vb->Unlock();
  EXPECT_EQ(static_cast<const uint8_t*>(vb->Data())[95], 7);
  device.SetVertexShader(0x142);
  device.SetStreamSource(vb.get());
  device.SetIndices(ib.get(), 0);
  device.SetRenderState(gfx::D3DRS_VERTEXBLEND, 2);
  device.SetTransform(gfx::D3DTS_WORLDMATRIX(1), gfxutil::MatrixTranslation(4, 5, 6));
  gfx::Material material;
  material.Diffuse.r = 0.5f;
  device.SetMaterial(material);
  gfx::TexturePtr texture = device.CreateTexture(1, 1, 1);
  device.SetTexture(0, texture.get());
  device.DrawIndexedPrimitive(gfx::D3DPT_TRIANGLELIST, 1, 3, 3, 1);
  ASSERT_EQ(device.indexedDraws.size(), 1u);
  const testdev::IndexedDrawCall& d = device.indexedDraws[0];
  EXPECT_EQ(d.minIndex, 1u);
  EXPECT_EQ(d.numVertices, 3u);
  EXPECT_EQ(d.startIndex, 3u);
  EXPECT_EQ(d.primitiveCount, 1u);
  EXPECT_EQ(d.fvf, 0x142u);
  EXPECT_EQ(d.vb, vb.get());
  EXPECT_EQ(d.vertexBlend, 2u);
  EXPECT_EQ(d.world[1], gfxutil::MatrixTranslation(4, 5, 6));
  EXPECT_EQ(d.material.Diffuse.r, 0.5f);
  EXPECT_EQ(d.texture, texture.get());
  EXPECT_EQ(device.indices, ib.get());
  EXPECT_TRUE(device.draws.empty());
}

TEST(AllocationCounter, CountsOnlyWhileOnAndStartsFromZero) {
#ifndef BRIMMEL_COUNT_ALLOCATIONS
  GTEST_SKIP() << "allocation counting needs the plain build";
#else
  testalloc::StartCounting();
  int* volatile kept = new int(1);
  testalloc::StopCounting();
  const long counted = testalloc::Counted();
  EXPECT_EQ(counted, 1);
  delete kept;
  kept = new int(2);  // not counting now
  EXPECT_EQ(testalloc::Counted(), counted);
  delete kept;
  testalloc::StartCounting();
  testalloc::StopCounting();
  EXPECT_EQ(testalloc::Counted(), 0);
#endif
}

}  // namespace
