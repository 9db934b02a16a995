#include "scripted_run.h"

#include <boost/smart_ptr/owner_less.hpp>
#include <boost/weak_ptr.hpp>
#include <cmath>
#include <set>

#include "app/game_services.h"
#include "autopilot.h"
#include "game_driver.h"
#include "platform/os/input_device.h"
#include "scene/forest_stage_scene.h"
#include "scene/home_stage_scene.h"
#include "scene/scene.h"
#include "scene/scene_manager.h"
#include "scene/title_scene.h"
#include "sound/music_stream.h"
#include "unit/camera.h"
#include "unit/camera_manager.h"
#include "unit/npc.h"
#include "unit/player.h"
#include "unit/unit.h"
#include "unit/unit_registry.h"

namespace e2e {

namespace {

constexpr float kGoalX = 160.0f, kGoalZ = 310.0f;
// Give up on the home stage after this long: the autopilot is lost.
constexpr uint64_t kHomeFrameLimit = 3000;

// Forest plan, in frames after the forest became current.
constexpr uint64_t kIdleJumpAt = 120;
constexpr uint64_t kTourFrom = 180;
constexpr uint64_t kCircleRightFrom = 200, kCircleRightTo = 330;
constexpr uint64_t kWalkJumpAfter = 420;
constexpr uint64_t kTourUntil = 2700;
constexpr uint64_t kLookOnAt = 2900, kLookOffAt = 3150;
constexpr uint64_t kCircleDownFrom = 2950, kCircleDownTo = 3060;

struct Waypoint {
  float x, z;
  bool run;
};
// Along the clearing's path to the ramp, up onto the plateau and back to the start.
constexpr Waypoint kTour[] = {
    {-150, 150, false}, {100, 425, true}, {320, 425, false}, {600, 500, true},
    {250, 425, false},  {80, 425, false}, {-100, 100, true}, {0, -300, true},
};
constexpr float kWaypointRadius = 40.0f;
constexpr uint64_t kStuckFrames = 150;

float Distance2D(float ax, float az, float bx, float bz) { return std::hypot(ax - bx, az - bz); }

Position ToPosition(const gfxutil::Vector4& v) { return {v.x, v.y, v.z}; }

using WeakUnitSet = std::set<boost::weak_ptr<CUnit>, boost::owner_less<boost::weak_ptr<CUnit>>>;

// Counts the units of one registry name that appear and go away while a stage runs.
class CUnitWatch {
 public:
  explicit CUnitWatch(const char* name) : name_(name) {}

  void Observe(const CUnitRegistry* registry, UnitTally& tally, bool sameWorld) {
    for (auto it = seen_.begin(); it != seen_.end();) {
      if (it->expired()) {
        if (sameWorld) ++tally.removed;
        it = seen_.erase(it);
      } else {
        ++it;
      }
    }
    if (!registry) return;
    int count = 0;
    const auto range = registry->Units().equal_range(name_);
    for (auto it = range.first; it != range.second; ++it) {
      ++count;
      if (seen_.insert(boost::weak_ptr<CUnit>(it->second)).second) ++tally.spawned;
    }
    if (count > tally.peak) tally.peak = count;
  }

 private:
  std::string name_;
  WeakUnitSet seen_;
};

class CScriptedRun {
 public:
  CScriptedRun(const std::string& name, const std::string& shotDir, int width, int height)
      : driver_(name, width, height), shotDir_(shotDir) {}

  RunRecord Play() {
    record_.exitCode = driver_.Run([this](uint64_t frame) { return OnFrame(frame); });
    record_.frames = frame_;
    record_.energy = driver_.FrameEnergy();
    record_.mix = driver_.Mix();
    record_.audioCaptured = driver_.AudioCaptured();
    record_.log = driver_.LogText();
    record_.logWritten = driver_.LogExists();
    record_.shots = driver_.Screenshots();
    record_.shotContrast = driver_.ShotContrast();
    record_.failedShots = driver_.FailedScreenshots();
    return record_;
  }

 private:
  CFakeInput& In() { return driver_.Input(); }

  void Shot(const std::string& name) {
    if (!shotDir_.empty()) wantedShots_.push_back(name);
  }

  void SetArrows(const ArrowKeys& k) {
    Hold(os::VK_RIGHT, k.right);
    Hold(os::VK_LEFT, k.left);
    Hold(os::VK_UP, k.up);
    Hold(os::VK_DOWN, k.down);
  }
  void Hold(int vk, bool on) {
    if (on)
      In().Press(vk);
    else
      In().Release(vk);
  }
  void ReleaseAll() { In().keys.clear(); }

  // The running game's scenes, and the world of the current one.
  CSceneManager& Scenes() const { return *driver_.Game().scenes; }
  const WorldContext& World() const { return Scenes().CurrentWorld()->Context(); }

  float CameraYaw() const {
    const CCamera* camera = World().cameras ? World().cameras->Current() : nullptr;
    return camera ? camera->Body().rotation.y : 0.0f;
  }

