#include "platform/xfile/parser.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>

#include "platform/xfile/mszip.h"

namespace xfile {

namespace {
constexpr int kMaxDepth = 64;
constexpr size_t kMaxMembers = 256;
constexpr size_t kMaxDims = 8;

inline uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool IsPrimitiveToken(Tok k, Primitive& p) {
  switch (k) {
    case Tok::Word:
      p = Primitive::Word;
      return true;
    case Tok::Dword:
      p = Primitive::Dword;
      return true;
    case Tok::FloatKw:
      p = Primitive::Float;
      return true;
    case Tok::Double:
      p = Primitive::Double;
      return true;
    case Tok::Char:
      p = Primitive::Char;
      return true;
    case Tok::Uchar:
      p = Primitive::Uchar;
      return true;
    case Tok::Sword:
      p = Primitive::Sword;
      return true;
    case Tok::Sdword:
      p = Primitive::Sdword;
      return true;
    case Tok::Lpstr:
      p = Primitive::String;
      return true;
    case Tok::Unicode:
      p = Primitive::Unicode;
      return true;
    case Tok::Cstring:
      p = Primitive::Cstring;
      return true;
    default:
      return false;
  }
}

bool IsIntegral(Primitive p) {
  return p == Primitive::Word || p == Primitive::Dword || p == Primitive::Sword || p == Primitive::Sdword ||
         p == Primitive::Char || p == Primitive::Uchar;
}
}  // namespace

Result ParseHeader(const uint8_t* data, size_t size, FileHeader& out) {
  if (size < 16 || std::memcmp(data, "xof ", 4) != 0) return DXFILEERR_BADFILETYPE;
  for (int i = 4; i < 8; ++i)
    if (data[i] < '0' || data[i] > '9') return DXFILEERR_BADFILEVERSION;
  const char* fmt = reinterpret_cast<const char*>(data + 8);
  if (std::memcmp(fmt, "txt ", 4) == 0) {
    out.binary = false, out.compressed = false;
  } else if (std::memcmp(fmt, "bin ", 4) == 0) {
    out.binary = true, out.compressed = false;
  } else if (std::memcmp(fmt, "tzip", 4) == 0) {
    out.binary = false, out.compressed = true;
  } else if (std::memcmp(fmt, "bzip", 4) == 0) {
    out.binary = true, out.compressed = true;
  } else {
    return DXFILEERR_BADFILECOMPRESSIONTYPE;
  }
  if (std::memcmp(data + 12, "0032", 4) == 0)
    out.doubles = false;
  else if (std::memcmp(data + 12, "0064", 4) == 0)
    out.doubles = true;
  else
    return DXFILEERR_BADFILEFLOATSIZE;
  return DXFILE_OK;
}

Result CParser::Parse(const uint8_t* data, size_t size, std::vector<std::unique_ptr<CDataObject>>& objects) {
  stop_ = ParseStop{};
  FileHeader h;
  if (Result r = ParseHeader(data, size, h); r != DXFILE_OK) {
    stop_.where = ParseStop::Where::Header;
    return r;
  }
  std::vector<uint8_t> inflated;
  const uint8_t* body = data + 16;
  size_t bodySize = size - 16;
  if (h.compressed) {
    if (!MszipDecompress(body, bodySize, inflated)) {
      stop_.where = ParseStop::Where::Compression;
      return DXFILEERR_BADFILE;
    }
    body = inflated.data();
    bodySize = inflated.size();
  }
  CLexer lex(body, bodySize, h.binary, h.doubles);
  lex_ = &lex;
  hasLook_ = false;
  listLeft_ = 0;
  Result r = ParseBody(objects);
  if (r != DXFILE_OK) {
    const size_t used = bodySize - std::min(bodySize, lex.Remaining());
    stop_.where = ParseStop::Where::Body;
    stop_.expanded = h.compressed;
    stop_.offset = h.compressed ? used : 16 + used;
    if (!h.binary) {
      // The header is the first line when the body begins on a line of its own.
      const uint8_t* const from = h.compressed ? body : data;
      stop_.line = 1 + static_cast<uint32_t>(std::count(from, from + stop_.offset, '\n'));
    }
  }
  lex_ = nullptr;
  if (r != DXFILE_OK) return r;
  if (!ResolveReferences(objects)) {
    stop_.where = ParseStop::Where::References;
    return DXFILEERR_BADDATAREFERENCE;
  }
  return DXFILE_OK;
}

bool CParser::Next(Token& t) {
  if (hasLook_) {
    hasLook_ = false;
    t = look_;
    return t.kind != Tok::End && t.kind != Tok::Error;
  }
  return lex_->Next(t);
}

size_t CParser::InputLeft() const { return lex_->Remaining() + listLeft_; }

const CTemplate* CParser::FindTemplate(std::string_view name) const {
  if (const CTemplate* t = declared_.FindByName(name)) return t;
  return known_ ? known_->FindByName(name) : nullptr;
}

Result CParser::ParseBody(std::vector<std::unique_ptr<CDataObject>>& objects) {
  Token t;
  for (;;) {
    if (!Next(t)) return t.kind == Tok::End ? DXFILE_OK : DXFILEERR_PARSEERROR;
    switch (t.kind) {
      case Tok::Template:
        if (Result r = ParseTemplate(); r != DXFILE_OK) return r;
        break;
      case Tok::Name: {
        std::unique_ptr<CDataObject> obj;
        if (Result r = ParseObject(t, 0, obj); r != DXFILE_OK) return r;
        objects.push_back(std::move(obj));
        break;
      }
      case Tok::Semicolon:
      case Tok::Comma:
        break;
      default:
        return DXFILEERR_PARSEERROR;
    }
  }
}

Result CParser::ParseTemplate() {
  Token t;
  CTemplate tmpl;
  if (!Next(t) || t.kind != Tok::Name) return DXFILEERR_PARSEERROR;
  tmpl.name = std::string(t.text);
  if (!Next(t) || t.kind != Tok::OBrace) return DXFILEERR_PARSEERROR;
  if (!Next(t) || t.kind != Tok::GuidLit) return DXFILEERR_PARSEERROR;
  tmpl.guid = t.guid;
  for (;;) {
    if (!Next(t)) return DXFILEERR_PARSEERROR;
    if (t.kind == Tok::CBrace) break;
    if (t.kind == Tok::OBracket) {
      if (!Next(t)) return DXFILEERR_PARSEERROR;
      if (t.kind == Tok::Dot) {
        for (int i = 0; i < 2; ++i)
          if (!Next(t) || t.kind != Tok::Dot) return DXFILEERR_PARSEERROR;
        if (!Next(t) || t.kind != Tok::CBracket) return DXFILEERR_PARSEERROR;
        tmpl.restriction = Restriction::Open;
      } else {
        tmpl.restriction = Restriction::Restricted;
        for (;;) {
          if (t.kind != Tok::Name) return DXFILEERR_PARSEERROR;
          AllowedChild a;
          a.name = std::string(t.text);
          if (!Next(t)) return DXFILEERR_PARSEERROR;
          if (t.kind == Tok::GuidLit) {
            a.guid = t.guid;
            a.hasGuid = true;
            if (!Next(t)) return DXFILEERR_PARSEERROR;
          }
          tmpl.allowed.push_back(std::move(a));
          if (t.kind == Tok::CBracket) break;
          if (t.kind != Tok::Comma || !Next(t)) return DXFILEERR_PARSEERROR;
        }
      }
      if (!Next(t) || t.kind != Tok::CBrace) return DXFILEERR_PARSEERROR;
      break;
    }
    if (tmpl.members.size() >= kMaxMembers) return DXFILEERR_PARSEERROR;
    Member m;
    const bool isArray = t.kind == Tok::Array;
    if (isArray && !Next(t)) return DXFILEERR_PARSEERROR;
    if (!IsPrimitiveToken(t.kind, m.type)) {
      if (t.kind != Tok::Name) return DXFILEERR_PARSEERROR;
      m.type = Primitive::Struct;
      m.structType = FindTemplate(t.text);
      if (!m.structType) return DXFILEERR_NOTEMPLATE;
    }
    if (!Next(t)) return DXFILEERR_PARSEERROR;
    if (t.kind == Tok::Name) {
      m.name = std::string(t.text);
      if (!Next(t)) return DXFILEERR_PARSEERROR;
    } else if (isArray) {
      return DXFILEERR_PARSEERROR;
    }
    while (isArray && t.kind == Tok::OBracket) {
      if (m.dims.size() >= kMaxDims || !Next(t)) return DXFILEERR_PARSEERROR;
      ArrayDim d;
      if (t.kind == Tok::Integer) {
        if (t.integer < 0) return DXFILEERR_BADARRAYSIZE;
        d.fixed = static_cast<uint32_t>(t.integer);
      } else if (t.kind == Tok::Name) {
        for (size_t i = 0; i < tmpl.members.size(); ++i) {
          const Member& e = tmpl.members[i];
          if (e.name == t.text && e.dims.empty() && IsIntegral(e.type)) d.member = static_cast<int>(i);
        }
        if (d.member < 0) return DXFILEERR_BADARRAYSIZE;
      } else {
        return DXFILEERR_PARSEERROR;
      }
      m.dims.push_back(d);
      if (!Next(t) || t.kind != Tok::CBracket || !Next(t)) return DXFILEERR_PARSEERROR;
    }
    if (isArray && m.dims.empty()) return DXFILEERR_PARSEERROR;
    if (t.kind != Tok::Semicolon) return DXFILEERR_PARSEERROR;
    tmpl.members.push_back(std::move(m));
  }
  tmpl.ComputeMinValues();
  declared_.Add(std::move(tmpl));
  return DXFILE_OK;
}

Result CParser::ParseObject(const Token& typeName, int depth, std::unique_ptr<CDataObject>& out) {
  if (depth > kMaxDepth) return DXFILEERR_PARSEERROR;
  const CTemplate* tmpl = FindTemplate(typeName.text);
  if (!tmpl) return DXFILEERR_NOTEMPLATE;
  Token t;
  if (!Next(t)) return DXFILEERR_PARSEERROR;
  std::string name;
  if (t.kind == Tok::Name) {
    name = std::string(t.text);
    if (!Next(t)) return DXFILEERR_PARSEERROR;
  }
  if (t.kind != Tok::OBrace) return DXFILEERR_PARSEERROR;
  auto obj = std::make_unique<CDataObject>(tmpl, std::move(name));
  if (!Next(t)) return DXFILEERR_PARSEERROR;
  if (t.kind == Tok::GuidLit)
    obj->SetId(t.guid);
  else
    PushBack(t);
  if (Result r = ParseMembers(*tmpl, *obj, depth); r != DXFILE_OK) return r;
  if (listLeft_ != 0) return DXFILEERR_BADVALUE;
  if (Result r = ParseChildren(*obj, depth); r != DXFILE_OK) return r;
  out = std::move(obj);
  return DXFILE_OK;
}

Result CParser::ParseMembers(const CTemplate& tmpl, CDataObject& obj, int depth) {
  if (depth > kMaxDepth) return DXFILEERR_PARSEERROR;
  uint32_t values[kMaxMembers];
  const size_t n = tmpl.members.size();
  for (size_t i = 0; i < n; ++i) {
    const Member& m = tmpl.members[i];
    uint64_t count = 1;
    for (const ArrayDim& d : m.dims) {
      count *= d.member >= 0 ? values[d.member] : d.fixed;
      if (count > 0xFFFFFFFFull) return DXFILEERR_BADARRAYSIZE;
    }
    const uint32_t perElement = m.type == Primitive::Struct ? m.structType->MinValues() : 1;
    if (perElement == 0) continue;  // elements that hold nothing
    // Every value takes at least one byte of input: a count beyond that is a lie, not data.
    if (count * perElement > InputLeft()) return DXFILEERR_BADARRAYSIZE;
    uint32_t last = 0;
    if (!m.dims.empty()) {
      // Runs of plain numbers skip the per-element walk.
      if (m.type == Primitive::Float || (m.type == Primitive::Struct && m.structType->FlatFloats())) {
        const uint64_t n = m.type == Primitive::Float ? count : count * m.structType->FlatFloats();
        if (!ReadFloats(obj, n)) return DXFILEERR_BADVALUE;
        continue;
      }
      if (m.type == Primitive::Struct && m.structType->CountedDwords()) {
        if (!ReadCountedDwords(obj, count)) return DXFILEERR_BADVALUE;
        continue;
      }
      if (m.type == Primitive::Dword || m.type == Primitive::Sdword || m.type == Primitive::Word ||
          m.type == Primitive::Sword || m.type == Primitive::Char || m.type == Primitive::Uchar) {
        if (!ReadIntegers(obj, count, PrimitiveSize(m.type))) return DXFILEERR_BADVALUE;
        continue;
      }
    }
    for (uint64_t e = 0; e < count; ++e) {
      switch (m.type) {
        case Primitive::Struct:
          if (Result r = ParseMembers(*m.structType, obj, depth + 1); r != DXFILE_OK) return r;
          break;
        case Primitive::Float: {
          double v;
          if (!ReadReal(v)) return DXFILEERR_BADVALUE;
          obj.AppendFloat(static_cast<float>(v));
          break;
        }
        case Primitive::Double: {
          double v;
          if (!ReadReal(v)) return DXFILEERR_BADVALUE;
          obj.AppendDouble(v);
          break;
        }
        case Primitive::String:
        case Primitive::Unicode:
        case Primitive::Cstring: {
          std::string_view s;
          if (!ReadString(s)) return DXFILEERR_BADVALUE;
          obj.AppendString(s);
          break;
        }
        default: {
          int64_t v;
          if (!ReadInteger(v)) return DXFILEERR_BADVALUE;
          last = static_cast<uint32_t>(v);
          const uint32_t size = PrimitiveSize(m.type);
          if (size == 4)
            obj.AppendDword(last);
          else if (size == 2)
            obj.AppendWord(static_cast<uint16_t>(last));
          else
            obj.AppendByte(static_cast<uint8_t>(last));
          break;
        }
      }
    }
    if (m.dims.empty()) {
      const uint32_t size = PrimitiveSize(m.type);
      values[i] = size == 2 ? (last & 0xFFFF) : size == 1 ? (last & 0xFF) : last;
    }
  }
  return DXFILE_OK;
}

Result CParser::ParseChildren(CDataObject& obj, int depth) {
  Token t;
  for (;;) {
    if (!Next(t)) return DXFILEERR_PARSEERROR;
    switch (t.kind) {
      case Tok::Semicolon:
      case Tok::Comma:
        break;
      case Tok::CBrace:
        return DXFILE_OK;
      case Tok::OBrace: {
        if (!Next(t)) return DXFILEERR_PARSEERROR;
        std::string name;
        Guid guid;
        bool hasGuid = false;
        if (t.kind == Tok::Name) {
          name = std::string(t.text);
          if (!Next(t)) return DXFILEERR_PARSEERROR;
        }
        if (t.kind == Tok::GuidLit) {
          guid = t.guid;
          hasGuid = true;
          if (!Next(t)) return DXFILEERR_PARSEERROR;
        }
        if (t.kind != Tok::CBrace || (name.empty() && !hasGuid)) return DXFILEERR_PARSEERROR;
        obj.AddUnresolvedReference(std::move(name), hasGuid ? &guid : nullptr);
        break;
      }
      case Tok::Name: {
        std::unique_ptr<CDataObject> child;
        if (Result r = ParseObject(t, depth + 1, child); r != DXFILE_OK) return r;
        obj.AddChild(std::move(child));
        break;
      }
      default:
        return DXFILEERR_PARSEERROR;
    }
  }
}

bool CParser::NextValueToken(Token& t) {
  for (;;) {
    if (!Next(t)) return false;
    if (t.kind != Tok::Semicolon && t.kind != Tok::Comma) return true;
  }
}

bool CParser::ReadFloats(CDataObject& obj, uint64_t n) {
  std::vector<uint8_t>& data = obj.MutableData();
  const size_t start = data.size();
  data.resize(start + n * 4);
  uint8_t* out = data.data() + start;
  uint64_t i = 0;
  while (i < n) {
    if (listLeft_ > 0 && listFloat_ && !lex_->Doubles()) {
      const uint64_t k = std::min<uint64_t>(listLeft_, n - i);
      std::memcpy(out + 4 * i, list_, k * 4);
      list_ += k * 4;
      listLeft_ -= static_cast<uint32_t>(k);
      i += k;
      continue;
    }
    double v;
    if (listLeft_ == 0 && !hasLook_ && !lex_->Binary()) {
      int64_t integer;
      bool isInteger;
      if (lex_->NextTextNumber(v, integer, isInteger)) {
        if (isInteger) v = static_cast<double>(integer);
      } else if (!ReadReal(v)) {
        return false;
      }
    } else if (!ReadReal(v)) {
      return false;
    }
    const float f = static_cast<float>(v);
    std::memcpy(out + 4 * i, &f, 4);
    ++i;
  }
  return true;
}

bool CParser::ReadIntegers(CDataObject& obj, uint64_t n, uint32_t size) {
  std::vector<uint8_t>& data = obj.MutableData();
  const size_t start = data.size();
  data.resize(start + n * size);
  uint8_t* out = data.data() + start;
  uint64_t i = 0;
  while (i < n) {
    if (size == 4 && listLeft_ > 0 && !listFloat_) {
      const uint64_t k = std::min<uint64_t>(listLeft_, n - i);
      std::memcpy(out + 4 * i, list_, k * 4);
      list_ += k * 4;
      listLeft_ -= static_cast<uint32_t>(k);
      i += k;
      continue;
    }
    int64_t v;
    double real;
    bool isInteger;
    if (listLeft_ == 0 && !hasLook_ && !lex_->Binary() && lex_->NextTextNumber(real, v, isInteger)) {
      if (!isInteger) {
        if (!(real >= -2147483648.0 && real <= 4294967295.0)) return false;
        v = static_cast<int64_t>(real);
      }
    } else if (!ReadInteger(v)) {
      return false;
    }
    const uint32_t u = static_cast<uint32_t>(v);
    if (size == 4)
      std::memcpy(out + 4 * i, &u, 4);
    else if (size == 2) {
      const uint16_t w = static_cast<uint16_t>(u);
      std::memcpy(out + 2 * i, &w, 2);
    } else {
      out[i] = static_cast<uint8_t>(u);
    }
    ++i;
  }
  return true;
}

bool CParser::ReadCountedDwords(CDataObject& obj, uint64_t elements) {
  scratch_.clear();
  for (uint64_t e = 0; e < elements; ++e) {
    int64_t n;
    if (!ReadInteger(n)) return false;
    const uint32_t count = static_cast<uint32_t>(n);
    if (count > InputLeft()) return false;
    scratch_.push_back(count);
    for (uint32_t i = 0; i < count; ++i) {
      if (listLeft_ > 0 && !listFloat_) {
        const uint32_t k = std::min(listLeft_, count - i);
        const size_t at = scratch_.size();
        scratch_.resize(at + k);
        std::memcpy(scratch_.data() + at, list_, k * 4);
        list_ += k * 4;
        listLeft_ -= k;
        i += k - 1;
        continue;
      }
      int64_t v;
      if (!ReadInteger(v)) return false;
      scratch_.push_back(static_cast<uint32_t>(v));
    }
  }
  obj.Append(scratch_.data(), scratch_.size() * 4);
  return true;
}

bool CParser::ReadInteger(int64_t& v) {
  if (listLeft_ == 0 && !hasLook_ && !lex_->Binary()) {
    double real;
    bool isInteger;
    if (lex_->NextTextNumber(real, v, isInteger)) {
      if (isInteger) return true;
      if (!(real >= -2147483648.0 && real <= 4294967295.0)) return false;
      v = static_cast<int64_t>(real);
      return true;
    }
  }
  for (;;) {
    if (listLeft_ > 0) {
      if (listFloat_) {
        double d;
        if (lex_->Doubles()) {
          std::memcpy(&d, list_, 8);
          list_ += 8;
        } else {
          float f;
          std::memcpy(&f, list_, 4);
          list_ += 4;
          d = f;
        }
        if (!(d >= -2147483648.0 && d <= 4294967295.0)) return false;
        v = static_cast<int64_t>(d);
      } else {
        v = Le32(list_);
        list_ += 4;
      }
      --listLeft_;
      return true;
    }
    Token t;
    if (!NextValueToken(t)) return false;
    switch (t.kind) {
      case Tok::Integer:
        v = t.integer;
        return true;
      case Tok::Float:
        if (!(t.number >= -2147483648.0 && t.number <= 4294967295.0)) return false;
        v = static_cast<int64_t>(t.number);
        return true;
      case Tok::IntList:
      case Tok::FloatList:
        list_ = t.list;
        listLeft_ = t.count;
        listFloat_ = t.kind == Tok::FloatList;
        break;
      default:
        return false;
    }
  }
}

bool CParser::ReadReal(double& v) {
  if (listLeft_ == 0 && !hasLook_ && !lex_->Binary()) {
    int64_t integer;
    bool isInteger;
    if (lex_->NextTextNumber(v, integer, isInteger)) {
      if (isInteger) v = static_cast<double>(integer);
      return true;
    }
  }
  for (;;) {
    if (listLeft_ > 0) {
      if (!listFloat_) {
        v = Le32(list_);
        list_ += 4;
      } else if (lex_->Doubles()) {
        std::memcpy(&v, list_, 8);
        list_ += 8;
      } else {
        float f;
        std::memcpy(&f, list_, 4);
        list_ += 4;
        v = f;
      }
      --listLeft_;
      return true;
    }
    Token t;
    if (!NextValueToken(t)) return false;
    switch (t.kind) {
      case Tok::Integer:
        v = static_cast<double>(t.integer);
        return true;
      case Tok::Float:
        v = t.number;
        return true;
      case Tok::IntList:
      case Tok::FloatList:
        list_ = t.list;
        listLeft_ = t.count;
        listFloat_ = t.kind == Tok::FloatList;
        break;
      default:
        return false;
    }
  }
}

bool CParser::ReadString(std::string_view& s) {
  if (listLeft_ > 0) return false;
  Token t;
  if (!NextValueToken(t)) return false;
  if (t.kind != Tok::String && t.kind != Tok::Name) return false;
  s = t.text;
  return true;
}

namespace {
void IndexObjects(const CDataObject& o, std::unordered_map<std::string, const CDataObject*>& byName,
                  std::vector<const CDataObject*>& withId) {
  if (!o.GetName().empty()) byName.emplace(o.GetName(), &o);
  Guid g;
  if (o.GetId(g)) withId.push_back(&o);
  for (size_t i = 0; i < o.GetChildCount(); ++i) {
    const auto& c = o.GetChild(i);
    if (!c.isReference) IndexObjects(*c.object, byName, withId);
  }
}

bool ResolveIn(CDataObject& o, const std::unordered_map<std::string, const CDataObject*>& byName,
               const std::vector<const CDataObject*>& withId) {
  for (size_t i = 0; i < o.GetChildCount(); ++i) {
    auto& c = o.MutableChild(i);
    if (!c.isReference) {
      if (!ResolveIn(*const_cast<CDataObject*>(c.object), byName, withId)) return false;
      continue;
    }
    c.object = nullptr;
    if (c.refHasGuid) {
      for (const CDataObject* cand : withId) {
        Guid g;
        cand->GetId(g);
        if (g == c.refGuid) {
          c.object = cand;
          break;
        }
      }
    }
    if (!c.object && !c.refName.empty()) {
      if (auto it = byName.find(c.refName); it != byName.end()) c.object = it->second;
    }
    if (!c.object) return false;
  }
  return true;
}
}  // namespace

bool ResolveReferences(std::vector<std::unique_ptr<CDataObject>>& objects) {
  std::unordered_map<std::string, const CDataObject*> byName;
  std::vector<const CDataObject*> withId;
  for (const auto& o : objects) IndexObjects(*o, byName, withId);
  for (auto& o : objects)
    if (!ResolveIn(*o, byName, withId)) return false;
  return true;
}

}  // namespace xfile
