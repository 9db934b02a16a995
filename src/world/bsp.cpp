#include "world/bsp.h"

#include "core/graphics.h"
#include "resource/mesh.h"
#include "resource/resource_cache.h"
#include "world/bsp_unit.h"
#include "world/collision_model.h"
#include "world/collision_unit.h"
#include "world/collision_world.h"
#include "world/mesh_collision_data.h"

std::string CollisionFileName(const std::string& meshFileName) {
  // Names shorter than the cut lose what they have.
  const size_t keep = meshFileName.size() >= 3 ? meshFileName.size() - 3 : 0;
  return meshFileName.substr(0, keep) + "dec";
}

SubsetVisibility DecideSubsetVisibility(const gfxutil::Vector3& eye, const gfxutil::Vector3& center,
                                        float radius, float viewDistance,
                                        const gfxutil::Matrix& viewProjection, int32_t width,
                                        int32_t height) {
  const float distanceSq = gfxutil::Vec3LengthSq(eye - center);
  const float reach = viewDistance + radius;
  if (distanceSq > reach * reach) return kSubsetBeyondView;
  if (distanceSq > radius * radius) {
    // The center as a world position, projected as the camera projects a unit's origin.
    const gfxutil::Vector4 clip = gfxutil::Vec3Transform(center, viewProjection);
    const int32_t halfW = width / 2, halfH = height / 2;
    const float sx = (clip.x / clip.w + 1.0f) * static_cast<float>(halfW);
    const float sy = static_cast<float>(halfH) - static_cast<float>(halfH) * (clip.y / clip.w);
    const float margin = 8.0f * radius + 1280.0f;
    if (sx < -margin || sx > static_cast<float>(width) + margin || sy < -margin ||
        sy > static_cast<float>(height) + margin)
      return kSubsetOffScreen;
  }
  return kSubsetDrawn;
}

CBsp::CBsp(const std::string& fileName, const ResourceCache<CCollisionModel>* collisionModels,
           CCollisionWorld* collisionWorld)
    : mesh_(new CMesh(fileName)) {
  subsetTypes.assign(mesh_->GetGroupCount() + 1, 0);

  const boost::shared_ptr<CCollisionModel> model = FindIn(collisionModels, CollisionFileName(fileName));
  // A collision file the script did not list leaves the piece without a collision unit rather
  // than placing a unit with no model.
  if (collisionWorld && model)
    collisionWorld->Add(boost::shared_ptr<CCollisionUnit>(new CCollisionUnit(&body, model)));

  CollisionMeshData data;
  if (mesh_->GetMesh()) CollisionMeshFromMesh(*mesh_->GetMesh(), data);
  bounds_.reset(new CBspUnit(data));
}

CBsp::~CBsp() = default;

int32_t CBsp::DrawSubset(uint32_t index, const BspView& view) {
  if (static_cast<int32_t>(index) >= bounds_->SubsetCount()) return kSubsetBeyondView;
  const BspSubset& s = bounds_->Subset(static_cast<int32_t>(index));
  const gfxutil::Vector3 center(s.center.x, s.center.y, s.center.z);
  const SubsetVisibility v = DecideSubsetVisibility(view.eye, center, s.radius, view.viewDistance,
                                                    view.viewProjection, view.width, view.height);
  if (v != kSubsetDrawn) return v;
  mesh_->DrawGroup(static_cast<uint16_t>(index));
  return kSubsetDrawn;
}

void CBsp::BeginOpaque() {
  gfx::CDevice* device = app::GetDevice();
  if (!device) return;
  device->SetTransform(gfx::D3DTS_WORLD, body.world);
  device->SetRenderState(gfx::D3DRS_ALPHABLENDENABLE, 0);
}

void CBsp::DrawOpaque(const BspView& view) {
  if (!app::GetDevice()) return;
  BeginOpaque();
  for (uint32_t i = 0; i < mesh_->GetGroupCount(); ++i) DrawSubset(i, view);
}

void CBsp::DrawTranslucent(const BspView& view) {
  gfx::CDevice* device = app::GetDevice();
  if (!device) return;
  device->SetTransform(gfx::D3DTS_WORLD, body.world);
  device->SetRenderState(gfx::D3DRS_FOGENABLE, 0);
  device->SetRenderState(gfx::D3DRS_LIGHTING, 1);
  device->SetRenderState(gfx::D3DRS_ALPHABLENDENABLE, 1);
  device->SetTextureStageState(0, gfx::D3DTSS_COLOROP, gfx::D3DTOP_MODULATE);
  device->SetTextureStageState(0, gfx::D3DTSS_COLORARG1, gfx::D3DTA_TEXTURE);
  device->SetTextureStageState(0, gfx::D3DTSS_COLORARG2, gfx::D3DTA_CURRENT);
  device->SetTextureStageState(0, gfx::D3DTSS_ALPHAOP, gfx::D3DTOP_MODULATE);
  device->SetTextureStageState(0, gfx::D3DTSS_ALPHAARG1, gfx::D3DTA_TEXTURE);
  device->SetTextureStageState(0, gfx::D3DTSS_ALPHAARG2, gfx::D3DTA_CURRENT);
  device->SetRenderState(gfx::D3DRS_SRCBLEND, gfx::D3DBLEND_SRCALPHA);
  device->SetRenderState(gfx::D3DRS_DESTBLEND, gfx::D3DBLEND_INVSRCALPHA);
  for (uint32_t i = 0; i < mesh_->GetGroupCount(); ++i)
    if (subsetTypes[i] > 6) DrawSubset(i, view);
  device->SetRenderState(gfx::D3DRS_FOGENABLE, 1);
}
