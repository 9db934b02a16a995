#include "platform/gfxutil/mesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gfxutil/x_mesh_data.h"
#include "platform/os/files.h"
#include "platform/xfile/xfile.h"

namespace gfxutil {

FvfLayout GetFvfLayout(uint32_t fvf) {
  FvfLayout l;
  uint32_t off = 0;
  switch (fvf & gfx::D3DFVF_POSITION_MASK) {
    case gfx::D3DFVF_XYZ:
      off = 12;
      break;
    case gfx::D3DFVF_XYZRHW:
      off = 16;
      break;
    case gfx::D3DFVF_XYZB1:
    case gfx::D3DFVF_XYZB2:
    case gfx::D3DFVF_XYZB3:
    case gfx::D3DFVF_XYZB4:
    case 0x00E:  // XYZB5
      l.weights = ((fvf & gfx::D3DFVF_POSITION_MASK) - 4) / 2;
      off = 12 + 4 * l.weights;
      break;
    default:
      return l;
  }
  if (fvf & gfx::D3DFVF_NORMAL) l.normal = static_cast<int>(off), off += 12;
  if (fvf & 0x020) off += 4;  // point size
  if (fvf & gfx::D3DFVF_DIFFUSE) l.diffuse = static_cast<int>(off), off += 4;
  if (fvf & gfx::D3DFVF_SPECULAR) l.specular = static_cast<int>(off), off += 4;
  l.texCount = (fvf & gfx::D3DFVF_TEXCOUNT_MASK) >> 8;
  if (l.texCount > 8) return l;
  if (l.texCount) l.tex = static_cast<int>(off), off += 8 * l.texCount;
  l.stride = off;
  l.valid = true;
  return l;
}

std::unique_ptr<CMesh> CMesh::Create(uint32_t numFaces, uint32_t numVertices, uint32_t options, uint32_t fvf,
                                     gfx::CDevice* device) {
  const FvfLayout l = GetFvfLayout(fvf);
  if (!l.valid || numVertices > 0x10000 || numFaces > 0x1000000) return nullptr;
  std::unique_ptr<CMesh> m(new CMesh());
  m->numFaces_ = numFaces;
  m->numVertices_ = numVertices;
  m->options_ = options;
  m->fvf_ = fvf;
  m->layout_ = l;
  m->device_ = device;
  m->vertices_.assign(static_cast<size_t>(numVertices) * l.stride, 0);
  m->indices_.assign(static_cast<size_t>(numFaces) * 3, 0);
  m->attributes_.assign(numFaces, 0);
  return m;
}

Vector3 CMesh::Position(uint32_t vertex) const {
  Vector3 p;
  std::memcpy(&p, vertices_.data() + static_cast<size_t>(vertex) * layout_.stride, 12);
  return p;
}

void CMesh::GetAttributeTable(AttributeRange* table, uint32_t* count) const {
  if (!count) return;
  if (table) std::copy_n(table_.begin(), std::min<size_t>(*count, table_.size()), table);
  *count = static_cast<uint32_t>(table_.size());
}

namespace {
// Representative vertex per vertex: the lowest-numbered one at (almost) the same position.
std::vector<uint32_t> PointReps(const CMesh& m, float epsilon) {
  const uint32_t n = m.GetNumVertices();
  std::vector<uint32_t> rep(n);
  std::vector<uint32_t> order(n);
  std::vector<Vector3> pos(n);
  for (uint32_t i = 0; i < n; ++i) {
    order[i] = i;
    pos[i] = m.Position(i);
    // +0 and -0 are one point.
    if (pos[i].x == 0) pos[i].x = 0;
    if (pos[i].y == 0) pos[i].y = 0;
    if (pos[i].z == 0) pos[i].z = 0;
  }
  auto less = [&](uint32_t a, uint32_t b) {
    const Vector3& p = pos[a];
    const Vector3& q = pos[b];
    if (p.x != q.x) return p.x < q.x;
    if (p.y != q.y) return p.y < q.y;
    if (p.z != q.z) return p.z < q.z;
    return a < b;
  };
  for (uint32_t i = 0; i < n; ++i) rep[i] = i;
  if (epsilon <= 0) {
    // Exact matches only: group by the bit patterns, sorted as plain integers.
    struct Key {
      uint32_t x, y, z, i;
    };
    std::vector<Key> keys(n);
    for (uint32_t i = 0; i < n; ++i) {
      keys[i].i = i;
      std::memcpy(&keys[i].x, &pos[i].x, 4);
      std::memcpy(&keys[i].y, &pos[i].y, 4);
      std::memcpy(&keys[i].z, &pos[i].z, 4);
    }
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
      if (a.x != b.x) return a.x < b.x;
      if (a.y != b.y) return a.y < b.y;
      if (a.z != b.z) return a.z < b.z;
      return a.i < b.i;
    });
    for (size_t i = 1; i < n; ++i)
      if (keys[i].x == keys[i - 1].x && keys[i].y == keys[i - 1].y && keys[i].z == keys[i - 1].z)
        rep[keys[i].i] = rep[keys[i - 1].i];
    return rep;
  }
  std::sort(order.begin(), order.end(), less);
  for (size_t i = 0; i < n; ++i) {
    const Vector3 a = pos[order[i]];
    for (size_t j = i + 1; j < n && pos[order[j]].x - a.x <= epsilon; ++j) {
      const Vector3 d = pos[order[j]] - a;
      if (std::fabs(d.y) <= epsilon && std::fabs(d.z) <= epsilon) {
        const uint32_t lo = std::min(rep[order[i]], rep[order[j]]);
        rep[order[i]] = rep[order[j]] = lo;
      }
    }
  }
  for (uint32_t i = 0; i < n; ++i) rep[i] = rep[rep[i]];
  return rep;
}
}  // namespace

