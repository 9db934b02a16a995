#include "platform/os/profile.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>

#include "platform/os/files.h"

namespace os {
namespace {

// CR and Ctrl-Z (the old end-of-file mark some editors still append) are blanks to the Windows
// reader too.
bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) || c == '\x1a'; }

std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | cp >> 18);
    out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The text as 8-bit characters. A UTF-8 byte-order mark is dropped; UTF-16 with a mark (either
// byte order) becomes UTF-8, the narrow character set here. Without a mark the bytes stand as they
// are: like the Windows reader, no guessing at unmarked UTF-16.
std::string_view Decode(const std::string& raw, std::string& storage) {
  const auto* b = reinterpret_cast<const uint8_t*>(raw.data());
  const size_t n = raw.size();
  if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) return std::string_view(raw).substr(3);
  const bool little = n >= 2 && b[0] == 0xFF && b[1] == 0xFE;
  const bool big = n >= 2 && b[0] == 0xFE && b[1] == 0xFF;
  if (!little && !big) return raw;
  storage.clear();
  storage.reserve(n);
  auto unit = [&](size_t i) -> uint32_t { return little ? b[i] | b[i + 1] << 8 : b[i] << 8 | b[i + 1]; };
  for (size_t i = 2; i + 1 < n; i += 2) {  // an odd last byte is no character
    uint32_t cp = unit(i);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < n && unit(i + 2) >= 0xDC00 && unit(i + 2) <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(storage, cp);
  }
  return storage;
}

}  // namespace

bool FindProfileValue(const std::string& text, const std::string& section, const std::string& key,
                      std::string& value) {
  std::string storage;
  const std::string_view body = Decode(text, storage);
  const std::string_view wantSection = Trim(section);
  const std::string_view wantKey = Trim(key);
  bool inSection = false;
  size_t pos = 0;
  while (pos < body.size()) {
    // A line ends at CR or LF, so old Mac files (CR alone) read line by line too.
    size_t end = body.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = body.size();
    const std::string_view t = Trim(body.substr(pos, end - pos));
    pos = end + 1;
    if (t.empty() || t[0] == ';') continue;
    if (t[0] == '[') {
      const size_t close = t.rfind(']');
      if (close != std::string_view::npos) {
        // Only the first section of the name is searched; a later one of the same name is not.
        if (inSection) return false;
        inSection = EqualNoCase(Trim(t.substr(1, close - 1)), wantSection);
        continue;
      }
      // Without a closing bracket the line is an ordinary one.
    }
    if (!inSection) continue;
    const size_t eq = t.find('=');
    if (eq == std::string_view::npos) continue;
    if (!EqualNoCase(Trim(t.substr(0, eq)), wantKey)) continue;
    std::string_view v = Trim(t.substr(eq + 1));
    if (v.size() >= 2 && ((v.front() == '"' && v.back() == '"') || (v.front() == '\'' && v.back() == '\'')))
      v = v.substr(1, v.size() - 2);
    value.assign(v);
    return true;
  }
  return false;
}

size_t GetPrivateProfileString(const char* section, const char* key, const char* defaultText, char* buffer,
                               size_t size, const char* fileName) {
  if (!buffer || size == 0) return 0;
  std::string value = defaultText ? defaultText : "";
  while (!value.empty() && value.back() == ' ') value.pop_back();  // as the Win32 reader does
  if (section && key && fileName) {
    std::ifstream f(PathFromUtf8(fileName), std::ios::binary);
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
