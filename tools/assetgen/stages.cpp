#include "assetgen.h"

namespace assetgen {

bool GenerateStages(const COutput& /*out*/) { return true; }

}  // namespace assetgen
