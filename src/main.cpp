#include "app/app.h"

int main() { return app::RunGame(); }
