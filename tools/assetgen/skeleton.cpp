#include "skeleton.h"

#include <cmath>

namespace assetgen {

using gfxutil::Matrix;
using gfxutil::Quaternion;
using gfxutil::Vector3;

Quaternion EulerQuaternion(const Vector3& a) {
  const Quaternion qx{std::sin(a.x / 2), 0, 0, std::cos(a.x / 2)};
  const Quaternion qy{0, std::sin(a.y / 2), 0, std::cos(a.y / 2)};
  const Quaternion qz{0, 0, std::sin(a.z / 2), std::cos(a.z / 2)};
  return gfxutil::QuaternionMultiply(gfxutil::QuaternionMultiply(qx, qy), qz);
}

int CSkeleton::AddBone(const std::string& name, int parent, const Vector3& joint, bool moves) {
  bones_.push_back({name, parent, joint, moves, {}, {}});
  return static_cast<int>(bones_.size()) - 1;
}

std::vector<std::string> CSkeleton::Names() const {
  std::vector<std::string> names;
  for (const Bone& b : bones_) names.push_back(b.name);
  return names;
}

std::vector<Matrix> CSkeleton::Offsets() const {
  std::vector<Matrix> out;
  for (const Bone& b : bones_) out.push_back(gfxutil::MatrixTranslation(-b.joint.x, -b.joint.y, -b.joint.z));
  return out;
}

Matrix CSkeleton::Local(int bone, const BonePose& p) const {
  const Bone& b = bones_[bone];
  Vector3 place = b.parent >= 0 ? b.joint - bones_[b.parent].joint : b.joint;
  if (b.moves) place += p.shift;
  return gfxutil::MatrixRotationQuaternion(EulerQuaternion(p.angles)) *
         gfxutil::MatrixTranslation(place.x, place.y, place.z);
}

void CSkeleton::Sample(const std::vector<float>& frames, const PoseFn& pose) {
  std::vector<BonePose> p(bones_.size());
  for (float f : frames) {
    for (BonePose& bp : p) bp = BonePose{};
    pose(f, p);
    const uint32_t t = static_cast<uint32_t>(std::lround(f * static_cast<float>(kTicksPerFrame)));
    for (size_t i = 0; i < bones_.size(); ++i) {
      Bone& b = bones_[i];
      // The file holds the inverse rotation: the loader negates w after interpolating.
      const Quaternion q = EulerQuaternion(p[i].angles);
      Quaternion file{-q.x, -q.y, -q.z, q.w};
      if (!b.rotations.empty() && gfxutil::QuaternionDot(b.rotations.back().second, file) < 0)
        file = {-file.x, -file.y, -file.z, -file.w};
      b.rotations.push_back({t, file});
      if (b.moves) {
        const Vector3 place = (b.parent >= 0 ? b.joint - bones_[b.parent].joint : b.joint) + p[i].shift;
        b.positions.push_back({t, place});
      }
    }
  }
}

std::unique_ptr<xfile::CDataObject> CSkeleton::FrameTree(
    const CXDocument& doc, int bone,
    std::map<int, std::vector<std::unique_ptr<xfile::CDataObject>>>* meshes) const {
  const Bone& b = bones_[bone];
  auto frame = doc.New("Frame", b.name);
  const Vector3 place = b.parent >= 0 ? b.joint - bones_[b.parent].joint : b.joint;
  frame->AddChild(doc.TransformMatrix(gfxutil::MatrixTranslation(place.x, place.y, place.z)));
  if (meshes) {
    auto it = meshes->find(bone);
    if (it != meshes->end())
      for (auto& m : it->second) frame->AddChild(std::move(m));
  }
  for (size_t i = 0; i < bones_.size(); ++i)
    if (bones_[i].parent == bone) frame->AddChild(FrameTree(doc, static_cast<int>(i), meshes));
  return frame;
}

void CSkeleton::AddRootFrames(const CXDocument& doc, xfile::CDataObject& parent,
                              std::map<int, std::vector<std::unique_ptr<xfile::CDataObject>>>* meshes) const {
  for (size_t i = 0; i < bones_.size(); ++i)
    if (bones_[i].parent < 0) parent.AddChild(FrameTree(doc, static_cast<int>(i), meshes));
}

std::unique_ptr<xfile::CDataObject> CSkeleton::AnimationSet(const CXDocument& doc,
                                                            const std::string& name) const {
  auto set = doc.New("AnimationSet", name);
  for (const Bone& b : bones_) {
    if (b.rotations.empty()) continue;
    auto anim = doc.New("Animation");
    anim->AddUnresolvedReference(b.name, nullptr);
    auto rot = doc.New("AnimationKey");
    rot->AppendDword(0), rot->AppendDword(static_cast<uint32_t>(b.rotations.size()));
    for (const auto& [t, q] : b.rotations) {
      rot->AppendDword(t), rot->AppendDword(4);
      rot->AppendFloat(q.w), rot->AppendFloat(q.x), rot->AppendFloat(q.y), rot->AppendFloat(q.z);
    }
    anim->AddChild(std::move(rot));
    if (!b.positions.empty()) {
      auto pos = doc.New("AnimationKey");
      pos->AppendDword(2), pos->AppendDword(static_cast<uint32_t>(b.positions.size()));
      for (const auto& [t, v] : b.positions) {
        pos->AppendDword(t), pos->AppendDword(3);
        pos->AppendFloat(v.x), pos->AppendFloat(v.y), pos->AppendFloat(v.z);
      }
      anim->AddChild(std::move(pos));
    }
    set->AddChild(std::move(anim));
  }
  return set;
}

}  // namespace assetgen
