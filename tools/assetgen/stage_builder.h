// Pieces shared by the stage generators: a height-field ground on a rectilinear grid, trees,
// rocks and hedges placed on it, and writing a piece as a mesh file with its collision file.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "assetgen.h"
#include "mesh_builder.h"

namespace assetgen {

// A small deterministic generator for placements (the same sequence on every run).
class CPlacementRandom {
 public:
  explicit CPlacementRandom(uint32_t seed) : state_(seed) {}
  uint32_t Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 8;
  }
  float Uniform(float lo, float hi) {
    return lo + (hi - lo) * static_cast<float>(Next() & 0xFFFF) / 65535.0f;
  }

 private:
  uint32_t state_;
};

using HeightFn = std::function<float(float x, float z)>;
// Picks the material of one ground cell from its centre and its (upward) face normal.
using CellMaterialFn = std::function<int(float x, float z, float normalY)>;

// A ground grid through the given x and z lines; shared vertices, two upward triangles per cell.
void AddGround(CMeshBuilder& b, const std::vector<float>& xs, const std::vector<float>& zs,
               const HeightFn& height, const CellMaterialFn& material, uint32_t seed);
// Grid lines from lo to hi: `fine` apart inside [innerLo, innerHi], coarser outside.
std::vector<float> GridLines(float lo, float hi, float innerLo, float innerHi, float fine);

// A tree standing at ground height y: a trunk reaching down into the ground and a canopy.
void AddTree(CMeshBuilder& b, int barkMaterial, int foliageMaterial, float x, float y, float z, float scale,
             bool pine, CPlacementRandom& rnd);
// A rock of roughly the given radius, half sunk into the ground at y.
void AddRock(CMeshBuilder& b, float x, float y, float z, float radius, CPlacementRandom& rnd);

// Writes "<dir>/<name>.mdl" (.x, the given encoding) and "<dir>/<name>.dec" from the same faces.
bool WritePiece(const COutput& out, const std::string& dir, const std::string& name, const CMeshBuilder& b,
                xfile::Encoding encoding);

uint32_t Grey(float f);

}  // namespace assetgen
