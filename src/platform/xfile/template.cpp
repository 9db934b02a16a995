#include "platform/xfile/template.h"

namespace xfile {

uint32_t PrimitiveSize(Primitive p) {
  switch (p) {
    case Primitive::Word:
    case Primitive::Sword:
      return 2;
    case Primitive::Dword:
    case Primitive::Sdword:
    case Primitive::Float:
      return 4;
    case Primitive::Double:
      return 8;
    case Primitive::Char:
    case Primitive::Uchar:
      return 1;
    case Primitive::String:
    case Primitive::Unicode:
    case Primitive::Cstring:
      return sizeof(const char*);
    case Primitive::Struct:
      return 0;
  }
  return 0;
}

bool PrimitiveIsString(Primitive p) {
  return p == Primitive::String || p == Primitive::Unicode || p == Primitive::Cstring;
}

bool PrimitiveIsFloat(Primitive p) { return p == Primitive::Float || p == Primitive::Double; }

const char* PrimitiveKeyword(Primitive p) {
  switch (p) {
    case Primitive::Word:
      return "WORD";
    case Primitive::Dword:
      return "DWORD";
    case Primitive::Float:
      return "FLOAT";
    case Primitive::Double:
      return "DOUBLE";
    case Primitive::Char:
      return "CHAR";
    case Primitive::Uchar:
      return "UCHAR";
    case Primitive::Sword:
      return "SWORD";
    case Primitive::Sdword:
      return "SDWORD";
    case Primitive::String:
      return "STRING";
    case Primitive::Unicode:
      return "UNICODE";
    case Primitive::Cstring:
      return "CSTRING";
    case Primitive::Struct:
      return "";
  }
  return "";
}

void CTemplate::ComputeMinValues() {
  uint64_t minValues = 0;
  uint64_t size = 0;
  bool fixed = true;
  for (const Member& m : members) {
    uint64_t count = 1;
    for (const ArrayDim& d : m.dims) {
      if (d.member >= 0) {
        count = 0;
        fixed = false;
        break;
      }
      count *= d.fixed;
      if (count > 0xFFFFFFFFull) count = 0xFFFFFFFFull;
    }
    const uint64_t each = m.type == Primitive::Struct ? (m.structType ? m.structType->MinValues() : 0) : 1;
    minValues += count * each;
    if (m.type == Primitive::Struct) {
      if (!m.structType || m.structType->FixedSize() == 0)
        fixed = false;
      else
        size += count * m.structType->FixedSize();
    } else {
      size += count * PrimitiveSize(m.type);
    }
  }
  uint64_t floats = 0;
  bool allFloats = !members.empty();
  for (const Member& m : members) {
    uint64_t count = 1;
    for (const ArrayDim& d : m.dims) count = d.member >= 0 ? 0 : count * d.fixed;
    if (m.type != Primitive::Float || count == 0 || count > 0xFFFF) allFloats = false;
    floats += count;
  }
  countedDwords_ = members.size() == 2 && members[0].type == Primitive::Dword && members[0].dims.empty() &&
                   members[1].type == Primitive::Dword && members[1].dims.size() == 1 &&
                   members[1].dims[0].member == 0;
  flatFloats_ = allFloats && floats <= 0xFFFF ? static_cast<uint32_t>(floats) : 0;
  minValues_ = static_cast<uint32_t>(minValues > 0xFFFFFFFFull ? 0xFFFFFFFFull : minValues);
  fixedSize_ = fixed && size <= 0xFFFFFFFFull ? static_cast<uint32_t>(size) : 0;
}

}  // namespace xfile
