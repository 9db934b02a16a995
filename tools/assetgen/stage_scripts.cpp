// The two playable stage scripts: every sprite, model, collision file, background piece and
// particle file their units and pieces look up, the start placement and the music.
#include <cmath>
#include <string>
#include <vector>

#include "stage_layout.h"

namespace assetgen {

namespace {

void Section(std::string& s, const char* name, const std::vector<std::string>& lines) {
  s += name;
  s += "\n";
  for (const std::string& l : lines) s += l + "\n";
  s += "#end\n";
}

std::vector<std::string> Integers(const float* v) {
  std::vector<std::string> out;
  for (int i = 0; i < 3; ++i) out.push_back(std::to_string(static_cast<int>(std::lround(v[i]))));
  return out;
}

std::string StageScript(const float* position, const float* degrees, const std::vector<std::string>& models,
                        const std::string& stageDir, const std::vector<std::string>& pieces,
                        const std::string& bgm) {
  std::string s;
  Section(s, "#type", {"GAME"});
  Section(s, "#position", Integers(position));
  Section(s, "#degree", Integers(degrees));
  Section(s, "#sprite", {"data/image/shadow.dds", "data/image/smoke.dds", "data/image/blood.dds"});
  Section(s, "#model", models);
  std::vector<std::string> dec, bsp;
  for (const std::string& p : pieces) {
    dec.push_back(stageDir + "/" + p + ".dec");
    bsp.push_back(stageDir + "/" + p + ".mdl");
  }
  Section(s, "#collision", dec);
  Section(s, "#bsp", bsp);
  Section(s, "#particle", {"data/par/smoke.par", "data/par/blood.par"});
  Section(s, "#bgm", {bgm});
  s += "#EOF\n";
  return s;
}

std::vector<std::string> UnitModels(bool home) {
  std::vector<std::string> m = {"data/mdl/player/player.mdl", "data/mdl/player/head.mdl",
                                "data/mdl/kuma/kuma.mdl"};
  for (int i = 0; i < 6; ++i) m.push_back("data/mdl/object/leaf/leaf0" + std::to_string(i) + ".mdl");
  if (home) {
    m.push_back("data/mdl/creature/butterfly/butterfly.mdl");
    m.push_back("data/mdl/object/door/door.mdl");
  }
  return m;
}

}  // namespace

bool GenerateStageScripts(const COutput& out) {
  return out.WriteText("data/scr/stg00_home.txt",
                       StageScript(kHomeStart, kHomeStartDegrees, UnitModels(true), "data/mdl/stage/home",
                                   {"yard", "house"}, "data/wav/bgm_home.wav")) &&
         out.WriteText(
             "data/scr/stg02_forest.txt",
             StageScript(kForestStart, kForestStartDegrees, UnitModels(false), "data/mdl/stage/forest",
                         {"ground", "plateau", "trees", "rocks"}, "data/wav/bgm_forest.wav"));
}

}  // namespace assetgen
