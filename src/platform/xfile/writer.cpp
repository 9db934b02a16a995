#include "platform/xfile/writer.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "platform/os/files.h"
#include "platform/xfile/mszip.h"
#include "platform/xfile/real_chars.h"

namespace xfile {

namespace {

enum : uint16_t {
  kName = 1,
  kString = 2,
  kInteger = 3,
  kGuid = 5,
  kIntList = 6,
  kFloatList = 7,
  kOBrace = 0x0A,
  kCBrace = 0x0B,
  kOBracket = 0x0E,
  kCBracket = 0x0F,
  kDot = 0x12,
  kComma = 0x13,
  kSemicolon = 0x14,
  kTemplate = 0x1F,
  kArray = 0x34,
};

uint16_t PrimitiveTokenId(Primitive p) {
  switch (p) {
    case Primitive::Word:
      return 0x28;
    case Primitive::Dword:
      return 0x29;
    case Primitive::Float:
      return 0x2A;
    case Primitive::Double:
      return 0x2B;
    case Primitive::Char:
      return 0x2C;
    case Primitive::Uchar:
      return 0x2D;
    case Primitive::Sword:
      return 0x2E;
    case Primitive::Sdword:
      return 0x2F;
    case Primitive::String:
      return 0x31;
    case Primitive::Unicode:
      return 0x32;
    case Primitive::Cstring:
      return 0x33;
    case Primitive::Struct:
      return 0;
  }
  return 0;
}

// Emits one body, text or binary; binary numbers are gathered into lists as long as consecutive
// values have the same kind.
class CEmitter {
 public:
  CEmitter(bool binary, bool doubles, std::vector<uint8_t>& out)
      : binary_(binary), doubles_(doubles), out_(out) {}

