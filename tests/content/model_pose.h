// A test-side reading of a generated model the way the game's model loader treats it: the frame
// tree in its linked order, animation records evaluated at a time, combined matrices, the
// matrix record of a draw, and the skinned vertices in the world for a pose.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/gfxutil/math.h"
#include "platform/gfxutil/skin_mesh.h"

namespace contenttest {

using gfxutil::Matrix;
using gfxutil::Vector3;

struct PoseNode {
  std::string name;
  Matrix local, rest, combined;
  std::vector<PoseNode*> children;  // in the loader's linked order
  PoseNode* parent = nullptr;
  struct Part {
    std::unique_ptr<gfxutil::CSkinMesh> skin;
    std::vector<std::string> bones;
    std::vector<Matrix> offsets;
    std::vector<PoseNode*> boneFrames;
    std::vector<gfxutil::XMaterial> materials;
  };
  std::vector<Part> parts;
  // Animation keys (animation records only).
  PoseNode* animated = nullptr;
  std::vector<std::pair<uint32_t, gfxutil::Quaternion>> rotations;
  std::vector<std::pair<uint32_t, Vector3>> scales, positions;
};

struct PosedVertex {
  Vector3 position, normal;
  gfxutil::Vector2 uv;
  int part = 0;
};

class CPosedModel {
 public:
  // False when the file does not read as the game's loader would take it.
  bool Load(const std::string& path, std::string& error);
  // Evaluates every animation record at `ticks` (motion frame x 160).
  void SetTime(float ticks);
  // Combined matrices under a world matrix; returns the matrix record of a draw.
  std::vector<Matrix> Update(const Matrix& world);
  // Every part's vertices placed by the current combined matrices (skinned or rigid).
  std::vector<PosedVertex> Vertices() const;
  // Triangles of part `part` as indices into Vertices() (offset included).
  std::vector<uint32_t> Indices() const;
  const PoseNode* Find(const std::string& name) const;
  const std::vector<std::unique_ptr<PoseNode>>& Nodes() const { return nodes_; }
  const std::vector<PoseNode*>& Animations() const { return animations_; }
  const Vector3& Center() const { return center_; }
  float LastKeyTicks() const;

 private:
  PoseNode* NewNode(PoseNode* parent, const std::string& name);
  bool LoadObject(const void* object, PoseNode* parent, std::string& error);
  void Record(const PoseNode* n, std::vector<Matrix>& out) const;

  std::vector<std::unique_ptr<PoseNode>> nodes_;  // nodes_[0] is the root
  std::vector<PoseNode*> animations_;
  std::vector<std::pair<PoseNode*, std::string>> pendingRefs_;
  Vector3 center_;
};

}  // namespace contenttest
