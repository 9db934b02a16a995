// The D3DX-like mesh: a triangle list with 16-bit indices, one attribute id per face and an
// attribute table, loaded from .x data (frames collapsed), optimised, cloned to other vertex
// formats, with normals computed and subsets drawn through gfx::CDevice. Vertex, index and
// attribute data live in CPU memory; device buffers are made from them when a subset is drawn.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfxutil/math.h"

namespace xfile {
class CDataObject;
class CXFile;
}  // namespace xfile

namespace gfxutil {

// HRESULT-style results of the mesh functions.
enum MeshResult : int32_t {
  D3DX_OK = 0,
  D3DX_E_FAIL = static_cast<int32_t>(0x80004005),
  D3DX_E_INVALIDARG = static_cast<int32_t>(0x80070057),
  D3DXERR_INVALIDMESH = static_cast<int32_t>(0x88760B55),
  D3DXERR_INVALIDDATA = static_cast<int32_t>(0x88760B59),
  D3DXERR_LOADEDMESHASNODATA = static_cast<int32_t>(0x88760B5A),
};

enum : uint32_t {
  D3DXMESH_32BIT = 0x001,
  D3DXMESH_MANAGED = 0x220,
  D3DXMESH_SOFTWAREPROCESSING = 0x18000,
  D3DXMESHOPT_COMPACT = 0x01000000,
  D3DXMESHOPT_ATTRSORT = 0x02000000,
  D3DXMESHOPT_VERTEXCACHE = 0x04000000,
  D3DXMESHOPT_STRIPREORDER = 0x08000000,
  D3DXMESHOPT_IGNOREVERTS = 0x10000000,
};

constexpr uint32_t kUnused = 0xFFFFFFFF;  // no neighbour, no bone

struct AttributeRange {
  uint32_t AttribId = 0, FaceStart = 0, FaceCount = 0, VertexStart = 0, VertexCount = 0;
  bool operator==(const AttributeRange&) const = default;
};

// A material as the loaders return it, with its texture file name ("" when none).
struct XMaterial {
  gfx::Material MatD3D;
  std::string TextureFilename;
};

// Where each part of a vertex of a flexible vertex format sits; offsets are -1 when absent.
struct FvfLayout {
  uint32_t stride = 0;
  uint32_t weights = 0;  // blend weights right after the position
  int normal = -1, diffuse = -1, specular = -1, tex = -1;
  uint32_t texCount = 0;
  bool valid = false;
};
FvfLayout GetFvfLayout(uint32_t fvf);

class CMesh {
 public:
  // Null when the format is unusable or more vertices than 16-bit indices can reach are asked.
  static std::unique_ptr<CMesh> Create(uint32_t numFaces, uint32_t numVertices, uint32_t options,
                                       uint32_t fvf, gfx::CDevice* device);
  CMesh(const CMesh&) = delete;
  CMesh& operator=(const CMesh&) = delete;

  uint32_t GetNumFaces() const { return numFaces_; }
  uint32_t GetNumVertices() const { return numVertices_; }
  uint32_t GetFVF() const { return fvf_; }
  uint32_t GetOptions() const { return options_; }
  uint32_t GetNumBytesPerVertex() const { return layout_.stride; }
  gfx::CDevice* GetDevice() const { return device_; }

  // Locks hand out the CPU copies; unlocking marks the device copy for refresh.
  void* LockVertexBuffer() {
    vbDirty_ = true;
    return vertices_.data();
  }
  void UnlockVertexBuffer() {}
  uint16_t* LockIndexBuffer() {
    ibDirty_ = true;
    return indices_.data();
  }
  void UnlockIndexBuffer() {}
  // Writing attributes invalidates the attribute table, as in D3DX.
  uint32_t* LockAttributeBuffer() {
    table_.clear();
    return attributes_.data();
  }
  void UnlockAttributeBuffer() {}
  const uint8_t* Vertices() const { return vertices_.data(); }
  const uint16_t* Indices() const { return indices_.data(); }
  const uint32_t* Attributes() const { return attributes_.data(); }
  Vector3 Position(uint32_t vertex) const;

  // Copies up to *count entries when table is non-null; *count receives the table's size.
  void GetAttributeTable(AttributeRange* table, uint32_t* count) const;
  const std::vector<AttributeRange>& AttributeTable() const { return table_; }
  void SetAttributeTable(const AttributeRange* table, uint32_t count) { table_.assign(table, table + count); }

  // Three neighbour faces per face (kUnused at open edges); vertices closer than epsilon count as
  // one point.
  void GenerateAdjacency(float epsilon, std::vector<uint32_t>& adjacency) const;
  // ATTRSORT: faces stably sorted by attribute and the table built; COMPACT drops vertices no face
  // uses (unless IGNOREVERTS). VERTEXCACHE and STRIPREORDER imply both. Remaps: new -> old.
  std::unique_ptr<CMesh> Optimize(uint32_t flags, const uint32_t* adjacencyIn,
                                  std::vector<uint32_t>* adjacencyOut, std::vector<uint32_t>* faceRemap,
                                  std::vector<uint32_t>* vertexRemap) const;
  // Same faces and attributes in another vertex format: shared components are copied, new ones
  // are zero.
  std::unique_ptr<CMesh> CloneMeshFVF(uint32_t options, uint32_t fvf, gfx::CDevice* device) const;
  // Draws the faces of one attribute id; nothing to draw is success.
  gfx::Result DrawSubset(uint32_t attribId);

 private:
  CMesh() = default;
  bool UploadIfNeeded();

  uint32_t numFaces_ = 0, numVertices_ = 0, options_ = 0, fvf_ = 0;
  FvfLayout layout_;
  gfx::CDevice* device_ = nullptr;
  std::vector<uint8_t> vertices_;
  std::vector<uint16_t> indices_;
  std::vector<uint32_t> attributes_;
  std::vector<AttributeRange> table_;
  gfx::VertexBufferPtr vb_;
  gfx::IndexBufferPtr ib_;
  bool vbDirty_ = true, ibDirty_ = true;
};

// Angle-weighted average of the normals of the faces around each vertex; with adjacency,
// vertices at the same position share one normal. False when the format has no normal.
bool ComputeNormals(CMesh& mesh, const uint32_t* adjacency);

// D3DXLoadMeshFromX: every Mesh of the file, frames collapsed with their transforms applied,
// as one mesh whose faces are sorted by attribute; materials concatenated in mesh order. A file
// without any material list reports one grey default material. Null on failure.
std::unique_ptr<CMesh> LoadMeshFromX(const std::string& path, uint32_t options, gfx::CDevice* device,
                                     std::vector<uint32_t>* adjacency, std::vector<XMaterial>* materials,
                                     uint32_t* numMaterials, int32_t* result = nullptr);
std::unique_ptr<CMesh> LoadMeshFromXInMemory(const void* data, size_t size, uint32_t options,
                                             gfx::CDevice* device, std::vector<uint32_t>* adjacency,
                                             std::vector<XMaterial>* materials, uint32_t* numMaterials,
                                             int32_t* result = nullptr);

// The default material a mesh without material list gets.
gfx::Material DefaultXMaterial();

}  // namespace gfxutil
