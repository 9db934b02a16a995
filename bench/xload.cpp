// xload: loading a set of .x files (text and binary, static and skinned, a few MB in all, written
// by our writer into a temporary folder) into meshes with our reader, against assimp's importer
// on the same files. Prints "xload: ours X, peer Y, ratio Z" (milliseconds per pass over the set,
// best of several passes).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "../tests/support/model_gen.h"
#include "platform/gfxutil/mesh.h"
#include "platform/gfxutil/skin_mesh.h"
#include "platform/xfile/writer.h"
#include "platform/xfile/xfile.h"

#ifdef BRIMMEL_HAVE_ASSIMP
#include <assimp/scene.h>

#include <assimp/Importer.hpp>
#endif

namespace {

struct File {
  std::string path;
  bool skinned;
};

// Loads every mesh of a model the way the model loader does: frames walked, each Mesh through
// the skinned-mesh loader. Returns the triangles loaded.
size_t LoadModel(const xfile::CXFile& x, const std::string& path) {
  std::unique_ptr<xfile::CEnumObject> e;
  if (x.CreateEnumObject(path, e) != xfile::DXFILE_OK) return 0;
  size_t triangles = 0;
  std::vector<const xfile::CDataObject*> stack;
  for (const auto& o : e->Objects()) stack.push_back(o.get());
  while (!stack.empty()) {
    const xfile::CDataObject* o = stack.back();
    stack.pop_back();
    if (o->Template()->name == "Mesh") {
      std::unique_ptr<gfxutil::CSkinMesh> skin;
      std::vector<uint32_t> adjacency;
      std::vector<gfxutil::XMaterial> materials;
      std::vector<std::string> bones;
      std::vector<gfxutil::Matrix> offsets;
      uint32_t count = 0;
      if (gfxutil::LoadSkinMeshFromXof(*o, gfxutil::D3DXMESH_MANAGED, nullptr, &adjacency, &materials, &count,
                                       &bones, &offsets, skin) == gfxutil::D3DX_OK)
        triangles += skin->GetOriginalMesh()->GetNumFaces();
      continue;
    }
    if (o->Template()->name != "Frame") continue;
    for (size_t i = 0; i < o->GetChildCount(); ++i)
      if (!o->GetChild(i).isReference) stack.push_back(o->GetChild(i).object);
  }
  return triangles;
}

size_t LoadStatic(const std::string& path) {
  uint32_t count = 0;
  std::vector<gfxutil::XMaterial> materials;
  auto mesh = gfxutil::LoadMeshFromX(path, gfxutil::D3DXMESH_MANAGED, nullptr, nullptr, &materials, &count);
  return mesh ? mesh->GetNumFaces() : 0;
}

double Ms(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main() {
  auto x = xfile::CXFile::Create();
  if (x->RegisterStandardTemplates() != xfile::DXFILE_OK) return 1;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("brimmel-xload-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  xtest::CModelGen gen(*x);
  std::vector<File> files;
  size_t bytes = 0;
  struct Variant {
    bool skinned;
    xfile::Encoding enc;
    bool doubles;
  };
  const Variant variants[] = {{true, xfile::Encoding::Text, false},
                              {true, xfile::Encoding::Binary, false},
                              {true, xfile::Encoding::Binary, true},
                              {false, xfile::Encoding::Text, false},
                              {false, xfile::Encoding::Binary, false}};
  int n = 0;
  for (const Variant& s : variants) {
    xtest::ModelParams p;
    if (s.skinned) {
      p.rings = 160, p.segments = 48, p.bones = 24, p.keys = 60;
    } else {
      p.rings = 60, p.segments = 32, p.meshes = 6, p.skinned = false, p.animated = false, p.bones = 3;
    }
    auto top = gen.Build(p);
    xfile::CWriter w({s.enc, s.doubles});
    for (const auto& o : top) w.AddObject(o.get());
    const std::string path = (dir / ("model" + std::to_string(n++) + ".x")).string();
    if (!w.WriteFile(path)) return 1;
    bytes += std::filesystem::file_size(path);
    files.push_back({path, s.skinned});
  }

  const int passes = 12;
  double ours = 1e30, peer = 1e30;
  size_t ourTriangles = 0, peerTriangles = 0;
  for (int pass = 0; pass < passes; ++pass) {
    auto t0 = std::chrono::steady_clock::now();
    size_t tri = 0;
    for (const File& f : files) tri += f.skinned ? LoadModel(*x, f.path) : LoadStatic(f.path);
    ours = std::min(ours, Ms(std::chrono::steady_clock::now() - t0));
    ourTriangles = tri;
#ifdef BRIMMEL_HAVE_ASSIMP
    t0 = std::chrono::steady_clock::now();
    tri = 0;
    for (const File& f : files) {
      Assimp::Importer importer;
      const aiScene* scene = importer.ReadFile(f.path, 0);
      if (!scene) continue;
      for (unsigned m = 0; m < scene->mNumMeshes; ++m) tri += scene->mMeshes[m]->mNumFaces;
    }
    peer = std::min(peer, Ms(std::chrono::steady_clock::now() - t0));
    peerTriangles = tri;
#endif
  }
  std::filesystem::remove_all(dir);
  std::fprintf(stderr, "xload: %zu files, %.2f MB, triangles ours %zu peer %zu\n", files.size(),
               bytes / 1048576.0, ourTriangles, peerTriangles);
#ifdef BRIMMEL_HAVE_ASSIMP
  std::printf("xload: ours %.2f ms, peer %.2f ms, ratio %.3f\n", ours, peer, ours / peer);
#else
  std::printf("xload: %.2f ms\n", ours);
#endif
  return ourTriangles > 0 ? 0 : 1;
}
