#include "assetgen.h"

namespace assetgen {

bool GenerateSounds(const COutput& /*out*/) { return true; }

}  // namespace assetgen