void CMesh::GenerateAdjacency(float epsilon, std::vector<uint32_t>& adjacency) const {
  adjacency.assign(static_cast<size_t>(numFaces_) * 3, kUnused);
  const std::vector<uint32_t> rep = PointReps(*this, epsilon);
  // Edge (a, b) of a face meets edge (b, a) of its neighbour. Edges are bucketed by their lower
  // point (a counting sort), then paired within each small bucket.
  struct Edge {
    uint32_t hi;
    uint32_t corner;  // 3 * face + k
    bool forward;     // walks from the lower point to the higher
  };
  const uint32_t nv = numVertices_;
  std::vector<uint32_t> start(nv + 1, 0);
  for (uint32_t c = 0; c < 3 * numFaces_; ++c) {
    const uint32_t a = rep[indices_[c]], b = rep[indices_[c - c % 3 + (c % 3 + 1) % 3]];
    if (a != b) ++start[std::min(a, b) + 1];
  }
  for (uint32_t v = 0; v < nv; ++v) start[v + 1] += start[v];
  std::vector<Edge> edges(start[nv]);
  std::vector<uint32_t> fill(start.begin(), start.end() - 1);
  for (uint32_t c = 0; c < 3 * numFaces_; ++c) {
    const uint32_t a = rep[indices_[c]], b = rep[indices_[c - c % 3 + (c % 3 + 1) % 3]];
    if (a == b) continue;
    edges[fill[std::min(a, b)]++] = {std::max(a, b), c, a < b};
  }
  for (uint32_t v = 0; v < nv; ++v) {
    // Each forward use pairs with the first free backward use of the same edge, in face order.
    for (uint32_t i = start[v]; i < start[v + 1]; ++i) {
      const Edge& e = edges[i];
      if (!e.forward || adjacency[e.corner] != kUnused) continue;
      for (uint32_t j = start[v]; j < start[v + 1]; ++j) {
        const Edge& o = edges[j];
        if (o.forward || o.hi != e.hi || adjacency[o.corner] != kUnused) continue;
        adjacency[e.corner] = o.corner / 3;
        adjacency[o.corner] = e.corner / 3;
        break;
      }
    }
  }
}

