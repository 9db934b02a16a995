#include "app/reason.h"

namespace app {

std::string WithReason(const std::string& what, const std::string& reason) {
  size_t end = reason.size();
  while (end > 0 && (reason[end - 1] == ' ' || reason[end - 1] == '\n' || reason[end - 1] == '\r' ||
                     reason[end - 1] == '\t'))
    --end;
  if (end == 0) return what + ".";
  const char last = reason[end - 1];
  const bool closed = last == '.' || last == '!' || last == '?';
  return what + ": " + reason.substr(0, end) + (closed ? "" : ".");
}

}  // namespace app
