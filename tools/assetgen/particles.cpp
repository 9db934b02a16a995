#include "assetgen.h"

namespace assetgen {

bool GenerateParticles(const COutput& /*out*/) { return true; }

}  // namespace assetgen
