// Helpers for the xfile tests: opening texts and images, and a canonical dump of a tree.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/xfile/writer.h"
#include "platform/xfile/xfile.h"

namespace xtest {

inline std::unique_ptr<xfile::CXFile> NewReader() {
  auto x = xfile::CXFile::Create();
  if (x->RegisterStandardTemplates() != xfile::DXFILE_OK) return nullptr;
  return x;
}

inline xfile::Result Open(const xfile::CXFile& x, const std::string& text,
                          std::unique_ptr<xfile::CEnumObject>& e) {
  return x.CreateEnumObjectFromMemory(text.data(), text.size(), e);
}

inline xfile::Result Open(const xfile::CXFile& x, const std::vector<uint8_t>& bytes,
                          std::unique_ptr<xfile::CEnumObject>& e) {
  return x.CreateEnumObjectFromMemory(bytes.data(), bytes.size(), e);
}

// The objects written as text: equal dumps mean equal trees (floats print exactly).
inline std::string Dump(const xfile::CEnumObject& e) {
  xfile::CWriter w({xfile::Encoding::Text, false});
  for (const auto& o : e.Objects()) w.AddObject(o.get());
  std::vector<uint8_t> out;
  if (!w.Write(out)) return "<unwritable>";
  return std::string(out.begin(), out.end());
}

inline std::vector<uint8_t> Write(const xfile::CEnumObject& e, xfile::Encoding enc, bool doubles,
                                  bool withTemplates = false) {
  xfile::CWriter w({enc, doubles});
  if (withTemplates)
    for (size_t i = 0; i < e.DeclaredTemplates().Size(); ++i) w.AddTemplate(&e.DeclaredTemplates().At(i));
  for (const auto& o : e.Objects()) w.AddObject(o.get());
  std::vector<uint8_t> out;
  if (!w.Write(out)) out.clear();
  return out;
}

inline const xfile::CDataObject* FindChild(const xfile::CDataObject& o, const std::string& name) {
  for (size_t i = 0; i < o.GetChildCount(); ++i) {
    const auto& c = o.GetChild(i);
    if (!c.isReference && c.object->GetName() == name) return c.object;
  }
  return nullptr;
}

}  // namespace xtest
