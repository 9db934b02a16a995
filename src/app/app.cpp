#include "app/app.h"

namespace app {

int RunGame() { return 0; }

}  // namespace app
