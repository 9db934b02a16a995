// Placeholder until the configuration reader lands: registers the process-wide pointer and keeps
// the defaults, so the graphics start-up can be built and tested against the real declaration.
#include "app/config.h"

CConfig* g_config = nullptr;

CConfig::CConfig(const char*) { g_config = this; }

CConfig::~CConfig() {
  if (g_config == this) g_config = nullptr;
}

int CConfig::FormatFromName(const char*) { return 0; }
