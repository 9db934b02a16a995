// How far the world reaches: the far plane, the fog's end and the base of the units' visibility
// distance. Never changes.
#pragma once

inline constexpr float g_viewDistance = 4800.0f;
