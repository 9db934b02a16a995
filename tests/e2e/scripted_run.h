// One scripted play-through of the whole game: the logo, X on the title, the telop, the home stage
// walked to its goal by the autopilot, and a minute in the forest (walking, running, jumping, look
// mode, the camera circled). Records what a test checks afterwards.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace e2e {

// Particle units or leaves of one stage: how many appeared and how many the stage removed again.
struct UnitTally {
  int spawned = 0;
  int removed = 0;
  int peak = 0;
};

struct Position {
  float x = 0, y = 0, z = 0;
};

struct RunRecord {
  int exitCode = -1;
  uint64_t frames = 0;
  // Each scene with the first frame at whose end it was current; and the order they came in.
  std::map<std::string, uint64_t> firstFrame;
  std::vector<std::string> sceneOrder;

  // Frames in which the game acted on a scripted press (the poll of that frame saw the key).
  uint64_t confirmFrame = 0;   // X on the title
  uint64_t goalFrame = 0;      // the home frame that reached the goal (its phase turned 1)
  uint64_t idleJumpFrame = 0;  // Z while standing in the forest
  uint64_t walkJumpFrame = 0;  // Z while walking in the forest
  uint64_t lookOnFrame = 0;    // keypad 8, look mode on
  uint64_t lookOffFrame = 0;   // keypad 8 again, look mode off
  int lookModeAfterOn = -1;    // the look flag after those frames
  int lookModeAfterOff = -1;
  Position goalPosition;  // where the player stood when the home stage ended

  // Home: where the player started, how close the autopilot came before the goal.
  Position homeStart;
  float homeClosest = 1e9f;
  // Forest waypoints the autopilot reached, in order, with the frame.
  std::vector<uint64_t> waypointFrames;
  float highestPlayerY = -1e9f;  // in the forest (the plateau is 60 up)
  float cameraYawTurned = 0;     // total orbit of the camera in the forest, radians
  float idleJumpRise = 0;        // how far the jump from standing lifted the player
  float topWalkSpeed = 0;        // horizontal speed per frame in the forest, arrows alone
  float topRunSpeed = 0;         // ... with X held

  std::map<std::string, UnitTally> particles;  // by stage scene name
  std::map<std::string, UnitTally> leaves;

  // Frames in which the music stream played.
  uint64_t musicFirstHome = 0, musicLastHome = 0, musicFirstForest = 0, musicLastForest = 0;
  uint64_t musicFramesBeforeHome = 0;

  Position playerEnd, bearEnd;
  float bearDistanceEnd = 1e9f;

  std::vector<double> energy;  // mean square of the mix per frame; index 0 is frame 1
  std::vector<float> mix;      // both channels summed, 735 samples per frame from frame 1 on
  bool audioCaptured = false;
  std::string log;
  bool logWritten = false;
  std::vector<std::string> shots;
  std::vector<double> shotContrast;
  int failedShots = 0;
};

// Plays the script in a width x height window. shotDir empty: no screenshots.
RunRecord PlayScriptedRun(const std::string& name, const std::string& shotDir, int width, int height);

// The forest minute: frames of play in the forest after it has faded in.
constexpr uint64_t kForestFrames = 3600;

}  // namespace e2e
