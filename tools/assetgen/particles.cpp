// The particle definitions: nine blocks, values in hundredths where the format scales them.
#include <string>

#include "assetgen.h"

namespace assetgen {

namespace {

struct Definition {
  const char* sprite;
  int speed[3], acceleration[3], rand[3], frict[3];
  int alpha;
  int color[3];
  int kill;
  int scale;
};

std::string Block(const char* keyword, std::initializer_list<int> values) {
  std::string s = std::string(keyword) + "\n";
  for (int v : values) s += std::to_string(v) + "\n";
  return s + "#end\n";
}

std::string ParFile(const Definition& d) {
  std::string s = "#sprite\n" + std::string(d.sprite) + "\n#end\n";
  s += Block("#speed", {d.speed[0], d.speed[1], d.speed[2]});
  s += Block("#acceleration", {d.acceleration[0], d.acceleration[1], d.acceleration[2]});
  s += Block("#rand", {d.rand[0], d.rand[1], d.rand[2]});
  s += Block("#frict", {d.frict[0], d.frict[1], d.frict[2]});
  s += Block("#alpha", {d.alpha});
  s += Block("#color", {d.color[0], d.color[1], d.color[2]});
  s += Block("#kill", {d.kill});
  s += Block("#scale", {d.scale});
  return s + "#EOF\n";
}

}  // namespace

// Footstep dust: lifts slowly (0.35 a frame, losing 5 % a frame, so about 7 units up), drifts
// up to half a unit a frame sideways, fades out over 36 frames while growing to about twice
// its size. Dusty tan tints the pale sprite.
const Definition kSmoke = {"data/image/smoke.dds", {0, 35, 0}, {0, 0, 0}, {50, 15, 50}, {94, 95, 94}, 7,
                           {196, 180, 152},        36,         3};
// A spray that bursts up and out, falls back under its own gravity and fades over 40 frames.
const Definition kBlood = {"data/image/blood.dds", {0, 150, 0}, {0, -12, 0}, {120, 60, 120}, {97, 98, 97}, 6,
                           {255, 255, 255},        40,          -1};

bool GenerateParticles(const COutput& out) {
  return out.WriteText("data/par/smoke.par", ParFile(kSmoke)) &&
         out.WriteText("data/par/blood.par", ParFile(kBlood));
}

}  // namespace assetgen
