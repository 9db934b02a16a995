#include "core/log.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "platform/os/files.h"
#include "platform/os/message_box.h"

namespace app {
namespace {
FILE* g_logFile = nullptr;
std::string g_logPath = "profile.txt";
}  // namespace

void SetLogPath(const std::string& path) { g_logPath = path; }
const std::string& LogPath() { return g_logPath; }

bool OpenLog(const char* path) {
  CloseLog();
  if (!path || !*path) return false;
  g_logFile = os::OpenFile(path, "wb");
  return g_logFile != nullptr;
}

void CloseLog() {
  if (g_logFile) std::fclose(g_logFile);
  g_logFile = nullptr;
}

bool LogIsOpen() { return g_logFile != nullptr; }

}  // namespace app

void Log(const char* format, ...) {
  if (!app::g_logFile || !format) return;
  char small[512];
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  const char* text = small;
  std::vector<char> big;
  if (n >= static_cast<int>(sizeof small)) {
    big.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, copy);
    text = big.data();
  }
  va_end(copy);
  if (n < 0) return;
  os::DebugOutput(text);
  std::fwrite(text, 1, static_cast<size_t>(n), app::g_logFile);
  std::fflush(app::g_logFile);
}
