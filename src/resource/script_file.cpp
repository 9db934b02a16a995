#include "resource/script_file.h"

#include <fstream>
#include <sstream>

#include "core/log.h"
#include "platform/os/files.h"

CScriptFile::CScriptFile(const std::string& fileName) {
  std::ifstream in(os::PathFromUtf8(fileName), std::ios::binary);
  if (!in) {
    Log("Not Found %s", fileName.c_str());
    return;
  }
  ReadLines(in);
  loaded_ = true;
}

CScriptFile CScriptFile::FromText(const std::string& text) {
  CScriptFile s;
  std::istringstream in(text);
  s.ReadLines(in);
  s.loaded_ = true;
  return s;
}

void CScriptFile::ReadLines(std::istream& in) {
  std::string line;
  while (line != "#EOF" && std::getline(in, line)) {
    // Text-mode reading: a carriage return before the line feed is not part of the line.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines_[lineCount_++] = line;
  }
}

std::list<std::string> CScriptFile::GetSection(const std::string& name) const {
  std::list<std::string> out;
  auto it = lines_.begin();
  while (it != lines_.end() && it->second != name) ++it;
  if (it == lines_.end()) return out;
  for (++it; it != lines_.end() && it->second != "#end"; ++it) out.push_back(it->second);
  return out;
}
