#include "platform/gfx/view_cull.h"

#include <algorithm>
#include <cmath>

namespace gfx {

// A linear bound holds for the whole box, so its corners decide. The sides are widened by two
// pixels for the half-pixel shift of D3D's pixel centres.
bool BoxOutsideView(const Matrix& m, const float box[6], uint32_t viewportWidth, uint32_t viewportHeight) {
  const float ex = 4.0f / static_cast<float>(std::max<uint32_t>(viewportWidth, 1));
  const float ey = 4.0f / static_cast<float>(std::max<uint32_t>(viewportHeight, 1));
  uint32_t outside = 0x3F;  // sides every corner so far lies beyond
  for (int c = 0; c < 8 && outside != 0; ++c) {
    const float p[3] = {box[(c & 1) ? 3 : 0], box[(c & 2) ? 4 : 1], box[(c & 4) ? 5 : 2]};
    float clip[4];
    for (int j = 0; j < 4; ++j) clip[j] = p[0] * m.m[0][j] + p[1] * m.m[1][j] + p[2] * m.m[2][j] + m.m[3][j];
    const float w = clip[3], aw = std::fabs(w);
    uint32_t beyond = 0;
    if (clip[0] < -w - ex * aw) beyond |= 1;
    if (clip[0] > w + ex * aw) beyond |= 2;
    if (clip[1] < -w - ey * aw) beyond |= 4;
    if (clip[1] > w + ey * aw) beyond |= 8;
    if (clip[2] < -1e-5f * aw) beyond |= 16;
    if (clip[2] > w + 1e-5f * aw) beyond |= 32;
    outside &= beyond;
  }
  return outside != 0;
}

const std::vector<IndexRun>& CViewCull::Plan(const CStateCache& state, uint32_t fvf, bool triangleList,
                                             uint32_t start, uint32_t count, bool shortcuts,
                                             const CIndexedBounds& bounds) {
  runs_.assign(1, {start, count});
  const uint32_t position = fvf & D3DFVF_POSITION_MASK;
  const uint32_t vertexBlend = state.Render(D3DRS_VERTEXBLEND);
  const uint32_t blend = vertexBlend <= D3DVBF_3WEIGHTS ? vertexBlend : 0;
  if (!shortcuts || position == 0 || position == D3DFVF_XYZRHW || std::min(blend, FvfBlendWeights(fvf)) != 0)
    return runs_;
  const Matrix m =
      gfxutil::MatrixMultiply(gfxutil::MatrixMultiply(state.World(0), state.View()), state.Projection());
  const Viewport& viewport = state.GetViewport();
  bool known = false;
  auto outside = [&](uint32_t first, uint32_t n) {
    float box[6];
    known = bounds.Box(first, n, box);
    return known && BoxOutsideView(m, box, viewport.Width, viewport.Height);
  };
  if (outside(start, count)) {
    runs_.clear();
    return runs_;
  }
  if (!known || !triangleList || count < 2 * kPiece) return runs_;
  runs_.clear();
  for (uint32_t first = start; first < start + count; first += kPiece) {
    const uint32_t n = std::min(kPiece, start + count - first);
    if (outside(first, n)) continue;
    if (!runs_.empty() && runs_.back().start + runs_.back().count == first) {
      runs_.back().count += n;
    } else {
      runs_.push_back({first, n});
    }
  }
  return runs_;
}

}  // namespace gfx
