// Every scene of the generated tree loaded through the game's own loaders: nothing a script lists
// is missing or unreadable, and everything the units and pieces of a scene look up by name is
// listed in that scene's script (an unlisted lookup is silently empty in the game).
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/input.h"
#include "core/log.h"
#include "effect/particle_file.h"
#include "effect/sprite.h"
#include "resource/model.h"
#include "resource/resource_cache.h"
#include "resource/script_file.h"
#include "scene/forest_stage_scene.h"
#include "scene/home_stage_scene.h"
#include "scene/scene_manager.h"
#include "scene/team_logo_scene.h"
#include "scene/telop_scene.h"
#include "scene/title_scene.h"
#include "support/content_fixture.h"
#include "support/recording_graphics.h"
#include "support/scratch_dir.h"
#include "unit/leaf.h"
#include "world/bsp.h"
#include "world/collision_model.h"

namespace {

using contenttest::GameDir;

struct SceneCase {
  const char* script;
  CScene& (*scene)(CSceneManager& scenes);  // the manager makes the scenes, so looked up late
  std::vector<std::string> sprites, models, particles;
};

const std::vector<SceneCase>& Cases() {
  static const std::vector<SceneCase> cases = [] {
    std::vector<std::string> stageModels = {"data/mdl/player/player.mdl", "data/mdl/player/head.mdl",
                                            "data/mdl/kuma/kuma.mdl"};
    for (const char* leaf : g_leafModelPaths) stageModels.push_back(leaf);
    std::vector<std::string> homeModels = stageModels;
    homeModels.push_back("data/mdl/creature/butterfly/butterfly.mdl");
    homeModels.push_back("data/mdl/object/door/door.mdl");
    const std::vector<std::string> stageSprites = {"data/image/shadow.dds"};
    const std::vector<std::string> particles = {"data/par/smoke.par", "data/par/blood.par"};
    return std::vector<SceneCase>{
        {"data/scr/teamlogo.txt",
         [](CSceneManager& m) -> CScene& { return m.TeamLogo(); },
         {"data/image/logo.jpg"},
         {},
         {}},
        {"data/scr/title.txt",
         [](CSceneManager& m) -> CScene& { return m.Title(); },
         {"data/image/title.jpg", "data/image/title_moji.bmp"},
         {},
         {}},
        {"data/scr/telop.txt",
         [](CSceneManager& m) -> CScene& { return m.Telop(); },
         {"data/image/stg00_home.jpg"},
         {},
         {}},
        {"data/scr/stg00_home.txt", [](CSceneManager& m) -> CScene& { return m.HomeStage(); }, stageSprites,
         homeModels, particles},
        {"data/scr/stg02_forest.txt", [](CSceneManager& m) -> CScene& { return m.ForestStage(); },
         stageSprites, stageModels, particles},
    };
  }();
  return cases;
}

class SceneScriptCheck : public ::testing::TestWithParam<size_t> {
 protected:
  void SetUp() override {
    ASSERT_FALSE(GameDir().empty()) << "the generator failed";
    ASSERT_TRUE(gfx_.ok());
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    logPath_ = std::string(cwd) + "/script_check_" + std::to_string(GetParam()) + ".txt";
    oldDir_ = cwd;
    ASSERT_EQ(chdir(GameDir().c_str()), 0);
    ASSERT_TRUE(app::OpenLog(logPath_.c_str()));
    manager_ = std::make_unique<CSceneManager>(gfx_.config(), keys_);
  }
  void TearDown() override {
    manager_.reset();
    app::CloseLog();
    if (!oldDir_.empty()) {
      EXPECT_EQ(chdir(oldDir_.c_str()), 0);
    }
  }

  testdev::CRecordingGraphics gfx_{"content_script_check"};
  const CKeyBindings keys_;
  std::unique_ptr<CSceneManager> manager_;
  std::string logPath_, oldDir_;
};

TEST_P(SceneScriptCheck, LoadsEverythingItListsAndListsEverythingItsUnitsUse) {
  const SceneCase& c = Cases()[GetParam()];
  SCOPED_TRACE(c.script);
  CScene& scene = c.scene(*manager_);
  manager_->SetNextScene(&scene);
  manager_->Switch();
  const WorldContext& world = scene.World().Context();

  // Everything the scene's own code and its units look up by name is in the caches.
  for (const std::string& s : c.sprites) {
    ASSERT_NE(world.sprites, nullptr);
    const auto sprite = world.sprites->Find(s);
    ASSERT_TRUE(sprite) << s << " is not listed";
    EXPECT_NE(sprite->GetTexture(), nullptr) << s;
  }
  for (const std::string& m : c.models) {
    ASSERT_NE(world.models, nullptr);
    EXPECT_TRUE(world.models->Find(m)) << m << " is not listed";
  }
  for (const std::string& p : c.particles) {
    ASSERT_NE(world.particles, nullptr);
    const auto par = world.particles->Find(p);
    ASSERT_TRUE(par) << p << " is not listed";
    EXPECT_TRUE(par->sprite) << p << " names a sprite the script does not list";
  }
  // Every background piece finds its collision model, with triangles in it.
  CScriptFile script(c.script);
  ASSERT_TRUE(script.Loaded());
  for (const std::string& piece : script.GetSection("#bsp")) {
    ASSERT_NE(world.collisionModels, nullptr);
    const auto col = world.collisionModels->Find(CollisionFileName(piece));
    ASSERT_TRUE(col) << CollisionFileName(piece) << " is not listed";
    EXPECT_GT(col->GroupCount(), 0) << CollisionFileName(piece);
  }

  manager_.reset();  // leaves the scene: the world is torn down
  app::CloseLog();
  const std::string log = ReadFileText(logPath_);
  for (const char* missing : {"Not Found", "NotFound", "NOT FOUND"})
    EXPECT_EQ(log.find(missing), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(EveryScene, SceneScriptCheck, ::testing::Range<size_t>(0, 5));

}  // namespace
