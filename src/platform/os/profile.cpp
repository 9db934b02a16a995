#include "platform/os/profile.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/os/files.h"

namespace os {
namespace {

// The whole file; false when it cannot be read to its end (a part of a file is not the settings).
bool ReadWhole(const std::string& fileName, std::string& text) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(fileName, bytes)) return false;
  text.assign(bytes.begin(), bytes.end());
  return true;
}

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

// UTF-16 units [b, e) as UTF-8; a lone surrogate is U+FFFD.
std::string Utf8FromUnits(const std::u16string& t, size_t b, size_t e) {
  std::string out;
  out.reserve(e - b);
  for (size_t i = b; i < e; ++i) {
    uint32_t cp = t[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < e && t[i + 1] >= 0xDC00 && t[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (t[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
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
  std::u16string units;
  units.reserve(n / 2);
  for (size_t i = 2; i + 1 < n; i += 2)  // an odd last byte is no character
    units += static_cast<char16_t>(little ? b[i] | b[i + 1] << 8 : b[i] << 8 | b[i + 1]);
  storage = Utf8FromUnits(units, 0, units.size());
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
    // A line that is the name alone is the key, with no value: the default stands, as on Windows.
    if (eq == std::string_view::npos) {
      if (EqualNoCase(t, wantKey)) return false;
      continue;
    }
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
    std::string text, found;
    if (ReadWhole(fileName, text) && FindProfileValue(text, section, key, found)) value = found;
  }
  const size_t n = std::min(value.size(), size - 1);
  std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  return n;
}

namespace {

// The file as code units: bytes, or UTF-16 units after a byte-order mark. The names and values
// the game writes are ASCII, which is one unit in either form, so editing works on units and
// writing them back in the same form leaves every other byte as it was.
struct Units {
  enum class Form { kBytes, kLittle, kBig } form = Form::kBytes;
  std::u16string text;  // without the mark
  std::string head;     // the mark, as it was
  std::string tail;     // an odd last byte of a UTF-16 file
};

Units ToUnits(const std::string& raw) {
  Units u;
  const auto* b = reinterpret_cast<const uint8_t*>(raw.data());
  const size_t n = raw.size();
  if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
    u.form = b[0] == 0xFF ? Units::Form::kLittle : Units::Form::kBig;
    u.head = raw.substr(0, 2);
    for (size_t i = 2; i + 1 < n; i += 2)
      u.text +=
          static_cast<char16_t>(u.form == Units::Form::kLittle ? b[i] | b[i + 1] << 8 : b[i] << 8 | b[i + 1]);
    if ((n - 2) % 2) u.tail = raw.substr(n - 1);
    return u;
  }
  const size_t skip = n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF ? 3 : 0;
  u.head = raw.substr(0, skip);
  for (size_t i = skip; i < n; ++i) u.text += static_cast<char16_t>(b[i]);
  return u;
}

std::string FromUnits(const Units& u) {
  std::string out = u.head;
  for (char16_t c : u.text) {
    if (u.form == Units::Form::kBytes) {
      out += static_cast<char>(c);
    } else if (u.form == Units::Form::kLittle) {
      out += static_cast<char>(c & 0xFF);
      out += static_cast<char>(c >> 8);
    } else {
      out += static_cast<char>(c >> 8);
      out += static_cast<char>(c & 0xFF);
    }
  }
  return out + u.tail;
}

// UTF-8 text as the file's units: bytes as they are, or UTF-16 (a byte that is not UTF-8 is U+FFFD).
std::u16string ToFileUnits(const std::string& s, Units::Form form) {
  if (form == Units::Form::kBytes) return std::u16string(s.begin(), s.end());
  std::u16string out;
  const auto* b = reinterpret_cast<const uint8_t*>(s.data());
  for (size_t i = 0; i < s.size();) {
    const int length = b[i] < 0x80         ? 1
                       : (b[i] >> 5) == 6  ? 2
                       : (b[i] >> 4) == 14 ? 3
                       : (b[i] >> 3) == 30 ? 4
                                           : 0;
    uint32_t cp = length == 1 ? b[i] : length == 2 ? b[i] & 0x1F : length == 3 ? b[i] & 0x0F : b[i] & 0x07;
    bool valid = length > 0 && i + length <= s.size();
    for (int k = 1; valid && k < length; ++k) {
      valid = (b[i + k] & 0xC0) == 0x80;
      cp = cp << 6 | (b[i + k] & 0x3F);
    }
    static constexpr uint32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
    valid = valid && cp >= kLeast[length] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
    i += valid ? length : 1;
    if (!valid) cp = 0xFFFD;
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

// The units [b, e) as the reader sees them: bytes, or UTF-16 made UTF-8.
std::string ReaderText(const Units& u, size_t b, size_t e) {
  if (u.form != Units::Form::kBytes) return Utf8FromUnits(u.text, b, e);
  std::string out;
  for (size_t i = b; i < e; ++i) out += static_cast<char>(u.text[i]);
  return out;
}

bool BlankUnit(char16_t c) { return c < 0x80 && IsBlank(static_cast<char>(c)); }

// The name in [b, e) against the one wanted, compared exactly as the reader compares them.
bool SameName(const Units& u, size_t b, size_t e, std::string_view wanted) {
  return EqualNoCase(Trim(ReaderText(u, b, e)), Trim(wanted));
}

struct Line {
  size_t begin, end, next;  // content [begin, end), the next line starts at next
};

std::vector<Line> SplitLines(const std::u16string& t) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < t.size()) {
    size_t end = pos;
    while (end < t.size() && t[end] != u'\r' && t[end] != u'\n') ++end;
    size_t next = end;
    if (next < t.size() && t[next] == u'\r') ++next;
    if (next < t.size() && t[next] == u'\n' && (next == end || t[next - 1] == u'\r')) ++next;
    lines.push_back({pos, end, next});
    pos = next;
  }
  return lines;
}

// The line end the file already uses ("\r\n" for a new file: the game's home platform reads both).
std::u16string LineEnd(const std::u16string& t) {
  const size_t at = t.find_first_of(u"\r\n");
  if (at == std::u16string::npos) return u"\r\n";
  if (t[at] == u'\n') return u"\n";
  return at + 1 < t.size() && t[at + 1] == u'\n' ? u"\r\n" : u"\r";
}

void SetValue(Units& u, const ProfileValue& v) {
  std::u16string& t = u.text;
  const std::vector<Line> lines = SplitLines(t);
  const std::u16string eol = LineEnd(t);
  bool inSection = false, seen = false;
  size_t insertAt = std::u16string::npos;  // after the section's last non-blank line
  for (const Line& l : lines) {
    size_t b = l.begin;
    while (b < l.end && BlankUnit(t[b])) ++b;
    if (b == l.end || t[b] == u';') continue;
    if (t[b] == u'[') {
      const size_t close = t.rfind(u']', l.end - 1);
      if (close != std::u16string::npos && close > b && close < l.end) {
        if (inSection) break;  // only the first section of the name counts, as when reading
        inSection = !seen && SameName(u, b + 1, close, v.section);
        if (inSection) {
          seen = true;
          insertAt = l.next;
        }
        continue;
      }
    }
    if (!inSection) continue;
    insertAt = l.next;
    const size_t eq = t.find(u'=', b);
    if (eq == std::u16string::npos || eq >= l.end) {
      // The name alone: the reader stops at this line, so the value goes here.
      if (!SameName(u, b, l.end, v.key)) continue;
      size_t ne = l.end;
      while (ne > b && BlankUnit(t[ne - 1])) --ne;
      t.insert(ne, ToFileUnits("=" + v.value, u.form));
      return;
    }
    if (!SameName(u, b, eq, v.key)) continue;
    size_t vb = eq + 1, ve = l.end;
    while (vb < ve && BlankUnit(t[vb])) ++vb;
    while (ve > vb && BlankUnit(t[ve - 1])) --ve;
    t.replace(vb, ve - vb, ToFileUnits(v.value, u.form));
    return;
  }
  const std::u16string line = ToFileUnits(std::string(Trim(v.key)) + "=" + v.value, u.form) + eol;
  if (seen) {
    // The last line of the section may have no line end (the end of the file).
    if (insertAt == t.size() && !t.empty() && t.back() != u'\n' && t.back() != u'\r') {
      t += eol;
      insertAt = t.size();
    }
    t.insert(std::min(insertAt, t.size()), line);
    return;
  }
  // An old editor's end-of-file mark stays last.
  size_t end = t.size();
  while (end > 0 && t[end - 1] == u'\x1a') --end;
  std::u16string add;
  if (end > 0 && t[end - 1] != u'\n' && t[end - 1] != u'\r') add += eol;
  add += ToFileUnits("[" + std::string(Trim(v.section)) + "]", u.form) + eol + line;
  t.insert(end, add);
}

}  // namespace

std::string EditProfileText(const std::string& raw, const std::vector<ProfileValue>& values) {
  Units u = ToUnits(raw);
  for (const ProfileValue& v : values) SetValue(u, v);
  return FromUnits(u);
}

bool WriteProfileValues(const std::string& fileName, const std::vector<ProfileValue>& values,
                        std::string& error) {
  return RewriteFile(
      fileName, [&](const std::string& raw) { return EditProfileText(raw, values); }, error);
}

}  // namespace os
