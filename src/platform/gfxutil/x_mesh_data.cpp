#include "platform/gfxutil/x_mesh_data.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/xfile/data_object.h"

namespace gfxutil {

namespace {

using xfile::CDataCursor;
using xfile::CDataObject;
using xfile::Guid;

constexpr Guid kMeshNormals = {0xF6F23F43, 0x7686, 0x11CF, {0x8F, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xA3}};
constexpr Guid kMeshTextureCoords = {
    0xF6F23F40, 0x7686, 0x11CF, {0x8F, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xA3}};
constexpr Guid kMeshMaterialList = {
    0xF6F23F42, 0x7686, 0x11CF, {0x8F, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xA3}};
constexpr Guid kMeshVertexColors = {
    0x1630B821, 0x7842, 0x11CF, {0x8F, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xA3}};
constexpr Guid kMaterial = {0x3D82AB4D, 0x62DA, 0x11CF, {0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33}};
constexpr Guid kTextureFilename = {
    0xA42790E1, 0x7810, 0x11CF, {0x8F, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xA3}};
constexpr Guid kSkinWeights = {0x6F0D123B, 0xBAD2, 0x4167, {0xA0, 0xD0, 0x80, 0x22, 0x4F, 0x25, 0xFA, 0xBB}};

// A count read from the data must fit in what is left of it, `each` bytes per element.
bool CountFits(const CDataCursor& c, uint32_t count, size_t each) { return count <= c.Remaining() / each; }

Vector3 ReadVector(CDataCursor& c) {
  Vector3 v;
  v.x = c.Float();
  v.y = c.Float();
  v.z = c.Float();
  return v;
}

uint32_t PackColor(float r, float g, float b, float a) {
  auto byte = [](float v) {
    v = std::isnan(v) ? 0.0f : std::clamp(v, 0.0f, 1.0f);
    return static_cast<uint32_t>(v * 255.0f + 0.5f);
  };
  return byte(a) << 24 | byte(r) << 16 | byte(g) << 8 | byte(b);
}

int32_t ReadMaterial(const CDataObject& o, XMaterial& out) {
  CDataCursor c(o);
  gfx::Material& m = out.MatD3D;
  m.Diffuse = {c.Float(), c.Float(), c.Float(), c.Float()};
  m.Power = c.Float();
  const float sr = c.Float(), sg = c.Float(), sb = c.Float();
  const float er = c.Float(), eg = c.Float(), eb = c.Float();
  if (!c.Ok()) return D3DXERR_INVALIDDATA;
  m.Specular = {sr, sg, sb, 1.0f};
  m.Emissive = {er, eg, eb, 1.0f};
  m.Ambient = {0, 0, 0, 1.0f};
  out.TextureFilename.clear();
  for (size_t i = 0; i < o.GetChildCount(); ++i) {
    const CDataObject* child = o.GetChild(i).object;
    if (child->GetType() == kTextureFilename) {
      CDataCursor t(*child);
      out.TextureFilename = t.String();
      break;
    }
  }
  return D3DX_OK;
}

// One polygon of the Mesh's face list, as offsets into the data.
struct Polygon {
  uint32_t first;  // index into the flat corner list
  uint32_t count;
};

}  // namespace

gfx::Material DefaultXMaterial() {
  gfx::Material m;
  m.Diffuse = {0.5f, 0.5f, 0.5f, 0.0f};
  m.Specular = m.Diffuse;
  return m;
}

int32_t ReadXMesh(const CDataObject& mesh, XMeshData& out) {
  out = XMeshData{};
  CDataCursor c(mesh);
  const uint32_t nVertices = c.Dword();
  if (!CountFits(c, nVertices, 12)) return D3DXERR_INVALIDDATA;
  out.positions.resize(nVertices);
  for (Vector3& p : out.positions) p = ReadVector(c);
  const uint32_t nFaces = c.Dword();
  if (!c.Ok() || !CountFits(c, nFaces, 4)) return D3DXERR_INVALIDDATA;
  std::vector<Polygon> polys(nFaces);
  std::vector<uint32_t> corners;
  for (Polygon& p : polys) {
    p.count = c.Dword();
    if (!c.Ok() || !CountFits(c, p.count, 4) || p.count < 3) return D3DXERR_INVALIDDATA;
    p.first = static_cast<uint32_t>(corners.size());
    for (uint32_t k = 0; k < p.count; ++k) {
      const uint32_t v = c.Dword();
      if (v >= nVertices) return D3DXERR_INVALIDDATA;
      corners.push_back(v);
    }
  }
  if (!c.Ok()) return D3DXERR_INVALIDDATA;
  out.fileVertices = nVertices;
  out.original.resize(nVertices);
  for (uint32_t i = 0; i < nVertices; ++i) out.original[i] = i;

  const CDataObject* normals = nullptr;
  const CDataObject* texcoords = nullptr;
  const CDataObject* colors = nullptr;
  const CDataObject* materials = nullptr;
  for (size_t i = 0; i < mesh.GetChildCount(); ++i) {
    const CDataObject::Child& ch = mesh.GetChild(i);
    if (ch.isReference) continue;
    const Guid& type = ch.object->GetType();
    if (type == kMeshNormals && !normals)
      normals = ch.object;
    else if (type == kMeshTextureCoords && !texcoords)
      texcoords = ch.object;
    else if (type == kMeshVertexColors && !colors)
      colors = ch.object;
    else if (type == kMeshMaterialList && !materials)
      materials = ch.object;
    else if (type == kSkinWeights) {
      CDataCursor s(*ch.object);
      XBone bone;
      bone.name = s.String();
      const uint32_t n = s.Dword();
      if (!s.Ok() || !CountFits(s, n, 8)) return D3DXERR_INVALIDDATA;
      bone.vertices.resize(n);
      bone.weights.resize(n);
      for (uint32_t& v : bone.vertices) {
        v = s.Dword();
        if (v >= nVertices) return D3DXERR_INVALIDDATA;
      }
      for (float& w : bone.weights) w = s.Float();
      for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k) bone.offset.m[r][k] = s.Float();
      if (!s.Ok()) return D3DXERR_INVALIDDATA;
      out.bones.push_back(std::move(bone));
    }
  }

