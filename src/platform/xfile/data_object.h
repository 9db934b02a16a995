// One data object of a .x file: its template, optional name and GUID, its member data laid out
// as the template describes (packed, little-endian host order, FLOAT members as 4-byte floats
// whatever the file's float size, strings as a pointer to text the object owns), and its children:
// nested objects it owns and references to objects elsewhere in the same file.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xfile/guid.h"
#include "platform/xfile/template.h"

namespace xfile {

class CDataObject {
 public:
  struct Child {
    const CDataObject* object = nullptr;  // resolved target for references
    bool isReference = false;
    std::string refName;  // as written in the file, for references
    Guid refGuid;
    bool refHasGuid = false;
  };

  explicit CDataObject(const CTemplate* type, std::string name = {});
  CDataObject(const CDataObject&) = delete;
  CDataObject& operator=(const CDataObject&) = delete;

  const CTemplate* Template() const { return type_; }
  const Guid& GetType() const { return type_->guid; }
  const std::string& GetName() const { return name_; }
  bool GetId(Guid& out) const {
    out = id_;
    return hasId_;
  }
  void SetId(const Guid& id) {
    id_ = id;
    hasId_ = true;
  }
  const uint8_t* GetData() const { return data_.data(); }
  size_t GetDataSize() const { return data_.size(); }

  size_t GetChildCount() const { return children_.size(); }
  const Child& GetChild(size_t i) const { return children_[i]; }
  // Child data objects that the object owns, i.e. not references.
  CDataObject* AddChild(std::unique_ptr<CDataObject> child);
  void AddReference(const CDataObject* target);
  // An unresolved reference as read from a file; the reader resolves it after the whole file.
  void AddUnresolvedReference(std::string name, const Guid* guid);
  Child& MutableChild(size_t i) { return children_[i]; }

  // Appending member data in template order (used by the reader and by whoever builds a tree to
  // write). Values are stored at the primitive's size.
  void AppendWord(uint16_t v) { Append(&v, 2); }
  void AppendDword(uint32_t v) { Append(&v, 4); }
  void AppendFloat(float v) { Append(&v, 4); }
  void AppendDouble(double v) { Append(&v, 8); }
  void AppendByte(uint8_t v) { data_.push_back(v); }
  void AppendString(std::string_view s);
  void Append(const void* p, size_t n);
  std::vector<uint8_t>& MutableData() { return data_; }

 private:
  const CTemplate* type_;
  std::string name_;
  Guid id_;
  bool hasId_ = false;
  std::vector<uint8_t> data_;
  std::vector<std::unique_ptr<std::string>> strings_;  // each string stays where it is
  std::vector<Child> children_;
  std::vector<std::unique_ptr<CDataObject>> owned_;
};

// Sequential reader over an object's data bytes; every read is bounds-checked and a failed read
// leaves Ok() false and yields zeros.
class CDataCursor {
 public:
  explicit CDataCursor(const CDataObject& o) : p_(o.GetData()), end_(o.GetData() + o.GetDataSize()) {}
  CDataCursor(const uint8_t* p, size_t n) : p_(p), end_(p + n) {}
  uint32_t Dword();
  uint16_t Word();
  float Float();
  double Double();
  const char* String();  // never null: "" on failure
  bool Skip(size_t n);
  bool Ok() const { return ok_; }
  size_t Remaining() const { return static_cast<size_t>(end_ - p_); }
  const uint8_t* Position() const { return p_; }

 private:
  bool Take(void* out, size_t n);
  const uint8_t* p_;
  const uint8_t* end_;
  bool ok_ = true;
};

}  // namespace xfile
