#include "platform/gfx/draw_order.h"

namespace gfx {
namespace {
bool g_reorderOpaque = false;
}  // namespace

bool ReorderOpaqueDraws() { return g_reorderOpaque; }
void SetReorderOpaqueDraws(bool on) { g_reorderOpaque = on; }

}  // namespace gfx
