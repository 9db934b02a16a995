#include "world/bsp_list.h"

#include <algorithm>
#include <utility>

#include "core/graphics.h"
#include "platform/gfx/draw_order.h"
#include "world/bsp_unit.h"

CBspList* g_bspList = nullptr;

CBspList::CBspList(const std::list<std::string>& fileNames) {
  g_bspList = this;
  for (const std::string& name : fileNames) {
    pieces_.push_back(boost::shared_ptr<CBsp>(new CBsp(name)));
    ++count_;
  }
  // Opaque subsets hide one another through the depth test alone, so their order is not seen.
  // The ground that holds the rest is the largest: drawn after the walls, trees and fixtures that
  // stand on it, the rasteriser rejects what they hide instead of shading it twice.
  std::vector<std::pair<float, std::pair<CBsp*, uint32_t>>> sized;
  // Groups without bounds draw nothing, in either order.
  for (const auto& piece : pieces_) {
    const CBspUnit& bounds = *piece->Bounds();
    for (int32_t i = 0; i < bounds.SubsetCount(); ++i)
      sized.push_back({bounds.Subset(i).radius, {piece.get(), static_cast<uint32_t>(i)}});
  }
  std::stable_sort(sized.begin(), sized.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& entry : sized) smallestFirst_.push_back(entry.second);
}

CBspList::~CBspList() {
  Clear();
  if (g_bspList == this) g_bspList = nullptr;
}

void CBspList::Clear() {
  smallestFirst_.clear();
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
  if (gfx::ReorderOpaqueDraws()) {
    const CBsp* begun = nullptr;
    for (const auto& [piece, subset] : smallestFirst_) {
      if (piece != begun) piece->BeginOpaque();
      begun = piece;
      piece->DrawSubset(subset, view);
    }
  } else {
    for (const auto& piece : pieces_) piece->DrawOpaque(view);
  }
  device->SetTextureStageState(0, gfx::D3DTSS_MIPMAPLODBIAS, gfx::FloatBits(0.0f));
  device->SetTextureStageState(0, gfx::D3DTSS_MINFILTER, gfx::D3DTEXF_LINEAR);
  device->SetTextureStageState(0, gfx::D3DTSS_MAGFILTER, gfx::D3DTEXF_LINEAR);
  device->SetTextureStageState(0, gfx::D3DTSS_MIPFILTER, gfx::D3DTEXF_LINEAR);
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
