// A .x template: named, identified by GUID, a list of members (primitives, nested templates,
// arrays sized by constants or by earlier members) and a restriction on its children.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/xfile/guid.h"

namespace xfile {

enum class Primitive : uint8_t {
  Word,
  Dword,
  Float,
  Double,
  Char,
  Uchar,
  Sword,
  Sdword,
  String,
  Unicode,
  Cstring,
  Struct,  // a member whose type is another template
};

// Bytes a primitive takes in an object's data; strings are a pointer to owned text.
uint32_t PrimitiveSize(Primitive p);
bool PrimitiveIsString(Primitive p);
bool PrimitiveIsFloat(Primitive p);
const char* PrimitiveKeyword(Primitive p);

class CTemplate;

struct ArrayDim {
  uint32_t fixed = 0;
  int member = -1;  // index of an earlier member holding the size, or -1 for a fixed size
};

struct Member {
  Primitive type = Primitive::Dword;
  const CTemplate* structType = nullptr;  // for Primitive::Struct
  std::string name;
  std::vector<ArrayDim> dims;  // empty: not an array
};

enum class Restriction : uint8_t { Closed, Open, Restricted };

struct AllowedChild {
  std::string name;
  Guid guid;
  bool hasGuid = false;
};

class CTemplate {
 public:
  std::string name;
  Guid guid;
  std::vector<Member> members;
  Restriction restriction = Restriction::Closed;
  std::vector<AllowedChild> allowed;

  // Values an element reads at the least (arrays of unknown size count as none); 0 means an
  // element reads nothing at all, so arrays of it need not be walked.
  uint32_t MinValues() const { return minValues_; }
  void ComputeMinValues();
  // Bytes of one element when it holds no variable-size array, else 0.
  uint32_t FixedSize() const { return fixedSize_; }
  // When every member is a FLOAT (or a fixed array of them), how many; else 0. Arrays of such
  // templates read as one run of floats.
  uint32_t FlatFloats() const { return flatFloats_; }
  // True for { DWORD n; array DWORD values[n]; } (a mesh face and the like).
  bool CountedDwords() const { return countedDwords_; }

 private:
  uint32_t flatFloats_ = 0;
  bool countedDwords_ = false;
  uint32_t minValues_ = 0;
  uint32_t fixedSize_ = 0;
};

}  // namespace xfile
