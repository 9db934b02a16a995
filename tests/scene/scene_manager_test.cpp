#include "scene/scene_manager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/config.h"
#include "core/input.h"
#include "scene/forest_stage_scene.h"
#include "scene/home_stage_scene.h"
#include "scene/scene.h"
#include "scene/screen_fader.h"
#include "scene/team_logo_scene.h"
#include "scene/telop_scene.h"
#include "scene/title_scene.h"
#include "support/scratch_dir.h"

namespace {

std::vector<std::string> g_events;
void Record(const char* event, const CScene* scene) {
  g_events.push_back(std::string(event) + " " + scene->Name());
}

// The run's settings and keys a manager borrows.
struct RunSettings {
  CConfig config;
  CKeyBindings keys;
};

class SceneManagerTest : public ::testing::Test, protected RunSettings {
 protected:
  CScratchGameDir dir{::testing::UnitTest::GetInstance()->current_test_info()->name()};
  void SetUp() override {
    dir.WriteEmptySceneScripts();
    g_events.clear();
    CScene::SetTraceHook(Record);
  }
  void TearDown() override { CScene::SetTraceHook(nullptr); }
};

TEST_F(SceneManagerTest, ConstructionMakesEverySceneEachWithItsOwnWorld) {
  CSceneManager m(config, keys);
  const std::vector<std::string> names = {m.TeamLogo().Name(), m.Title().Name(), m.Telop().Name(),
                                          m.HomeStage().Name(), m.ForestStage().Name()};
  const std::vector<std::string> want = {"CTeamLogoScene", "CTitleScene", "CTelopScene", "CHomeStageScene",
                                         "CForestStageScene"};
  EXPECT_EQ(names, want);
  EXPECT_NE(&m.HomeStage().World(), &m.ForestStage().World());
  EXPECT_EQ(m.GetCurrentScene(), nullptr);
  EXPECT_EQ(m.GetNextScene(), nullptr);
  EXPECT_EQ(m.CurrentWorld(), nullptr);
  EXPECT_EQ(m.Input(), nullptr);
  // Every world borrows the manager's fader, bank and carried-over record and the run's settings.
  const StageServices& s = m.WorldServices();
  EXPECT_EQ(s.fader, &m.Fader());
  EXPECT_EQ(s.sounds, &m.Sounds());
  EXPECT_EQ(s.carried, &m.Carried());
  EXPECT_EQ(s.config, &config);
  EXPECT_EQ(s.keys, &keys);
}

TEST_F(SceneManagerTest, DestructionLeavesTheCurrentSceneThenDestroysInOrder) {
  {
    CSceneManager m(config, keys);
    m.SetNextScene(&m.Title());
    m.Switch();
    ASSERT_TRUE(m.Title().World().Exists());
  }
  const std::vector<std::string> want = {"destroy CTeamLogoScene", "destroy CTelopScene",
                                         "destroy CForestStageScene", "destroy CHomeStageScene",
                                         "destroy CTitleScene"};
  EXPECT_EQ(g_events, want);
}

TEST_F(SceneManagerTest, SwitchEntersNextAndKeepsTheNextField) {
  CSceneManager m(config, keys);
  m.SetNextScene(&m.Telop());
  m.Switch();
  EXPECT_EQ(m.GetCurrentScene(), &m.Telop());
  EXPECT_EQ(m.GetNextScene(), &m.Telop());
  // The loop reaches the current world's input through the manager.
  ASSERT_NE(m.CurrentWorld(), nullptr);
  EXPECT_EQ(m.CurrentWorld(), &m.Telop().World());
  EXPECT_NE(m.Input(), nullptr);
  EXPECT_EQ(m.Input(), m.Telop().World().Context().input);
  // Leaving takes the telop's world down before the title's is built.
  m.SetNextScene(&m.Title());
  m.Switch();
  EXPECT_FALSE(m.Telop().World().Exists());
  EXPECT_TRUE(m.Title().World().Exists());
}

TEST(ScenePhase, CounterRunsOnWhenTheSamePhaseIsSetAgain) {
  RunSettings run;
  CSceneManager m(run.config, run.keys);
  CScene& s = m.HomeStage();
  s.SetPhase(0);
  s.CountPhaseFrame();
  s.CountPhaseFrame();
  s.SetPhase(0);
  EXPECT_EQ(s.GetPhaseCounter(), 2);
  s.SetPhase(1);
  EXPECT_EQ(s.GetPhase(), 1);
  EXPECT_EQ(s.GetPhaseCounter(), 0);
}

class FaderTest : public ::testing::Test, protected RunSettings {
 protected:
  FaderTest() { dir.WriteEmptySceneScripts(); }
  CScratchGameDir dir{::testing::UnitTest::GetInstance()->current_test_info()->name()};
  CSceneManager m{config, keys};
};

TEST_F(FaderTest, FadeOutSwitchesOnItsFiftyFirstFrameThenFadesIn) {
  m.SetNextScene(&m.Title());
  m.Switch();
  CScreenFader& f = m.Fader();
  // Let the entry fade-in finish.
  for (int i = 0; i < 51; ++i) f.Draw();
  EXPECT_FALSE(f.Active(CScreenFader::kFadeIn));

  m.RequestScene(&m.Telop());
  for (int frame = 1; frame <= 50; ++frame) {
    f.Draw();
    EXPECT_EQ(m.GetCurrentScene(), &m.Title()) << frame;
    EXPECT_EQ(f.Alpha(CScreenFader::kFadeOut), frame * 5);
  }
  f.Draw();  // frame 51: fully black, switch
  EXPECT_EQ(m.GetCurrentScene(), &m.Telop());
  EXPECT_FALSE(f.Active(CScreenFader::kFadeOut));
  EXPECT_TRUE(f.Active(CScreenFader::kFadeIn));
  EXPECT_EQ(f.Alpha(CScreenFader::kFadeIn), 255);
  for (int i = 0; i < 50; ++i) f.Draw();
  EXPECT_TRUE(f.Active(CScreenFader::kFadeIn));
  f.Draw();
  EXPECT_FALSE(f.Active(CScreenFader::kFadeIn));
  EXPECT_EQ(f.Alpha(CScreenFader::kFadeIn), 0);
}

TEST_F(FaderTest, StartWhileActiveIsIgnoredAndTheLastNextWins) {
  m.SetNextScene(&m.Title());
  m.Switch();
  CScreenFader& f = m.Fader();
  m.RequestScene(&m.Telop());
  for (int i = 0; i < 20; ++i) f.Draw();
  m.RequestScene(&m.HomeStage());  // not queued, but changes the target
  EXPECT_EQ(f.Alpha(CScreenFader::kFadeOut), 100);
  for (int i = 0; i < 31; ++i) f.Draw();
  EXPECT_EQ(m.GetCurrentScene(), &m.HomeStage());
  f.Start(7);  // unknown index: nothing
  EXPECT_FALSE(f.Active(CScreenFader::kFadeOut));
}

TEST(StageScript, MissingSceneScriptEndsWithAFailureCode) {
  CScratchGameDir dir("missing_script");
  RunSettings run;
  CSceneManager m(run.config, run.keys);
  m.SetNextScene(&m.Title());
  EXPECT_EXIT(m.Switch(), ::testing::ExitedWithCode(3), "data/scr/title.txt");
}

}  // namespace