std::unique_ptr<CMesh> CMesh::Optimize(uint32_t flags, const uint32_t* adjacencyIn,
                                       std::vector<uint32_t>* adjacencyOut, std::vector<uint32_t>* faceRemap,
                                       std::vector<uint32_t>* vertexRemap) const {
  if (flags & (D3DXMESHOPT_VERTEXCACHE | D3DXMESHOPT_STRIPREORDER)) flags |= D3DXMESHOPT_ATTRSORT;
  if (flags & D3DXMESHOPT_ATTRSORT) flags |= D3DXMESHOPT_COMPACT;
  const bool compact = (flags & D3DXMESHOPT_COMPACT) && !(flags & D3DXMESHOPT_IGNOREVERTS);

  std::vector<uint32_t> order(numFaces_);
  for (uint32_t f = 0; f < numFaces_; ++f) order[f] = f;
  if (flags & D3DXMESHOPT_ATTRSORT)
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return attributes_[a] < attributes_[b]; });
  // Vertices keep their order; compacting only drops the unused ones.
  std::vector<uint32_t> newOf(numVertices_, kUnused), oldOf;
  if (compact) {
    std::vector<uint8_t> used(numVertices_, 0);
    for (uint16_t i : indices_)
      if (i < numVertices_) used[i] = 1;
    for (uint32_t v = 0; v < numVertices_; ++v)
      if (used[v]) newOf[v] = static_cast<uint32_t>(oldOf.size()), oldOf.push_back(v);
  } else {
    for (uint32_t v = 0; v < numVertices_; ++v) newOf[v] = v, oldOf.push_back(v);
  }
  auto out = Create(numFaces_, static_cast<uint32_t>(oldOf.size()), options_, fvf_, device_);
  if (!out) return nullptr;
  for (size_t v = 0; v < oldOf.size(); ++v)
    std::memcpy(out->vertices_.data() + v * layout_.stride, vertices_.data() + oldOf[v] * layout_.stride,
                layout_.stride);
  std::vector<uint32_t> faceNew(numFaces_);
  for (uint32_t f = 0; f < numFaces_; ++f) {
    const uint32_t s = order[f];
    faceNew[s] = f;
    for (int k = 0; k < 3; ++k) {
      const uint16_t i = indices_[3 * s + k];
      out->indices_[3 * f + k] = static_cast<uint16_t>(i < numVertices_ ? newOf[i] : 0);
    }
    out->attributes_[f] = attributes_[s];
  }
  if (flags & D3DXMESHOPT_ATTRSORT) {
    std::vector<AttributeRange>& table = out->table_;
    for (uint32_t f = 0; f < numFaces_; ++f) {
      if (table.empty() || table.back().AttribId != out->attributes_[f]) {
        AttributeRange r;
        r.AttribId = out->attributes_[f];
        r.FaceStart = f;
        table.push_back(r);
      }
      ++table.back().FaceCount;
    }
    for (AttributeRange& r : table) {
      uint32_t lo = kUnused, hi = 0;
      for (uint32_t i = 3 * r.FaceStart; i < 3 * (r.FaceStart + r.FaceCount); ++i)
        lo = std::min<uint32_t>(lo, out->indices_[i]), hi = std::max<uint32_t>(hi, out->indices_[i]);
      r.VertexStart = lo;
      r.VertexCount = hi - lo + 1;
    }
  } else {
    out->table_ = table_;
  }
  if (adjacencyOut) {
    if (adjacencyIn) {
      adjacencyOut->assign(static_cast<size_t>(numFaces_) * 3, kUnused);
      for (uint32_t f = 0; f < numFaces_; ++f)
        for (int k = 0; k < 3; ++k) {
          const uint32_t a = adjacencyIn[3 * order[f] + k];
          (*adjacencyOut)[3 * f + k] = a < numFaces_ ? faceNew[a] : kUnused;
        }
    } else {
      out->GenerateAdjacency(0.0f, *adjacencyOut);
    }
  }
  if (faceRemap) *faceRemap = order;
  if (vertexRemap) *vertexRemap = oldOf;
  return out;
}

