// The animated and static models units draw: the player's body and head, the bear, the
// butterfly, the sliding door and six leaves. All are coloured from a palette atlas written
// beside them; key times are motion frames x 160.
#include "models.h"

#include <cmath>
#include <cstdio>
#include <map>

#include "assetgen.h"
#include "bitmap.h"
#include "mesh_builder.h"
#include "skeleton.h"

namespace assetgen {

namespace {

using gfxutil::MatrixRotationX;
using gfxutil::MatrixRotationY;
using gfxutil::MatrixRotationZ;
using gfxutil::MatrixTranslation;

constexpr float kPi = 3.14159265f;

using MeshMap = std::map<int, std::vector<std::unique_ptr<xfile::CDataObject>>>;

// Key frames: `step` apart over [from, to), plus one just before `to` holding the pose the
// range loops back to, so the next range's first key does not bleed into this one.
void AddRange(std::vector<float>& frames, float from, float to, float step) {
  for (float f = from; f < to - 0.01f; f += step) frames.push_back(f);
  frames.push_back(to - 0.01f);
}

bool WritePalette(const COutput& out, const std::string& relative) {
  static const CBitmap atlas = MakePaletteAtlas();
  return atlas.WriteBmp(out, relative);
}

// --- the player's head ------------------------------------------------------------------

void BuildHead(CMeshBuilder& b) {
  b.AddMaterial("player.bmp");
  b.UseSwatch(kSkin);
  b.Ellipsoid({0, 0, 0}, {13, 12.5f, 12.5f}, 5, 8);
  b.Ellipsoid({0, -3.5f, -12.2f}, {1.8f, 1.5f, 1.6f}, 3, 6);  // nose
  b.UseSwatch(kEye);
  b.Box({4.6f, -2.4f, -11.4f}, {1.3f, 2.1f, 0.9f});
  b.Box({-4.6f, -2.4f, -11.4f}, {1.3f, 2.1f, 0.9f});
  b.UseSwatch(kCheek);
  b.Box({7.6f, -6.2f, -8.6f}, {1.8f, 1.1f, 0.9f});
  b.Box({-7.6f, -6.2f, -8.6f}, {1.8f, 1.1f, 0.9f});
  b.UseSwatch(kHair);
  b.Box({12.0f, -2.0f, 2.0f}, {1.6f, 4.0f, 5.5f});
  b.Box({-12.0f, -2.0f, 2.0f}, {1.6f, 4.0f, 5.5f});
  b.Box({0, -3.0f, 11.0f}, {8.0f, 5.0f, 1.8f});
  // A knitted cap with a rolled brim and a big, finely rounded bobble: the bobble carries
  // most of the vertices, which lifts the model's centre well above the face.
  b.UseSwatch(kHat);
  b.Ellipsoid({0, 0.8f, 0.3f}, {14.0f, 14.0f, 13.8f}, 8, 10, 4);
  b.UseSwatch(kHatBand);
  b.Prism({0, -0.6f, 0.3f}, 4.2f, 14.6f, 14.4f, 16, 0, 1, false, false);
  b.UseSwatch(kScarf);
  b.Ellipsoid({0, 19.0f, 1.0f}, {6.2f, 6.0f, 6.2f}, 14, 24);
}

// --- the player ------------------------------------------------------------------------

enum PlayerBone {
  kHips,
  kNeck,
  kChest,
  kArmL,
  kArmR,
  kForearmL,
  kForearmR,
  kThighL,
  kShinL,
  kThighR,
  kShinR,
  kFootL,
  kFootR
};

void BuildPlayerSkeleton(CSkeleton& s) {
  s.AddBone("Hips", -1, {0, 21, 0}, true);
  s.AddBone("Neck", kChest, {0, 44, 0});  // recorded matrix 2: the head sits 30 above it
  s.AddBone("Chest", kHips, {0, 25, 0});
  s.AddBone("ArmL", kChest, {13, 41, 0});
  s.AddBone("ArmR", kChest, {-13, 41, 0});
  s.AddBone("ForearmL", kArmL, {14, 31, 0});
  s.AddBone("ForearmR", kArmR, {-14, 31, 0});
  s.AddBone("ThighL", kHips, {6, 20, 0});
  s.AddBone("ShinL", kThighL, {6, 11, 0});
  s.AddBone("ThighR", kHips, {-6, 20, 0});
  s.AddBone("ShinR", kThighR, {-6, 11, 0});
  s.AddBone("FootL", kShinL, {6, 3.5f, 0});
  s.AddBone("FootR", kShinR, {-6, 3.5f, 0});
}

// `neckTop` is where the neck must reach to meet the head drawn 30 above the neck joint. The
// upper body (shoulders, scarf, the hood lying on the back, the bedroll) is modelled finer than
// the legs: the loader centres the body on its vertex mean, drawn 40 above the feet.
void BuildPlayerBody(CMeshBuilder& b, float neckTop) {
  b.AddMaterial("player.bmp");
  for (int side = 0; side < 2; ++side) {
    const float x = side == 0 ? 6.0f : -6.0f;
    b.UseBone(side == 0 ? kFootL : kFootR);
    b.UseSwatch(kBoots);
    b.Box({x, 2.2f, -1.8f}, {3.6f, 2.2f, 5.6f});
    b.UseBone(side == 0 ? kShinL : kShinR);
    b.UseSwatch(kPants);
    b.Prism({x, 4.4f, 0}, 7.0f, 3.3f, 3.5f, 5, 0.3f, 1, false, false);
    b.UseBone(side == 0 ? kThighL : kThighR);
    b.Prism({x, 11.0f, 0}, 10.0f, 3.6f, 4.2f, 5, 0.3f, 1, false, false);
  }
  b.UseBone(kHips);
  b.UseSwatch(kPants);
  b.Box({0, 22.0f, 0}, {8.6f, 3.8f, 5.6f});
  b.UseBone(kChest);
  b.UseSwatch(kShirt);
  b.Prism({0, 21.5f, 0}, 11.0f, 9.6f, 10.4f, 12, 0, 0.68f, true, false);
  b.Prism({0, 32.5f, 0}, 10.0f, 10.4f, 11.2f, 12, 0, 0.68f, false, true);
  b.UseSwatch(kPack);
  b.Box({0, 33.0f, 9.2f}, {7.2f, 7.6f, 3.4f});
  b.Box({0, 30.0f, 12.8f}, {5.0f, 3.2f, 0.9f});
  b.UseSwatch(kBedroll);
  b.SetTransform(MatrixRotationZ(kPi / 2) * MatrixTranslation(10.0f, 44.5f, 10.0f));
  b.Prism({0, 0, 0}, 20.0f, 3.8f, 3.8f, 16);
  b.ResetTransform();
  b.UseSwatch(kScarf);
  b.Torus({0, 43.5f, 0.4f}, 7.2f, 2.6f, 16, 8, 0.85f);
  b.Box({3.5f, 37.0f, 7.6f}, {1.9f, 5.2f, 0.8f});
  b.UseSwatch(kHat);
  b.Ellipsoid({0, 50.0f, 7.0f}, {9.0f, 7.5f, 4.5f}, 8, 14);  // the hood, down on the back
  b.UseBone(kNeck);
  b.UseSwatch(kSkin);
  b.Prism({0, 42.5f, 0}, neckTop - 42.5f, 3.7f, 3.7f, 8, 0, 1, false, true);
  for (int side = 0; side < 2; ++side) {
    const float s = side == 0 ? 1.0f : -1.0f;
    b.UseBone(side == 0 ? kArmL : kArmR);
    b.UseSwatch(kShirt);
    b.Ellipsoid({13.2f * s, 40.0f, 0}, {4.4f, 4.2f, 4.2f}, 6, 12);
    b.Prism({14.0f * s, 30.5f, 0}, 10.0f, 3.0f, 3.6f, 6, 0, 1, false, false);
    b.UseBone(side == 0 ? kForearmL : kForearmR);
    b.UseSwatch(kSkin);
    b.Prism({14.2f * s, 22.5f, 0}, 8.5f, 2.5f, 2.8f, 5, 0, 1, false, false);
    b.Box({14.3f * s, 20.5f, -0.3f}, {2.8f, 3.2f, 2.8f});
  }
}

// Poses by motion frame: standing 0-20, walking 20-60 (two strides: the feet come down at 28,
// 38, 48 and 58), a punch 60-70, a kick 70-80, standing again, a jump 180-200.
void PosePlayer(float f, std::vector<BonePose>& p) {
  auto idle = [&](float t) {
    const float a = 2 * kPi * t / 20.0f;
    p[kHips].shift = {0, -0.4f * (1 - std::cos(a)), 0};
    p[kChest].angles = {-0.03f * std::sin(a), 0, 0};
    p[kArmL].angles = {0, 0, 0.10f + 0.03f * std::sin(a)};
    p[kArmR].angles = {0, 0, -0.10f - 0.03f * std::sin(a)};
    p[kForearmL].angles = {0.15f, 0, 0};
    p[kForearmR].angles = {0.15f, 0, 0};
  };
  if (f < 20) return idle(f);
  if (f < 60) {
    // Legs swing 0.45 either way; the hips drop by what a slanted leg loses in height, so the
    // planted foot stays on the ground, and the feet are kept level.
    const float l = 2 * kPi * (f - 28) / 20.0f, r = 2 * kPi * (f - 38) / 20.0f;
    const float thighL = 0.45f * std::cos(l), thighR = 0.45f * std::cos(r);
    const float shinL = -1.3f * std::max(0.0f, std::sin(l - kPi)),
                shinR = -1.3f * std::max(0.0f, std::sin(r - kPi));
    p[kThighL].angles = {thighL, 0, 0};
    p[kThighR].angles = {thighR, 0, 0};
    p[kShinL].angles = {shinL, 0, 0};
    p[kShinR].angles = {shinR, 0, 0};
    p[kFootL].angles = {-(thighL + shinL), 0, 0};
    p[kFootR].angles = {-(thighR + shinR), 0, 0};
    const float planted = std::cos(kPi * (f - 28) / 10.0f);
    p[kHips].shift = {0, -2.0f * planted * planted, 0};
    p[kChest].angles = {-0.08f, -0.18f * std::cos(l), 0};
    p[kArmL].angles = {-0.6f * std::cos(l), 0, 0.12f};
    p[kArmR].angles = {-0.6f * std::cos(r), 0, -0.12f};
    p[kForearmL].angles = {0.35f + 0.25f * std::max(0.0f, -std::cos(l)), 0, 0};
    p[kForearmR].angles = {0.35f + 0.25f * std::max(0.0f, -std::cos(r)), 0, 0};
    return;
  }
  if (f < 70) {
    const float t = std::sin(kPi * (f - 60) / 10.0f);
    p[kChest].angles = {-0.1f * t, 0.5f * t, 0};
    p[kArmR].angles = {1.5f * t, 0, -0.1f};
    p[kForearmR].angles = {0.2f * (1 - t), 0, 0};
    p[kArmL].angles = {-0.4f * t, 0, 0.2f};
    p[kForearmL].angles = {1.2f * t, 0, 0};
    p[kThighL].angles = {0.3f * t, 0, 0};
    p[kThighR].angles = {-0.25f * t, 0, 0};
    return;
  }
  if (f < 80) {
    const float t = std::sin(kPi * (f - 70) / 10.0f);
    p[kThighR].angles = {1.3f * t, 0, 0};
    p[kShinR].angles = {-0.4f * (1 - t), 0, 0};
    p[kThighL].angles = {-0.15f * t, 0, 0};
    p[kChest].angles = {0.15f * t, 0, 0};
    p[kArmL].angles = {0, 0, 0.6f * t};
    p[kArmR].angles = {0, 0, -0.6f * t};
    p[kHips].shift = {0, 1.0f * t, 0};
    return;
  }
  if (f >= 180 && f <= 200) {
    const float t = std::sin(kPi * (f - 180) / 20.0f);
    p[kArmL].angles = {-0.4f * t, 0, 1.9f * t};
    p[kArmR].angles = {-0.4f * t, 0, -1.9f * t};
    p[kThighL].angles = {0.9f * t, 0, 0};
    p[kShinL].angles = {-1.3f * t, 0, 0};
    p[kThighR].angles = {0.2f * t, 0, 0};
    p[kShinR].angles = {-0.8f * t, 0, 0};
    p[kFootL].angles = {0.4f * t, 0, 0};
    p[kFootR].angles = {0.6f * t, 0, 0};
    p[kChest].angles = {-0.1f * t, 0, 0};
    return;
  }
  idle(0);
}

// --- the bear ----------------------------------------------------------------------------

enum BearBone { kBody, kBearNeck, kBearHead, kLegFL, kLegFR, kLegBL, kLegBR, kTail };

void BuildBearSkeleton(CSkeleton& s) {
  s.AddBone("Body", -1, {0, 40, 0}, true);
  s.AddBone("Neck", kBody, {0, 52, -36});
  s.AddBone("Head", kBearNeck, {0, 60, -50});  // bone 2: bounces on the landing spring
  s.AddBone("LegFL", kBody, {14, 34, -24});
  s.AddBone("LegFR", kBody, {-14, 34, -24});
  s.AddBone("LegBL", kBody, {15, 34, 26});
  s.AddBone("LegBR", kBody, {-15, 34, 26});
  s.AddBone("Tail", kBody, {0, 50, 44});
}

void BuildBear(CMeshBuilder& b) {
  b.AddMaterial("kuma.bmp");
  b.UseBone(kBody);
  b.UseSwatch(kFurBrown);
  b.Ellipsoid({0, 44, 2}, {24, 21, 40}, 6, 10);
  b.UseSwatch(kFurLight);
  b.Ellipsoid({0, 35, -4}, {15, 11, 26}, 4, 8);
  b.UseBone(kBearNeck);
  b.UseSwatch(kFurBrown);
  b.Ellipsoid({0, 53, -34}, {16, 16, 14}, 5, 8);
  b.UseBone(kBearHead);
  b.Ellipsoid({0, 64, -54}, {20, 18, 18}, 6, 10);
  for (int side = 0; side < 2; ++side) {
    const float s = side == 0 ? 1.0f : -1.0f;
    b.UseSwatch(kFurBrown);
    b.Prism({14 * s, 76, -52}, 4, 7, 5, 8, 0, 0.5f);
    b.UseSwatch(kFurLight);
    b.Box({14 * s, 79, -55.2f}, {3.2f, 3, 0.8f});
    b.UseSwatch(kEye);
    b.Box({8 * s, 68, -69.6f}, {2.2f, 2.4f, 1.2f});
  }
  b.UseSwatch(kFurLight);
  b.Ellipsoid({0, 58, -70}, {9.5f, 7.5f, 8}, 4, 8);
  b.UseSwatch(kNose);
  b.Box({0, 61, -77.6f}, {3.2f, 2.2f, 1.5f});
  const int legs[4] = {kLegFL, kLegFR, kLegBL, kLegBR};
  const float lx[4] = {14, -14, 15, -15}, lz[4] = {-24, -24, 26, 26};
  for (int i = 0; i < 4; ++i) {
    b.UseBone(legs[i]);
    b.UseSwatch(kFurBrown);
    b.Prism({lx[i], 5, lz[i]}, 32, 8.0f, 9.5f, 8);
    b.Ellipsoid({lx[i], 5, lz[i] - 2.5f}, {9.5f, 5.5f, 11.5f}, 5, 10);
    b.UseSwatch(kClaw);
    for (int c = -1; c <= 1; ++c) b.Box({lx[i] + 4.0f * c, 2.2f, lz[i] - 13.2f}, {1.2f, 1.4f, 1.6f});
  }
  b.UseBone(kTail);
  b.UseSwatch(kFurLight);
  b.Ellipsoid({0, 52, 46}, {6.5f, 6.5f, 6.5f}, 4, 6);
}

// Standing 0-20 (breathing, looking about), walking 20-40 (one diagonal-pair gait cycle).
void PoseBear(float f, std::vector<BonePose>& p) {
  if (f < 20) {
    const float a = 2 * kPi * f / 20.0f;
    p[kBody].shift = {0, 0.8f * std::sin(a), 0};
    p[kBearHead].angles = {0.05f * std::sin(a), 0.3f * std::sin(a), 0};
    p[kTail].angles = {0, 0, 0.3f * std::sin(2 * a)};
    return;
  }
  if (f < 40) {
    const float a = 2 * kPi * (f - 20) / 20.0f;
    const float swing = 0.5f * std::sin(a);
    p[kLegFL].angles = {swing, 0, 0};
    p[kLegBR].angles = {swing, 0, 0};
    p[kLegFR].angles = {-swing, 0, 0};
    p[kLegBL].angles = {-swing, 0, 0};
    p[kBody].shift = {0, 1.5f * std::fabs(std::sin(a)), 0};
    p[kBody].angles = {0, 0, 0.05f * std::sin(a)};
    p[kBearNeck].angles = {0.06f * std::cos(2 * a), 0, 0};
    p[kTail].angles = {0, 0, 0.4f * std::sin(a)};
    return;
  }
  p[kBody].shift = {0, 0, 0};
}

// --- butterfly, door, leaves -----------------------------------------------------------

void BuildWing(CMeshBuilder& b, float side) {
  auto at = [&](float x, float z) { return Vector3{x * side, 0, z}; };
  b.UseSwatch(kWingOrange);
  b.TwoSided({at(0, -0.5f), at(5.5f, -7.0f), at(11.0f, -6.5f), at(10.5f, -1.0f), at(0.5f, 0.8f)});
  b.UseSwatch(kWingBlack);
  b.TwoSided({at(10.5f, -1.0f), at(11.0f, -6.5f), at(13.0f, -5.0f), at(12.5f, -1.5f)});
  b.UseSwatch(kWingOrange);
  b.TwoSided({at(0.5f, 0.8f), at(8.0f, 1.5f), at(9.0f, 6.0f), at(5.0f, 9.0f), at(1.0f, 5.0f)});
  b.UseSwatch(kWingWhite);
  b.TwoSided({at(8.0f, 1.5f), at(10.0f, 3.0f), at(9.0f, 6.0f)});
}

void PoseButterfly(float f, std::vector<BonePose>& p) {
  const float a = 0.25f + 0.95f * std::cos(2 * kPi * f / 10.0f);
  p[1].angles = {0, 0, a};
  p[2].angles = {0, 0, -a};
  p[0].shift = {0, 0.6f * std::sin(2 * kPi * f / 10.0f), 0};
}

void BuildDoor(CMeshBuilder& b) {
  b.AddMaterial("door.bmp");
  b.UseSwatch(kWood);
  b.Box({0, 0, 0}, {75, 100, 4});
  b.UseSwatch(kWoodDark);
  for (float z : {-4.4f, 4.4f}) {
    b.Box({-68, 0, z}, {7, 100, 0.9f});
    b.Box({68, 0, z}, {7, 100, 0.9f});
    for (float y : {-93.0f, -5.0f, 93.0f}) b.Box({0, y, z}, {61, 7, 0.9f});
    b.Box({0, -49, z}, {3, 37, 0.9f});
  }
  b.UseSwatch(kGlass);
  for (float z : {-4.5f, 4.5f}) b.Box({0, 48, z}, {52, 37, 0.6f});
  b.UseSwatch(kMetal);
  for (float z : {-5.6f, 5.6f}) {
    b.Box({-56, 0, z}, {2.2f, 10, 0.6f});
    b.Box({56, 0, z}, {2.2f, 10, 0.6f});
  }
}

// Six leaves of different outline and colour, each about 8 units long, lying in the x-z plane
// with a slight fold along the midrib.
void BuildLeaf(CMeshBuilder& b, int kind) {
  b.AddMaterial("leaf.bmp");
  static const int colours[6] = {kLeafGreen, kLeafYellow, kLeafOrange, kLeafRed, kLeafBrown, kLeafLime};
  // Half-widths along the midrib (z from -4 to 4), one outline per kind.
  static const float widths[6][7] = {
      {0.0f, 1.6f, 2.4f, 2.6f, 2.2f, 1.2f, 0.0f},  // oval
      {0.0f, 2.8f, 3.6f, 3.0f, 2.0f, 0.9f, 0.0f},  // round-based
      {0.0f, 0.9f, 1.3f, 1.5f, 1.3f, 0.8f, 0.0f},  // willow
      {0.0f, 3.2f, 1.6f, 3.4f, 1.4f, 2.4f, 0.0f},  // lobed
      {0.0f, 2.0f, 3.0f, 3.0f, 2.6f, 1.8f, 0.0f},  // broad
      {0.0f, 1.2f, 2.8f, 1.0f, 2.6f, 0.8f, 0.0f},  // jagged
  };
  const float fold = 0.6f + 0.15f * static_cast<float>(kind);
  std::vector<Vector3> left, right;
  for (int i = 0; i < 7; ++i) {
    const float z = -4.0f + static_cast<float>(i) * 8.0f / 6.0f;
    const float w = widths[kind][i];
    left.push_back({-w, fold * w / 3.0f, z});
    right.push_back({w, fold * w / 3.0f, z});
  }
  b.UseSwatch(colours[kind]);
  for (int i = 0; i < 6; ++i) {
    b.TwoSided({{0, 0, left[i].z}, left[i], left[i + 1], {0, 0, left[i + 1].z}});
    b.TwoSided({{0, 0, right[i].z}, {0, 0, right[i + 1].z}, right[i + 1], right[i]});
  }
  b.UseSwatch(kVein);
  b.Box({0, 0.05f, -5.0f}, {0.25f, 0.25f, 1.2f});  // stalk
}

std::unique_ptr<xfile::CDataObject> PlainFrame(CXDocument& doc, const std::string& name,
                                               std::unique_ptr<xfile::CDataObject> mesh) {
  auto frame = doc.New("Frame", name);
  frame->AddChild(doc.TransformMatrix(Matrix{}));
  frame->AddChild(std::move(mesh));
  return frame;
}

void AddHeader(CXDocument& doc) {
  auto header = doc.New("Header");
  header->AppendWord(1), header->AppendWord(0), header->AppendDword(1);
  doc.Add(std::move(header));
}

}  // namespace

float HeadCentroidAboveSphere() {
  CMeshBuilder head;
  BuildHead(head);
  return head.Centroid().y;
}

bool GenerateModels(const COutput& out) {
  bool ok = true;
  // Head: the loader centres it on its vertex mean, drawn 30 above the neck joint.
  {
    CMeshBuilder head;
    BuildHead(head);
    CXDocument doc;
    AddHeader(doc);
    doc.Add(PlainFrame(doc, "Head", head.ToXMesh(doc, "HeadMesh", false)));
    ok = ok && doc.Write(out, "data/mdl/player/head.mdl", xfile::Encoding::Text);
  }
  // Player: binary, skinned, one rigid bone per part.
  {
    CSkeleton skel;
    BuildPlayerSkeleton(skel);
    CMeshBuilder body;
    const float chin = 44.0f + 30.0f - HeadCentroidAboveSphere() - 12.5f;
    BuildPlayerBody(body, chin + 2.5f);
    std::vector<float> frames;
    AddRange(frames, 0, 20, 2.5f);
    AddRange(frames, 20, 60, 1.0f);
    AddRange(frames, 60, 70, 1.25f);
    AddRange(frames, 70, 80, 1.25f);
    AddRange(frames, 80, 180, 50.0f);
    AddRange(frames, 180, 200, 2.5f);
    frames.push_back(200.0f);
    frames.push_back(210.0f);  // past every motion's end, so time modulo the last key never wraps early
    skel.Sample(frames, PosePlayer);
    CXDocument doc;
    doc.Declare("XSkinMeshHeader");
    doc.Declare("SkinWeights");
    AddHeader(doc);
    auto root = doc.New("Frame", "Player");
    root->AddChild(doc.TransformMatrix(Matrix{}));
    const auto names = skel.Names();
    const auto offsets = skel.Offsets();
    root->AddChild(body.ToXMesh(doc, "PlayerMesh", false, &names, &offsets));
    skel.AddRootFrames(doc, *root);
    doc.Add(std::move(root));
    doc.Add(skel.AnimationSet(doc, "PlayerMotion"));
    ok = ok && doc.Write(out, "data/mdl/player/player.mdl", xfile::Encoding::Binary);
    ok = ok && WritePalette(out, "data/mdl/player/player.bmp");
  }
  // Bear: modelled 1/0.3 times its drawn size; the compressed binary form.
  {
    CSkeleton skel;
    BuildBearSkeleton(skel);
    CMeshBuilder bear;
    BuildBear(bear);
    std::vector<float> frames;
    AddRange(frames, 0, 20, 2.5f);
    AddRange(frames, 20, 40, 1.25f);
    frames.push_back(40.0f);
    frames.push_back(48.0f);
    skel.Sample(frames, PoseBear);
    CXDocument doc;
    doc.Declare("XSkinMeshHeader");
    doc.Declare("SkinWeights");
    AddHeader(doc);
    auto root = doc.New("Frame", "Kuma");
    root->AddChild(doc.TransformMatrix(Matrix{}));
    const auto names = skel.Names();
    const auto offsets = skel.Offsets();
    root->AddChild(bear.ToXMesh(doc, "KumaMesh", false, &names, &offsets));
    skel.AddRootFrames(doc, *root);
    doc.Add(std::move(root));
    doc.Add(skel.AnimationSet(doc, "KumaMotion"));
    ok = ok && doc.Write(out, "data/mdl/kuma/kuma.mdl", xfile::Encoding::BinaryCompressed);
    ok = ok && WritePalette(out, "data/mdl/kuma/kuma.bmp");
  }
  // Butterfly: rigid wings on their own frames, flapping over frames 0-10.
  {
    CSkeleton skel;
    skel.AddBone("Butterfly", -1, {0, 0, 0}, true);
    skel.AddBone("WingL", 0, {1.0f, 0.4f, 0});
    skel.AddBone("WingR", 0, {-1.0f, 0.4f, 0});
    CXDocument doc;
    MeshMap meshes;
    {
      CMeshBuilder body;
      body.AddMaterial("butterfly.bmp");
      body.UseSwatch(kBugBody);
      body.Ellipsoid({0, 0, 0}, {1.3f, 1.3f, 6.5f}, 4, 6);
      body.Ellipsoid({0, 0.3f, -7.0f}, {1.4f, 1.4f, 1.4f}, 3, 6);
      body.Box({0.9f, 1.8f, -10.0f}, {0.2f, 0.2f, 2.8f});
      body.Box({-0.9f, 1.8f, -10.0f}, {0.2f, 0.2f, 2.8f});
      meshes[0].push_back(body.ToXMesh(doc, "BugBody", false));
    }
    for (int side = 0; side < 2; ++side) {
      CMeshBuilder wing;
      wing.AddMaterial("butterfly.bmp");
      BuildWing(wing, side == 0 ? 1.0f : -1.0f);
      meshes[1 + side].push_back(wing.ToXMesh(doc, side == 0 ? "WingMeshL" : "WingMeshR", false));
    }
    std::vector<float> frames;
    for (int i = 0; i <= 8; ++i) frames.push_back(1.25f * static_cast<float>(i));
    skel.Sample(frames, PoseButterfly);
    AddHeader(doc);
    auto holder = doc.New("Frame", "Scene");
    holder->AddChild(doc.TransformMatrix(Matrix{}));
    skel.AddRootFrames(doc, *holder, &meshes);
    doc.Add(std::move(holder));
    doc.Add(skel.AnimationSet(doc, "Flap"));
    ok = ok && doc.Write(out, "data/mdl/creature/butterfly/butterfly.mdl", xfile::Encoding::Text);
    ok = ok && WritePalette(out, "data/mdl/creature/butterfly/butterfly.bmp");
  }
  {
    CMeshBuilder door;
    BuildDoor(door);
    CXDocument doc;
    AddHeader(doc);
    doc.Add(PlainFrame(doc, "Door", door.ToXMesh(doc, "DoorMesh", false)));
    ok = ok && doc.Write(out, "data/mdl/object/door/door.mdl", xfile::Encoding::Text);
    ok = ok && WritePalette(out, "data/mdl/object/door/door.bmp");
  }
  for (int kind = 0; kind < 6; ++kind) {
    CMeshBuilder leaf;
    BuildLeaf(leaf, kind);
    CXDocument doc;
    AddHeader(doc);
    doc.Add(PlainFrame(doc, "Leaf", leaf.ToXMesh(doc, "LeafMesh", false)));
    char name[64];
    std::snprintf(name, sizeof name, "data/mdl/object/leaf/leaf%02d.mdl", kind);
    ok = ok && doc.Write(out, name, xfile::Encoding::Text);
  }
  ok = ok && WritePalette(out, "data/mdl/object/leaf/leaf.bmp");
  return ok;
}

}  // namespace assetgen
