#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/log.h"
#include "support/collision_fixtures.h"
#include "support/scratch_dir.h"

namespace {

using namespace testworld;

std::string OutputPath(const std::string& name) { return std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/" + name; }

// A mesh of two subsets: a floor quad and a wall quad, sharing vertices.
CollisionMeshData TwoSubsetMesh() {
  CollisionMeshData m;
  m.positions = {{-10, 0, -10}, {-10, 0, 10}, {10, 0, -10}, {10, 0, 10}, {-10, 20, 10}, {10, 20, 10}};
  m.indices = {0, 1, 2, 3, 2, 1, 1, 3, 4, 5, 4, 3};
  m.subsets = {{0, 2}, {2, 2}};
  return m;
}

std::vector<uint8_t> EncodedTwoSubsetMesh() {
  std::vector<CollisionGroupData> groups;
  std::string error;
  EXPECT_TRUE(BuildCollisionGroups(TwoSubsetMesh(), groups, error)) << error;
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(EncodeCollisionFile(groups, bytes, error)) << error;
  return bytes;
}

TEST(CollisionTriangleTest, NormalAndKind) {
  const CollisionTriangle up = MakeCollisionTriangle({0, 0, 0}, {0, 0, 1}, {1, 0, 0});
  EXPECT_EQ(up.normal, Vector4(0, 1, 0, 0));
  EXPECT_EQ(up.kind, kCollisionFloor);
  const CollisionTriangle down = MakeCollisionTriangle({0, 0, 0}, {1, 0, 0}, {0, 0, 1});
  EXPECT_EQ(down.normal, Vector4(0, -1, 0, 0));
  EXPECT_EQ(down.kind, kCollisionWall);  // ceilings are walls
  EXPECT_EQ(up.vertex[2], Vector4(1, 0, 0, 0));
}

TEST(CollisionTriangleTest, NormalYOfExactlyPointEightIsAFloor) {
  // cross = (0, 4, 3): the unit normal's y is 0.8 exactly in single precision.
  const CollisionTriangle t = MakeCollisionTriangle({0, 0, 0}, {1, 0, 0}, {0, 3, -4});
  EXPECT_EQ(t.normal.y, 0.8f);
  EXPECT_EQ(t.kind, kCollisionFloor);
  // A shade steeper is a wall.
  const CollisionTriangle steep = MakeCollisionTriangle({0, 0, 0}, {1, 0, 0}, {0, 3.001f, -4});
  EXPECT_LT(steep.normal.y, 0.8f);
  EXPECT_EQ(steep.kind, kCollisionWall);
}

TEST(CollisionTriangleTest, DegenerateTriangleIsAWallWithZeroNormal) {
  const CollisionTriangle line = MakeCollisionTriangle({0, 0, 0}, {1, 1, 1}, {2, 2, 2});
  EXPECT_EQ(line.normal, Vector4(0, 0, 0, 0));
  EXPECT_EQ(line.kind, kCollisionWall);
  const CollisionTriangle point = MakeCollisionTriangle({5, 5, 5}, {5, 5, 5}, {5, 5, 5});
  EXPECT_EQ(point.normal, Vector4(0, 0, 0, 0));
  EXPECT_EQ(point.kind, kCollisionWall);
}

TEST(CollisionBoundsTest, BoxCenterAndFarthestVertex) {
  std::vector<CollisionTriangle> t = {MakeCollisionTriangle({-1, -2, -3}, {3, 0, 0}, {0, 4, 5})};
  Vector4 c;
  float r = -1;
  ComputeGroupBounds(t.data(), t.size(), c, r);
  EXPECT_EQ(c, Vector4(1, 1, 1, 0));
  const float farthest = std::max({std::sqrt(4.f + 9 + 16), std::sqrt(4.f + 1 + 1), std::sqrt(1.f + 9 + 16)});
  EXPECT_FLOAT_EQ(r, farthest);
}

TEST(CollisionBoundsTest, NoTrianglesGiveCenterZeroRadiusZero) {
  Vector4 c(9, 9, 9, 9);
  float r = 9;
  ComputeGroupBounds(nullptr, 0, c, r);
  EXPECT_EQ(c, Vector4(0, 0, 0, 0));
  EXPECT_EQ(r, 0.0f);
}

TEST(CollisionBuildTest, OneGroupPerSubsetInFaceOrder) {
  std::vector<CollisionGroupData> groups;
  std::string error;
  CollisionMeshData m = TwoSubsetMesh();
  m.subsets.push_back({4, 0});  // an empty subset
  ASSERT_TRUE(BuildCollisionGroups(m, groups, error)) << error;
  ASSERT_EQ(groups.size(), 3u);
  ASSERT_EQ(groups[0].triangles.size(), 2u);
  EXPECT_EQ(groups[0].triangles[1].vertex[0], Vector4(10, 0, 10, 0));
  EXPECT_EQ(groups[0].triangles[0].kind, kCollisionFloor);
  EXPECT_EQ(groups[1].triangles[0].kind, kCollisionWall);
  EXPECT_EQ(groups[0].center, Vector4(0, 0, 0, 0));
  EXPECT_FLOAT_EQ(groups[0].radius, std::sqrt(200.0f));
  EXPECT_EQ(groups[1].center, Vector4(0, 10, 10, 0));
  EXPECT_EQ(groups[2].triangles.size(), 0u);
  EXPECT_EQ(groups[2].radius, 0.0f);
}

TEST(CollisionBuildTest, RejectsFacesAndIndicesOutsideTheMesh) {
  std::vector<CollisionGroupData> groups;
  std::string error;
  CollisionMeshData badIndex = TwoSubsetMesh();
  badIndex.indices[5] = 6;
  EXPECT_FALSE(BuildCollisionGroups(badIndex, groups, error));
  EXPECT_FALSE(error.empty());
  CollisionMeshData badSubset = TwoSubsetMesh();
  badSubset.subsets[1] = {3, 2};
  EXPECT_FALSE(BuildCollisionGroups(badSubset, groups, error));
  badSubset.subsets[1] = {0xFFFFFFFFu, 2};
  EXPECT_FALSE(BuildCollisionGroups(badSubset, groups, error));
}

TEST(CollisionFileTest, LayoutIsLittleEndianWithSixtyEightByteTriangles) {
  const std::vector<uint8_t> bytes = EncodedTwoSubsetMesh();
  ASSERT_EQ(bytes.size(), 4u + 2 * (8 + 2 * 68 + 20));
  EXPECT_EQ(bytes[0], 2);
  EXPECT_EQ(bytes[1] | bytes[2] | bytes[3], 0);
  EXPECT_EQ(bytes[4], 2);  // triangle count first...
  EXPECT_EQ(bytes[8], 6);  // ...then index count
  // Kind byte of the first triangle (a floor) at offset 66 of its record.
  EXPECT_EQ(bytes[12 + 66], 1);
  EXPECT_EQ(bytes[12 + 68 + 66], 1);
  // Center then radius follow the triangles.
  float cy, r;
  std::memcpy(&cy, &bytes[12 + 136 + 4], 4);
  std::memcpy(&r, &bytes[12 + 136 + 16], 4);
  EXPECT_EQ(cy, 0.0f);
  EXPECT_FLOAT_EQ(r, std::sqrt(200.0f));
}

TEST(CollisionFileTest, RoundTripThroughTheWriterAndTheLoader) {
  std::vector<CollisionGroupData> groups;
  std::string error;
  ASSERT_TRUE(BuildCollisionGroups(TwoSubsetMesh(), groups, error));
  const std::string path = OutputPath("collision_roundtrip.xdec");
  ASSERT_TRUE(WriteCollisionFile(path, groups, error)) << error;

  CCollisionModel model(path);
  ASSERT_EQ(model.GroupCount(), 2);
  for (int g = 0; g < 2; ++g) {
    const CollisionGroup& loaded = model.Group(g);
    EXPECT_EQ(loaded.triangleCount, 2);
    EXPECT_EQ(loaded.indexCount, 6);
    EXPECT_EQ(loaded.center, groups[g].center);
    EXPECT_EQ(loaded.radius, groups[g].radius);
    EXPECT_FALSE(loaded.gathered);
    ASSERT_NE(loaded.nodes, nullptr);
    EXPECT_EQ(std::memcmp(loaded.triangles.get(), groups[g].triangles.data(), 2 * sizeof(CollisionTriangle)),
              0);
  }
}

TEST(CollisionFileTest, NoGroupsGivesAModelThatNeverHits) {
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(EncodeCollisionFile({}, bytes, error));
  EXPECT_EQ(bytes.size(), 4u);
  CCollisionModel model;
  EXPECT_TRUE(model.Parse(bytes.data(), bytes.size()));
  EXPECT_EQ(model.GroupCount(), 0);
  model.Gather({0, 0, 0}, 1e9f);
  SegmentHit hit;
  EXPECT_FALSE(model.SegmentTest(kCollisionFloor, {0, 1e6f, 0}, {0, -1e6f, 0}, hit));
  EXPECT_EQ(hit.point, Vector3(0, 1e6f, 0));
}

TEST(CollisionFileTest, MissingFileIsLoggedAndEmpty) {
  const std::string logPath = OutputPath("collision_missing.log");
  ASSERT_TRUE(app::OpenLog(logPath.c_str()));
  CCollisionModel model("data/mdl/none/nothing.xdec");
  app::CloseLog();
  EXPECT_EQ(model.GroupCount(), 0);
  EXPECT_EQ(ReadFileText(logPath), "Not Found data/mdl/none/nothing.xdec");
}

// A directory opens like a file but reports an end far beyond anything readable.
TEST(CollisionFileTest, DirectoryIsLoggedAsNotFound) {
  const std::string logPath = OutputPath("collision_folder.log");
  const std::string folder = OutputPath("folder.dec");
  std::filesystem::create_directories(folder);
  ASSERT_TRUE(app::OpenLog(logPath.c_str()));
  CCollisionModel model(folder);
  app::CloseLog();
  EXPECT_EQ(model.GroupCount(), 0);
  EXPECT_EQ(ReadFileText(logPath), "Not Found " + folder);
}

// A damaged file still empties the model, and the log says what is wrong with it; bytes after
// the last group are only noted.
TEST(CollisionFileTest, DamagedFileIsLoggedWithWhatIsWrong) {
  const std::vector<uint8_t> good = EncodedTwoSubsetMesh();
  ASSERT_EQ(good.size(), 332u);
  auto setInt = [](std::vector<uint8_t>& b, size_t at, int32_t v) { std::memcpy(&b[at], &v, 4); };
  auto load = [](const std::vector<uint8_t>& bytes, int32_t* groups) {
    const std::string path = OutputPath("collision_damaged.xdec");
    {
      std::ofstream out(path, std::ios::binary);
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    const std::string logPath = OutputPath("collision_damaged.log");
    EXPECT_TRUE(app::OpenLog(logPath.c_str()));
    *groups = CCollisionModel(path).GroupCount();
    app::CloseLog();
    // The file's name is taken out so the cases read short.
    std::string log = ReadFileText(logPath);
    const size_t at = log.find(path + ": ");
    if (at != std::string::npos) log.erase(at, path.size() + 2);
    return log;
  };
  int32_t groups = -1;
  std::vector<uint8_t> b = good;
  setInt(b, 4 + 164 + 4, 7);
  EXPECT_EQ(load(b, &groups), "bad collision file group 1: index count 7 is not 3 × 2 triangles\n");
  EXPECT_EQ(groups, 0);
  b = good;
  b.pop_back();
  EXPECT_EQ(load(b, &groups),
            "bad collision file group 1: 2 triangles and the bounds need 156 bytes, 155 are left\n");
  EXPECT_EQ(groups, 0);
  b = good;
  setInt(b, 0, 3);
  EXPECT_EQ(load(b, &groups), "bad collision file group 2: the file ends before its counts\n");
  setInt(b, 0, -1);
  EXPECT_EQ(load(b, &groups), "bad collision file group count -1 is negative\n");
  setInt(b, 0, 1000);
  EXPECT_EQ(load(b, &groups), "bad collision file 1000 groups cannot fit in 332 bytes\n");
  b = good;
  b.insert(b.end(), {1, 2, 3, 4, 5});
  EXPECT_EQ(load(b, &groups), "collision file 5 bytes after the last group ignored\n");
  EXPECT_EQ(groups, 2);
}

TEST(CollisionFileTest, EveryTruncationIsRejectedTrailingBytesAreNot) {
  const std::vector<uint8_t> bytes = EncodedTwoSubsetMesh();
  CCollisionModel model;
  for (size_t n = 0; n < bytes.size(); ++n) {
    EXPECT_FALSE(model.Parse(bytes.data(), n)) << n;
    EXPECT_EQ(model.GroupCount(), 0);
  }
  std::vector<uint8_t> longer = bytes;
  longer.push_back(0);
  EXPECT_TRUE(model.Parse(longer.data(), longer.size()));
  EXPECT_EQ(model.GroupCount(), 2);
  EXPECT_TRUE(model.Parse(bytes.data(), bytes.size()));
  EXPECT_EQ(model.GroupCount(), 2);
  // A failed parse leaves nothing of an earlier good one.
  EXPECT_FALSE(model.Parse(bytes.data(), 7));
  EXPECT_EQ(model.GroupCount(), 0);
}

void SetInt(std::vector<uint8_t>& b, size_t at, int32_t v) { std::memcpy(&b[at], &v, 4); }

TEST(CollisionFileTest, InconsistentCountsAreRejected) {
  const std::vector<uint8_t> good = EncodedTwoSubsetMesh();
  CCollisionModel model;
  const struct {
    size_t at;
    int32_t value;
  } cases[] = {{0, -1}, {0, 3},         {0, INT32_MAX}, {0, INT32_MIN}, {4, -1}, {4, 3},
               {4, 1},  {4, INT32_MAX}, {8, 5},         {8, 7},         {8, -6}, {4, kMaxGroupTriangles + 1}};
  for (const auto& c : cases) {
    std::vector<uint8_t> b = good;
    SetInt(b, c.at, c.value);
    EXPECT_FALSE(model.Parse(b.data(), b.size())) << c.at << " " << c.value;
    EXPECT_EQ(model.GroupCount(), 0);
  }
}

TEST(CollisionFileTest, NonFiniteNumbersAreRejected) {
  const std::vector<uint8_t> good = EncodedTwoSubsetMesh();
  CCollisionModel model;
  const float bad[] = {NAN, INFINITY, -INFINITY};
  // A vertex coordinate, a normal component, a center and the radius.
  for (size_t at : {size_t{12 + 4}, size_t{12 + 52}, size_t{12 + 136}, size_t{12 + 136 + 16}}) {
    for (float f : bad) {
      std::vector<uint8_t> b = good;
      std::memcpy(&b[at], &f, 4);
      EXPECT_FALSE(model.Parse(b.data(), b.size())) << at;
    }
  }
  std::vector<uint8_t> b = good;
  const float negative = -1.0f;
  std::memcpy(&b[12 + 136 + 16], &negative, 4);
  EXPECT_FALSE(model.Parse(b.data(), b.size()));
}

TEST(CollisionFileTest, GroupAtTheCandidateLimitIsAcceptedOneMoreIsNot) {
  std::vector<CollisionGroupData> groups(1);
  groups[0].triangles.assign(kMaxGroupTriangles - 1, MakeCollisionTriangle({0, 0, 0}, {0, 0, 1}, {1, 0, 0}));
  groups[0].triangles.push_back(MakeCollisionTriangle({5, 3, 5}, {5, 3, 6}, {6, 3, 5}));
  Finish(groups[0]);
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(EncodeCollisionFile(groups, bytes, error)) << error;
  CCollisionModel model;
  ASSERT_TRUE(model.Parse(bytes.data(), bytes.size()));
  EXPECT_EQ(model.Group(0).triangleCount, kMaxGroupTriangles);
  // Every triangle is a candidate; the last one alone lies under this probe.
  model.Gather({5.25f, 1, 5.25f}, 5);
  SegmentHit hit;
  ASSERT_TRUE(model.SegmentTest(kCollisionFloor, {5.25f, 6, 5.25f}, {5.25f, -4, 5.25f}, hit));
  EXPECT_EQ(hit.point, Vector3(5.25f, 3, 5.25f));
  EXPECT_EQ(hit.planeDistance, -2.0f);
  ASSERT_TRUE(model.SegmentTest(kCollisionFloor, {0.25f, 6, 0.25f}, {0.25f, -4, 0.25f}, hit));
  EXPECT_EQ(hit.planeDistance, 1.0f);

  groups[0].triangles.push_back(groups[0].triangles[0]);
  EXPECT_FALSE(EncodeCollisionFile(groups, bytes, error));
  // The same group written by hand, with a length that matches its counts.
  std::vector<uint8_t> big(4 + 8 + (kMaxGroupTriangles + 1) * sizeof(CollisionTriangle) + 20, 0);
  SetInt(big, 0, 1);
  SetInt(big, 4, kMaxGroupTriangles + 1);
  SetInt(big, 8, 3 * (kMaxGroupTriangles + 1));
  EXPECT_FALSE(model.Parse(big.data(), big.size()));
}

// Deterministic damage: every single-bit flip, then random byte runs. A parse either fails and
// leaves no groups, or yields counts that account for the bytes (trailing ones aside); queries on whatever
// was accepted stay inside the model (the sanitizer build checks the reads).
TEST(CollisionFileTest, DamagedFilesAreRejectedOrConsistent) {
  const std::vector<uint8_t> good = EncodedTwoSubsetMesh();
  CCollisionModel model;
  auto check = [&](const std::vector<uint8_t>& b, const std::string& what) {
    if (!model.Parse(b.data(), b.size())) {
      EXPECT_EQ(model.GroupCount(), 0) << what;
      return 0;
    }
    size_t expected = 4;
    for (int g = 0; g < model.GroupCount(); ++g) {
      const CollisionGroup& group = model.Group(g);
      EXPECT_GE(group.triangleCount, 0);
      EXPECT_LE(group.triangleCount, kMaxGroupTriangles);
      EXPECT_EQ(group.indexCount, 3 * group.triangleCount);
      expected += 28 + 68 * static_cast<size_t>(group.triangleCount);
    }
    EXPECT_LE(expected, b.size()) << what;
    model.Gather({1, 1, 1}, 50);
    SegmentHit hit;
    model.SegmentTest(kCollisionFloor, {1, 30, 1}, {1, -30, 1}, hit);
    model.SegmentTest(kCollisionWall, {0, 5, 0}, {0, 5, 30}, hit);
    return 1;
  };
  int accepted = 0, rejected = 0;
  for (size_t bit = 0; bit < good.size() * 8; ++bit) {
    std::vector<uint8_t> b = good;
    b[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    (check(b, "bit " + std::to_string(bit)) ? accepted : rejected)++;
  }
  uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> b = good;
    const int runs = 1 + static_cast<int>(next() % 4);
    for (int k = 0; k < runs; ++k) {
      const size_t at = next() % b.size();
      const size_t len = 1 + next() % 8;
      for (size_t i = at; i < std::min(b.size(), at + len); ++i) b[i] = static_cast<uint8_t>(next());
    }
    if (next() % 4 == 0) b.resize(next() % (b.size() + 40), 0xA5);
    (check(b, "round " + std::to_string(round)) ? accepted : rejected)++;
  }
  // Flips in the count fields must have been caught; flips in coordinates pass as other geometry.
  EXPECT_GT(rejected, 100);
  EXPECT_GT(accepted, 100);
}

}  // namespace
