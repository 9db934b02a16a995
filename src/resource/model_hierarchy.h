// The frame tree of a model file: frames with plain or skinned mesh parts and key-frame
// animation records, read object by object from a .x file. CModel poses and draws it.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfxutil/math.h"
#include "platform/gfxutil/mesh.h"
#include "platform/gfxutil/skin_mesh.h"

namespace xfile {
class CDataObject;
}

struct PositionKey {
  uint32_t time;
  float x, y, z;
};
struct RotationKey {
  uint32_t time;
  float x, y, z, w;
};
struct ScaleKey {
  uint32_t time;
  float x, y, z;
};
struct MatrixKey {
  uint32_t time;
  gfxutil::Matrix matrix;
};

struct MeshPart {
  std::unique_ptr<gfxutil::CMesh> mesh;  // the blended mesh for a skinned part
  std::vector<gfx::Material> materials;
  std::vector<gfx::TexturePtr> textures;
  uint32_t groupCount = 0;
  uint32_t materialCount = 0;
  uint32_t softwareSplit = 0;  // first bone combination the device cannot blend
  std::unique_ptr<MeshPart> next;
  std::string name;
  std::unique_ptr<gfxutil::CSkinMesh> skin;    // null without bones
  std::vector<gfxutil::Matrix*> boneLinks;     // combined matrix of each bone's frame
  std::vector<gfxutil::Matrix> unlinkedBones;  // stand-ins for bones that name no frame
  std::vector<std::string> boneNames;
  std::vector<gfxutil::Matrix> boneOffsets;
  std::vector<uint32_t> adjacency;
  int32_t maxFaceInfluences = 0;
  gfxutil::BoneCombinationTable combinations;
};

struct FrameNode {
  FrameNode();
  ~FrameNode();
  FrameNode(const FrameNode&) = delete;
  FrameNode& operator=(const FrameNode&) = delete;

  std::unique_ptr<MeshPart> parts;
  gfxutil::Matrix local;
  gfxutil::Matrix rest;
  gfxutil::Matrix combined;
  std::vector<PositionKey> positionKeys;
  std::vector<RotationKey> rotationKeys;
  std::vector<ScaleKey> scaleKeys;
  std::vector<MatrixKey> matrixKeys;
  FrameNode* nextAnimation = nullptr;  // not owned
  FrameNode* animatedFrame = nullptr;  // not owned
  std::unique_ptr<FrameNode> sibling;
  std::unique_ptr<FrameNode> child;
  std::string name;  // empty: the object had none

  // The first child goes first; later ones go directly after it, so they end up in reverse.
  void AddChild(std::unique_ptr<FrameNode> node);
};

struct ModelRoot {
  FrameNode frame;  // unnamed; the file's top-level frames are its children
  gfxutil::Vector3 center;
  float radius = 0;
  std::string fileName;
  FrameNode* animations = nullptr;  // newest first, through nextAnimation
  float time = 0;
};

class ModelHierarchy {
 public:
  static constexpr int kRecordSlots = 64;

  ModelHierarchy();
  ~ModelHierarchy();
  ModelHierarchy(const ModelHierarchy&) = delete;
  ModelHierarchy& operator=(const ModelHierarchy&) = delete;

  // Negative on failure; the hierarchy is then without a root.
  int32_t LoadHierarchy(const std::string& path);

  ModelRoot* Root() const { return root_.get(); }
  const std::string& FileName() const { return fileName_; }

  // Posing and drawing (the model's side).
  void SetTime(float time);
  void UpdateFrames(FrameNode& frame, const gfxutil::Matrix& parent);
  // False when a device call failed and the walk ended early.
  bool DrawFrames(FrameNode& frame);
  bool DrawMeshPart(MeshPart& part);

  int32_t recordCount = 0;
  gfxutil::Matrix record[kRecordSlots];
  gfxutil::Matrix boneAdjust[kRecordSlots];

  static FrameNode* FindFrame(FrameNode* tree, const std::string& name);

 private:
  int32_t LoadFrameObject(const xfile::CDataObject& object, FrameNode& parent);
  int32_t LoadAnimationSet(const xfile::CDataObject& object, FrameNode& parent);
  int32_t LoadAnimation(const xfile::CDataObject& object, FrameNode& parent);
  int32_t LoadMeshPart(const xfile::CDataObject& object, FrameNode& frame);
  int32_t BuildBlendedMesh(MeshPart& part);
  int32_t LinkBones(FrameNode& frame);
  void ComputeBounds();
  void Record(const gfxutil::Matrix& m);
  bool DrawGroup(MeshPart& part, uint32_t g, uint32_t& lastMaterial);

  std::unique_ptr<ModelRoot> root_;
  ModelRoot* loading_ = nullptr;  // the root being built
  std::string fileName_;
};

// The texture file of a model material: the model's directory followed by the name after its last
// backslash (a forward slash is kept as part of the name).
std::string ModelTexturePath(const std::string& modelPath, const std::string& textureName);
