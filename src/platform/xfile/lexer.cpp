#include "platform/xfile/lexer.h"

#include <strings.h>

#include <charconv>
#include <cstring>

#include "platform/xfile/real_chars.h"

namespace xfile {

namespace {

inline uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Character classes: kSkip for what lies between numbers (blanks and separators), kDelimiter
// for what ends a name or number.
enum : uint8_t { kSkip = 1, kDelimiter = 2 };
struct CharClasses {
  uint8_t c[256] = {};
  constexpr CharClasses() {
    for (char ch : {' ', '\t', '\r', '\n'}) c[static_cast<uint8_t>(ch)] = kSkip | kDelimiter;
    c[0] = kDelimiter;
    for (char ch : {',', ';'}) c[static_cast<uint8_t>(ch)] = kSkip | kDelimiter;
    for (char ch : {'{', '}', '[', ']', '(', ')', '<', '>', '"', '#'})
      c[static_cast<uint8_t>(ch)] = kDelimiter;
  }
};
constexpr CharClasses kClasses;

inline bool IsDelimiter(uint8_t c) { return kClasses.c[c] & kDelimiter; }

struct Keyword {
  const char* text;
  size_t length;
  Tok kind;
};
constexpr Keyword kKeywords[] = {
    {"template", 8, Tok::Template}, {"WORD", 4, Tok::Word},     {"DWORD", 5, Tok::Dword},
    {"FLOAT", 5, Tok::FloatKw},     {"DOUBLE", 6, Tok::Double}, {"CHAR", 4, Tok::Char},
    {"UCHAR", 5, Tok::Uchar},       {"SWORD", 5, Tok::Sword},   {"SDWORD", 6, Tok::Sdword},
    {"VOID", 4, Tok::Void},         {"STRING", 6, Tok::Lpstr},  {"UNICODE", 7, Tok::Unicode},
    {"CSTRING", 7, Tok::Cstring},   {"array", 5, Tok::Array},   {"BYTE", 4, Tok::Uchar},
};

}  // namespace

bool CLexer::Next(Token& t) { return binary_ ? NextBinary(t) : NextText(t); }

bool CLexer::LexNumber(Token& t) {
  const uint8_t* start = p_;
  const uint8_t* q = p_;
  bool isFloat = false;
  if (q < end_ && (*q == '-' || *q == '+')) ++q;
  while (q < end_) {
    const uint8_t c = *q;
    if (c >= '0' && c <= '9') {
      ++q;
    } else if (c == '.') {
      isFloat = true;
      ++q;
      // MSVC's printouts of NaN and infinity ("1.#IND00", "-1.#QNAN0") read as 0.
      if (q < end_ && *q == '#') {
        while (q < end_ && !IsDelimiter(*q == '#' ? 'x' : *q)) ++q;
        p_ = q;
        t.kind = Tok::Float;
        t.number = 0;
        return true;
      }
    } else if ((c == 'e' || c == 'E') && q + 1 < end_ &&
               ((q[1] >= '0' && q[1] <= '9') || q[1] == '-' || q[1] == '+')) {
      isFloat = true;
      q += 2;
    } else {
      break;
    }
  }
  if (q < end_ && !IsDelimiter(*q) && *q != '.') {
    // Not a number after all ("1stBone"): exporters do write names that start with a digit.
    while (q < end_ && !IsDelimiter(*q)) ++q;
    t.kind = Tok::Name;
    t.text = std::string_view(reinterpret_cast<const char*>(start), static_cast<size_t>(q - start));
    p_ = q;
    return true;
  }
  const char* b = reinterpret_cast<const char*>(start);
  const char* e = reinterpret_cast<const char*>(q);
  if (*b == '+') ++b;
  if (!isFloat) {
    int64_t v = 0;
    auto r = std::from_chars(b, e, v);
    if (r.ec == std::errc() && r.ptr == e && v >= -2147483648LL && v <= 0xFFFFFFFFLL) {
      p_ = q;
      t.kind = Tok::Integer;
      t.integer = v;
      return true;
    }
  }
  double d = 0;
  auto r = RealFromChars(b, e, d);
  if (r.ec != std::errc() || r.ptr != e) {
    t.kind = Tok::Error;
    return false;
  }
  p_ = q;
  t.kind = Tok::Float;
  t.number = d;
  return true;
}

bool CLexer::NextTextNumber(double& real, int64_t& integer, bool& isInteger) {
  for (;;) {
    while (p_ < end_ && (kClasses.c[*p_] & kSkip)) ++p_;
    if (p_ == end_) return false;
    if (*p_ == '#' || (*p_ == '/' && p_ + 1 < end_ && p_[1] == '/')) {
      while (p_ < end_ && *p_ != '\n') ++p_;
      continue;
    }
    break;
  }
  const char* b = reinterpret_cast<const char*>(p_);
  const char* e = reinterpret_cast<const char*>(end_);
  if (*b == '+') ++b;
  const char first = b < e ? *b : 0;
  if (!((first >= '0' && first <= '9') ||
        ((first == '-' || first == '.') && b + 1 < e && ((b[1] >= '0' && b[1] <= '9') || b[1] == '.'))))
    return false;
  // Integers and short plain decimals by hand (nearly every value in a file): a mantissa of at
  // most 15 digits and a power of ten up to 22 are exact doubles, so one division rounds exactly
  // as from_chars would. Exponents and longer numbers go to from_chars.
  {
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* q = b;
    const bool negative = *q == '-';
    if (negative) ++q;
    uint64_t v = 0;
    int digits = 0;
    const char* intStart = q;
    while (q < e && *q >= '0' && *q <= '9' && digits < 16)
      v = v * 10 + static_cast<uint64_t>(*q++ - '0'), ++digits;
    const bool hasInt = q > intStart;
    if (hasInt && (q == e || IsDelimiter(static_cast<uint8_t>(*q)))) {
      integer = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
      if (integer < -2147483648LL || integer > 0xFFFFFFFFLL) return false;
      isInteger = true;
      p_ = reinterpret_cast<const uint8_t*>(q);
      return true;
    }
    if (q < e && *q == '.' && digits < 16) {
      ++q;
      const char* fracStart = q;
      while (q < e && *q >= '0' && *q <= '9' && digits < 16)
        v = v * 10 + static_cast<uint64_t>(*q++ - '0'), ++digits;
      const int frac = static_cast<int>(q - fracStart);
      if ((hasInt || frac > 0) && digits <= 15 &&
          (q == e || (IsDelimiter(static_cast<uint8_t>(*q)) && *q != '#'))) {
        const double d = static_cast<double>(v) / kPow10[frac];
        real = negative ? -d : d;
        isInteger = false;
        p_ = reinterpret_cast<const uint8_t*>(q);
        return true;
      }
    }
  }
  auto f = RealFromChars(b, e, real);
  if (f.ec != std::errc() || (f.ptr != e && !IsDelimiter(static_cast<uint8_t>(*f.ptr)))) return false;
  if (f.ptr != e && *f.ptr == '#' && f.ptr[-1] == '.') return false;  // "1.#IND00": the slow path knows
  isInteger = false;
  p_ = reinterpret_cast<const uint8_t*>(f.ptr);
  return true;
}

bool CLexer::NextText(Token& t) {
  for (;;) {
    while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\r' || *p_ == '\n' || *p_ == '\0')) ++p_;
    if (p_ == end_) {
      t.kind = Tok::End;
      return false;
    }
    if (*p_ == '#' || (*p_ == '/' && p_ + 1 < end_ && p_[1] == '/')) {
      while (p_ < end_ && *p_ != '\n') ++p_;
      continue;
    }
    break;
  }
  const uint8_t c = *p_;
  switch (c) {
    case '{':
      ++p_;
      t.kind = Tok::OBrace;
      return true;
    case '}':
      ++p_;
      t.kind = Tok::CBrace;
      return true;
    case '[':
      ++p_;
      t.kind = Tok::OBracket;
      return true;
    case ']':
      ++p_;
      t.kind = Tok::CBracket;
      return true;
    case '(':
      ++p_;
      t.kind = Tok::OParen;
      return true;
    case ')':
      ++p_;
      t.kind = Tok::CParen;
      return true;
    case '>':
      ++p_;
      t.kind = Tok::CAngle;
      return true;
    case ',':
      ++p_;
      t.kind = Tok::Comma;
      return true;
    case ';':
      ++p_;
      t.kind = Tok::Semicolon;
      return true;
    case '<': {
      const void* close = std::memchr(p_, '>', static_cast<size_t>(end_ - p_));
      if (!close) break;
      const auto* q = static_cast<const uint8_t*>(close);
      std::string_view body(reinterpret_cast<const char*>(p_ + 1), static_cast<size_t>(q - p_ - 1));
      if (body.size() > 64 || !ParseGuid(body, t.guid)) break;
      p_ = q + 1;
      t.kind = Tok::GuidLit;
      return true;
    }
    case '"': {
      const uint8_t* q = p_ + 1;
      while (q < end_ && *q != '"') ++q;
      if (q == end_) break;
      t.kind = Tok::String;
      t.text = std::string_view(reinterpret_cast<const char*>(p_ + 1), static_cast<size_t>(q - p_ - 1));
      p_ = q + 1;
      return true;
    }
    case '.':
      if (p_ + 1 < end_ && p_[1] >= '0' && p_[1] <= '9') return LexNumber(t);
      ++p_;
      t.kind = Tok::Dot;
      return true;
    default:
      if ((c >= '0' && c <= '9') ||
          ((c == '-' || c == '+') && p_ + 1 < end_ && ((p_[1] >= '0' && p_[1] <= '9') || p_[1] == '.')))
        return LexNumber(t);
      {
        const uint8_t* q = p_;
        while (q < end_ && !IsDelimiter(*q) && !(*q == '/' && q + 1 < end_ && q[1] == '/')) ++q;
        t.text = std::string_view(reinterpret_cast<const char*>(p_), static_cast<size_t>(q - p_));
        p_ = q;
        t.kind = Tok::Name;
        if (t.text.size() >= 4 && t.text.size() <= 8) {
          for (const Keyword& k : kKeywords) {
            if (k.length == t.text.size() && strncasecmp(k.text, t.text.data(), t.text.size()) == 0) {
              t.kind = k.kind;
              break;
            }
          }
        }
        return true;
      }
  }
  t.kind = Tok::Error;
  return false;
}

bool CLexer::NextBinary(Token& t) {
  if (end_ - p_ < 2) {
    t.kind = p_ == end_ ? Tok::End : Tok::Error;
    return false;
  }
  const uint16_t id = static_cast<uint16_t>(p_[0] | p_[1] << 8);
  p_ += 2;
  const size_t left = static_cast<size_t>(end_ - p_);
  switch (id) {
    case 1:    // NAME
    case 2: {  // STRING; its terminator follows as an ordinary token
      if (left < 4) break;
      const uint32_t n = Le32(p_);
      if (n > left - 4) break;
      t.kind = id == 1 ? Tok::Name : Tok::String;
      t.text = std::string_view(reinterpret_cast<const char*>(p_ + 4), n);
      p_ += 4 + n;
      return true;
    }
    case 3:
      if (left < 4) break;
      t.kind = Tok::Integer;
      t.integer = Le32(p_);
      p_ += 4;
      return true;
    case 5:
      if (left < 16) break;
      GuidFromBytes(p_, t.guid);
      p_ += 16;
      t.kind = Tok::GuidLit;
      return true;
    case 6:
    case 7: {
      if (left < 4) break;
      const uint32_t n = Le32(p_);
      const size_t each = id == 6 ? 4 : (doubles_ ? 8 : 4);
      if (n > (left - 4) / each) break;
      t.kind = id == 6 ? Tok::IntList : Tok::FloatList;
      t.count = n;
      t.list = p_ + 4;
      p_ += 4 + n * each;
      return true;
    }
    case 0x0A:
      t.kind = Tok::OBrace;
      return true;
    case 0x0B:
      t.kind = Tok::CBrace;
      return true;
    case 0x0C:
      t.kind = Tok::OParen;
      return true;
    case 0x0D:
      t.kind = Tok::CParen;
      return true;
    case 0x0E:
      t.kind = Tok::OBracket;
      return true;
    case 0x0F:
      t.kind = Tok::CBracket;
      return true;
    case 0x10:
      t.kind = Tok::OAngle;
      return true;
    case 0x11:
      t.kind = Tok::CAngle;
      return true;
    case 0x12:
      t.kind = Tok::Dot;
      return true;
    case 0x13:
      t.kind = Tok::Comma;
      return true;
    case 0x14:
      t.kind = Tok::Semicolon;
      return true;
    case 0x1F:
      t.kind = Tok::Template;
      return true;
    case 0x28:
      t.kind = Tok::Word;
      return true;
    case 0x29:
      t.kind = Tok::Dword;
      return true;
    case 0x2A:
      t.kind = Tok::FloatKw;
      return true;
    case 0x2B:
      t.kind = Tok::Double;
      return true;
    case 0x2C:
      t.kind = Tok::Char;
      return true;
    case 0x2D:
      t.kind = Tok::Uchar;
      return true;
    case 0x2E:
      t.kind = Tok::Sword;
      return true;
    case 0x2F:
      t.kind = Tok::Sdword;
      return true;
    case 0x30:
      t.kind = Tok::Void;
      return true;
    case 0x31:
      t.kind = Tok::Lpstr;
      return true;
    case 0x32:
      t.kind = Tok::Unicode;
      return true;
    case 0x33:
      t.kind = Tok::Cstring;
      return true;
    case 0x34:
      t.kind = Tok::Array;
      return true;
    default:
      break;
  }
  t.kind = Tok::Error;
  return false;
}

}  // namespace xfile