std::unique_ptr<CMesh> CMesh::CloneMeshFVF(uint32_t options, uint32_t fvf, gfx::CDevice* device) const {
  auto out = Create(numFaces_, numVertices_, options, fvf, device);
  if (!out) return nullptr;
  const FvfLayout& s = layout_;
  const FvfLayout& d = out->layout_;
  const uint32_t weights = std::min(s.weights, d.weights);
  for (uint32_t v = 0; v < numVertices_; ++v) {
    const uint8_t* from = vertices_.data() + static_cast<size_t>(v) * s.stride;
    uint8_t* to = out->vertices_.data() + static_cast<size_t>(v) * d.stride;
    std::memcpy(to, from, 12);
    std::memcpy(to + 12, from + 12, 4 * weights);
    if (s.normal >= 0 && d.normal >= 0) std::memcpy(to + d.normal, from + s.normal, 12);
    if (s.diffuse >= 0 && d.diffuse >= 0) {
      std::memcpy(to + d.diffuse, from + s.diffuse, 4);
    } else if (d.diffuse >= 0) {
      // A colour the source lacks starts opaque white: with vertex colour on, it stands in for
      // the material's diffuse, and black would leave every lit mesh dark.
      const uint32_t white = 0xFFFFFFFFu;
      std::memcpy(to + d.diffuse, &white, 4);
    }
    if (s.specular >= 0 && d.specular >= 0) std::memcpy(to + d.specular, from + s.specular, 4);
    if (s.tex >= 0 && d.tex >= 0) std::memcpy(to + d.tex, from + s.tex, 8 * std::min(s.texCount, d.texCount));
  }
  out->indices_ = indices_;
  out->attributes_ = attributes_;
  out->table_ = table_;
  return out;
}

bool CMesh::UploadIfNeeded() {
  if (!device_) return false;
  if (!vb_ || vb_->Count() != numVertices_) {
    vb_ = device_->CreateVertexBuffer(numVertices_, fvf_);
    vbDirty_ = true;
  }
  if (!ib_ || ib_->Count() != indices_.size()) {
    ib_ = device_->CreateIndexBuffer(static_cast<uint32_t>(indices_.size()));
    ibDirty_ = true;
  }
  if (!vb_ || !ib_) return false;
  if (vbDirty_) {
    void* p = vb_->Lock();
    if (!p) return false;
    std::memcpy(p, vertices_.data(), vertices_.size());
    vb_->Unlock();
    vbDirty_ = false;
  }
  if (ibDirty_) {
    uint16_t* p = ib_->Lock();
    if (!p) return false;
    std::memcpy(p, indices_.data(), indices_.size() * 2);
    ib_->Unlock();
    ibDirty_ = false;
  }
  return true;
}

gfx::Result CMesh::DrawSubset(uint32_t attribId) {
  if (numFaces_ == 0) return gfx::D3D_OK;
  if (!UploadIfNeeded()) return gfx::D3DERR_INVALIDCALL;
  device_->SetVertexShader(fvf_);
  device_->SetStreamSource(vb_.get());
  device_->SetIndices(ib_.get(), 0);
  if (!table_.empty()) {
    for (const AttributeRange& r : table_) {
      if (r.AttribId != attribId || r.FaceCount == 0) continue;
      const gfx::Result res = device_->DrawIndexedPrimitive(gfx::D3DPT_TRIANGLELIST, r.VertexStart,
                                                            r.VertexCount, r.FaceStart * 3, r.FaceCount);
      if (res != gfx::D3D_OK) return res;
    }
    return gfx::D3D_OK;
  }
  // No table: draw each run of faces with this attribute.
  for (uint32_t f = 0; f < numFaces_;) {
    if (attributes_[f] != attribId) {
      ++f;
      continue;
    }
    const uint32_t start = f;
    while (f < numFaces_ && attributes_[f] == attribId) ++f;
    const gfx::Result res =
        device_->DrawIndexedPrimitive(gfx::D3DPT_TRIANGLELIST, 0, numVertices_, start * 3, f - start);
    if (res != gfx::D3D_OK) return res;
  }
  return gfx::D3D_OK;
}

