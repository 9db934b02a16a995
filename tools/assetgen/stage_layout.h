// Where things stand in the two stages: shared by the stage meshes, the stage scripts and the
// content tests, and matching the placements the stage scenes make (door, butterflies, goal).
#pragma once

#include "assetgen.h"

namespace assetgen {

// Home: ground at y 0, porch and house floor one low step up.
constexpr float kHomeStart[3] = {0, 0, -250};
constexpr float kHomeStartDegrees[3] = {0, 180, 0};  // facing +z, the house; the camera behind
constexpr float kHomeGoal[3] = {160, 0, 310};
constexpr float kHomeGoalRadius = 100;
constexpr float kHomeDoor[3] = {110, 100, 240};
constexpr float kHomeDoorSlide = 150;
constexpr float kHomeFloorY = 5;
constexpr float kHomeHedgeHeight = 90;
constexpr float kHomeHouse[4] = {-300, 400, 247,
                                 560};             // x0, x1, z0 (front face), z1: the door runs before it
constexpr float kHomeDoorway[3] = {35, 185, 200};  // x0, x1, height
constexpr float kHomePorch[4] = {120, 188.5f, 110, 58.5f};  // centre x, z; half x, z
constexpr float kHomeFlowerBedA[2] = {140, -10};
constexpr float kHomeFlowerBedB[2] = {-170, 0};

// Forest.
constexpr float kForestStart[3] = {0, 0, -400};
constexpr float kForestStartDegrees[3] = {0, 180, 0};
constexpr float kForestPlateau[4] = {300, 1000, 200, 800};  // x0, x1, z0, z1
constexpr float kForestPlateauHeight = 60;
constexpr float kForestRamp[3] = {100, 350, 500};  // foot x, z0, z1 (it climbs to the plateau's x0)

// Writes "data/scr/stg00_home.txt" and "data/scr/stg02_forest.txt".
bool GenerateStageScripts(const COutput& out);

}  // namespace assetgen
