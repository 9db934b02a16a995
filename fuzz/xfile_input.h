// The .x fuzz targets share this: the input is a whole .x image whose format field is forced to
// the encoding under test, read as the game reads models (templates, data objects, meshes) and
// described as the xinfo tool does. Whatever is accepted must hold together.
#pragma once
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_target.h"
#include "platform/gfxutil/mesh.h"
#include "platform/gfxutil/x_info.h"
#include "platform/xfile/xfile.h"

namespace fuzzx {

// Children nest as the file nests; the walk reads every member block as the loaders do.
inline size_t WalkObject(const xfile::CDataObject& o, int depth) {
  FUZZ_CHECK(depth < 10000);
  size_t count = 1;
  if (o.GetDataSize() > 0) FUZZ_CHECK(o.GetData() != nullptr);
  for (size_t i = 0; i < o.GetChildCount(); ++i) {
    const auto& child = o.GetChild(i);
    if (child.isReference) continue;
    FUZZ_CHECK(child.object != nullptr);
    count += WalkObject(*child.object, depth + 1);
  }
  return count;
}

inline int ReadX(const uint8_t* data, size_t size, const char* format) {
  if (size < 16) return 0;
  std::vector<uint8_t> image(data, data + size);
  std::memcpy(image.data(), "xof ", 4);
  std::memcpy(image.data() + 8, format, 4);

  static const std::unique_ptr<xfile::CXFile> reader = [] {
    auto x = xfile::CXFile::Create();
    FUZZ_CHECK(x->RegisterStandardTemplates() == xfile::DXFILE_OK);
    return x;
  }();
  std::unique_ptr<xfile::CEnumObject> e;
  if (reader->CreateEnumObjectFromMemory(image.data(), image.size(), e) == xfile::DXFILE_OK) {
    FUZZ_CHECK(e != nullptr);
    size_t objects = 0;
    const xfile::CDataObject* o = nullptr;
    while (e->GetNextDataObject(o) == xfile::DXFILE_OK) {
      FUZZ_CHECK(o != nullptr);
      WalkObject(*o, 0);
      ++objects;
    }
    FUZZ_CHECK(objects == e->Objects().size());
  }

  // Template registration reads the same image for its declarations.
  auto scratch = xfile::CXFile::Create();
  scratch->RegisterTemplates(image.data(), image.size());

  std::vector<gfxutil::XMaterial> materials;
  uint32_t materialCount = 0;
  int32_t result = 0;
  auto mesh = gfxutil::LoadMeshFromXInMemory(image.data(), image.size(), 0, nullptr, nullptr, &materials,
                                             &materialCount, &result);
  if (mesh) {
    FUZZ_CHECK(result == 0);
    FUZZ_CHECK(materialCount == materials.size());
    FUZZ_CHECK(mesh->GetNumVertices() <= 0x10000);
    const uint16_t* indices = mesh->Indices();
    for (size_t i = 0; i < size_t{mesh->GetNumFaces()} * 3; ++i)
      FUZZ_CHECK(indices[i] < mesh->GetNumVertices());
  } else {
    FUZZ_CHECK(result != 0);
  }

  gfxutil::XInfo info;
  std::string error;
  if (gfxutil::DescribeXFile(image.data(), image.size(), info, error)) gfxutil::FormatXInfo(info);
  return 0;
}

}  // namespace fuzzx