  void Raw(std::string_view s) { out_.insert(out_.end(), s.begin(), s.end()); }
  void Indent(int depth) {
    if (!binary_) out_.insert(out_.end(), static_cast<size_t>(depth), ' ');
  }
  void Word16(uint16_t v) {
    out_.push_back(static_cast<uint8_t>(v));
    out_.push_back(static_cast<uint8_t>(v >> 8));
  }
  void Dword32(uint32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void Token(uint16_t id) {
    Flush();
    Word16(id);
  }
  void NameToken(std::string_view s) {
    Token(kName);
    Dword32(static_cast<uint32_t>(s.size()));
    Raw(s);
  }
  void GuidToken(const Guid& g) {
    Token(kGuid);
    uint8_t b[16];
    GuidToBytes(g, b);
    out_.insert(out_.end(), b, b + 16);
  }

  void Integer(int64_t v) {
    if (binary_) {
      if (!floats_.empty()) Flush();
      ints_.push_back(static_cast<uint32_t>(v));
      return;
    }
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out_.insert(out_.end(), buf, r.ptr);
  }
  void Real(double v, bool isDouble) {
    if (binary_) {
      if (!ints_.empty()) Flush();
      floats_.push_back(v);
      return;
    }
    char buf[40];
    auto r = isDouble ? RealToChars(buf, buf + sizeof buf, v)
                      : RealToChars(buf, buf + sizeof buf, static_cast<float>(v));
    // Always with a decimal point: some readers take "1,0" for a decimal comma.
    bool plain = true;
    for (const char* q = buf; q < r.ptr; ++q)
      if (*q == '.' || *q == 'e' || *q == 'n' || *q == 'i') plain = false;
    out_.insert(out_.end(), buf, r.ptr);
    if (plain) Raw(".0");
  }
  void String(std::string_view s) {
    if (binary_) {
      Token(kString);
      Dword32(static_cast<uint32_t>(s.size()));
      Raw(s);
      Word16(kSemicolon);
      return;
    }
    out_.push_back('"');
    Raw(s);
    out_.push_back('"');
  }
  // Text separators; binary data has none.
  void Sep(char c) {
    if (!binary_) out_.push_back(static_cast<uint8_t>(c));
  }
  void Flush() {
    if (!ints_.empty()) {
      Word16(kIntList);
      Dword32(static_cast<uint32_t>(ints_.size()));
      for (uint32_t v : ints_) Dword32(v);
      ints_.clear();
    }
    if (!floats_.empty()) {
      Word16(kFloatList);
      Dword32(static_cast<uint32_t>(floats_.size()));
      for (double v : floats_) {
        if (doubles_) {
          uint64_t bits;
          std::memcpy(&bits, &v, 8);
          Dword32(static_cast<uint32_t>(bits));
          Dword32(static_cast<uint32_t>(bits >> 32));
        } else {
          float f = static_cast<float>(v);
          uint32_t bits;
          std::memcpy(&bits, &f, 4);
          Dword32(bits);
        }
      }
      floats_.clear();
    }
  }
  bool Binary() const { return binary_; }

 private:
  bool binary_;
  bool doubles_;
  std::vector<uint8_t>& out_;
  std::vector<uint32_t> ints_;
  std::vector<double> floats_;
};

void EmitTemplate(CEmitter& e, const CTemplate& t) {
  if (e.Binary()) {
    e.Token(kTemplate);
    e.NameToken(t.name);
    e.Token(kOBrace);
    e.GuidToken(t.guid);
    for (const Member& m : t.members) {
      if (!m.dims.empty()) e.Token(kArray);
      if (m.type == Primitive::Struct)
        e.NameToken(m.structType->name);
      else
        e.Token(PrimitiveTokenId(m.type));
      if (!m.name.empty()) e.NameToken(m.name);
      for (const ArrayDim& d : m.dims) {
        e.Token(kOBracket);
        if (d.member >= 0) {
          e.NameToken(t.members[static_cast<size_t>(d.member)].name);
        } else {
          e.Token(kInteger);
          e.Dword32(d.fixed);
        }
        e.Token(kCBracket);
      }
      e.Token(kSemicolon);
    }
    if (t.restriction == Restriction::Open) {
      e.Token(kOBracket);
      for (int i = 0; i < 3; ++i) e.Token(kDot);
      e.Token(kCBracket);
    } else if (t.restriction == Restriction::Restricted) {
      e.Token(kOBracket);
      for (size_t i = 0; i < t.allowed.size(); ++i) {
        if (i) e.Token(kComma);
        e.NameToken(t.allowed[i].name);
        if (t.allowed[i].hasGuid) e.GuidToken(t.allowed[i].guid);
      }
      e.Token(kCBracket);
    }
    e.Token(kCBrace);
    return;
  }
  e.Raw("template ");
  e.Raw(t.name);
  e.Raw(" {\n <");
  e.Raw(FormatGuid(t.guid));
  e.Raw(">\n");
  for (const Member& m : t.members) {
    e.Raw(" ");
    if (!m.dims.empty()) e.Raw("array ");
    e.Raw(m.type == Primitive::Struct ? std::string_view(m.structType->name) : PrimitiveKeyword(m.type));
    if (!m.name.empty()) {
      e.Raw(" ");
      e.Raw(m.name);
    }
    for (const ArrayDim& d : m.dims) {
      e.Raw("[");
      if (d.member >= 0)
        e.Raw(t.members[static_cast<size_t>(d.member)].name);
      else
        e.Integer(d.fixed);
      e.Raw("]");
    }
    e.Raw(";\n");
  }
  if (t.restriction == Restriction::Open) {
    e.Raw(" [...]\n");
  } else if (t.restriction == Restriction::Restricted) {
    e.Raw(" [");
    for (size_t i = 0; i < t.allowed.size(); ++i) {
      if (i) e.Raw(", ");
      e.Raw(t.allowed[i].name);
      if (t.allowed[i].hasGuid) {
        e.Raw(" <");
        e.Raw(FormatGuid(t.allowed[i].guid));
        e.Raw(">");
      }
    }
    e.Raw("]\n");
  }
  e.Raw("}\n\n");
}

constexpr size_t kMaxMembers = 256;
constexpr int kMaxDepth = 64;

// Writes one value of a primitive, keeping integral values for array sizes.
bool EmitPrimitive(CEmitter& e, Primitive p, CDataCursor& c, uint32_t& value) {
  switch (p) {
    case Primitive::Word:
      value = c.Word();
      e.Integer(value);
      break;
    case Primitive::Sword: {
      const uint16_t w = c.Word();
      value = w;
      e.Integer(static_cast<int16_t>(w));
      break;
    }
    case Primitive::Dword:
      value = c.Dword();
      e.Integer(value);
      break;
    case Primitive::Sdword:
      value = c.Dword();
      e.Integer(static_cast<int32_t>(value));
      break;
    case Primitive::Char:
    case Primitive::Uchar: {
      uint8_t b = 0;
      if (c.Remaining() >= 1) b = *c.Position();
      if (!c.Skip(1)) return false;
      value = b;
      e.Integer(p == Primitive::Char ? static_cast<int8_t>(b) : b);
      break;
    }
    case Primitive::Float:
      e.Real(c.Float(), false);
      break;
    case Primitive::Double:
      e.Real(c.Double(), true);
      break;
    case Primitive::String:
    case Primitive::Unicode:
    case Primitive::Cstring:
      e.String(c.String());
      break;
    case Primitive::Struct:
      return false;
  }
  return c.Ok();
}

bool EmitMembers(CEmitter& e, const CTemplate& t, CDataCursor& c, int level, int indent) {
  if (level > kMaxDepth || t.members.size() > kMaxMembers) return false;
  uint32_t values[kMaxMembers];
  for (size_t i = 0; i < t.members.size(); ++i) {
    const Member& m = t.members[i];
    if (level == 0) e.Indent(indent);
    uint64_t count = 1;
    for (const ArrayDim& d : m.dims) {
      count *= d.member >= 0 ? values[d.member] : d.fixed;
      if (count > c.Remaining() + 1) return false;  // every element takes a byte at least
    }
    const bool isArray = !m.dims.empty();
    const bool isStruct = m.type == Primitive::Struct;
    if (isStruct && m.structType->MinValues() == 0) count = 0;
    for (uint64_t k = 0; k < count; ++k) {
      if (isStruct) {
        if (!EmitMembers(e, *m.structType, c, level + 1, indent)) return false;
      } else {
        uint32_t v = 0;
        if (!EmitPrimitive(e, m.type, c, v)) return false;
        values[i] = v;
        if (!isArray) e.Sep(';');
      }
      if (isArray && k + 1 < count) {
        e.Sep(',');
        if (isStruct && level == 0) {
          e.Sep('\n');
          e.Indent(indent);
        }
      }
    }
    if (isArray || isStruct) e.Sep(';');
    if (level == 0) e.Sep('\n');
  }
  return true;
}

bool EmitObject(CEmitter& e, const CDataObject& o, int indent) {
  if (indent > 2 * kMaxDepth) return false;
  if (e.Binary()) {
    e.NameToken(o.Template()->name);
    if (!o.GetName().empty()) e.NameToken(o.GetName());
    e.Token(kOBrace);
  } else {
    e.Indent(indent);
    e.Raw(o.Template()->name);
    if (!o.GetName().empty()) {
      e.Raw(" ");
      e.Raw(o.GetName());
    }
    e.Raw(" {\n");
  }
  Guid id;
  if (o.GetId(id)) {
    if (e.Binary()) {
      e.GuidToken(id);
    } else {
      e.Indent(indent + 1);
      e.Raw("<");
      e.Raw(FormatGuid(id));
      e.Raw(">\n");
    }
  }
  CDataCursor c(o);
  if (!EmitMembers(e, *o.Template(), c, 0, indent + 1) || c.Remaining() != 0) return false;
  for (size_t i = 0; i < o.GetChildCount(); ++i) {
    const CDataObject::Child& ch = o.GetChild(i);
    if (!ch.isReference) {
      if (!EmitObject(e, *ch.object, indent + 1)) return false;
      continue;
    }
    if (e.Binary()) {
      e.Token(kOBrace);
      if (!ch.refName.empty()) e.NameToken(ch.refName);
      if (ch.refHasGuid) e.GuidToken(ch.refGuid);
      e.Token(kCBrace);
    } else {
      e.Indent(indent + 1);
      e.Raw("{ ");
      e.Raw(ch.refName);
      if (ch.refHasGuid) {
        e.Raw(ch.refName.empty() ? "<" : " <");
        e.Raw(FormatGuid(ch.refGuid));
        e.Raw(">");
      }
      e.Raw(" }\n");
    }
  }
  if (e.Binary()) {
    e.Token(kCBrace);
  } else {
    e.Indent(indent);
    e.Raw("}\n");
  }
  return true;
}

}  // namespace

bool CWriter::Write(std::vector<uint8_t>& out) const {
  const bool binary =
      options_.encoding == Encoding::Binary || options_.encoding == Encoding::BinaryCompressed;
  const bool compressed =
      options_.encoding == Encoding::TextCompressed || options_.encoding == Encoding::BinaryCompressed;
  std::vector<uint8_t> body;
  body.reserve(1 << 16);
  CEmitter e(binary, options_.doubles, body);
  if (!binary) body.push_back('\n');
  for (const CTemplate* t : templates_) EmitTemplate(e, *t);
  for (const CDataObject* o : objects_)
    if (!EmitObject(e, *o, 0)) return false;
  e.Flush();
  out.clear();
  const char* kind = binary ? (compressed ? "bzip" : "bin ") : (compressed ? "tzip" : "txt ");
  std::string header = std::string("xof 0303") + kind + (options_.doubles ? "0064" : "0032");
  out.assign(header.begin(), header.end());
  if (!compressed) {
    out.insert(out.end(), body.begin(), body.end());
    return true;
  }
  std::vector<uint8_t> packed;
  if (!MszipCompress(body.data(), body.size(), packed)) return false;
  out.insert(out.end(), packed.begin(), packed.end());
  return true;
}

bool CWriter::WriteFile(const std::string& path) const {
  std::vector<uint8_t> bytes;
  if (!Write(bytes)) return false;
  FILE* f = os::OpenFile(path, "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace xfile
