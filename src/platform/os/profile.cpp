#include "platform/os/profile.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <sstream>

namespace os {
namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

bool FindProfileValue(const std::string& text, const std::string& section, const std::string& key,
                      std::string& value) {
  const std::string wantSection = Trim(section);
  const std::string wantKey = Trim(key);
  std::istringstream in(text);
  std::string line;
  bool inSection = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string t = Trim(line);
    if (t.empty() || t[0] == ';') continue;
    if (t[0] == '[') {
      const size_t close = t.find(']');
      const std::string name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      inSection = EqualNoCase(name, wantSection);
      continue;
    }
    if (!inSection) continue;
    const size_t eq = t.find('=');
    if (eq == std::string::npos) continue;
    if (!EqualNoCase(Trim(t.substr(0, eq)), wantKey)) continue;
    std::string v = Trim(t.substr(eq + 1));
    if (v.size() >= 2 && ((v.front() == '"' && v.back() == '"') || (v.front() == '\'' && v.back() == '\'')))
      v = v.substr(1, v.size() - 2);
    value = v;
    return true;
  }
  return false;
}

size_t GetPrivateProfileString(const char* section, const char* key, const char* defaultText,
                               char* buffer, size_t size, const char* fileName) {
  if (!buffer || size == 0) return 0;
  std::string value = defaultText ? defaultText : "";
  while (!value.empty() && value.back() == ' ') value.pop_back();  // as the Win32 reader does
  if (section && key && fileName) {
    std::ifstream f(fileName, std::ios::binary);
    if (f) {
      std::stringstream ss;
      ss << f.rdbuf();
      std::string found;
      if (FindProfileValue(ss.str(), section, key, found)) value = found;
    }
  }
  const size_t n = std::min(value.size(), size - 1);
  std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  return n;
}

}  // namespace os
