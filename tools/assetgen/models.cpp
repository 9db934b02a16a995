#include "assetgen.h"

namespace assetgen {

bool GenerateModels(const COutput& /*out*/) { return true; }

}  // namespace assetgen
