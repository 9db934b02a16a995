#include "resource/mesh.h"

#include "core/graphics.h"
#include "core/log.h"
#include "resource/texture_file.h"

namespace {

constexpr uint32_t kMeshFvf = 0x152;

gfx::Material DefaultMeshMaterial() {
  gfx::Material m;
  m.Diffuse = {1, 1, 1, 1};
  m.Ambient = {0.4f, 0.4f, 0.4f, 0.4f};
  m.Specular = {0, 0, 0, 0};
  m.Emissive = {0.1f, 0.1f, 0.1f, 0.1f};
  m.Power = 0;
  return m;
}

}  // namespace

std::string CMesh::TexturePath(const std::string& meshPath, const std::string& textureName) {
  const size_t dirEnd = meshPath.rfind('/');
  const std::string dir = dirEnd == std::string::npos ? std::string() : meshPath.substr(0, dirEnd + 1);
  const size_t cut = textureName.find_last_of("\\/");
  return dir + (cut == std::string::npos ? textureName : textureName.substr(cut + 1));
}

CMesh::CMesh(const std::string& path) {
  gfx::CDevice* device = app::GetDevice();
  std::vector<gfxutil::XMaterial> fileMaterials;
  uint32_t fileMaterialCount = 0;
  std::unique_ptr<gfxutil::CMesh> loaded = gfxutil::LoadMeshFromX(
      path, gfxutil::D3DXMESH_MANAGED, device, nullptr, &fileMaterials, &fileMaterialCount);
  if (!loaded) {
    Log("Not Found %s ", path.c_str());
    return;
  }
  std::unique_ptr<gfxutil::CMesh> sorted =
      loaded->Optimize(gfxutil::D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr);
  loaded.reset();
  if (!sorted) {
    Log("Not Found %s ", path.c_str());
    return;
  }
  mesh_ = sorted->CloneMeshFVF(sorted->GetOptions(), kMeshFvf, device);
  sorted.reset();
  if (!mesh_) {
    Log("Not Found %s ", path.c_str());
    return;
  }
  gfxutil::ComputeNormals(*mesh_, nullptr);
  mesh_->GetAttributeTable(nullptr, &groupCount_);

  // The file's colours are not used; only its texture names are. Groups beyond the file's
  // material list get the default and no texture.
  materials_.assign(groupCount_, DefaultMeshMaterial());
  textures_.assign(groupCount_, nullptr);
  for (uint32_t i = 0; i < groupCount_ && i < fileMaterials.size(); ++i) {
    const std::string& name = fileMaterials[i].TextureFilename;
    if (name.empty()) continue;
    const std::string texPath = TexturePath(path, name);
    textures_[i] = LoadTexture(texPath.c_str(), 2);
    // The image line, so a missing texture is as visible in the log as a missing sprite.
    if (!textures_[i]) Log("NotFound %s\n", texPath.c_str());
  }
}

CMesh::~CMesh() = default;

void CMesh::DrawGroup(uint16_t index) {
  if (!mesh_ || index >= groupCount_) return;
  gfx::CDevice* device = mesh_->GetDevice();
  if (!device) return;
  device->SetVertexShader(kMeshFvf);
  device->SetTexture(0, textures_[index].get());
  device->SetMaterial(materials_[index]);
  mesh_->DrawSubset(index);
  device->SetTexture(0, nullptr);
}
