// Writes templates and data-object trees as a .x file: text, binary (32- or 64-bit floats) or
// either of those compressed. Member data is read back from each object by its template, so any
// tree the reader produced, or one built by hand in template order, can be written.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/xfile/data_object.h"
#include "platform/xfile/template.h"

namespace xfile {

enum class Encoding : uint8_t { Text, Binary, TextCompressed, BinaryCompressed };

struct WriteOptions {
  Encoding encoding = Encoding::Text;
  bool doubles = false;  // float size 64: binary float lists carry 8-byte doubles
};

class CWriter {
 public:
  explicit CWriter(WriteOptions options) : options_(options) {}
  // Templates are written first, in the order added, so the file declares them itself.
  void AddTemplate(const CTemplate* t) { templates_.push_back(t); }
  void AddObject(const CDataObject* o) { objects_.push_back(o); }
  // False when an object's data does not match its template.
  bool Write(std::vector<uint8_t>& out) const;
  bool WriteFile(const std::string& path) const;

 private:
  WriteOptions options_;
  std::vector<const CTemplate*> templates_;
  std::vector<const CDataObject*> objects_;
};

}  // namespace xfile
