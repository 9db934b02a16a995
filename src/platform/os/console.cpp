#include "platform/os/console.h"

#include <sstream>
#include <vector>

namespace os {
namespace {

size_t Indent(const std::string& line) {
  const size_t first = line.find_first_not_of(' ');
  return first == std::string::npos ? line.size() : first;
}

// A line that begins a paragraph of its own rather than going on with the one before.
bool Opens(const std::string& line) { return line.rfind("Usage:", 0) == 0 || line.rfind("Try ", 0) == 0; }

}  // namespace

std::string BoxText(const std::string& consoleText) {
  std::vector<std::string> out;
  bool inEntry = false;  // the last line out is an indented entry
  std::istringstream lines(consoleText);
  for (std::string line; std::getline(lines, line);) {
    const size_t indent = Indent(line);
    const std::string text = line.substr(indent);
    if (text.empty()) {
      out.emplace_back();
      inEntry = false;
      continue;
    }
    // An entry's own lines are indented further than any entry starts.
    if (inEntry && indent >= 8) {
      out.back() += " " + text;
      continue;
    }
    if (indent > 0) {
      // "name    text" becomes "name: text"; an entry without a second column stays as it is.
      std::string entry = text;
      const size_t gap = entry.find("  ");
      if (gap != std::string::npos) {
        const size_t rest = entry.find_first_not_of(' ', gap);
        entry = entry.substr(0, gap) + ": " + entry.substr(rest);
      }
      out.push_back(entry);
      inEntry = true;
      continue;
    }
    const bool goesOn = !out.empty() && !inEntry && !out.back().empty() && !Opens(text) &&
                        out.back().back() != '.' && out.back().back() != ':';
    if (goesOn)
      out.back() += " " + text;
    else
      out.push_back(text);
    inEntry = false;
  }
  std::string joined;
  for (size_t i = 0; i < out.size(); ++i) joined += (i ? "\n" : "") + out[i];
  return joined;
}

}  // namespace os
