// A bone hierarchy with its animation keys: bones are frames placed at their joints (no rest
// rotation), poses are authored as angles per bone and sampled into rotation keys (and position
// keys for bones that move), 160 ticks per motion frame.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfxutil/math.h"
#include "x_document.h"

namespace assetgen {

constexpr uint32_t kTicksPerFrame = 160;

struct BonePose {
  gfxutil::Vector3 angles;  // radians about x, then y, then z
  gfxutil::Vector3 shift;   // added to the joint's rest place (bones marked as moving only)
};

class CSkeleton {
 public:
  int AddBone(const std::string& name, int parent, const gfxutil::Vector3& joint, bool moves = false);
  size_t Count() const { return bones_.size(); }
  const std::string& Name(int bone) const { return bones_[bone].name; }
  const gfxutil::Vector3& Joint(int bone) const { return bones_[bone].joint; }
  int Parent(int bone) const { return bones_[bone].parent; }
  std::vector<std::string> Names() const;
  // Bind pose: each bone's combined matrix is the translation to its joint; offsets undo it.
  std::vector<gfxutil::Matrix> Offsets() const;

  // Adds one key per bone at each frame (in ascending order), posed by `pose`.
  using PoseFn = std::function<void(float frame, std::vector<BonePose>& pose)>;
  void Sample(const std::vector<float>& frames, const PoseFn& pose);

  // The frames of a bone and its descendants; meshes given for a bone are attached to its frame.
  std::unique_ptr<xfile::CDataObject> FrameTree(
      const CXDocument& doc, int bone,
      std::map<int, std::vector<std::unique_ptr<xfile::CDataObject>>>* meshes) const;
  // Every root bone's frame tree.
  void AddRootFrames(const CXDocument& doc, xfile::CDataObject& parent,
                     std::map<int, std::vector<std::unique_ptr<xfile::CDataObject>>>* meshes = nullptr) const;
  std::unique_ptr<xfile::CDataObject> AnimationSet(const CXDocument& doc, const std::string& name) const;

  // The local matrix of a bone for a pose (rotation then translation to its place).
  gfxutil::Matrix Local(int bone, const BonePose& p) const;

 private:
  struct Bone {
    std::string name;
    int parent;
    gfxutil::Vector3 joint;
    bool moves;
    std::vector<std::pair<uint32_t, gfxutil::Quaternion>> rotations;  // as stored in the file
    std::vector<std::pair<uint32_t, gfxutil::Vector3>> positions;
  };
  std::vector<Bone> bones_;
};

// The rotation about x, then y, then z, as a D3DX quaternion.
gfxutil::Quaternion EulerQuaternion(const gfxutil::Vector3& angles);

}  // namespace assetgen