bool ComputeNormals(CMesh& mesh, const uint32_t* adjacency) {
  const FvfLayout l = GetFvfLayout(mesh.GetFVF());
  if (l.normal < 0) return false;
  const uint32_t n = mesh.GetNumVertices();
  std::vector<uint32_t> rep;
  if (adjacency) {
    rep = PointReps(mesh, 0.0f);
  } else {
    rep.resize(n);
    for (uint32_t i = 0; i < n; ++i) rep[i] = i;
  }
  std::vector<Vector3> sum(n);
  const uint16_t* idx = mesh.Indices();
  for (uint32_t f = 0; f < mesh.GetNumFaces(); ++f) {
    uint32_t v[3];
    Vector3 p[3];
    bool ok = true;
    for (int k = 0; k < 3; ++k) {
      v[k] = idx[3 * f + k];
      if (v[k] >= n)
        ok = false;
      else
        p[k] = mesh.Position(v[k]);
    }
    if (!ok) continue;
    const Vector3 normal = Vec3Normalize(Vec3Cross(p[1] - p[0], p[2] - p[0]));
    for (int k = 0; k < 3; ++k) {
      const Vector3 e1 = Vec3Normalize(p[(k + 1) % 3] - p[k]);
      const Vector3 e2 = Vec3Normalize(p[(k + 2) % 3] - p[k]);
      const float angle = std::acos(std::clamp(Vec3Dot(e1, e2), -1.0f, 1.0f));
      sum[rep[v[k]]] += normal * angle;
    }
  }
  uint8_t* verts = static_cast<uint8_t*>(mesh.LockVertexBuffer());
  for (uint32_t i = 0; i < n; ++i) {
    const Vector3 nv = Vec3Normalize(sum[rep[i]]);
    std::memcpy(verts + static_cast<size_t>(i) * l.stride + l.normal, &nv, 12);
  }
  mesh.UnlockVertexBuffer();
  return true;
}

