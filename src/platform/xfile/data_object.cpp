#include "platform/xfile/data_object.h"

#include <cstring>

namespace xfile {

CDataObject::CDataObject(const CTemplate* type, std::string name) : type_(type), name_(std::move(name)) {}

CDataObject* CDataObject::AddChild(std::unique_ptr<CDataObject> child) {
  CDataObject* raw = child.get();
  owned_.push_back(std::move(child));
  Child c;
  c.object = raw;
  children_.push_back(std::move(c));
  return raw;
}

void CDataObject::AddReference(const CDataObject* target) {
  Child c;
  c.object = target;
  c.isReference = true;
  c.refName = target->GetName();
  c.refHasGuid = target->GetId(c.refGuid);
  children_.push_back(std::move(c));
}

void CDataObject::AddUnresolvedReference(std::string name, const Guid* guid) {
  Child c;
  c.isReference = true;
  c.refName = std::move(name);
  if (guid) {
    c.refGuid = *guid;
    c.refHasGuid = true;
  }
  children_.push_back(std::move(c));
}

void CDataObject::AppendString(std::string_view s) {
  strings_.push_back(std::make_unique<std::string>(s));
  const char* p = strings_.back()->c_str();
  Append(&p, sizeof p);
}

void CDataObject::Append(const void* p, size_t n) {
  if (n == 0) return;
  const size_t at = data_.size();
  data_.resize(at + n);
  std::memcpy(data_.data() + at, p, n);
}

bool CDataCursor::Take(void* out, size_t n) {
  if (!ok_ || Remaining() < n) {
    ok_ = false;
    std::memset(out, 0, n);
    return false;
  }
  std::memcpy(out, p_, n);
  p_ += n;
  return true;
}

uint32_t CDataCursor::Dword() {
  uint32_t v;
  Take(&v, 4);
  return v;
}
uint16_t CDataCursor::Word() {
  uint16_t v;
  Take(&v, 2);
  return v;
}
float CDataCursor::Float() {
  float v;
  Take(&v, 4);
  return v;
}
double CDataCursor::Double() {
  double v;
  Take(&v, 8);
  return v;
}
const char* CDataCursor::String() {
  const char* s = nullptr;
  Take(&s, sizeof s);
  return s ? s : "";
}
bool CDataCursor::Skip(size_t n) {
  if (!ok_ || Remaining() < n) return ok_ = false;
  p_ += n;
  return true;
}

}  // namespace xfile
