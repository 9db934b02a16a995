#include "assetgen.h"

namespace assetgen {

bool GenerateImages(const COutput& /*out*/) { return true; }

}  // namespace assetgen
