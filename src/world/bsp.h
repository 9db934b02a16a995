// Background pieces: the static scenery, drawn subset by subset with distance and screen-margin
// culling, each placing its collision model in the collision world. The drawing classes come
// with the meshes; the rules they follow are here.
#pragma once
#include <cstdint>
#include <string>

#include "platform/gfxutil/math.h"

// The collision file of a mesh file: its last three characters replaced by "dec".
std::string CollisionFileName(const std::string& meshFileName);

enum SubsetVisibility : int32_t {
  kSubsetDrawn = 1,
  kSubsetBeyondView = 0,
  kSubsetOffScreen = -2,
};

// Whether a subset's bounding sphere (center, radius) is drawn from `eye`: culled beyond
// viewDistance + radius, or when its projected center lies more than 8 x radius + 1280 pixels off
// a width x height screen; always drawn from inside the sphere. viewProjection is the camera's
// view x projection.
SubsetVisibility DecideSubsetVisibility(const gfxutil::Vector3& eye, const gfxutil::Vector3& center,
                                        float radius, float viewDistance,
                                        const gfxutil::Matrix& viewProjection, int32_t width, int32_t height);
