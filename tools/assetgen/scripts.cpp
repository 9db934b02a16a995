#include "assetgen.h"

namespace assetgen {

bool GenerateScripts(const COutput& /*out*/) { return true; }

}  // namespace assetgen