  bool OnFrame(uint64_t frame) {
    frame_ = frame;
    const CScene* scene = Scenes().GetCurrentScene();
    const std::string name = scene ? scene->Name() : "";
    const bool sameWorld = scene == previousScene_;
    if (scene && !record_.firstFrame.count(name)) {
      record_.firstFrame[name] = frame;
      record_.sceneOrder.push_back(name);
    }
    previousScene_ = scene;

    if (scene == &Scenes().HomeStage() || scene == &Scenes().ForestStage()) {
      particleWatch_.Observe(World().registry, record_.particles[name], sameWorld);
      leafWatch_.Observe(World().registry, record_.leaves[name], sameWorld);
    }
    TrackMusic(scene, frame);

    bool goOn = true;
    if (scene == &Scenes().Title())
      Title(frame);
    else if (scene == &Scenes().HomeStage())
      goOn = Home(frame);
    else if (scene == &Scenes().ForestStage())
      goOn = Forest(frame);
    else if (name == "CTeamLogoScene" && frame == 200)
      Shot("1_logo");
    else if (name == "CTelopScene" && frame == record_.firstFrame[name] + 80)
      Shot("3_telop");

    if (!wantedShots_.empty() && driver_.RequestScreenshot(shotDir_, wantedShots_.front()))
      wantedShots_.erase(wantedShots_.begin());
    // Nothing after the forest: a run that never gets there ends rather than spins.
    if (frame > 20000) return false;
    return goOn;
  }

  void TrackMusic(const CScene* scene, uint64_t frame) {
    if (!StreamIsPlaying()) return;
    if (scene == &Scenes().HomeStage()) {
      if (!record_.musicFirstHome) record_.musicFirstHome = frame;
      record_.musicLastHome = frame;
    } else if (scene == &Scenes().ForestStage()) {
      if (!record_.musicFirstForest) record_.musicFirstForest = frame;
      record_.musicLastForest = frame;
    } else {
      ++record_.musicFramesBeforeHome;
    }
  }

  void Title(uint64_t frame) {
    const uint64_t first = record_.firstFrame["CTitleScene"];
    if (frame == first + 55) Shot("2_title");
    // X once the title has faded in and been looked at; released two frames later.
    if (frame == first + 90) {
      In().Press('X');
      record_.confirmFrame = frame + 1;
    }
    if (frame == first + 92) In().Release('X');
  }

  bool Home(uint64_t frame) {
    const uint64_t first = record_.firstFrame["CHomeStageScene"];
    const CPlayer* player = World().player;
    if (frame == first) ReleaseAll();
    if (frame == first + 70) Shot("4_home");
    if (!player) return frame < first + kHomeFrameLimit;
    const gfxutil::Vector4 p = player->GetPosition();
    if (frame == first) record_.homeStart = ToPosition(p);

    if (Scenes().HomeStage().GetPhase() != 0) {
      if (!record_.goalFrame) {
        record_.goalFrame = frame;
        record_.goalPosition = ToPosition(p);
      }
      ReleaseAll();
      return true;
    }
    const float d = Distance2D(p.x, p.z, kGoalX, kGoalZ);
    if (d < record_.homeClosest) record_.homeClosest = d;
    if (d < 170.0f && !homeGoalShot_) {
      Shot("5_home_goal");
      homeGoalShot_ = true;
    }
    // Let the stage fade in and the player land before walking.
    if (frame > first + 60) SetArrows(SteerToward(CameraYaw(), p.x, p.z, kGoalX, kGoalZ));
    return frame < first + kHomeFrameLimit;
  }

