#include "world/opaque_order.h"

#include <algorithm>
#include <functional>
#include <numeric>
#include <queue>

// Why the order keeps the picture. With "less or equal" and depth writes on, a pixel ends with
// the nearest fragment drawn to it and, of equally near ones, the last drawn. Drawn in another
// order, a subset still gives the list order's result if, wherever it ties with a subset drawn
// before it, it wins against one listed before it and loses against one listed after it. One
// depth test per draw can do that when the touching subsets drawn before it are all listed before
// it ("less or equal") or all after it ("less"). So each subset goes in one of two classes:
//  - with the list: drawn before every touching subset listed after it;
//  - against the list: drawn before every touching subset listed before it.
// For touching a, b with a listed first: both with the list, a goes first; both against, b goes
// first; a against and b with, either may; a with and b against cannot both hold, so every
// touching subset listed before an against subset is against as well. Within those bounds the
// draws go smallest first.
// Left out: ties among one draw's own triangles, which a draw that loses ties settles for the
// first rather than the last (a stage's subset does not lie over itself), and fragments exactly on
// the far plane, which "less" leaves out against the cleared depth.

namespace {

using Touching = std::vector<std::vector<uint32_t>>;

Touching FindTouching(const std::vector<OpaqueBounds>& bounds, float tieDistance) {
  const uint32_t n = static_cast<uint32_t>(bounds.size());
  Touching touching(n);
  for (uint32_t i = 0; i < n; ++i)
    for (uint32_t j = i + 1; j < n; ++j) {
      const float reach = bounds[i].radius + bounds[j].radius + tieDistance;
      // Written so that a sphere that is not a number touches everything.
      if (!(gfxutil::Vec3LengthSq(bounds[i].center - bounds[j].center) > reach * reach)) {
        touching[i].push_back(j);
        touching[j].push_back(i);
      }
    }
  return touching;
}

// The draws for one choice of classes: each subset once all that must precede it are drawn, the
// one earliest in `rank` (smallest first) of those ready.
std::vector<uint32_t> Arrange(const Touching& touching, const std::vector<bool>& against,
                              const std::vector<uint32_t>& rank) {
  const uint32_t n = static_cast<uint32_t>(touching.size());
  std::vector<std::vector<uint32_t>> next(n);
  std::vector<uint32_t> waiting(n, 0);
  for (uint32_t a = 0; a < n; ++a)
    for (uint32_t b : touching[a]) {
      if (b < a) continue;
      if (!against[a] && !against[b]) {
        next[a].push_back(b);
        ++waiting[b];
      } else if (against[a] && against[b]) {
        next[b].push_back(a);
        ++waiting[a];
      }
    }
  const auto later = [&](uint32_t x, uint32_t y) { return rank[x] > rank[y]; };
  std::priority_queue<uint32_t, std::vector<uint32_t>, decltype(later)> ready(later);
  for (uint32_t i = 0; i < n; ++i)
    if (waiting[i] == 0) ready.push(i);
  std::vector<uint32_t> order;
  order.reserve(n);
  while (!ready.empty()) {
    const uint32_t i = ready.top();
    ready.pop();
    order.push_back(i);
    for (uint32_t j : next[i])
      if (--waiting[j] == 0) ready.push(j);
  }
  return order;
}

// Pairs drawn larger before smaller: what the choice of classes costs against smallest first.
uint64_t OutOfSizeOrder(const std::vector<uint32_t>& order, const std::vector<uint32_t>& rank) {
  std::vector<uint32_t> seen(order.size() + 1, 0);  // counts by rank, as a Fenwick tree
  uint64_t count = 0;
  for (size_t p = 0; p < order.size(); ++p) {
    uint32_t smaller = 0;
    for (uint32_t r = rank[order[p]]; r > 0; r &= r - 1) smaller += seen[r];
    count += p - smaller;  // drawn before it and not smaller
    for (uint32_t r = rank[order[p]] + 1; r < seen.size(); r += r & (~r + 1)) ++seen[r];
  }
  return count;
}

}  // namespace

std::vector<OpaqueDraw> OrderOpaqueDraws(const std::vector<OpaqueBounds>& bounds, float tieDistance) {
  const uint32_t n = static_cast<uint32_t>(bounds.size());
  const Touching touching = FindTouching(bounds, tieDistance);
  std::vector<uint32_t> bySize(n);
  std::iota(bySize.begin(), bySize.end(), 0u);
  std::stable_sort(bySize.begin(), bySize.end(),
                   [&](uint32_t a, uint32_t b) { return bounds[a].radius < bounds[b].radius; });
  std::vector<uint32_t> rank(n);
  for (uint32_t r = 0; r < n; ++r) rank[bySize[r]] = r;

  // The subsets from some size up are put against the list, so that they can follow what stands
  // on them, with what their class then requires; of those choices the one closest to smallest
  // first is taken (at most 65 are tried).
  std::vector<uint32_t> best;
  uint64_t bestCost = 0;
  const uint32_t step = std::max<uint32_t>(1, (n + 63) / 64);
  std::vector<bool> against(n);
  for (uint32_t k = 0;; ++k) {
    const uint32_t first = n > k * step ? n - k * step : 0;
    for (uint32_t i = 0; i < n; ++i) against[i] = rank[i] >= first;
    for (uint32_t i = n; i-- > 0;)
      if (against[i])
        for (uint32_t j : touching[i])
          if (j < i) against[j] = true;
    std::vector<uint32_t> order = Arrange(touching, against, rank);
    const uint64_t cost = OutOfSizeOrder(order, rank);
    if (order.size() == n && (k == 0 || cost < bestCost)) {
      best = std::move(order);
      bestCost = cost;
    }
    if (first == 0) break;
  }

  std::vector<OpaqueDraw> draws;
  draws.reserve(n);
  std::vector<bool> drawn(n, false);
  for (uint32_t i : best) {
    OpaqueDraw d;
    d.index = i;
    for (uint32_t j : touching[i]) d.losesTies = d.losesTies || (drawn[j] && j > i);
    drawn[i] = true;
    draws.push_back(d);
  }
  return draws;
}

float DepthTieDistance(float viewDistance) {
  // The camera's depth runs from its near plane at 10 to viewDistance in 2^24 steps, the longest
  // at the far end, viewDistance^2 / (10 * 2^24): for views up to 40,960 that is at most a
  // sixteenth of this margin, which also covers the rasteriser's rounding and the spheres' own.
  return std::max(viewDistance, 1.0f) / 256.0f;
}