  // Texture coordinates and colours belong to the file's vertices.
  if (texcoords) {
    CDataCursor t(*texcoords);
    const uint32_t n = t.Dword();
    if (n != nVertices || !CountFits(t, n, 8)) return D3DXERR_INVALIDDATA;
    out.texcoords.resize(n);
    for (Vector2& uv : out.texcoords) uv.x = t.Float(), uv.y = t.Float();
    out.fvf |= gfx::D3DFVF_TEX1;
  }
  if (colors) {
    CDataCursor t(*colors);
    const uint32_t n = t.Dword();
    if (!t.Ok() || !CountFits(t, n, 20)) return D3DXERR_INVALIDDATA;
    out.colors.assign(nVertices, 0x00FFFFFF);
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t v = t.Dword();
      const float r = t.Float(), g = t.Float(), b = t.Float(), a = t.Float();
      if (v >= nVertices) return D3DXERR_INVALIDDATA;
      out.colors[v] = PackColor(r, g, b, a);
    }
    out.fvf |= gfx::D3DFVF_DIFFUSE;
  }

  // Corners with different normals split their vertex; the first corner to reach a vertex
  // gives it its normal, later ones reuse a copy with the same normal or add one.
  std::vector<uint32_t> cornerVertex(corners);
  if (normals) {
    CDataCursor t(*normals);
    const uint32_t n = t.Dword();
    if (!CountFits(t, n, 12)) return D3DXERR_INVALIDDATA;
    std::vector<Vector3> list(n);
    for (Vector3& v : list) v = Vec3Normalize(ReadVector(t));
    const uint32_t nFaceNormals = t.Dword();
    if (!t.Ok() || nFaceNormals != nFaces) return D3DXERR_INVALIDDATA;
    out.fvf |= gfx::D3DFVF_NORMAL;
    out.normals.assign(nVertices, Vector3{});
    std::vector<uint8_t> assigned(nVertices, 0);
    std::vector<uint32_t> nextCopy(nVertices, kUnused);
    for (const Polygon& p : polys) {
      if (t.Dword() != p.count) return D3DXERR_INVALIDDATA;
      for (uint32_t k = 0; k < p.count; ++k) {
        const uint32_t ni = t.Dword();
        if (!t.Ok() || ni >= n) return D3DXERR_INVALIDDATA;
        const Vector3& nv = list[ni];
        uint32_t v = corners[p.first + k];
        if (!assigned[v]) {
          assigned[v] = 1;
          out.normals[v] = nv;
        } else {
          uint32_t last = v;
          while (v != kUnused && !(out.normals[v] == nv)) {
            last = v;
            v = nextCopy[v];
          }
          if (v == kUnused) {
            v = static_cast<uint32_t>(out.positions.size());
            const uint32_t src = last;
            out.positions.push_back(out.positions[src]);
            out.normals.push_back(nv);
            out.original.push_back(out.original[src]);
            if (!out.texcoords.empty()) out.texcoords.push_back(out.texcoords[src]);
            if (!out.colors.empty()) out.colors.push_back(out.colors[src]);
            nextCopy.push_back(kUnused);
            assigned.push_back(1);
            nextCopy[last] = v;
          }
        }
        cornerVertex[p.first + k] = v;
      }
    }
  }

  std::vector<uint32_t> polyAttr(nFaces, 0);
  if (materials) {
    CDataCursor t(*materials);
    const uint32_t nMaterials = t.Dword();
    const uint32_t nIndexes = t.Dword();
    if (!t.Ok() || !CountFits(t, nIndexes, 4)) return D3DXERR_INVALIDDATA;
    // Fewer indices than faces: the last one carries on, as exporters write a single index for
    // a one-material mesh.
    uint32_t last = 0;
    for (uint32_t i = 0; i < nIndexes; ++i) {
      last = t.Dword();
      if (last >= nMaterials) return D3DXERR_INVALIDDATA;
      if (i < nFaces) polyAttr[i] = last;
    }
    for (uint32_t i = nIndexes; i < nFaces; ++i) polyAttr[i] = last;
    if (nMaterials > 0xFFFF) return D3DXERR_INVALIDDATA;
    out.hasMaterialList = true;
    out.materials.resize(nMaterials);
    for (XMaterial& m : out.materials) m.MatD3D = DefaultXMaterial();
    uint32_t next = 0;
    for (size_t i = 0; i < materials->GetChildCount() && next < nMaterials; ++i) {
      const CDataObject* m = materials->GetChild(i).object;
      if (m->GetType() != kMaterial) continue;
      if (int32_t r = ReadMaterial(*m, out.materials[next]); r != D3DX_OK) return r;
      ++next;
    }
  }

  for (uint32_t f = 0; f < nFaces; ++f) {
    const Polygon& p = polys[f];
    for (uint32_t k = 1; k + 1 < p.count; ++k) {
      out.indices.push_back(cornerVertex[p.first]);
      out.indices.push_back(cornerVertex[p.first + k]);
      out.indices.push_back(cornerVertex[p.first + k + 1]);
      out.attributes.push_back(polyAttr[f]);
    }
  }
  if (out.indices.empty()) return D3DXERR_LOADEDMESHASNODATA;
  return D3DX_OK;
}

