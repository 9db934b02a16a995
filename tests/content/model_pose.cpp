#include "content/model_pose.h"

#include <cmath>
#include <cstring>

#include "platform/xfile/xfile.h"

namespace contenttest {

using gfxutil::Quaternion;
using xfile::CDataCursor;
using xfile::CDataObject;

PoseNode* CPosedModel::NewNode(PoseNode* parent, const std::string& name) {
  nodes_.push_back(std::make_unique<PoseNode>());
  PoseNode* n = nodes_.back().get();
  n->name = name;
  n->parent = parent;
  if (parent) {
    // The first child stays first; later ones go right after it, so they end up reversed.
    if (parent->children.empty())
      parent->children.push_back(n);
    else
      parent->children.insert(parent->children.begin() + 1, n);
  }
  return n;
}

bool CPosedModel::LoadObject(const void* object, PoseNode* parent, std::string& error) {
  const CDataObject& o = *static_cast<const CDataObject*>(object);
  const std::string& type = o.Template()->name;
  if (type == "Mesh") {
    PoseNode::Part part;
    std::vector<uint32_t> adjacency;
    uint32_t count = 0;
    const int32_t r = gfxutil::LoadSkinMeshFromXof(o, 0, nullptr, &adjacency, &part.materials, &count,
                                                   &part.bones, &part.offsets, part.skin);
    if (r != 0) {
      error = "mesh " + o.GetName() + " does not load";
      return false;
    }
    parent->parts.push_back(std::move(part));
    return true;
  }
  if (type == "FrameTransformMatrix") {
    CDataCursor c(o);
    for (int i = 0; i < 16; ++i) parent->local.m[i / 4][i % 4] = c.Float();
    parent->rest = parent->local;
    return c.Ok();
  }
  if (type == "Frame" || type == "AnimationSet" || type == "Animation") {
    PoseNode* n = NewNode(parent, type == "Animation" ? std::string() : o.GetName());
    if (type == "Animation") animations_.push_back(n);
    for (size_t i = 0; i < o.GetChildCount(); ++i) {
      const CDataObject::Child& c = o.GetChild(i);
      if (c.isReference) {
        if (type == "Animation") pendingRefs_.push_back({n, c.object ? c.object->GetName() : c.refName});
        continue;
      }
      const std::string& ct = c.object->Template()->name;
      if (type == "Animation" && ct == "AnimationKey") {
        CDataCursor k(*c.object);
        const uint32_t kind = k.Dword(), keys = k.Dword();
        for (uint32_t j = 0; j < keys; ++j) {
          const uint32_t t = k.Dword(), nv = k.Dword();
          float v[16] = {};
          for (uint32_t q = 0; q < nv && q < 16; ++q) v[q] = k.Float();
          if (kind == 0) n->rotations.push_back({t, Quaternion{v[1], v[2], v[3], v[0]}});
          if (kind == 1) n->scales.push_back({t, Vector3{v[0], v[1], v[2]}});
          if (kind == 2) n->positions.push_back({t, Vector3{v[0], v[1], v[2]}});
          if (kind != 0 && kind != 1 && kind != 2) {
            error = "unexpected key type";
            return false;
          }
        }
        if (!k.Ok()) {
          error = "short animation key";
          return false;
        }
        continue;
      }
      if (!LoadObject(c.object, n, error)) return false;
    }
    return true;
  }
  return true;
}

bool CPosedModel::Load(const std::string& path, std::string& error) {
  auto x = xfile::CXFile::Create();
  if (x->RegisterStandardTemplates() != xfile::DXFILE_OK) return error = "templates", false;
  std::unique_ptr<xfile::CEnumObject> e;
  if (x->CreateEnumObject(path, e) != xfile::DXFILE_OK) return error = "cannot open " + path, false;
  NewNode(nullptr, "");
  for (const auto& o : e->Objects())
    if (!LoadObject(o.get(), nodes_[0].get(), error)) return false;
  for (auto& [rec, name] : pendingRefs_) {
    const PoseNode* f = Find(name);
    if (!f) return error = "animation names no frame: " + name, false;
    rec->animated = const_cast<PoseNode*>(f);
  }
  for (auto& n : nodes_)
    for (auto& p : n->parts)
      for (const std::string& b : p.bones) {
        const PoseNode* f = Find(b);
        if (!f) return error = "bone names no frame: " + b, false;
        p.boneFrames.push_back(const_cast<PoseNode*>(f));
      }
  // Centre of the rest-pose vertices, as the loader re-centres the root on it.
  Update(Matrix{});
  Vector3 sum;
  int count = 0;
  for (auto& n : nodes_)
    for (auto& p : n->parts) {
      const gfxutil::CMesh* m = p.skin->GetOriginalMesh();
      for (uint32_t v = 0; v < m->GetNumVertices(); ++v) {
        const Vector3 pos = m->Position(v);
        if (pos.x == 0 && pos.y == 0 && pos.z == 0) continue;
        sum += gfxutil::Vec3TransformCoord(pos, n->combined);
        ++count;
      }
    }
  if (count) center_ = sum * (1.0f / static_cast<float>(count));
  nodes_[0]->local = nodes_[0]->rest = gfxutil::MatrixTranslation(-center_.x, -center_.y, -center_.z);
  return true;
}

const PoseNode* CPosedModel::Find(const std::string& name) const {
  // Depth first, a frame before its children, children before the next sibling.
  std::vector<const PoseNode*> stack{nodes_[0].get()};
  while (!stack.empty()) {
    const PoseNode* n = stack.back();
    stack.pop_back();
    if (!n->name.empty() && n->name == name) return n;
    for (auto it = n->children.rbegin(); it != n->children.rend(); ++it) stack.push_back(*it);
  }
  return nullptr;
}

namespace {

template <typename Key>
void Bracket(const std::vector<Key>& keys, float t, size_t& k1, size_t& k2, float& f) {
  const float tm = std::fmod(t, static_cast<float>(keys.back().first));
  k2 = keys.size();
  for (size_t i = 0; i < keys.size(); ++i)
    if (static_cast<float>(keys[i].first) > tm) {
      k2 = i;
      break;
    }
  if (k2 == keys.size()) k2 = 0;
  k1 = k2 == 0 ? 0 : k2 - 1;
  const float t1 = static_cast<float>(keys[k1].first), t2 = static_cast<float>(keys[k2].first);
  f = t2 != t1 ? (tm - t1) / (t2 - t1) : 0.0f;
}

}  // namespace

void CPosedModel::SetTime(float t) {
  for (PoseNode* a : animations_) {
    if (!a->animated) continue;
    Matrix r;
    bool moved = false;
    size_t k1, k2;
    float f;
    if (!a->scales.empty()) {
      Bracket(a->scales, t, k1, k2, f);
      const Vector3 s = gfxutil::Vec3Lerp(a->scales[k1].second, a->scales[k2].second, f);
      r = r * gfxutil::MatrixScaling(s.x, s.y, s.z), moved = true;
    }
    if (!a->rotations.empty()) {
      Bracket(a->rotations, t, k1, k2, f);
      const size_t n = a->rotations.size();
      const size_t k0 = k1 == 0 ? n - 1 : k1 - 1, k3 = k2 + 1 == n ? 0 : k2 + 1;
      Quaternion qa, qb, qc;
      gfxutil::QuaternionSquadSetup(qa, qb, qc, a->rotations[k0].second, a->rotations[k1].second,
                                    a->rotations[k2].second, a->rotations[k3].second);
      Quaternion q = gfxutil::QuaternionSquad(a->rotations[k1].second, qa, qb, qc, f);
      q.w = -q.w;
      r = r * gfxutil::MatrixRotationQuaternion(q), moved = true;
    }
    if (!a->positions.empty()) {
      Bracket(a->positions, t, k1, k2, f);
      const Vector3 p = gfxutil::Vec3Lerp(a->positions[k1].second, a->positions[k2].second, f);
      r = r * gfxutil::MatrixTranslation(p.x, p.y, p.z), moved = true;
    } else {
      const Matrix& rest = a->animated->rest;
      r = r * gfxutil::MatrixTranslation(rest.m[3][0], rest.m[3][1], rest.m[3][2]);
    }
    if (moved) a->animated->local = r;
  }
}

std::vector<Matrix> CPosedModel::Update(const Matrix& world) {
  std::vector<PoseNode*> stack{nodes_[0].get()};
  nodes_[0]->combined = nodes_[0]->local * world;
  while (!stack.empty()) {
    PoseNode* n = stack.back();
    stack.pop_back();
    for (PoseNode* c : n->children) {
      c->combined = c->local * n->combined;
      stack.push_back(c);
    }
  }
  std::vector<Matrix> record;
  Record(nodes_[0].get(), record);
  return record;
}

void CPosedModel::Record(const PoseNode* n, std::vector<Matrix>& out) const {
  if (!n->parts.empty()) {
    out.push_back(n->combined);
    for (const auto& p : n->parts)
      for (const PoseNode* b : p.boneFrames) out.push_back(b->combined);
  }
  for (const PoseNode* c : n->children) Record(c, out);
}

std::vector<PosedVertex> CPosedModel::Vertices() const {
  std::vector<PosedVertex> out;
  int partIndex = 0;
  for (const auto& n : nodes_)
    for (const auto& p : n->parts) {
      const gfxutil::CMesh* m = p.skin->GetOriginalMesh();
      const gfxutil::FvfLayout layout = gfxutil::GetFvfLayout(m->GetFVF());
      std::vector<Matrix> blend(m->GetNumVertices());
      std::vector<float> total(m->GetNumVertices(), 0.0f);
      for (auto& b : blend) b = Matrix{}, b.m[0][0] = b.m[1][1] = b.m[2][2] = b.m[3][3] = 0;
      for (uint32_t b = 0; b < p.boneFrames.size(); ++b) {
        std::vector<uint32_t> vs;
        std::vector<float> ws;
        p.skin->GetBoneInfluence(b, vs, ws);
        const Matrix bm = p.offsets[b] * p.boneFrames[b]->combined;
        for (size_t i = 0; i < vs.size(); ++i) {
          for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) blend[vs[i]].m[r][c] += ws[i] * bm.m[r][c];
          total[vs[i]] += ws[i];
        }
      }
      for (uint32_t v = 0; v < m->GetNumVertices(); ++v) {
        const Matrix& mm = total[v] > 0 ? blend[v] : n->combined;
        PosedVertex pv;
        pv.position = gfxutil::Vec3TransformCoord(m->Position(v), mm);
        const uint8_t* raw = m->Vertices() + static_cast<size_t>(v) * layout.stride;
        if (layout.normal >= 0) {
          Vector3 nrm;
          std::memcpy(&nrm, raw + layout.normal, sizeof nrm);
          pv.normal = gfxutil::Vec3Normalize(gfxutil::Vec3TransformNormal(nrm, mm));
        }
        if (layout.tex >= 0) std::memcpy(&pv.uv, raw + layout.tex, sizeof pv.uv);
        pv.part = partIndex;
        out.push_back(pv);
      }
      ++partIndex;
    }
  return out;
}

std::vector<uint32_t> CPosedModel::Indices() const {
  std::vector<uint32_t> out;
  uint32_t base = 0;
  for (const auto& n : nodes_)
    for (const auto& p : n->parts) {
      const gfxutil::CMesh* m = p.skin->GetOriginalMesh();
      for (uint32_t i = 0; i < m->GetNumFaces() * 3; ++i) out.push_back(base + m->Indices()[i]);
      base += m->GetNumVertices();
    }
  return out;
}

float CPosedModel::LastKeyTicks() const {
  float last = 0;
  for (const PoseNode* a : animations_) {
    if (!a->rotations.empty()) last = std::max(last, static_cast<float>(a->rotations.back().first));
    if (!a->positions.empty()) last = std::max(last, static_cast<float>(a->positions.back().first));
  }
  return last;
}

}  // namespace contenttest
