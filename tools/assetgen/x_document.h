// A .x file under construction: data objects made from the standard templates by name, kept in
// file order, written in any of the reader's encodings.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "assetgen.h"
#include "platform/gfxutil/math.h"
#include "platform/xfile/data_object.h"
#include "platform/xfile/writer.h"
#include "platform/xfile/xfile.h"

namespace assetgen {

class CXDocument {
 public:
  CXDocument();
  // A new object of the named standard template; null only if the template set lacks it.
  std::unique_ptr<xfile::CDataObject> New(const char* type, std::string name = {}) const;
  std::unique_ptr<xfile::CDataObject> TransformMatrix(const gfxutil::Matrix& m) const;
  // Declares a template in the file itself, as exporters do for the skin templates.
  void Declare(const char* type);
  xfile::CDataObject* Add(std::unique_ptr<xfile::CDataObject> object);
  // Resolves references by name and writes the file; false on any failure.
  bool Write(const COutput& out, const std::string& relative, xfile::Encoding encoding);

 private:
  std::unique_ptr<xfile::CXFile> reader_;
  std::vector<const xfile::CTemplate*> declared_;
  std::vector<std::unique_ptr<xfile::CDataObject>> objects_;
};

void AppendMatrix(xfile::CDataObject& o, const gfxutil::Matrix& m);

}  // namespace assetgen
