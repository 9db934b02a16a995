#include "platform/xfile/xfile.h"

#include "platform/os/files.h"
#include "platform/xfile/parser.h"
#include "platform/xfile/standard_templates.h"

namespace xfile {

Result CEnumObject::GetNextDataObject(const CDataObject*& out) {
  out = nullptr;
  if (next_ >= doc_->objects.size()) return DXFILEERR_NOMOREOBJECTS;
  out = doc_->objects[next_++].get();
  return DXFILE_OK;
}

std::unique_ptr<CXFile> CXFile::Create() { return std::unique_ptr<CXFile>(new CXFile()); }

Result CXFile::RegisterTemplates(const void* data, size_t size) {
  // Parse into a scratch set first so a broken block registers nothing.
  CTemplateSet scratch;
  CParser parser(templates_.get(), scratch);
  std::vector<std::unique_ptr<CDataObject>> ignored;
  if (Result r = parser.Parse(static_cast<const uint8_t*>(data), size, ignored); r != DXFILE_OK) return r;
  // Member types point into the scratch set or the registered set; copying would leave the
  // former dangling, so re-parse straight into the registered set now that it is known good.
  CParser direct(nullptr, *templates_);
  ignored.clear();
  return direct.Parse(static_cast<const uint8_t*>(data), size, ignored);
}

Result CXFile::RegisterStandardTemplates() {
  return RegisterTemplates(kStandardTemplates, kStandardTemplatesSize);
}

Result CXFile::CreateEnumObjectFromMemory(const void* data, size_t size, std::unique_ptr<CEnumObject>& out,
                                          ParseStop* stop) const {
  out.reset();
  auto doc = std::make_shared<CDocument>();
  doc->known = templates_;
  CParser parser(templates_.get(), doc->declared);
  if (Result r = parser.Parse(static_cast<const uint8_t*>(data), size, doc->objects); r != DXFILE_OK) {
    if (stop) *stop = parser.Stop();
    return r;
  }
  out = std::make_unique<CEnumObject>(std::move(doc));
  return DXFILE_OK;
}

Result CXFile::CreateEnumObject(const std::string& path, std::unique_ptr<CEnumObject>& out) const {
  out.reset();
  std::vector<uint8_t> bytes;
  if (!os::ReadWholeFile(path, bytes)) return DXFILEERR_FILENOTFOUND;
  return CreateEnumObjectFromMemory(bytes.data(), bytes.size(), out);
}

}  // namespace xfile