namespace {

constexpr xfile::Guid kMeshGuid = {
    0x3D82AB44, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
constexpr xfile::Guid kFrameGuid = {
    0x3D82AB46, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
constexpr xfile::Guid kFrameTransformGuid = {
    0xF6F23F41, 0x7686, 0x11CF, {0x8F, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xA3}};

// Walks a frame (or the file's top level); a transform matrix inside a frame applies to what
// follows it there.
int32_t CollectFrame(const xfile::CDataObject& frame, Matrix transform, XMeshData& all, int& meshes) {
  for (size_t i = 0; i < frame.GetChildCount(); ++i) {
    const auto& ch = frame.GetChild(i);
    if (ch.isReference) continue;
    const xfile::CDataObject& o = *ch.object;
    if (o.GetType() == kFrameTransformGuid) {
      xfile::CDataCursor c(o);
      Matrix local;
      for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k) local.m[r][k] = c.Float();
      if (!c.Ok()) return D3DXERR_INVALIDDATA;
      transform = local * transform;
    } else if (o.GetType() == kFrameGuid) {
      if (int32_t r = CollectFrame(o, transform, all, meshes); r != D3DX_OK) return r;
    } else if (o.GetType() == kMeshGuid) {
      XMeshData m;
      const int32_t r = ReadXMesh(o, m);
      if (r == D3DXERR_LOADEDMESHASNODATA) continue;
      if (r != D3DX_OK) return r;
      TransformXMesh(m, transform);
      AppendXMesh(all, m);
      ++meshes;
    }
  }
  return D3DX_OK;
}

const xfile::CXFile* StandardReader() {
  static std::unique_ptr<xfile::CXFile> reader = [] {
    auto x = xfile::CXFile::Create();
    if (x->RegisterStandardTemplates() != xfile::DXFILE_OK) x.reset();
    return x;
  }();
  return reader.get();
}

std::unique_ptr<xfile::CEnumObject> ParseX(const void* data, size_t size, int32_t& res) {
  const xfile::CXFile* reader = StandardReader();
  std::unique_ptr<xfile::CEnumObject> e;
  if (!reader || reader->CreateEnumObjectFromMemory(data, size, e) != xfile::DXFILE_OK) {
    res = D3DXERR_INVALIDDATA;
    return nullptr;
  }
  return e;
}

// Takes the parsed file so that it is gone before the mesh is built: a stage's largest file, its
// parse and its mesh would otherwise all be held at once, the load's memory peak.
std::unique_ptr<CMesh> MeshFromX(std::unique_ptr<xfile::CEnumObject> e, uint32_t options,
                                 gfx::CDevice* device, std::vector<uint32_t>* adjacency,
                                 std::vector<XMaterial>* materials, uint32_t* numMaterials, int32_t& res) {
  // The top level behaves as one frame with the identity transform.
  XMeshData all;
  all.fvf = gfx::D3DFVF_XYZ;
  int meshes = 0;
  for (const auto& o : e->Objects()) {
    if (o->GetType() == kMeshGuid || o->GetType() == kFrameGuid) {
      // Collect each top-level object on its own so a top-level transform affects nothing.
      Matrix identity;
      if (o->GetType() == kFrameGuid) {
        if ((res = CollectFrame(*o, identity, all, meshes)) != D3DX_OK) return nullptr;
      } else {
        XMeshData m;
        const int32_t r = ReadXMesh(*o, m);
        if (r == D3DXERR_LOADEDMESHASNODATA) continue;
        if ((res = r) != D3DX_OK) return nullptr;
        AppendXMesh(all, m);
        ++meshes;
      }
    }
  }
  if (meshes == 0) {
    res = D3DXERR_LOADEDMESHASNODATA;
    return nullptr;
  }
  e.reset();
  auto mesh = BuildMesh(all, options, device);
  if (!mesh) {
    res = D3DXERR_INVALIDMESH;
    return nullptr;
  }
  if (adjacency) mesh->GenerateAdjacency(0.0f, *adjacency);
  if (materials) *materials = all.materials;
  if (numMaterials) *numMaterials = static_cast<uint32_t>(all.materials.size());
  res = D3DX_OK;
  return mesh;
}

}  // namespace

std::unique_ptr<CMesh> LoadMeshFromXInMemory(const void* data, size_t size, uint32_t options,
                                             gfx::CDevice* device, std::vector<uint32_t>* adjacency,
                                             std::vector<XMaterial>* materials, uint32_t* numMaterials,
                                             int32_t* result) {
  int32_t dummy;
  int32_t& res = result ? *result : dummy;
  auto e = ParseX(data, size, res);
  return e ? MeshFromX(std::move(e), options, device, adjacency, materials, numMaterials, res) : nullptr;
}

std::unique_ptr<CMesh> LoadMeshFromX(const std::string& path, uint32_t options, gfx::CDevice* device,
                                     std::vector<uint32_t>* adjacency, std::vector<XMaterial>* materials,
                                     uint32_t* numMaterials, int32_t* result) {
  int32_t dummy;
  int32_t& res = result ? *result : dummy;
  std::vector<uint8_t> bytes;
  if (!os::ReadWholeFile(path, bytes)) {
    res = D3DX_E_FAIL;
    return nullptr;
  }
  auto e = ParseX(bytes.data(), bytes.size(), res);
  // The parse holds its own copy of everything: the file's bytes can go before the mesh is built.
  std::vector<uint8_t>().swap(bytes);
  return e ? MeshFromX(std::move(e), options, device, adjacency, materials, numMaterials, res) : nullptr;
}

}  // namespace gfxutil
