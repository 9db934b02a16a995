// The DirectX File interface: a reader object that templates are registered with, and
// enumerators over the top-level data objects of one file or memory image.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/xfile/data_object.h"
#include "platform/xfile/parser.h"
#include "platform/xfile/result.h"
#include "platform/xfile/template_set.h"

namespace xfile {

// Everything one opened file holds; the data objects point at its templates.
struct CDocument {
  std::shared_ptr<const CTemplateSet> known;  // keeps the registered templates alive
  CTemplateSet declared;                      // templates the file declares itself
  std::vector<std::unique_ptr<CDataObject>> objects;
};

class CEnumObject {
 public:
  explicit CEnumObject(std::shared_ptr<CDocument> doc) : doc_(std::move(doc)) {}
  // The next top-level data object in file order, or DXFILEERR_NOMOREOBJECTS. Objects stay
  // valid as long as this enumerator lives.
  Result GetNextDataObject(const CDataObject*& out);
  const std::vector<std::unique_ptr<CDataObject>>& Objects() const { return doc_->objects; }
  const CTemplateSet& DeclaredTemplates() const { return doc_->declared; }

 private:
  std::shared_ptr<CDocument> doc_;
  size_t next_ = 0;
};

class CXFile {
 public:
  static std::unique_ptr<CXFile> Create();
  // Registers the templates of a .x image (any encoding); data objects in it are ignored.
  Result RegisterTemplates(const void* data, size_t size);
  // The standard templates, encoded at build time.
  Result RegisterStandardTemplates();
  Result CreateEnumObject(const std::string& path, std::unique_ptr<CEnumObject>& out) const;
  // On failure `stop` (when given) tells where the parse stopped.
  Result CreateEnumObjectFromMemory(const void* data, size_t size, std::unique_ptr<CEnumObject>& out,
                                    ParseStop* stop = nullptr) const;
  const CTemplateSet& Templates() const { return *templates_; }

 private:
  CXFile() = default;
  std::shared_ptr<CTemplateSet> templates_ = std::make_shared<CTemplateSet>();
};

}  // namespace xfile