void TransformXMesh(XMeshData& m, const Matrix& transform) {
  for (Vector3& p : m.positions) p = Vec3TransformCoord(p, transform);
  if (m.normals.empty()) return;
  Matrix inv;
  if (!MatrixInverse(transform, inv)) return;
  const Matrix it = MatrixTranspose(inv);
  for (Vector3& n : m.normals) n = Vec3Normalize(Vec3TransformNormal(n, it));
}

void AppendXMesh(XMeshData& dst, const XMeshData& src) {
  const uint32_t base = static_cast<uint32_t>(dst.positions.size());
  const uint32_t materialBase = static_cast<uint32_t>(dst.materials.size());
  const uint32_t fileBase = dst.fileVertices;
  dst.positions.insert(dst.positions.end(), src.positions.begin(), src.positions.end());
  // A component only one side has is zero (colours: white) on the other.
  auto merge = [&](auto& d, const auto& s, uint32_t bit, auto fill) {
    const bool dHas = dst.fvf & bit, sHas = src.fvf & bit;
    if (!dHas && !sHas) return;
    if (!dHas) d.assign(base, fill);
    if (sHas)
      d.insert(d.end(), s.begin(), s.end());
    else
      d.resize(dst.positions.size(), fill);
  };
  merge(dst.normals, src.normals, gfx::D3DFVF_NORMAL, Vector3{});
  merge(dst.colors, src.colors, gfx::D3DFVF_DIFFUSE, 0x00FFFFFFu);
  merge(dst.texcoords, src.texcoords, gfx::D3DFVF_TEX1, Vector2{});
  dst.fvf |= src.fvf;
  for (uint32_t o : src.original) dst.original.push_back(o + fileBase);
  dst.fileVertices += src.fileVertices;
  for (uint32_t i : src.indices) dst.indices.push_back(i + base);
  for (uint32_t a : src.attributes) dst.attributes.push_back(a + materialBase);
  // A mesh without a list still owns one default material so attribute ids stay its own.
  if (src.hasMaterialList) {
    dst.materials.insert(dst.materials.end(), src.materials.begin(), src.materials.end());
  } else {
    XMaterial def;
    def.MatD3D = DefaultXMaterial();
    dst.materials.push_back(def);
  }
  dst.hasMaterialList = dst.hasMaterialList || src.hasMaterialList;
  for (const XBone& b : src.bones) {
    XBone shifted = b;
    for (uint32_t& v : shifted.vertices) v += fileBase;
    dst.bones.push_back(std::move(shifted));
  }
}

