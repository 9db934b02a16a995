// A summary of a .x model for inspection: the frame tree, each mesh's counts and bones, the
// animation sets with their key counts, and the bounding sphere of the drawable vertices as the
// model loader computes it (vertices at the origin left out, frame transforms applied).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gfxutil/math.h"

namespace gfxutil {

struct XInfo {
  struct Frame {
    int depth = 0;
    std::string name;
  };
  struct Mesh {
    std::string frame, name;
    uint32_t vertices = 0, faces = 0, triangles = 0, materials = 0;
    std::vector<std::string> bones;
  };
  struct Animation {
    std::string frame;
    uint32_t rotation = 0, scale = 0, position = 0, matrix = 0;
  };
  struct AnimationSet {
    std::string name;
    std::vector<Animation> animations;
  };
  std::vector<Frame> frames;
  std::vector<Mesh> meshes;
  std::vector<AnimationSet> sets;
  Vector3 center;
  float radius = 0;
};

// False (with a reason) when the file cannot be read as .x.
bool DescribeXFile(const void* data, size_t size, XInfo& out, std::string& error);
// One line per item: "frame", "mesh", "bone", "animationset", "animation", "sphere".
std::vector<std::string> FormatXInfo(const XInfo& info);

}  // namespace gfxutil
