#include "world/triangle_list_reader.h"

#include <gtest/gtest.h>

#include <fstream>

#include "world/collision_model.h"

namespace {

using gfxutil::Vector3;
using gfxutil::Vector4;

std::string WriteText(const std::string& name, const std::string& text) {
  const std::string path = std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/" + name;
  std::ofstream(path) << text;
  return path;
}

TEST(TriangleListReaderTest, SubsetsInOrderOfFirstUseWithTheirFacesTogether) {
  const std::string path = WriteText("collision_subsets.obj",
                                     "# a comment\n"
                                     "v 0 0 0\nv 0 0 1\nv 1 0 0\nv 1 0 1\n"
                                     "usemtl grass\nf 1 2 3\n"
                                     "usemtl rock\nf 4 3 2\n"
                                     "usemtl grass\nf 1/1/1 2//2 4\n");
  CollisionMeshData mesh;
  std::string error;
  ASSERT_TRUE(ReadTriangleList(path, mesh, error)) << error;
  ASSERT_EQ(mesh.positions.size(), 4u);
  EXPECT_EQ(mesh.positions[3], Vector3(1, 0, 1));
  ASSERT_EQ(mesh.subsets.size(), 2u);
  EXPECT_EQ(mesh.subsets[0].firstFace, 0u);
  EXPECT_EQ(mesh.subsets[0].faceCount, 2u);
  EXPECT_EQ(mesh.subsets[1].firstFace, 2u);
  EXPECT_EQ(mesh.subsets[1].faceCount, 1u);
  EXPECT_EQ(mesh.indices, (std::vector<uint32_t>{0, 1, 2, 0, 1, 3, 3, 2, 1}));
}

TEST(TriangleListReaderTest, PolygonsAreFansAndNegativeIndicesCountBack) {
  const std::string path =
      WriteText("collision_fan.obj", "v 0 0 0\nv 0 0 1\nv 1 0 1\nv 1 0 0\nf -4 -3 -2 -1\n");
  CollisionMeshData mesh;
  std::string error;
  ASSERT_TRUE(ReadTriangleList(path, mesh, error)) << error;
  ASSERT_EQ(mesh.subsets.size(), 1u);
  EXPECT_EQ(mesh.indices, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
}

TEST(TriangleListReaderTest, RejectsWhatItCannotRead) {
  const char* bad[] = {
      "v 0 0\n",                    // short vertex
      "v 0 0 0\nv 1 1 1\nf 1 2\n",  // two-vertex face
      "v 0 0 0\nf 1 1 2\n",         // index past the vertices
      "v 0 0 0\nf 0 1 1\n",         // indices start at 1
      "v 0 0 0\nf 1 1 x\n",         // not a number
      "v 0 0 0\nf 1 1 -2\n",        // counts back too far
      "v 0 0 0\nf 1 1 1junk\n",     // trailing characters
      "v 1e99 0 0\n",               // out of range for a float
  };
  int n = 0;
  for (const char* text : bad) {
    CollisionMeshData mesh;
    std::string error;
    EXPECT_FALSE(
        ReadTriangleList(WriteText("collision_bad" + std::to_string(n++) + ".obj", text), mesh, error))
        << text;
    EXPECT_NE(error.find(":"), std::string::npos) << error;  // names the file and line
  }
  CollisionMeshData mesh;
  std::string error;
  EXPECT_FALSE(ReadTriangleList("/nonexistent/mesh.obj", mesh, error));
}

TEST(TriangleListReaderTest, ThroughTheWriterIntoAModel) {
  const std::string path =
      WriteText("collision_stage.obj",
                "v -10 0 -10\nv -10 0 10\nv 10 0 -10\nv 10 0 10\nv -10 20 10\nv 10 20 10\n"
                "usemtl ground\nf 1 2 3\nf 4 3 2\nusemtl wall\nf 2 4 5\nf 6 5 4\n");
  CollisionMeshData mesh;
  std::vector<CollisionGroupData> groups;
  std::string error;
  ASSERT_TRUE(ReadTriangleList(path, mesh, error)) << error;
  ASSERT_TRUE(BuildCollisionGroups(mesh, groups, error)) << error;
  const std::string out = std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/collision_stage.xdec";
  ASSERT_TRUE(WriteCollisionFile(out, groups, error)) << error;
  CCollisionModel model(out);
  ASSERT_EQ(model.GroupCount(), 2);
  EXPECT_EQ(model.Group(0).triangles[0].kind, kCollisionFloor);
  EXPECT_EQ(model.Group(1).triangles[0].kind, kCollisionWall);
  EXPECT_EQ(model.Group(1).center, Vector4(0, 10, 10, 0));
}

}  // namespace
