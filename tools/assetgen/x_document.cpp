#include "x_document.h"

#include "platform/xfile/parser.h"

namespace assetgen {

CXDocument::CXDocument() : reader_(xfile::CXFile::Create()) { reader_->RegisterStandardTemplates(); }

std::unique_ptr<xfile::CDataObject> CXDocument::New(const char* type, std::string name) const {
  const xfile::CTemplate* t = reader_->Templates().FindByName(type);
  if (!t) return nullptr;
  return std::make_unique<xfile::CDataObject>(t, std::move(name));
}

void AppendMatrix(xfile::CDataObject& o, const gfxutil::Matrix& m) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) o.AppendFloat(m.m[r][c]);
}

std::unique_ptr<xfile::CDataObject> CXDocument::TransformMatrix(const gfxutil::Matrix& m) const {
  auto o = New("FrameTransformMatrix");
  AppendMatrix(*o, m);
  return o;
}

void CXDocument::Declare(const char* type) {
  if (const xfile::CTemplate* t = reader_->Templates().FindByName(type)) declared_.push_back(t);
}

xfile::CDataObject* CXDocument::Add(std::unique_ptr<xfile::CDataObject> object) {
  objects_.push_back(std::move(object));
  return objects_.back().get();
}

bool CXDocument::Write(const COutput& out, const std::string& relative, xfile::Encoding encoding) {
  if (!xfile::ResolveReferences(objects_)) return false;
  xfile::CWriter writer({encoding, false});
  for (const xfile::CTemplate* t : declared_) writer.AddTemplate(t);
  for (const auto& o : objects_) writer.AddObject(o.get());
  std::vector<uint8_t> bytes;
  if (!writer.Write(bytes)) return false;
  return out.Write(relative, bytes);
}

}  // namespace assetgen
