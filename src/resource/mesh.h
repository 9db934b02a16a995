// A static, textured mesh loaded from a .x file in one call, drawn group by group. Background
// pieces own one each and also read its vertices and indices for their bounds.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfxutil/mesh.h"

class CMesh {
 public:
  // A file that cannot be loaded leaves an empty mesh ("Not Found %s " in the log).
  explicit CMesh(const std::string& path);
  ~CMesh();
  CMesh(const CMesh&) = delete;
  CMesh& operator=(const CMesh&) = delete;

  uint32_t GetGroupCount() const { return groupCount_; }
  void DrawGroup(uint16_t index);

  // Null when loading failed. Vertex format 0x152, 16-bit indices, faces sorted by group.
  const gfxutil::CMesh* GetMesh() const { return mesh_.get(); }
  const gfx::Material& GetMaterial(uint32_t group) const { return materials_[group]; }
  gfx::CTexture* GetTexture(uint32_t group) const { return textures_[group].get(); }

  // The texture file of a material: the mesh's directory followed by the name after its last
  // slash of either kind.
  static std::string TexturePath(const std::string& meshPath, const std::string& textureName);

 private:
  std::unique_ptr<gfxutil::CMesh> mesh_;
  uint32_t groupCount_ = 0;
  std::vector<gfx::Material> materials_;
  std::vector<gfx::TexturePtr> textures_;
};