  bool Forest(uint64_t frame) {
    const uint64_t first = record_.firstFrame["CForestStageScene"];
    const uint64_t k = frame - first;
    if (k == 0) ReleaseAll();
    CPlayer* player = World().player;
    const CNPC* bear = World().bear;
    if (!player) return k < kForestFrames;
    const gfxutil::Vector4 p = player->GetPosition();
    if (p.y > record_.highestPlayerY) record_.highestPlayerY = p.y;
    const float yaw = CameraYaw();
    if (k > 0) record_.cameraYawTurned += std::fabs(yaw - previousYaw_);
    previousYaw_ = yaw;
    if (k == kIdleJumpAt) jumpBaseY_ = p.y;
    if (k > kIdleJumpAt && k < kIdleJumpAt + 60 && p.y - jumpBaseY_ > record_.idleJumpRise)
      record_.idleJumpRise = p.y - jumpBaseY_;
    // Speeds under the keys the last poll saw.
    if (k > 0) {
      const float speed = Distance2D(p.x, p.z, previousX_, previousZ_);
      // On the ground only (the air drags less), and walking only once a run has died down.
      const bool grounded = player->Body().landed != 0;
      sinceRun_ = heldRun_ ? 0 : sinceRun_ + 1;
      if (grounded && heldArrows_ && heldRun_ && speed > record_.topRunSpeed) record_.topRunSpeed = speed;
      if (grounded && heldArrows_ && sinceRun_ > 60 && speed > record_.topWalkSpeed)
        record_.topWalkSpeed = speed;
    }
    previousX_ = p.x;
    previousZ_ = p.z;

    // A jump from standing.
    if (k == kIdleJumpAt) {
      In().Press('Z');
      record_.idleJumpFrame = frame + 1;
    }
    if (k == kIdleJumpAt + 1) In().Release('Z');

    if (k >= kTourFrom && k < kTourUntil && waypoint_ < std::size(kTour)) Tour(frame, k, *player, yaw);
    if (k == kTourUntil || (k > kTourFrom && waypoint_ == std::size(kTour) && !tourDone_)) {
      tourDone_ = true;
      ReleaseAll();
    }
    if (k == 260) Shot("6_forest");

    // Look mode on, the camera circled with keypad 2 while it lasts, then off again.
    if (k == kLookOnAt || k == kLookOffAt) {
      ReleaseAll();
      In().Press(os::VK_NUMPAD8);
      (k == kLookOnAt ? record_.lookOnFrame : record_.lookOffFrame) = frame + 1;
    }
    if (k == kLookOnAt + 1 || k == kLookOffAt + 1) In().Release(os::VK_NUMPAD8);
    if (k == kLookOnAt + 2) record_.lookModeAfterOn = Scenes().Carried().playerLookMode;
    if (k == kLookOffAt + 2) record_.lookModeAfterOff = Scenes().Carried().playerLookMode;
    if (k == kCircleDownFrom) In().Press(os::VK_NUMPAD2);
    if (k == kCircleDownTo) In().Release(os::VK_NUMPAD2);
    if (k == kCircleDownTo + 10) Shot("7_forest_look");

    if (k == kForestFrames - 40) Shot("8_forest_bear");
    heldArrows_ = In().KeyDown(os::VK_UP) || In().KeyDown(os::VK_DOWN) || In().KeyDown(os::VK_LEFT) ||
                  In().KeyDown(os::VK_RIGHT);
    heldRun_ = In().KeyDown('X');
    if (k >= kForestFrames) {
      record_.playerEnd = ToPosition(p);
      if (bear) {
        record_.bearEnd = ToPosition(bear->GetPosition());
        record_.bearDistanceEnd = Distance2D(p.x, p.z, record_.bearEnd.x, record_.bearEnd.z);
      }
      ReleaseAll();
      return false;
    }
    return true;
  }

  void Tour(uint64_t frame, uint64_t k, const CPlayer& player, float yaw) {
    const gfxutil::Vector4 p = player.GetPosition();
    const Waypoint& w = kTour[waypoint_];
    const float d = Distance2D(p.x, p.z, w.x, w.z);
    if (d < kWaypointRadius) {
      record_.waypointFrames.push_back(frame);
      ++waypoint_;
      bestDistance_ = 1e9f;
      sinceProgress_ = 0;
      return;
    }
    // A person who makes no headway hops, and in the end tries the next point.
    if (d < bestDistance_ - 5.0f) {
      bestDistance_ = d;
      sinceProgress_ = 0;
    } else if (++sinceProgress_ > kStuckFrames) {
      ++waypoint_;
      bestDistance_ = 1e9f;
      sinceProgress_ = 0;
      return;
    }
    SetArrows(SteerToward(yaw, p.x, p.z, w.x, w.z));
    Hold('X', w.run);
    Hold(os::VK_NUMPAD6, k >= kCircleRightFrom && k < kCircleRightTo);
    const bool hop = sinceProgress_ == kStuckFrames / 2;
    // One jump while walking, once the walk is under way.
    const bool walkJump = !record_.walkJumpFrame && k >= kWalkJumpAfter && player.State() == 1;
    if (walkJump) record_.walkJumpFrame = frame + 1;
    Hold('Z', hop || walkJump);
  }

  CGameDriver driver_;
  std::string shotDir_;
  RunRecord record_;
  uint64_t frame_ = 0;
  const CScene* previousScene_ = nullptr;
  CUnitWatch particleWatch_{"CParticleUnit"};
  CUnitWatch leafWatch_{"CLeaf"};
  std::vector<std::string> wantedShots_;
  bool homeGoalShot_ = false;
  bool tourDone_ = false;
  size_t waypoint_ = 0;
  float bestDistance_ = 1e9f;
  uint64_t sinceProgress_ = 0;
  float previousYaw_ = 0;
  float jumpBaseY_ = 0;
  float previousX_ = 0, previousZ_ = 0;
  bool heldArrows_ = false, heldRun_ = false;
  uint64_t sinceRun_ = 0;
};

}  // namespace

RunRecord PlayScriptedRun(const std::string& name, const std::string& shotDir, int width, int height) {
  CScriptedRun run(name, shotDir, width, height);
  return run.Play();
}

}  // namespace e2e
