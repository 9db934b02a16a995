#include "scene/scene_manager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

class SceneManagerTest : public ::testing::Test {
 protected:
  CScratchGameDir dir{::testing::UnitTest::GetInstance()->current_test_info()->name()};
  void SetUp() override {
    dir.WriteEmptySceneScripts();
    g_events.clear();
    CScene::SetTraceHook(Record);
  }
  void TearDown() override { CScene::SetTraceHook(nullptr); }
};

TEST_F(SceneManagerTest, ConstructionRegistersEveryScene) {
  CSceneManager m;
  EXPECT_EQ(g_sceneManager, &m);
  EXPECT_NE(g_titleScene, nullptr);
  EXPECT_NE(g_teamLogoScene, nullptr);
  EXPECT_NE(g_homeStageScene, nullptr);
  EXPECT_NE(g_forestStageScene, nullptr);
  EXPECT_NE(g_telopScene, nullptr);
  EXPECT_EQ(m.GetCurrentScene(), nullptr);
  EXPECT_EQ(m.GetNextScene(), nullptr);
}

TEST_F(SceneManagerTest, DestructionOrderAndPointersCleared) {
  {
    CSceneManager m;
    m.SetNextScene(g_titleScene);
    m.Switch();
  }
  const std::vector<std::string> want = {"destroy CTeamLogoScene", "destroy CTelopScene",
                                         "destroy CForestStageScene", "destroy CHomeStageScene",
                                         "destroy CTitleScene"};
  EXPECT_EQ(g_events, want);
  EXPECT_EQ(g_sceneManager, nullptr);
  EXPECT_EQ(g_titleScene, nullptr);
  EXPECT_EQ(g_telopScene, nullptr);
}

TEST_F(SceneManagerTest, SwitchEntersNextAndKeepsTheNextField) {
  CSceneManager m;
  m.SetNextScene(g_telopScene);
  m.Switch();
  EXPECT_EQ(m.GetCurrentScene(), g_telopScene);
  EXPECT_EQ(m.GetNextScene(), g_telopScene);
}

TEST(ScenePhase, CounterRunsOnWhenTheSamePhaseIsSetAgain) {
  CSceneManager m;
  CScene& s = *g_homeStageScene;
  s.SetPhase(0);
  s.CountPhaseFrame();
  s.CountPhaseFrame();
  s.SetPhase(0);
  EXPECT_EQ(s.GetPhaseCounter(), 2);
  s.SetPhase(1);
  EXPECT_EQ(s.GetPhase(), 1);
  EXPECT_EQ(s.GetPhaseCounter(), 0);
}

class FaderTest : public ::testing::Test {
 protected:
  FaderTest() { dir.WriteEmptySceneScripts(); }
  CScratchGameDir dir{::testing::UnitTest::GetInstance()->current_test_info()->name()};
  CSceneManager m;
};

TEST_F(FaderTest, FadeOutSwitchesOnItsFiftyFirstFrameThenFadesIn) {
  m.SetNextScene(g_titleScene);
  m.Switch();
  CScreenFader& f = m.Fader();
  // Let the entry fade-in finish.
  for (int i = 0; i < 51; ++i) f.Draw();
  EXPECT_FALSE(f.Active(CScreenFader::kFadeIn));

  m.RequestScene(g_telopScene);
  for (int frame = 1; frame <= 50; ++frame) {
    f.Draw();
    EXPECT_EQ(m.GetCurrentScene(), g_titleScene) << frame;
    EXPECT_EQ(f.Alpha(CScreenFader::kFadeOut), frame * 5);
  }
  f.Draw();  // frame 51: fully black, switch
  EXPECT_EQ(m.GetCurrentScene(), g_telopScene);
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
  m.SetNextScene(g_titleScene);
  m.Switch();
  CScreenFader& f = m.Fader();
  m.RequestScene(g_telopScene);
  for (int i = 0; i < 20; ++i) f.Draw();
  m.RequestScene(g_homeStageScene);  // not queued, but changes the target
  EXPECT_EQ(f.Alpha(CScreenFader::kFadeOut), 100);
  for (int i = 0; i < 31; ++i) f.Draw();
  EXPECT_EQ(m.GetCurrentScene(), g_homeStageScene);
  f.Start(7);  // unknown index: nothing
  EXPECT_FALSE(f.Active(CScreenFader::kFadeOut));
}

TEST(StageScript, MissingSceneScriptEndsWithAFailureCode) {
  CScratchGameDir dir("missing_script");
  CSceneManager m;
  m.SetNextScene(g_titleScene);
  EXPECT_EXIT(m.Switch(), ::testing::ExitedWithCode(3), "data/scr/title.txt");
}

}  // namespace
