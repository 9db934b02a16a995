// Whether callers may reorder opaque draws whose order the depth test hides. A device turns this
// on with its shortcuts; with them off (the plain picture tests compare against), and until a
// device says otherwise, draws go in the order the game gives them. Where reordered draws meet at
// equal depth, the caller still shows the one the game's order would.
#pragma once

namespace gfx {

bool ReorderOpaqueDraws();
void SetReorderOpaqueDraws(bool on);

}  // namespace gfx
