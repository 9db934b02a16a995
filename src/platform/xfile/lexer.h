// Splits the body of a .x file (after the 16-byte header, decompressed) into tokens. Text and
// binary bodies give the same token kinds; binary number lists stay lists pointing into the
// buffer so the parser can take their values one at a time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/xfile/guid.h"

namespace xfile {

enum class Tok : uint8_t {
  End,
  Error,
  Name,
  String,
  Integer,
  Float,
  GuidLit,
  IntList,
  FloatList,
  OBrace,
  CBrace,
  OParen,
  CParen,
  OBracket,
  CBracket,
  OAngle,
  CAngle,
  Dot,
  Comma,
  Semicolon,
  Template,
  Word,
  Dword,
  FloatKw,
  Double,
  Char,
  Uchar,
  Sword,
  Sdword,
  Void,
  Lpstr,
  Unicode,
  Cstring,
  Array,
};

struct Token {
  Tok kind = Tok::End;
  std::string_view text;          // Name, String, keywords (text form)
  int64_t integer = 0;            // Integer
  double number = 0;              // Float
  Guid guid;                      // GuidLit
  const uint8_t* list = nullptr;  // IntList, FloatList: raw little-endian values
  uint32_t count = 0;
};

class CLexer {
 public:
  CLexer(const uint8_t* data, size_t size, bool binary, bool doubles)
      : p_(data), end_(data + size), binary_(binary), doubles_(doubles) {}
  bool Next(Token& t);  // false on End or Error (t.kind tells which)
  // Text only: skips blanks, separators and comments, then reads a number if one is next.
  // False (nothing consumed but the skipped) when something else comes.
  bool NextTextNumber(double& real, int64_t& integer, bool& isInteger);
  size_t Remaining() const { return static_cast<size_t>(end_ - p_); }
  bool Binary() const { return binary_; }
  bool Doubles() const { return doubles_; }

 private:
  bool NextText(Token& t);
  bool NextBinary(Token& t);
  bool LexNumber(Token& t);
  const uint8_t* p_;
  const uint8_t* end_;
  bool binary_;
  bool doubles_;
};

}  // namespace xfile
