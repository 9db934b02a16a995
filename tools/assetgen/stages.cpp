// The stage meshes named by "#bsp" and their collision files: the home (a hedged yard before a
// house whose doorway takes the sliding door, the goal just inside it) and the forest (rolling
// ground ringed by steep hills, trees, rocks and a plateau reached by a ramp).
#include <algorithm>
#include <array>
#include <cmath>

#include "assetgen.h"
#include "bitmap.h"
#include "stage_builder.h"
#include "stage_layout.h"
#include "textures.h"

namespace assetgen {

namespace {

using gfxutil::MatrixRotationX;
using gfxutil::MatrixTranslation;

float Smooth(float e0, float e1, float x) {
  const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
  return t * t * (3 - 2 * t);
}

float SegmentDistance(float px, float pz, float ax, float az, float bx, float bz) {
  const float dx = bx - ax, dz = bz - az;
  const float t = std::clamp(((px - ax) * dx + (pz - az) * dz) / (dx * dx + dz * dz), 0.0f, 1.0f);
  const float ex = ax + t * dx - px, ez = az + t * dz - pz;
  return std::sqrt(ex * ex + ez * ez);
}

struct Textures {
  const COutput& out;
  std::string dir;
  bool ok = true;
  // The shared stage surfaces where there is one; the yard's own (flowers, hedge, mat, rock,
  // opaque foliage) otherwise.
  std::string Use(Tile tile, const char* file) {
    const std::string rel = dir + "/" + file;
    TextureKind kind = TextureKind::Grass;
    bool shared = true;
    switch (tile) {
      case Tile::Grass:
        kind = TextureKind::Grass;
        break;
      case Tile::Dirt:
        kind = TextureKind::Earth;
        break;
      case Tile::Planks:
        kind = TextureKind::Wood;
        break;
      case Tile::Bark:
        kind = TextureKind::Bark;
        break;
      case Tile::Stone:
        kind = TextureKind::Stone;
        break;
      case Tile::Plaster:
        kind = TextureKind::Wall;
        break;
      case Tile::Roof:
        kind = TextureKind::Roof;
        break;
      default:
        shared = false;
        break;
    }
    ok = ok && (shared ? WriteBmp(out, rel, MakeTextureImage(kind, 128)) : MakeTile(tile).WriteBmp(out, rel));
    return file;
  }
};

// --- home -------------------------------------------------------------------------------

float HomeHeight(float x, float z) {
  const float d = std::max(std::fabs(x), std::fabs(z));
  const float rise = Smooth(950, 2400, d);
  return rise * (180 + 120 * std::sin(x / 370.0f) * std::cos(z / 410.0f));
}

bool BuildHomeYard(const COutput& out, const std::string& dir) {
  CMeshBuilder b;
  Textures tex{out, dir};
  const int grass = b.AddMaterial(tex.Use(Tile::Grass, "grass.bmp"));
  const int path = b.AddMaterial(tex.Use(Tile::Dirt, "dirt.bmp"));
  const int flowers = b.AddMaterial(tex.Use(Tile::Flowers, "flowers.bmp"));
  const int hedge = b.AddMaterial(tex.Use(Tile::Hedge, "hedge.bmp"));
  const int planks = b.AddMaterial(tex.Use(Tile::Planks, "planks.bmp"));
  const int bark = b.AddMaterial(tex.Use(Tile::Bark, "bark.bmp"));
  const int foliage = b.AddMaterial(tex.Use(Tile::Foliage, "foliage.bmp"));
  const int rock = b.AddMaterial(tex.Use(Tile::Rock, "rock.bmp"));
  const int mat = b.AddMaterial(tex.Use(Tile::Mat, "mat.bmp"));
  const int lamp = b.AddMaterial(tex.Use(Tile::Lamplight, "lamplight.bmp"));

  b.UsePlanar(160);
  const auto lines = GridLines(-2600, 2600, -1000, 1000, 50);
  AddGround(
      b, lines, lines, HomeHeight,
      [&](float x, float z, float) {
        const float dp =
            std::min({SegmentDistance(x, z, 0, -760, 0, -250), SegmentDistance(x, z, 0, -250, 0, 60),
                      SegmentDistance(x, z, 0, 60, 110, 140)});
        if (dp < 50) return path;
        const float f1 = std::hypot(x - kHomeFlowerBedA[0], z - kHomeFlowerBedA[1]);
        const float f2 = std::hypot(x - kHomeFlowerBedB[0], z - kHomeFlowerBedB[1]);
        if (f1 < 80 || f2 < 80) return flowers;
        return grass;
      },
      101u);

  // Hedges, 90 high: more than a jump clears, less than the camera's height above the player.
  b.UseMaterial(hedge);
  b.UsePlanar(120);
  const float h = kHomeHedgeHeight * 0.5f;
  b.Box({0, h - 10, -760}, {740, h + 10, 20});
  b.Box({-720, h - 10, -250}, {20, h + 10, 490});
  b.Box({720, h - 10, -250}, {20, h + 10, 490});
  b.Box({-497.5f, h - 10, 250}, {202.5f, h + 10, 20});  // both run into the house walls: no gap
  b.Box({547.5f, h - 10, 250}, {152.5f, h + 10, 20});

  // The porch before the door: a deck one low step up, a mat and two lit lanterns that mark
  // the door as the way on. Each part reaches into the next, so no two faces share a plane.
  b.UseMaterial(planks);
  b.UsePlanar(100);
  b.Box({kHomePorch[0], 0, kHomePorch[1]}, {kHomePorch[2], kHomeFloorY, kHomePorch[3]});
  b.UseMaterial(mat);
  b.UsePlanar(110);
  b.Box({110, kHomeFloorY + 0.75f, 195}, {55, 0.75f, 28});
  const float lanternZ = kHomePorch[1] - kHomePorch[3] + 12;
  for (float x : {kHomePorch[0] - kHomePorch[2] + 12, kHomePorch[0] + kHomePorch[2] - 12}) {
    b.UseMaterial(bark);
    b.UsePlanar(60);
    b.Box({x, 59, lanternZ}, {4, 57, 4});
    b.Box({x, 116, lanternZ}, {9, 2, 9});
    b.Box({x, 141, lanternZ}, {11, 3, 11});
    b.Box({x, 145.5f, lanternZ}, {3, 2.5f, 3});
    b.UseMaterial(lamp);
    b.UseFitted();
    b.Box({x, 128, lanternZ}, {8, 11, 8});
  }
  // Stepping stones up the path's last stretch to the porch step, grey against the dirt.
  b.UseMaterial(rock);
  b.UsePlanar(50);
  {
    CPlacementRandom stones(11u);
    const float from[2] = {0, -30}, bend[2] = {0, 60}, step[2] = {96, 130};
    const float straight = bend[1] - from[1], slant = std::hypot(step[0] - bend[0], step[1] - bend[1]);
    const int count = 7;
    for (int i = 0; i < count; ++i) {
      const float along = (straight + slant) * (static_cast<float>(i) + 0.5f) / static_cast<float>(count);
      float x = from[0], z = from[1] + along;
      if (along > straight) {
        const float t = (along - straight) / slant;
        x = bend[0] + t * (step[0] - bend[0]), z = bend[1] + t * (step[1] - bend[1]);
      }
      const float side = (i % 2 ? 1.0f : -1.0f) * 6.0f;
      b.UseColor(Grey(stones.Uniform(0.95f, 1.0f)));
      b.Prism({x + side, -1, z}, 3, 15, 13, 7, stones.Uniform(0, 1.0f), stones.Uniform(0.7f, 0.85f), false,
              true);
    }
    b.UseColor(0xFFFFFFFF);
  }

  // Flower-bed borders: stones low enough to step over.
  b.UseMaterial(rock);
  b.UsePlanar(80);
  CPlacementRandom rnd(7u);
  for (const float* bed : {kHomeFlowerBedA, kHomeFlowerBedB})
    for (int i = 0; i < 14; ++i) {
      const float a = 6.2831853f * static_cast<float>(i) / 14.0f;
      AddRock(b, bed[0] + 92 * std::cos(a), 0, bed[1] + 92 * std::sin(a), 9, rnd);
    }
  for (const auto& r :
       {std::array<float, 3>{-420, -520, 40}, {500, -100, 55}, {-560, 60, 35}, {380, -620, 30}}) {
    AddRock(b, r[0], 0, r[1], r[2], rnd);
  }

  // Trees in the yard and many beyond the hedge, where the hills rise.
  b.UsePlanar(100);
  for (const auto& t :
       {std::array<float, 3>{-470, -330, 1.1f}, {480, -430, 1.0f}, {-520, 130, 0.9f}, {560, 120, 0.8f}}) {
    AddTree(b, bark, foliage, t[0], 0, t[1], t[2], false, rnd);
  }
  for (int i = 0; i < 70; ++i) {
    const float a = rnd.Uniform(0, 6.2831853f), r = rnd.Uniform(1050, 2300);
    const float x = r * std::cos(a), z = r * std::sin(a);
    AddTree(b, bark, foliage, x, HomeHeight(x, z), z, rnd.Uniform(0.9f, 1.5f), (i % 3) != 0, rnd);
  }
  return tex.ok && WritePiece(out, dir, "yard", b, xfile::Encoding::Text);
}

bool BuildHomeHouse(const COutput& out, const std::string& dir) {
  CMeshBuilder b;
  Textures tex{out, dir};
  const int plaster = b.AddMaterial(tex.Use(Tile::Plaster, "plaster.bmp"));
  const int stone = b.AddMaterial(tex.Use(Tile::Stone, "stone.bmp"));
  const int roof = b.AddMaterial(tex.Use(Tile::Roof, "roof.bmp"));
  const int floor = b.AddMaterial(tex.Use(Tile::Planks, "planks.bmp"));
  const int trim = b.AddMaterial(tex.Use(Tile::Bark, "bark.bmp"));
  const int goal = b.AddMaterial(tex.Use(Tile::Mat, "mat.bmp"));
  const int glass = b.AddMaterial(tex.Use(Tile::Glass, "glass.bmp"));
  const int lamp = b.AddMaterial(tex.Use(Tile::Lamplight, "lamplight.bmp"));

  const float x0 = kHomeHouse[0], x1 = kHomeHouse[1], z0 = kHomeHouse[2], z1 = kHomeHouse[3];
  const float t = 20, top = 240, base = -5;
  const float d0 = kHomeDoorway[0], d1 = kHomeDoorway[1], dh = kHomeDoorway[2];
  auto wall = [&](float ax, float bx, float az, float bz, float y0, float y1) {
    b.Box({(ax + bx) / 2, (y0 + y1) / 2, (az + bz) / 2}, {(bx - ax) / 2, (y1 - y0) / 2, (bz - az) / 2});
  };
  b.UseMaterial(plaster);
  b.UsePlanar(140);
  wall(x0, d0, z0, z0 + t, base, top);  // front, left of the doorway
  wall(d1, x1, z0, z0 + t, base, top);  // front, right of it
  wall(d0, d1, z0, z0 + t, dh, top);    // lintel
  wall(x0, x1, z1 - t, z1, base, top);  // back
  wall(x0, x0 + t, z0 + t, z1 - t, base, top);
  wall(x1 - t, x1, z0 + t, z1 - t, base, top);
  // Gable ends.
  const float zm = (z0 + z1) / 2, ridge = top + 120;
  for (float x : {x0, x1 - t}) {
    b.Polygon({{x, top, z0}, {x, ridge, zm}, {x, top, z1}}, {x + t, top + 10, zm});
    b.Polygon({{x + t, top, z0}, {x + t, ridge, zm}, {x + t, top, z1}}, {x, top + 10, zm});
  }
  // Stone footing, stopping short of the jambs so no faces coincide.
  b.UseMaterial(stone);
  b.UsePlanar(100);
  wall(x0 - 2, d0 - 2, z0 - 2, z0 + t + 2, base, 30);
  wall(d1 + 2, x1 + 2, z0 - 2, z0 + t + 2, base, 30);
  wall(x0 - 2, x1 + 2, z1 - t - 2, z1 + 2, base, 30);
  wall(x0 - 2, x0 + t + 2, z0 + t + 2, z1 - t - 2, base, 30);
  wall(x1 - t - 2, x1 + 2, z0 + t + 2, z1 - t - 2, base, 30);
  // Chimney.
  wall(x1 - 120, x1 - 70, zm + 40, zm + 90, top, ridge + 40);
  // Roof: two thick slabs from the eaves to the ridge.
  b.UseMaterial(roof);
  b.UsePlanar(120);
  const float run = (z1 - z0) / 2 + 40, rise = ridge - top + 20;
  const float len = std::sqrt(run * run + rise * rise), ang = std::atan2(rise, run);
  for (int side = 0; side < 2; ++side) {
    const float s = side == 0 ? 1.0f : -1.0f;
    b.SetTransform(MatrixRotationX(s * ang) *
                   MatrixTranslation((x0 + x1) / 2, (top - 20 + ridge + 6) / 2 + 4, zm - s * run / 2));
    b.Box({0, 0, 0}, {(x1 - x0) / 2 + 30, 6, len / 2 + 4});
  }
  b.ResetTransform();
  // Windows: dark panes in wooden frames on the front and sides.
  b.UseMaterial(trim);
  b.UsePlanar(60);
  for (float cx : {-170.0f, 300.0f}) {
    wall(cx - 45, cx + 45, z0 - 1.5f, z0 + 1, 95, 175);
    b.UseMaterial(glass);
    b.UsePlanar(70);
    wall(cx - 35, cx + 35, z0 - 2.5f, z0, 105, 165);
    b.UsePlanar(60);
    b.UseMaterial(trim);
  }
  // Door frame around the opening (the sliding panel runs in front of the wall).
  // It stands 1.5 into the opening so its faces never lie on the jambs'.
  wall(d0 - 10, d0 + 1.5f, z0 - 1, z0 + t + 1, base, dh + 10);
  wall(d1 - 1.5f, d1 + 10, z0 - 1, z0 + t + 1, base, dh + 10);
  wall(d0 + 1.5f, d1 - 1.5f, z0 - 1, z0 + t + 1, dh - 1.5f, dh + 10);
  // A lit fanlight over the door, so the way in shows from across the yard while it is shut.
  wall(d0 + 2, d1 - 2, z0 - 1, z0 + 1, dh + 13, dh + 37);
  b.UseMaterial(lamp);
  b.UseFitted();
  for (int i = 0; i < 4; ++i) {
    const float w = (d1 - d0 - 12) / 4;
    wall(d0 + 6 + w * i, d0 + 6 + w * (i + 1), z0 - 2, z0, dh + 16, dh + 34);
  }
  // Floor inside, level with the porch, and the goal rug.
  b.UseMaterial(floor);
  b.UsePlanar(100);
  wall(x0 + t, x1 - t, z0 + t, z1 - t, -10, kHomeFloorY);
  wall(d0, d1, z0, z0 + t, -10, kHomeFloorY);
  b.UseMaterial(goal);
  b.UsePlanar(120);
  b.Prism({kHomeGoal[0], kHomeFloorY, kHomeGoal[2]}, 1.5f, 60, 60, 12, 0, 0.6f, false, true);
  // A paper screen lit from behind stands past the rug, facing the doorway: once the door
  // slides open the opening fills with warm light. It stays clear of the way to the goal.
  const float sz = kHomeGoal[2] + 45, sx0 = d0 - 15, sx1 = d1 + 15,
              rows[5] = {10, 53.75f, 97.5f, 141.25f, 185};
  const int panels = 4;
  const float pw = (sx1 - sx0) / panels;
  b.UseMaterial(trim);
  b.UsePlanar(60);
  for (int i = 0; i <= panels; ++i) wall(sx0 + pw * i - 3, sx0 + pw * i + 3, sz - 2.5f, sz + 2.5f, 0, 190);
  wall(sx0 - 4, sx1 + 4, sz - 3, sz + 3, 0, rows[0]);
  wall(sx0 - 4, sx1 + 4, sz - 3, sz + 3, rows[4], rows[4] + 8);
  for (int r = 1; r < 4; ++r) wall(sx0, sx1, sz - 2, sz + 2, rows[r] - 1.5f, rows[r] + 1.5f);
  b.UseMaterial(lamp);
  b.UseFitted();
  for (int i = 0; i < panels; ++i)
    for (int r = 0; r < 4; ++r)
      wall(sx0 + pw * i + 2.5f, sx0 + pw * (i + 1) - 2.5f, sz - 1, sz + 1, rows[r], rows[r + 1]);
  return tex.ok && WritePiece(out, dir, "house", b, xfile::Encoding::Text);
}

// --- forest -------------------------------------------------------------------------------

float ForestHeight(float x, float z) {
  float h = 35 * std::sin(x / 300.0f) * std::cos(z / 350.0f) + 20 * std::sin((x + z) / 230.0f) + 20;
  // Flat where the plateau, its ramp and the start stand.
  const float px = std::max({kForestPlateau[0] - 250 - x, 0.0f, x - kForestPlateau[1] - 250});
  const float pz = std::max({kForestPlateau[2] - 250 - z, 0.0f, z - kForestPlateau[3] - 250});
  const float keep = std::min(Smooth(0, 200, std::hypot(px, pz)),
                              Smooth(250, 500, std::hypot(x - kForestStart[0], z - kForestStart[2])));
  h *= keep;
  const float r = std::hypot(x, z);
  if (r > 1800) h += std::min(700.0f, 220.0f * ((r - 1800) / 400) * ((r - 1800) / 400));
  return h;
}

bool BuildForestGround(const COutput& out, const std::string& dir) {
  CMeshBuilder b;
  Textures tex{out, dir};
  const int grass = b.AddMaterial(tex.Use(Tile::Grass, "grass.bmp"));
  const int dirt = b.AddMaterial(tex.Use(Tile::Dirt, "dirt.bmp"));
  const int rock = b.AddMaterial(tex.Use(Tile::Rock, "rock.bmp"));
  b.UsePlanar(200);
  const auto lines = GridLines(-2700, 2700, -2000, 2000, 100);
  AddGround(
      b, lines, lines, ForestHeight,
      [&](float x, float z, float ny) {
        if (ny < 0.8f) return rock;
        const float dp = std::min(SegmentDistance(x, z, kForestStart[0], kForestStart[2], -200, 300),
                                  SegmentDistance(x, z, -200, 300, kForestRamp[0], 425));
        if (dp < 60 || ny < 0.9f) return dirt;
        return grass;
      },
      202u);
  return tex.ok && WritePiece(out, dir, "ground", b, xfile::Encoding::Binary);
}

bool BuildForestPlateau(const COutput& out, const std::string& dir) {
  CMeshBuilder b;
  Textures tex{out, dir};
  const int grass = b.AddMaterial(tex.Use(Tile::Grass, "grass.bmp"));
  const int cliff = b.AddMaterial(tex.Use(Tile::Rock, "rock.bmp"));
  const int dirt = b.AddMaterial(tex.Use(Tile::Dirt, "dirt.bmp"));
  const float x0 = kForestPlateau[0], x1 = kForestPlateau[1], z0 = kForestPlateau[2], z1 = kForestPlateau[3];
  const float top = kForestPlateauHeight, foot = -30;
  const Vector3 mid{(x0 + x1) / 2, 0, (z0 + z1) / 2};
  b.UseMaterial(grass);
  b.UsePlanar(200);
  b.PolygonFacing({{x0, top, z0}, {x0, top, z1}, {x1, top, z1}, {x1, top, z0}}, {0, 1, 0});
  b.UseMaterial(cliff);
  b.UsePlanar(150);
  b.UseColor(Grey(0.85f));
  b.Quad({x0, foot, z0}, {x0, top, z0}, {x1, top, z0}, {x1, foot, z0}, mid);
  b.Quad({x0, foot, z1}, {x1, foot, z1}, {x1, top, z1}, {x0, top, z1}, mid);
  b.Quad({x1, foot, z0}, {x1, top, z0}, {x1, top, z1}, {x1, foot, z1}, mid);
  b.Quad({x0, foot, z0}, {x0, foot, z1}, {x0, top, z1}, {x0, top, z0}, mid);
  b.UseColor(0xFFFFFFFF);
  // The ramp up the west face: a floor (normal y about 0.96) with walls for sides.
  const float rx0 = kForestRamp[0], rx1 = x0, rz0 = kForestRamp[1], rz1 = kForestRamp[2];
  b.UseMaterial(dirt);
  b.UsePlanar(150);
  b.PolygonFacing({{rx0, 0, rz0}, {rx0, 0, rz1}, {rx1, top, rz1}, {rx1, top, rz0}}, {0, 1, 0});
  b.UseMaterial(cliff);
  b.PolygonFacing({{rx0, 0, rz0}, {rx1, top, rz0}, {rx1, foot, rz0}, {rx0, foot, rz0}}, {0, 0, -1});
  b.PolygonFacing({{rx0, 0, rz1}, {rx1, top, rz1}, {rx1, foot, rz1}, {rx0, foot, rz1}}, {0, 0, 1});
  // Boulders along the cliff foot and on top.
  CPlacementRandom rnd(33u);
  for (int i = 0; i < 12; ++i) {
    const float x = rnd.Uniform(x0 + 30, x1 - 30);
    AddRock(b, x, 0, (i % 2) ? z0 - 10 : z1 + 10, rnd.Uniform(20, 45), rnd);
  }
  AddRock(b, x1 - 150, top, z1 - 180, 70, rnd);
  return tex.ok && WritePiece(out, dir, "plateau", b, xfile::Encoding::Text);
}

bool InsideClearing(float x, float z) {
  if (x > kForestPlateau[0] - 120 && x < kForestPlateau[1] + 120 && z > kForestPlateau[2] - 120 &&
      z < kForestPlateau[3] + 120)
    return true;
  if (x > kForestRamp[0] - 150 && x < kForestPlateau[0] && z > kForestRamp[1] - 120 &&
      z < kForestRamp[2] + 120)
    return true;
  if (std::hypot(x - kForestStart[0], z - kForestStart[2]) < 300) return true;
  const float dp = std::min(SegmentDistance(x, z, kForestStart[0], kForestStart[2], -200, 300),
                            SegmentDistance(x, z, -200, 300, kForestRamp[0], 425));
  return dp < 120;
}

bool BuildForestTrees(const COutput& out, const std::string& dir) {
  CMeshBuilder trees, rocks;
  Textures tex{out, dir};
  const int bark = trees.AddMaterial(tex.Use(Tile::Bark, "bark.bmp"));
  const int foliage = trees.AddMaterial(tex.Use(Tile::Foliage, "foliage.bmp"));
  const int rock = rocks.AddMaterial(tex.Use(Tile::Rock, "rock.bmp"));
  trees.UsePlanar(100);
  rocks.UsePlanar(100);
  rocks.UseMaterial(rock);
  CPlacementRandom rnd(2024u);
  int placed = 0;
  for (int tries = 0; tries < 2000 && placed < 110; ++tries) {
    const float x = rnd.Uniform(-2300, 2300), z = rnd.Uniform(-2300, 2300);
    const float r = std::hypot(x, z);
    if (r > 2250 || InsideClearing(x, z)) continue;
    AddTree(trees, bark, foliage, x, ForestHeight(x, z), z, rnd.Uniform(0.8f, 1.4f), (placed % 3) != 1, rnd);
    ++placed;
  }
  for (int i = 0, n = 0; i < 400 && n < 36; ++i) {
    const float x = rnd.Uniform(-1750, 1750), z = rnd.Uniform(-1750, 1750);
    if (InsideClearing(x, z)) continue;
    AddRock(rocks, x, ForestHeight(x, z), z, rnd.Uniform(25, 70), rnd);
    ++n;
  }
  return tex.ok && WritePiece(out, dir, "trees", trees, xfile::Encoding::Binary) &&
         WritePiece(out, dir, "rocks", rocks, xfile::Encoding::Text);
}

}  // namespace

bool GenerateStages(const COutput& out) {
  const std::string home = "data/mdl/stage/home", forest = "data/mdl/stage/forest";
  return BuildHomeYard(out, home) && BuildHomeHouse(out, home) && BuildForestGround(out, forest) &&
         BuildForestPlateau(out, forest) && BuildForestTrees(out, forest) && GenerateStageScripts(out);
}

}  // namespace assetgen
