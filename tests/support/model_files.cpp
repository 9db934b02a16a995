#include "support/model_files.h"

#include <filesystem>

#include "platform/gfxutil/mesh.h"
#include "platform/xfile/parser.h"

namespace modeltest {

CXBuilder::CXBuilder() : x_(xfile::CXFile::Create()) { x_->RegisterStandardTemplates(); }

std::unique_ptr<xfile::CDataObject> CXBuilder::New(const char* type, std::string name) {
  const xfile::CTemplate* t = x_->Templates().FindByName(type);
  EXPECT_NE(t, nullptr) << type;
  return std::make_unique<xfile::CDataObject>(t, std::move(name));
}

std::unique_ptr<xfile::CDataObject> CXBuilder::Transform(const gfxutil::Matrix& m) {
  auto o = New("FrameTransformMatrix");
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) o->AppendFloat(m.m[r][c]);
  return o;
}

std::unique_ptr<xfile::CDataObject> CXBuilder::Translation(float x, float y, float z) {
  return Transform(gfxutil::MatrixTranslation(x, y, z));
}

std::unique_ptr<xfile::CDataObject> CXBuilder::Triangle(const std::string& name, float x, float y, float z,
                                                        const char* texture, float d, float size) {
  auto mesh = New("Mesh", name);
  mesh->AppendDword(3);
  const float v[9] = {x - size, y - size, z, x, y + size, z, x + size, y - size, z};
  for (float f : v) mesh->AppendFloat(f);
  mesh->AppendDword(1);
  mesh->AppendDword(3), mesh->AppendDword(0), mesh->AppendDword(1), mesh->AppendDword(2);
  auto list = New("MeshMaterialList");
  list->AppendDword(1), list->AppendDword(1), list->AppendDword(0);
  auto mat = New("Material");
  const float c[11] = {d, 0, 0, 1, 5, 0.2f, 0.2f, 0.2f, 0.3f, 0.3f, 0.3f};
  for (float f : c) mat->AppendFloat(f);
  if (texture) {
    auto tex = New("TextureFilename");
    tex->AppendString(texture);
    mat->AddChild(std::move(tex));
  }
  list->AddChild(std::move(mat));
  mesh->AddChild(std::move(list));
  return mesh;
}

std::unique_ptr<xfile::CDataObject> CXBuilder::Keys(uint32_t type, const std::vector<uint32_t>& times,
                                                    const std::vector<std::vector<float>>& values) {
  auto k = New("AnimationKey");
  k->AppendDword(type), k->AppendDword(uint32_t(times.size()));
  for (size_t i = 0; i < times.size(); ++i) {
    k->AppendDword(times[i]), k->AppendDword(uint32_t(values[i].size()));
    for (float f : values[i]) k->AppendFloat(f);
  }
  return k;
}

bool CXBuilder::Write(const std::string& path, std::vector<std::unique_ptr<xfile::CDataObject>>& objects,
                      xfile::Encoding encoding) {
  if (!xfile::ResolveReferences(objects)) return false;
  xfile::CWriter w({encoding, false});
  for (const auto& o : objects) w.AddObject(o.get());
  return w.WriteFile(path);
}

void ModelTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string folder = std::string("resource_") + info->test_suite_name() + "." + info->name();
  dir = std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/" + folder;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir + "/data/mdl/kuma");
  graphics_ = std::make_unique<testdev::CRecordingGraphics>(folder);
  ASSERT_TRUE(graphics_->ok());
  device().createBuffers = true;
}

void ModelTest::TearDown() { graphics_.reset(); }

}  // namespace modeltest
