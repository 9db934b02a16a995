// Scene scripts of any content: lines are counted up to "#EOF", every section found by its header
// line holds no more lines than the file, and a section runs to "#end" or to the last line.
#include "resource/script_file.h"

#include <string>

#include "fuzz_target.h"

FUZZ_TARGET(script_file) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const CScriptFile script = CScriptFile::FromText(text);
  FUZZ_CHECK(script.Loaded());
  FUZZ_CHECK(script.LineCount() >= 0);
  // Every header-looking line is asked for, at most a few dozen to keep each run short.
  size_t start = 0;
  int asked = 0;
  while (start <= text.size() && asked < 48) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '#') {
      ++asked;
      const auto section = script.GetSection(line);
      FUZZ_CHECK(static_cast<long>(section.size()) < static_cast<long>(script.LineCount()));
      for (const std::string& entry : section) FUZZ_CHECK(entry != "#end");
    }
    start = end + 1;
  }
  return 0;
}
