#include "support/model_files.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "app/graphics.h"
#include "platform/gfxutil/mesh.h"
#include "platform/os/window.h"
#include "platform/xfile/parser.h"

namespace modeltest {

namespace {

CBlendRecordingDevice* g_device = nullptr;

std::unique_ptr<gfx::CDevice> Creator(const gfx::PresentParameters&, gfx::DeviceType, uint32_t) {
  auto d = std::make_unique<CBlendRecordingDevice>();
  g_device = d.get();
  return d;
}
bool Desktop(gfx::Format& f) {
  f = gfx::D3DFMT_R5G6B5;
  return true;
}
intptr_t Proc(uint32_t, uintptr_t, intptr_t) { return 0; }

}  // namespace

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
                                                        const char* texture, float d) {
  auto mesh = New("Mesh", name);
  mesh->AppendDword(3);
  const float v[9] = {x - 1, y - 1, z, x, y + 1, z, x + 1, y - 1, z};
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

gfx::VertexBufferPtr CBlendRecordingDevice::CreateVertexBuffer(uint32_t count, uint32_t fvf) {
  return std::make_shared<testdev::CMemoryVertexBuffer>(count, fvf);
}
gfx::IndexBufferPtr CBlendRecordingDevice::CreateIndexBuffer(uint32_t count) {
  return std::make_shared<testdev::CMemoryIndexBuffer>(count);
}

gfx::Result CBlendRecordingDevice::DrawIndexedPrimitive(gfx::PrimitiveType, uint32_t, uint32_t,
                                                        uint32_t startIndex, uint32_t primitives) {
  IndexedDraw d;
  d.fvf = fvf;
  d.firstIndex = startIndex;
  d.faces = primitives;
  d.vertexBlend = GetRenderState(gfx::D3DRS_VERTEXBLEND);
  d.software = GetRenderState(gfx::D3DRS_SOFTWAREVERTEXPROCESSING);
  for (uint32_t k = 0; k < 4; ++k) d.world[k] = GetTransform(gfx::D3DTS_WORLDMATRIX(k));
  d.material = material;
  d.texture = boundTexture;
  indexed.push_back(d);
  return gfx::D3D_OK;
}

void ModelTest::SetUpTestSuite() {
  ASSERT_TRUE(os::InitSystem());
  ASSERT_TRUE(os::RegisterWindowClass("BrimmelModelTest", Proc));
  ASSERT_TRUE(os::CreateMainWindow("model test", 640, 480, true));
}

void ModelTest::SetUp() {
  char buf[4096];
  oldDir_ = getcwd(buf, sizeof buf) ? buf : ".";
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  dir = std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/resource_" + info->test_suite_name() + "." + info->name();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir + "/data/mdl/kuma");
  ASSERT_EQ(chdir(dir.c_str()), 0);
  CBlendRecordingDevice::maxBlend = 4;
  app::SetDeviceCreatorForTests(Creator, Desktop);
  ASSERT_EQ(app::InitGraphics(), 1);
}

void ModelTest::TearDown() {
  app::ShutdownGraphics();
  app::SetDeviceCreatorForTests(nullptr, nullptr);
  g_device = nullptr;
  if (chdir(oldDir_.c_str()) != 0) ADD_FAILURE() << "cannot return to " << oldDir_;
}

CBlendRecordingDevice& ModelTest::device() { return *g_device; }

}  // namespace modeltest
