// The stage meshes, their collision files and the stage scripts: collision matches the drawn
// faces, the placements of the stage scenes fit the geometry, and nothing lets a body fall
// through or walk out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

#include "support/content_fixture.h"
#include "support/scratch_dir.h"

namespace contenttest {
namespace {

using gfxutil::Vector3;

std::string DecOf(const std::string& mdl) { return mdl.substr(0, mdl.size() - 3) + "dec"; }

std::vector<std::string> StageDecs(const std::string& stage) {
  std::vector<std::string> out;
  for (const std::string& p : StagePieces())
    if (p.find("/" + stage + "/") != std::string::npos) out.push_back(GameDir() + "/" + DecOf(p));
  return out;
}

const CollisionSoup& Stage(const std::string& stage) {
  static std::map<std::string, CollisionSoup> soups;
  auto it = soups.find(stage);
  if (it == soups.end()) {
    CollisionSoup s;
    EXPECT_TRUE(s.Load(StageDecs(stage)));
    it = soups.emplace(stage, std::move(s)).first;
  }
  return it->second;
}

// The floor under (x, z) found by a ray from `from` down 1200 units.
bool FloorBelow(const CollisionSoup& s, float x, float from, float z, float& y) {
  Vector3 hit;
  if (!s.Cast({x, from, z}, {x, from - 1200, z}, kCollisionFloor, hit)) return false;
  y = hit.y;
  return true;
}

TEST(ContentStages, CollisionFilesMatchTheirMeshes) {
  ASSERT_FALSE(GameDir().empty());
  for (const std::string& piece : StagePieces()) {
    SCOPED_TRACE(piece);
    std::vector<std::vector<CollisionTriangle>> groups;
    std::string error;
    ASSERT_TRUE(MeshTriangles(GameDir() + "/" + piece, groups, error)) << error;
    const std::vector<uint8_t> bytes = ReadFileBytes(GameDir() + "/" + DecOf(piece));
    CCollisionModel model;
    ASSERT_TRUE(model.Parse(bytes.data(), bytes.size()));
    ASSERT_EQ(model.GroupCount(), static_cast<int32_t>(groups.size()));
    size_t floors = 0, walls = 0;
    for (int32_t g = 0; g < model.GroupCount(); ++g) {
      const CollisionGroup& cg = model.Group(g);
      ASSERT_EQ(cg.triangleCount, static_cast<int32_t>(groups[g].size()));
      EXPECT_EQ(cg.indexCount, 3 * cg.triangleCount);
      for (int32_t t = 0; t < cg.triangleCount; ++t) {
        const CollisionTriangle& a = cg.triangles[t];
        const CollisionTriangle& b = groups[g][t];
        for (int k = 0; k < 3; ++k) {
          EXPECT_EQ(a.vertex[k].x, b.vertex[k].x);
          EXPECT_EQ(a.vertex[k].y, b.vertex[k].y);
          EXPECT_EQ(a.vertex[k].z, b.vertex[k].z);
        }
        EXPECT_NEAR(a.normal.x, b.normal.x, 1e-5f);
        EXPECT_NEAR(a.normal.y, b.normal.y, 1e-5f);
        EXPECT_NEAR(a.normal.z, b.normal.z, 1e-5f);
        ASSERT_EQ(a.kind, b.kind) << "group " << g << " triangle " << t;
        EXPECT_EQ(a.kind == kCollisionFloor, a.normal.y >= 0.8f);
        (a.kind == kCollisionFloor ? floors : walls)++;
      }
      EXPECT_LE(cg.triangleCount, kMaxGroupTriangles);
    }
    EXPECT_GT(floors + walls, 0u);
  }
}

TEST(ContentStages, HomeGoalLiesOnWalkableFloorInsideTheDoorway) {
  const CollisionSoup& home = Stage("home");
  float y = 0;
  ASSERT_TRUE(FloorBelow(home, 160, 60, 310, y));
  EXPECT_LT(y * y, 100.0f) << "the goal test counts height: the floor there must be near 0";
  // From the porch through the doorway to the goal nothing stops a body (wall probes run 8 up).
  Vector3 hit;
  for (float x : {70.0f, 110.0f, 150.0f})
    EXPECT_FALSE(Stage("home").Cast({x, 13, 150}, {x, 13, 330}, kCollisionWall, hit)) << "blocked at x " << x;
  // Beside the doorway stands wall: where the open door panel slides to.
  EXPECT_TRUE(home.Cast({-40, 60, 200}, {-40, 60, 300}, kCollisionWall, hit));
  EXPECT_NEAR(hit.z, 247.0f, 3.0f);
  // And the lintel is above the door's top.
  EXPECT_TRUE(home.Cast({110, 220, 200}, {110, 220, 300}, kCollisionWall, hit));
}

TEST(ContentStages, HomePathLeadsFromTheStartOverThePorchToTheGoal) {
  // The way the yard marks (the path, its stepping stones, the porch step, the doorway), walked
  // in short steps: a floor under every step, no rise a body's wall probes (8 above the feet)
  // would meet as a wall, and nothing standing in the way.
  const CollisionSoup& home = Stage("home");
  const float way[][2] = {{0, -250}, {0, 60}, {110, 140}, {160, 310}};
  float x = way[0][0], z = way[0][1], y = 0;
  ASSERT_TRUE(FloorBelow(home, x, 100, z, y));
  for (size_t leg = 1; leg < std::size(way); ++leg) {
    const float dx = way[leg][0] - x, dz = way[leg][1] - z;
    const int steps = static_cast<int>(std::ceil(std::hypot(dx, dz) / 10));
    const float x0 = x, z0 = z;
    for (int i = 1; i <= steps; ++i) {
      const float nx = x0 + dx * static_cast<float>(i) / steps, nz = z0 + dz * static_cast<float>(i) / steps;
      float ny = 0;
      ASSERT_TRUE(FloorBelow(home, nx, y + 32, nz, ny)) << "no floor at " << nx << ", " << nz;
      EXPECT_LT(std::fabs(ny - y), 8.0f) << "a step the body cannot take at " << nx << ", " << nz;
      Vector3 hit;
      EXPECT_FALSE(home.Cast({x, y + 8, z}, {nx, y + 8, nz}, kCollisionWall, hit))
          << "blocked between " << x << ", " << z << " and " << nx << ", " << nz;
      x = nx, z = nz, y = ny;
    }
  }
}

TEST(ContentStages, StartsStandOnOpenFloor) {
  struct Start {
    const char* stage;
    float x, z;
  } starts[] = {{"home", 0, -250}, {"forest", 0, -400}};
  for (const Start& s : starts) {
    SCOPED_TRACE(s.stage);
    const CollisionSoup& soup = Stage(s.stage);
    float y = 0;
    ASSERT_TRUE(FloorBelow(soup, s.x, 100, s.z, y));
    EXPECT_NEAR(y, 0.0f, 2.0f);
    Vector3 hit;
    for (int k = 0; k < 8; ++k) {
      const float a = 0.785398f * static_cast<float>(k);
      EXPECT_FALSE(soup.Cast({s.x, y + 8, s.z}, {s.x + 120 * std::sin(a), y + 8, s.z + 120 * std::cos(a)},
                             kCollisionWall, hit));
    }
  }
}

TEST(ContentStages, NoHolesInTheWalkableArea) {
  const CollisionSoup& home = Stage("home");
  int missing = 0;
  for (float x = -680; x <= 680; x += 40)
    for (float z = -730; z <= 540; z += 40) {
      float y = 0;
      if (!FloorBelow(home, x, 150, z, y)) ++missing;
    }
  EXPECT_EQ(missing, 0) << "points of the yard and house without a floor under them";
  const CollisionSoup& forest = Stage("forest");
  missing = 0;
  for (float x = -1700; x <= 1700; x += 85)
    for (float z = -1700; z <= 1700; z += 85) {
      if (std::hypot(x, z) > 1750) continue;
      float y = 0;
      if (!FloorBelow(forest, x, 500, z, y)) ++missing;
    }
  EXPECT_EQ(missing, 0);
}

TEST(ContentStages, HedgesAndHillsKeepBodiesIn) {
  // A jump peaks about 64 above the ground, so walls must reach 72 (probes run 8 above the feet).
  const CollisionSoup& home = Stage("home");
  Vector3 hit;
  for (int k = 0; k < 16; ++k) {
    const float a = 0.3926991f * static_cast<float>(k);
    const Vector3 from{0, 74, -250}, to{2000 * std::sin(a), 74, -250 + 2000 * std::cos(a)};
    EXPECT_TRUE(home.Cast(from, to, kCollisionWall, hit)) << "open towards angle " << a;
  }
  // Where the hedges meet the house there is no gap a body (probing 16 around it) slips through.
  for (float x : {-310.0f, 410.0f})
    EXPECT_TRUE(home.Cast({x, 13, 200}, {x, 13, 300}, kCollisionWall, hit)) << x;
  // In the forest the ground rises until it turns into wall: walk outwards along the floor,
  // probing 8 above the feet as the body's wall probes do, until a wall stops the walk.
  const CollisionSoup& forest = Stage("forest");
  for (int k = 0; k < 16; ++k) {
    const float a = 0.3926991f * static_cast<float>(k);
    bool stopped = false;
    for (float r = 1500; r < 2700 && !stopped; r += 10) {
      const float x = r * std::sin(a), z = r * std::cos(a);
      float y = 0;
      ASSERT_TRUE(FloorBelow(forest, x, 1100, z, y))
          << "no floor at radius " << r << " angle " << a << " x " << x << " z " << z;
      stopped = forest.Cast({x, y + 8, z}, {x + 20 * std::sin(a), y + 8, z + 20 * std::cos(a)},
                            kCollisionWall, hit);
    }
    EXPECT_TRUE(stopped) << "a body walks out of the forest towards angle " << a;
  }
}

TEST(ContentStages, ForestHasALevelChangeWithARampUp) {
  const CollisionSoup& forest = Stage("forest");
  float top = 0, foot = 0, ramp = 0;
  ASSERT_TRUE(FloorBelow(forest, 650, 300, 500, top));
  ASSERT_TRUE(FloorBelow(forest, 650, 50, 120, foot));
  EXPECT_GE(top - foot, 50.0f) << "the bear jumps only above 50";
  EXPECT_LT(top - foot, 64.0f) << "a jump must still clear it";
  Vector3 hit;
  EXPECT_TRUE(forest.Cast({650, foot + 8, 120}, {650, foot + 8, 300}, kCollisionWall, hit)) << "the cliff";
  const CollisionTriangle* t = nullptr;
  ASSERT_TRUE(forest.Cast({200, 300, 425}, {200, -100, 425}, kCollisionFloor, hit, &t));
  ramp = hit.y;
  EXPECT_GT(ramp, foot + 10);
  EXPECT_LT(ramp, top - 10);
  EXPECT_GE(t->normal.y, 0.8f);
}

TEST(ContentStages, ScriptsListEveryFileTheirStagesUse) {
  struct Script {
    const char* file;
    const char* stage;
    bool home;
  } scripts[] = {{"data/scr/stg00_home.txt", "home", true}, {"data/scr/stg02_forest.txt", "forest", false}};
  for (const Script& s : scripts) {
    SCOPED_TRACE(s.file);
    const std::string text = ReadFileText(GameDir() + "/" + s.file);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.substr(text.size() - 5), "#EOF\n");
    std::map<std::string, std::vector<std::string>> sections;
    std::string current;
    size_t at = 0;
    while (at < text.size()) {
      const size_t nl = text.find('\n', at);
      const std::string line = text.substr(at, nl - at);
      at = nl + 1;
      if (line == "#end") {
        current.clear();
      } else if (!line.empty() && line[0] == '#' && current.empty()) {
        current = line;
        sections[current];
      } else if (!current.empty()) {
        sections[current].push_back(line);
      }
    }
    EXPECT_EQ(sections["#type"], std::vector<std::string>{"GAME"});
    ASSERT_EQ(sections["#position"].size(), 3u);
    ASSERT_EQ(sections["#degree"].size(), 3u);
    EXPECT_EQ(sections["#degree"][1], "180");
    for (const char* sprite : {"data/image/shadow.dds", "data/image/smoke.dds", "data/image/blood.dds"})
      EXPECT_NE(std::find(sections["#sprite"].begin(), sections["#sprite"].end(), sprite),
                sections["#sprite"].end());
    EXPECT_EQ(sections["#particle"], (std::vector<std::string>{"data/par/smoke.par", "data/par/blood.par"}));
    EXPECT_EQ(sections["#bgm"].size(), 1u);
    std::vector<std::string> wanted = {"data/mdl/player/player.mdl", "data/mdl/player/head.mdl",
                                       "data/mdl/kuma/kuma.mdl"};
    for (int i = 0; i < 6; ++i) wanted.push_back("data/mdl/object/leaf/leaf0" + std::to_string(i) + ".mdl");
    if (s.home) {
      wanted.push_back("data/mdl/creature/butterfly/butterfly.mdl");
      wanted.push_back("data/mdl/object/door/door.mdl");
    }
    EXPECT_EQ(sections["#model"], wanted);
    const auto& bsp = sections["#bsp"];
    const auto& dec = sections["#collision"];
    ASSERT_EQ(bsp.size(), dec.size());
    for (size_t i = 0; i < bsp.size(); ++i) {
      EXPECT_EQ(DecOf(bsp[i]), dec[i]) << "the background piece looks its collision model up by this name";
      EXPECT_NE(bsp[i].find(std::string("/") + s.stage + "/"), std::string::npos);
    }
    for (const auto& list : {sections["#model"], bsp, dec})
      for (const std::string& file : list)
        EXPECT_TRUE(std::filesystem::exists(GameDir() + "/" + file)) << file;
  }
}

}  // namespace
}  // namespace contenttest
