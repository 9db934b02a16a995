#include "world/bsp_list.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/graphics.h"
#include "platform/gfx/draw_order.h"
#include "world/bsp_unit.h"
#include "world/opaque_order.h"

CBspList::CBspList(const std::list<std::string>& fileNames,
                   const ResourceCache<CCollisionModel>* collisionModels, CCollisionWorld* collisionWorld) {
  for (const std::string& name : fileNames) {
    pieces_.push_back(boost::shared_ptr<CBsp>(new CBsp(name, collisionModels, collisionWorld)));
    ++count_;
  }
}

CBspList::~CBspList() { Clear(); }

void CBspList::Clear() {
  reordered_.clear();
  plannedWorlds_.clear();
  plannedViewDistance_ = -1;
  pieces_.clear();
  count_ = 0;
}

void CBspList::DrawOpaque(const BspView& view) {
  gfx::CDevice* device = app::GetDevice();
  if (!device) return;
  device->SetTextureStageState(0, gfx::D3DTSS_MIPMAPLODBIAS, gfx::FloatBits(1.0f));
  device->SetTextureStageState(0, gfx::D3DTSS_MINFILTER, gfx::D3DTEXF_LINEAR);
  device->SetTextureStageState(0, gfx::D3DTSS_MAGFILTER, gfx::D3DTEXF_LINEAR);
  device->SetTextureStageState(0, gfx::D3DTSS_MIPFILTER, gfx::D3DTEXF_LINEAR);
  // Opaque subsets hide one another through the depth test, so they may go in another order:
  // the ground that holds the rest is the largest, and drawn after the walls, trees and fixtures
  // that stand on it, the rasteriser rejects what they hide instead of shading it twice. Where two
  // subsets meet at equal depth the list's order decides, which each draw's depth test keeps.
  // Without depth writes, or with another test, the order shows, so it stays.
  const bool depthDecides = device->GetRenderState(gfx::D3DRS_ZENABLE) != gfx::D3DZB_FALSE &&
                            device->GetRenderState(gfx::D3DRS_ZWRITEENABLE) != 0 &&
                            device->GetRenderState(gfx::D3DRS_ZFUNC) == gfx::D3DCMP_LESSEQUAL;
  if (gfx::ReorderOpaqueDraws() && depthDecides) {
    if (ReorderedDrawsStale(view.viewDistance)) PlanReorderedDraws(view.viewDistance);
    const CBsp* begun = nullptr;
    for (const ReorderedDraw& d : reordered_) {
      if (d.piece != begun) d.piece->BeginOpaque();
      begun = d.piece;
      device->SetRenderState(gfx::D3DRS_ZFUNC, d.losesTies ? gfx::D3DCMP_LESS : gfx::D3DCMP_LESSEQUAL);
      d.piece->DrawSubset(d.subset, view);
    }
    device->SetRenderState(gfx::D3DRS_ZFUNC, gfx::D3DCMP_LESSEQUAL);
  } else {
    for (const auto& piece : pieces_) piece->DrawOpaque(view);
  }
  device->SetTextureStageState(0, gfx::D3DTSS_MIPMAPLODBIAS, gfx::FloatBits(0.0f));
  device->SetTextureStageState(0, gfx::D3DTSS_MINFILTER, gfx::D3DTEXF_LINEAR);
  device->SetTextureStageState(0, gfx::D3DTSS_MAGFILTER, gfx::D3DTEXF_LINEAR);
  device->SetTextureStageState(0, gfx::D3DTSS_MIPFILTER, gfx::D3DTEXF_LINEAR);
}

bool CBspList::ReorderedDrawsStale(float viewDistance) const {
  if (viewDistance != plannedViewDistance_ || plannedWorlds_.size() != pieces_.size()) return true;
  auto world = plannedWorlds_.begin();
  for (const auto& piece : pieces_)
    if (std::memcmp(&piece->body.world, &*world++, sizeof(gfxutil::Matrix)) != 0) return true;
  return false;
}

void CBspList::PlanReorderedDraws(float viewDistance) {
  // Groups without bounds draw nothing, in either order.
  std::vector<OpaqueBounds> bounds;
  std::vector<std::pair<CBsp*, uint32_t>> listed;
  plannedWorlds_.clear();
  for (const auto& piece : pieces_) {
    const gfxutil::Matrix& world = piece->body.world;
    plannedWorlds_.push_back(world);
    // A sphere stays a sphere under the piece's place, grown by its largest scale.
    float scale = 0;
    for (int r = 0; r < 3; ++r)
      scale = std::max(scale, gfxutil::Vec3Length({world.m[r][0], world.m[r][1], world.m[r][2]}));
    const CBspUnit& units = *piece->Bounds();
    for (int32_t i = 0; i < units.SubsetCount(); ++i) {
      const BspSubset& s = units.Subset(i);
      bounds.push_back(
          {gfxutil::Vec3TransformCoord({s.center.x, s.center.y, s.center.z}, world), s.radius * scale});
      listed.push_back({piece.get(), static_cast<uint32_t>(i)});
    }
  }
  plannedViewDistance_ = viewDistance;
  reordered_.clear();
  for (const OpaqueDraw& d : OrderOpaqueDraws(bounds, DepthTieDistance(viewDistance)))
    reordered_.push_back({listed[d.index].first, listed[d.index].second, d.losesTies});
}

void CBspList::DrawTranslucent(const BspView& view) {
  gfx::CDevice* device = app::GetDevice();
  if (!device) return;
  for (const auto& piece : pieces_) {
    piece->DrawTranslucent(view);
    device->SetRenderState(gfx::D3DRS_FOGENABLE, 0);
    device->SetRenderState(gfx::D3DRS_FOGENABLE, 1);
  }
}

BspView CurrentBspView() {
  BspView v;
  gfx::CDevice* device = app::GetDevice();
  if (!device) return v;
  const gfxutil::Matrix view = device->GetTransform(gfx::D3DTS_VIEW);
  v.viewProjection = view * device->GetTransform(gfx::D3DTS_PROJECTION);
  gfxutil::Matrix inverse;
  if (gfxutil::MatrixInverse(view, inverse)) v.eye = {inverse.m[3][0], inverse.m[3][1], inverse.m[3][2]};
  v.width = static_cast<int32_t>(app::GetScreenWidth());
  v.height = static_cast<int32_t>(app::GetScreenHeight());
  return v;
}
