#include "resource/model_hierarchy.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/graphics.h"
#include "core/log.h"
#include "platform/xfile/xfile.h"
#include "resource/texture_file.h"

namespace {

using gfxutil::Matrix;
using gfxutil::Vector3;
using xfile::Guid;

constexpr int32_t kOk = 0;
constexpr int32_t kFail = static_cast<int32_t>(0x80004005);
constexpr int32_t kInvalidArg = static_cast<int32_t>(0x80070057);
constexpr int32_t kOutOfMemory = static_cast<int32_t>(0x8007000E);

constexpr Guid kFrame{0x3D82AB46, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
constexpr Guid kFrameTransformMatrix{
    0xF6F23F41, 0x7686, 0x11CF, {0x8F, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xA3}};
constexpr Guid kMesh{0x3D82AB44, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
constexpr Guid kAnimationSet{0x3D82AB50, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
constexpr Guid kAnimation{0x3D82AB4F, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
constexpr Guid kAnimationKey{0x10DD46A8, 0x775B, 0x11CF, {0x8F, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xA3}};

// Frees a subtree without recursing along sibling chains, however long a file makes them.
void FreeChain(std::unique_ptr<FrameNode>& head) {
  std::vector<std::unique_ptr<FrameNode>> pending;
  if (head) pending.push_back(std::move(head));
  while (!pending.empty()) {
    std::unique_ptr<FrameNode> node = std::move(pending.back());
    pending.pop_back();
    if (node->child) pending.push_back(std::move(node->child));
    if (node->sibling) pending.push_back(std::move(node->sibling));
  }
}

void FreeParts(std::unique_ptr<MeshPart>& head) {
  while (head) head = std::move(head->next);
}

Matrix ReadMatrix(const uint32_t* words) {
  Matrix m;
  std::memcpy(m.m, words, sizeof m.m);
  return m;
}

gfx::ColorValue Scaled(const gfx::ColorValue& c, float s) { return {c.r * s, c.g * s, c.b * s, c.a * s}; }

gfx::Material DefaultPartMaterial() {
  gfx::Material m;
  m.Diffuse = {0.5f, 0.5f, 0.5f, 0};
  m.Specular = m.Diffuse;
  m.Ambient = {0, 0, 0, 0};
  m.Emissive = {0, 0, 0, 0};
  m.Power = 1;
  return m;
}

// Searches for the first key later than tm; K1/K2 and the blend factor between them.
template <class Key>
void FindKeys(const std::vector<Key>& keys, float t, size_t& k1, size_t& k2, float& f) {
  const float last = static_cast<float>(keys.back().time);
  const float tm = last > 0 ? std::fmod(t, last) : 0.0f;
  size_t j = 0;
  while (j < keys.size() && static_cast<float>(keys[j].time) <= tm) ++j;
  if (j == keys.size() || j == 0) {
    k1 = k2 = 0;
  } else {
    k1 = j - 1;
    k2 = j;
  }
  const float t1 = static_cast<float>(keys[k1].time), t2 = static_cast<float>(keys[k2].time);
  f = t1 == t2 ? 0.0f : (tm - t1) / (t2 - t1);
}

// The highest bone slot in use, and how many are, among the first `slots`.
void UsedSlots(const gfxutil::BoneCombination& c, uint32_t slots, uint32_t& highest, uint32_t& used) {
  highest = 0;
  used = 0;
  for (uint32_t k = 0; k < slots; ++k) {
    if (c.BoneId[k] == gfxutil::kUnused) continue;
    highest = k;
    ++used;
  }
}

uint32_t MaxBlendMatrices() {
  gfx::CDevice* device = app::GetDevice();
  if (!device) return 0;
  gfx::Caps caps;
  device->GetDeviceCaps(caps);
  return caps.MaxVertexBlendMatrices;
}

}  // namespace

std::string ModelTexturePath(const std::string& modelPath, const std::string& textureName) {
  const size_t dirEnd = modelPath.rfind('/');
  const std::string dir = dirEnd == std::string::npos ? std::string() : modelPath.substr(0, dirEnd + 1);
  const size_t cut = textureName.rfind('\\');
  return dir + (cut == std::string::npos ? textureName : textureName.substr(cut + 1));
}

FrameNode::FrameNode() = default;

FrameNode::~FrameNode() {
  FreeParts(parts);
  FreeChain(child);
  FreeChain(sibling);
}

void FrameNode::AddChild(std::unique_ptr<FrameNode> node) {
  if (!child) {
    child = std::move(node);
    return;
  }
  node->sibling = std::move(child->sibling);
  child->sibling = std::move(node);
}

ModelHierarchy::ModelHierarchy() = default;
ModelHierarchy::~ModelHierarchy() = default;

FrameNode* ModelHierarchy::FindFrame(FrameNode* tree, const std::string& name) {
  // Depth first, a frame before its children, children before the next sibling.
  std::vector<FrameNode*> stack;
  if (tree) stack.push_back(tree);
  while (!stack.empty()) {
    FrameNode* f = stack.back();
    stack.pop_back();
    if (!f->name.empty() && f->name == name) return f;
    if (f->sibling) stack.push_back(f->sibling.get());
    if (f->child) stack.push_back(f->child.get());
  }
  return nullptr;
}

int32_t ModelHierarchy::LoadHierarchy(const std::string& path) {
  root_.reset();
  fileName_ = path;
  auto root = std::make_unique<ModelRoot>();
  if (path.size() < 2) return kFail;

  std::unique_ptr<xfile::CXFile> x = xfile::CXFile::Create();
  if (!x) return kFail;
  int32_t hr = x->RegisterStandardTemplates();
  if (xfile::Failed(hr)) return hr;
  std::unique_ptr<xfile::CEnumObject> e;
  hr = x->CreateEnumObject(path, e);
  if (xfile::Failed(hr)) return hr;

  loading_ = root.get();
  const xfile::CDataObject* object = nullptr;
  while (e->GetNextDataObject(object) == xfile::DXFILE_OK) {
    hr = LoadFrameObject(*object, root->frame);
    if (xfile::Failed(hr)) break;
  }
  if (!xfile::Failed(hr)) hr = LinkBones(root->frame);
  loading_ = nullptr;
  if (xfile::Failed(hr)) return hr;

  root->fileName = path;
  root_ = std::move(root);
  ComputeBounds();
  root_->time = 0;
  const Vector3& c = root_->center;
  root_->frame.local = gfxutil::MatrixTranslation(-c.x, -c.y, -c.z);
  root_->frame.rest = root_->frame.local;
  return kOk;
}

int32_t ModelHierarchy::LoadFrameObject(const xfile::CDataObject& object, FrameNode& parent) {
  const Guid& type = object.GetType();
  if (type == kMesh) return LoadMeshPart(object, parent);
  if (type == kFrameTransformMatrix) {
    if (object.GetDataSize() >= 64) {
      uint32_t words[16];
      std::memcpy(words, object.GetData(), sizeof words);
      parent.local = ReadMatrix(words);
      parent.rest = parent.local;
    }
    return kOk;
  }
  if (type == kAnimationSet) {
    LoadAnimationSet(object, parent);
    return kOk;
  }
  if (type == kAnimation) {
    LoadAnimation(object, parent);
    return kOk;
  }
  if (type == kFrame) {
    auto node = std::make_unique<FrameNode>();
    node->name = object.GetName();
    FrameNode& frame = *node;
    parent.AddChild(std::move(node));
    for (size_t i = 0; i < object.GetChildCount(); ++i) {
      const xfile::CDataObject::Child& c = object.GetChild(i);
      if (c.isReference || !c.object) continue;
      const int32_t hr = LoadFrameObject(*c.object, frame);
      if (xfile::Failed(hr)) return hr;
    }
  }
  return kOk;
}

int32_t ModelHierarchy::LoadAnimationSet(const xfile::CDataObject& object, FrameNode& parent) {
  auto node = std::make_unique<FrameNode>();
  node->name = object.GetName();
  FrameNode& set = *node;
  parent.AddChild(std::move(node));
  for (size_t i = 0; i < object.GetChildCount(); ++i) {
    const xfile::CDataObject::Child& c = object.GetChild(i);
    if (c.isReference || !c.object || c.object->GetType() != kAnimation) continue;
    const int32_t hr = LoadAnimation(*c.object, set);
    if (xfile::Failed(hr)) return hr;
  }
  return kOk;
}

int32_t ModelHierarchy::LoadAnimation(const xfile::CDataObject& object, FrameNode& parent) {
  auto node = std::make_unique<FrameNode>();
  FrameNode& record = *node;
  parent.AddChild(std::move(node));
  record.nextAnimation = loading_->animations;
  loading_->animations = &record;

  for (size_t i = 0; i < object.GetChildCount(); ++i) {
    const xfile::CDataObject::Child& c = object.GetChild(i);
    if (!c.object) continue;
    const Guid& type = c.object->GetType();
    if (c.isReference) {
      if (type != kFrame) continue;
      if (record.animatedFrame) return kInvalidArg;
      const std::string& name = c.object->GetName();
      if (name.empty()) return kInvalidArg;
      FrameNode* target = FindFrame(&loading_->frame, name);
      if (!target) return kInvalidArg;
      record.animatedFrame = target;
      continue;
    }
    if (type == kFrame) {
      const int32_t hr = LoadFrameObject(*c.object, record);
      if (xfile::Failed(hr)) return hr;
      continue;
    }
    if (type != kAnimationKey) continue;

    // Fixed-size key records whatever value count each key declares; a block that does not
    // hold as many as it claims is refused rather than read past its end.
    const uint8_t* data = c.object->GetData();
    const size_t size = c.object->GetDataSize();
    if (size < 8) return kInvalidArg;
    uint32_t keyType = 0, count = 0;
    std::memcpy(&keyType, data, 4);
    std::memcpy(&count, data + 4, 4);
    size_t words = 0;
    switch (keyType) {
      case 0:
        words = 6;
        break;
      case 1:
      case 2:
        words = 5;
        break;
      case 4:
        words = 18;
        break;
      default:
        return kInvalidArg;
    }
    if ((keyType == 0 && !record.rotationKeys.empty()) || (keyType == 1 && !record.scaleKeys.empty()) ||
        (keyType == 2 && !record.positionKeys.empty()) || (keyType == 4 && !record.matrixKeys.empty()))
      return kInvalidArg;
    if (count > (size - 8) / (words * 4)) return kInvalidArg;
    std::vector<uint32_t> w(count * words);
    if (count != 0 && w.empty()) return kOutOfMemory;
    if (count != 0) std::memcpy(w.data(), data + 8, w.size() * 4);
    auto f = [&](size_t k, size_t n) {
      float v;
      std::memcpy(&v, &w[k * words + n], 4);
      return v;
    };
    for (uint32_t k = 0; k < count; ++k) {
      const uint32_t time = w[k * words];
      switch (keyType) {
        case 0:
          record.rotationKeys.push_back({time, f(k, 3), f(k, 4), f(k, 5), f(k, 2)});
          break;
        case 1:
          record.scaleKeys.push_back({time, f(k, 2), f(k, 3), f(k, 4)});
          break;
        case 2:
          record.positionKeys.push_back({time, f(k, 2), f(k, 3), f(k, 4)});
          break;
        case 4:
          record.matrixKeys.push_back({time, ReadMatrix(&w[k * words + 2])});
          break;
      }
    }
  }
  return kOk;
}

int32_t ModelHierarchy::LoadMeshPart(const xfile::CDataObject& object, FrameNode& frame) {
  auto part = std::make_unique<MeshPart>();
  part->name = object.GetName();
  gfx::CDevice* device = app::GetDevice();

  std::vector<uint32_t> adjacency;
  std::vector<gfxutil::XMaterial> materials;
  uint32_t materialCount = 0;
  int32_t hr = gfxutil::LoadSkinMeshFromXof(object, 0, device, &adjacency, &materials, &materialCount,
                                            &part->boneNames, &part->boneOffsets, part->skin);
  if (hr == gfxutil::D3DXERR_LOADEDMESHASNODATA) return kOk;
  if (xfile::Failed(hr) || !part->skin) return xfile::Failed(hr) ? hr : kFail;

  const uint32_t faces = part->skin->GetOriginalMesh()->GetNumFaces();
  part->adjacency.assign(adjacency.begin(), adjacency.end());
  part->adjacency.resize(size_t(faces) * 3, gfxutil::kUnused);

  const uint32_t bones = part->skin->GetNumBones();
  if (bones > 0) {
    part->boneLinks.assign(bones, nullptr);
    part->unlinkedBones.assign(bones, Matrix());
    part->boneOffsets.resize(bones);
    hr = BuildBlendedMesh(*part);
    if (xfile::Failed(hr)) return hr;
  } else {
    part->mesh = part->skin->ReleaseOriginalMesh();
    part->skin.reset();
  }
  part->materialCount = std::min<uint32_t>(materialCount, static_cast<uint32_t>(materials.size()));
  if (bones == 0) part->groupCount = part->materialCount;

  if (part->materialCount > 0) {
    part->materials.resize(part->materialCount);
    part->textures.resize(part->materialCount);
    for (uint32_t i = 0; i < part->materialCount; ++i) {
      gfx::Material m = materials[i].MatD3D;
      m.Ambient = Scaled(m.Diffuse, 0.3f);
      m.Emissive = Scaled(m.Diffuse, 0.125f);
      m.Specular = m.Diffuse;
      m.Power = 1;
      part->materials[i] = m;
      const std::string& tex = materials[i].TextureFilename;
      if (tex.empty()) continue;
      const std::string texPath = ModelTexturePath(fileName_, tex);
      part->textures[i] = LoadTexture(texPath.c_str(), 1);
      // The image line, so a missing texture is as visible in the log as a missing sprite.
      if (!part->textures[i] && app::GetDevice()) Log("NotFound %s\n", texPath.c_str());
    }
  } else {
    part->materials.assign(1, DefaultPartMaterial());
    part->textures.assign(1, nullptr);
  }

  part->next = std::move(frame.parts);
  frame.parts = std::move(part);
  return kOk;
}

int32_t ModelHierarchy::BuildBlendedMesh(MeshPart& part) {
  part.mesh.reset();
  part.combinations = gfxutil::BoneCombinationTable{};
  const int32_t hr = part.skin->ConvertToBlendedMesh(
      gfxutil::D3DXMESH_MANAGED | gfxutil::D3DXMESHOPT_VERTEXCACHE, part.adjacency.data(), nullptr,
      part.combinations, nullptr, nullptr, part.mesh);
  if (xfile::Failed(hr)) return hr;
  if (!part.mesh) return kFail;
  part.groupCount = static_cast<uint32_t>(part.combinations.entries.size());

  const uint32_t position = part.mesh->GetFVF() & 0xE;
  part.maxFaceInfluences = position == 2 ? 1 : 1 + (static_cast<int32_t>(position) - 4) / 2;

  const uint32_t maxBlend = MaxBlendMatrices();
  part.softwareSplit = part.groupCount;
  if (maxBlend > 2) return kOk;
  const uint32_t slots =
      std::min<uint32_t>(static_cast<uint32_t>(part.maxFaceInfluences), part.combinations.influences);
  for (uint32_t g = 0; g < part.groupCount; ++g) {
    uint32_t highest = 0, used = 0;
    UsedSlots(part.combinations.entries[g], slots, highest, used);
    if (used > maxBlend) {
      part.softwareSplit = g;
      break;
    }
  }
  if (part.softwareSplit < part.groupCount) {
    std::unique_ptr<gfxutil::CMesh> software =
        part.mesh->CloneMeshFVF(part.mesh->GetOptions() | gfxutil::D3DXMESH_SOFTWAREPROCESSING,
                                part.mesh->GetFVF(), part.mesh->GetDevice());
    if (!software) return kFail;
    part.mesh = std::move(software);
  }
  return kOk;
}

int32_t ModelHierarchy::LinkBones(FrameNode& tree) {
  std::vector<FrameNode*> stack{&tree};
  while (!stack.empty()) {
    FrameNode* f = stack.back();
    stack.pop_back();
    for (MeshPart* p = f->parts.get(); p; p = p->next.get()) {
      if (!p->skin) continue;
      for (size_t i = 0; i < p->boneLinks.size(); ++i) {
        FrameNode* bone = FindFrame(&tree, p->skin->GetBoneName(static_cast<uint32_t>(i)));
        p->boneLinks[i] = bone ? &bone->combined : &p->unlinkedBones[i];
      }
    }
    if (f->sibling) stack.push_back(f->sibling.get());
    if (f->child) stack.push_back(f->child.get());
  }
  return kOk;
}

void ModelHierarchy::ComputeBounds() {
  ModelRoot& root = *root_;
  struct Item {
    const FrameNode* frame;
    Matrix parent;
  };
  // Both walks see the same transformed, counted vertices.
  auto walk = [&](auto&& visit) {
    std::vector<Item> stack{{&root.frame, Matrix()}};
    while (!stack.empty()) {
      const Item item = stack.back();
      stack.pop_back();
      const Matrix m = item.frame->local * item.parent;
      for (const MeshPart* p = item.frame->parts.get(); p; p = p->next.get()) {
        if (!p->mesh) continue;
        for (uint32_t v = 0; v < p->mesh->GetNumVertices(); ++v) {
          const Vector3 pos = p->mesh->Position(v);
          if (pos.x == 0 && pos.y == 0 && pos.z == 0) continue;
          visit(gfxutil::Vec3TransformCoord(pos, m));
        }
      }
      if (item.frame->sibling) stack.push_back({item.frame->sibling.get(), item.parent});
      if (item.frame->child) stack.push_back({item.frame->child.get(), m});
    }
  };
  Vector3 sum;
  uint32_t count = 0;
  walk([&](const Vector3& p) {
    sum += p;
    ++count;
  });
  root.center = Vector3();
  root.radius = 0;
  if (count == 0) return;
  root.center = sum * (1.0f / static_cast<float>(count));
  float largest = 0;
  walk([&](const Vector3& p) { largest = std::max(largest, gfxutil::Vec3LengthSq(p - root.center)); });
  root.radius = std::sqrt(largest);
}

void ModelHierarchy::SetTime(float time) {
  if (!root_) return;
  root_->time = time > 1e15f ? 0.0f : time;
  const float t = root_->time;
  for (FrameNode* a = root_->animations; a; a = a->nextAnimation) {
    if (!a->animatedFrame) continue;
    size_t k1 = 0, k2 = 0;
    float f = 0;
    if (!a->matrixKeys.empty()) {
      FindKeys(a->matrixKeys, t, k1, k2, f);
      a->animatedFrame->local = f > 0.5f ? a->matrixKeys[k2].matrix : a->matrixKeys[k1].matrix;
      continue;
    }
    Matrix r;
    bool set = false;
    if (!a->scaleKeys.empty()) {
      FindKeys(a->scaleKeys, t, k1, k2, f);
      const ScaleKey &s1 = a->scaleKeys[k1], &s2 = a->scaleKeys[k2];
      r = r * gfxutil::MatrixScaling(s1.x + f * (s2.x - s1.x), s1.y + f * (s2.y - s1.y),
                                     s1.z + f * (s2.z - s1.z));
      set = true;
    }
    if (!a->rotationKeys.empty()) {
      const auto& keys = a->rotationKeys;
      FindKeys(keys, t, k1, k2, f);
      const size_t n = keys.size();
      const size_t k0 = k1 == 0 ? n - 1 : k1 - 1;
      const size_t k3 = k2 + 1 == n ? 0 : k2 + 1;
      auto q = [&](size_t k) { return gfxutil::Quaternion(keys[k].x, keys[k].y, keys[k].z, keys[k].w); };
      gfxutil::Quaternion qa, qb, qc;
      gfxutil::QuaternionSquadSetup(qa, qb, qc, q(k0), q(k1), q(k2), q(k3));
      gfxutil::Quaternion out = gfxutil::QuaternionSquad(q(k1), qa, qb, qc, f);
      out.w = -out.w;
      r = r * gfxutil::MatrixRotationQuaternion(out);
      set = true;
    }
    if (!a->positionKeys.empty()) {
      FindKeys(a->positionKeys, t, k1, k2, f);
      const PositionKey &p1 = a->positionKeys[k1], &p2 = a->positionKeys[k2];
      r = r * gfxutil::MatrixTranslation(p1.x + f * (p2.x - p1.x), p1.y + f * (p2.y - p1.y),
                                         p1.z + f * (p2.z - p1.z));
      set = true;
    } else {
      const Matrix& rest = a->animatedFrame->rest;
      r = r * gfxutil::MatrixTranslation(rest.m[3][0], rest.m[3][1], rest.m[3][2]);
    }
    if (set) a->animatedFrame->local = r;
  }
}

void ModelHierarchy::UpdateFrames(FrameNode& frame, const Matrix& parent) {
  frame.combined = frame.local * parent;
  for (FrameNode* c = frame.child.get(); c; c = c->sibling.get()) UpdateFrames(*c, frame.combined);
}

void ModelHierarchy::Record(const Matrix& m) {
  if (recordCount >= kRecordSlots) return;
  record[recordCount++] = m;
}

bool ModelHierarchy::DrawFrames(FrameNode& frame) {
  if (frame.parts) {
    gfx::CDevice* device = app::GetDevice();
    if (!device) return false;
    device->SetTransform(gfx::D3DTS_WORLD, frame.combined);
    Record(device->GetTransform(gfx::D3DTS_WORLD));
    for (MeshPart* p = frame.parts.get(); p; p = p->next.get())
      if (!DrawMeshPart(*p)) return false;
  }
  for (FrameNode* c = frame.child.get(); c; c = c->sibling.get())
    if (!DrawFrames(*c)) return false;
  return true;
}

bool ModelHierarchy::DrawGroup(MeshPart& part, uint32_t g, uint32_t& lastMaterial) {
  gfx::CDevice* device = app::GetDevice();
  const gfxutil::BoneCombination& c = part.combinations.entries[g];
  const uint32_t slots =
      std::min<uint32_t>(static_cast<uint32_t>(part.maxFaceInfluences), part.combinations.influences);
  uint32_t highest = 0, used = 0;
  UsedSlots(c, slots, highest, used);
  for (uint32_t k = 0; k < slots; ++k) {
    const uint32_t bone = c.BoneId[k];
    if (bone == gfxutil::kUnused || bone >= part.boneLinks.size()) continue;
    device->SetTransform(gfx::D3DTS_WORLDMATRIX(k), *part.boneLinks[bone]);
    device->MultiplyTransform(gfx::D3DTS_WORLDMATRIX(k), part.boneOffsets[bone]);
  }
  device->SetRenderState(gfx::D3DRS_VERTEXBLEND, highest);
  if (c.AttribId != lastMaterial) {
    lastMaterial = c.AttribId;
    // Faces may name a material the file does not list: those draw with the first.
    const uint32_t m = c.AttribId < part.materials.size() ? c.AttribId : 0;
    device->SetMaterial(part.materials[m]);
    device->SetTexture(0, part.textures[m].get());
  }
  return part.mesh->DrawSubset(g) == gfx::D3D_OK;
}

bool ModelHierarchy::DrawMeshPart(MeshPart& part) {
  gfx::CDevice* device = app::GetDevice();
  if (!device || !part.mesh) return true;
  if (!part.skin) {
    for (uint32_t i = 0; i < part.groupCount && i < part.materials.size(); ++i) {
      device->SetMaterial(part.materials[i]);
      device->SetTexture(0, part.textures[i].get());
      if (part.mesh->DrawSubset(i) != gfx::D3D_OK) return false;
    }
    return true;
  }

  for (size_t i = 0; i < part.boneLinks.size(); ++i) {
    Matrix* link = part.boneLinks[i];
    if (link >= part.unlinkedBones.data() && link < part.unlinkedBones.data() + part.unlinkedBones.size())
      *link = Matrix();  // a bone without a frame stays at identity, adjustments do not pile up
    Record(*link);
    if (i < static_cast<size_t>(kRecordSlots)) *link = *link * boneAdjust[i];
  }

  const uint32_t maxBlend = MaxBlendMatrices();
  const uint32_t slots =
      std::min<uint32_t>(static_cast<uint32_t>(part.maxFaceInfluences), part.combinations.influences);
  constexpr uint32_t kNone = 0xFFFFFFFF;
  uint32_t lastMaterial = kNone;
  bool ok = true;
  for (uint32_t g = 0; g < part.groupCount && ok; ++g) {
    uint32_t highest = 0, used = 0;
    UsedSlots(part.combinations.entries[g], slots, highest, used);
    if (maxBlend >= highest + 1) ok = DrawGroup(part, g, lastMaterial);
  }
  if (ok && part.softwareSplit < part.groupCount) {
    device->SetRenderState(gfx::D3DRS_SOFTWAREVERTEXPROCESSING, 1);
    lastMaterial = kNone;
    for (uint32_t g = part.softwareSplit; g < part.groupCount && ok; ++g) {
      uint32_t highest = 0, used = 0;
      UsedSlots(part.combinations.entries[g], slots, highest, used);
      if (highest + 1 > maxBlend) ok = DrawGroup(part, g, lastMaterial);
    }
    device->SetRenderState(gfx::D3DRS_SOFTWAREVERTEXPROCESSING, 0);
  }
  device->SetRenderState(gfx::D3DRS_VERTEXBLEND, 0);
  return ok;
}
