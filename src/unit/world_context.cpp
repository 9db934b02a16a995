#include "unit/world_context.h"

#include "core/config.h"

const CConfig& ConfigOf(const WorldContext& world) {
  static const CConfig defaults;
  return world.config ? *world.config : defaults;
}