std::unique_ptr<CMesh> BuildMesh(const XMeshData& m, uint32_t options, gfx::CDevice* device) {
  const uint32_t nVertices = static_cast<uint32_t>(m.positions.size());
  const uint32_t nFaces = static_cast<uint32_t>(m.attributes.size());
  auto mesh = CMesh::Create(nFaces, nVertices, options, m.fvf, device);
  if (!mesh) return nullptr;
  const FvfLayout l = GetFvfLayout(m.fvf);
  uint8_t* v = static_cast<uint8_t*>(mesh->LockVertexBuffer());
  for (uint32_t i = 0; i < nVertices; ++i) {
    uint8_t* p = v + static_cast<size_t>(i) * l.stride;
    std::memcpy(p, &m.positions[i], 12);
    if (l.normal >= 0) std::memcpy(p + l.normal, &m.normals[i], 12);
    if (l.diffuse >= 0) std::memcpy(p + l.diffuse, &m.colors[i], 4);
    if (l.tex >= 0) std::memcpy(p + l.tex, &m.texcoords[i], 8);
  }
  mesh->UnlockVertexBuffer();
  // Stable attribute sort of the faces, then the table.
  // Stable counting sort: attribute ids are material indices, few and small.
  uint32_t maxAttr = 0;
  for (uint32_t a : m.attributes) maxAttr = std::max(maxAttr, a);
  std::vector<uint32_t> next(static_cast<size_t>(maxAttr) + 2, 0);
  for (uint32_t a : m.attributes) ++next[a + 1];
  for (size_t a = 1; a < next.size(); ++a) next[a] += next[a - 1];
  std::vector<uint32_t> order(nFaces);
  for (uint32_t f = 0; f < nFaces; ++f) order[next[m.attributes[f]]++] = f;
  uint16_t* idx = mesh->LockIndexBuffer();
  uint32_t* attr = mesh->LockAttributeBuffer();
  for (uint32_t f = 0; f < nFaces; ++f) {
    const uint32_t s = order[f];
    for (int k = 0; k < 3; ++k) idx[3 * f + k] = static_cast<uint16_t>(m.indices[3 * s + k]);
    attr[f] = m.attributes[s];
  }
  mesh->UnlockAttributeBuffer();
  mesh->UnlockIndexBuffer();
  std::vector<AttributeRange> table;
  for (uint32_t f = 0; f < nFaces; ++f) {
    if (table.empty() || table.back().AttribId != attr[f]) {
      AttributeRange r;
      r.AttribId = attr[f];
      r.FaceStart = f;
      table.push_back(r);
    }
    ++table.back().FaceCount;
  }
  for (AttributeRange& r : table) {
    uint32_t lo = kUnused, hi = 0;
    for (uint32_t i = 3 * r.FaceStart; i < 3 * (r.FaceStart + r.FaceCount); ++i) {
      lo = std::min<uint32_t>(lo, idx[i]);
      hi = std::max<uint32_t>(hi, idx[i]);
    }
    r.VertexStart = lo;
    r.VertexCount = hi - lo + 1;
  }
  mesh->SetAttributeTable(table.data(), static_cast<uint32_t>(table.size()));
  return mesh;
}

}  // namespace gfxutil
