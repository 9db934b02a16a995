// A stage's opaque pass drawn by the real device with its shortcuts (the opaque subsets
// reordered) and without them must give one picture. The stage is made of what the reordering can
// get wrong: a path, a rug, a sign and a mat lying flat on the floor and listed after it, some in
// the same piece and some in another, so that they meet the floor, and one another, at equal depth.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/graphics.h"
#include "platform/gfx/device_test_hooks.h"
#include "platform/gfx/draw_order.h"
#include "platform/gfx/png_writer.h"
#include "support/image_files.h"
#include "support/model_files.h"
#include "support/reference_device.h"
#include "world/bsp_list.h"

namespace {

using gfxutil::Vector3;

constexpr uint32_t kW = 640, kH = 480;

// One textured stage piece, written with the .x writer: quads of one material each.
class CPieceFile {
 public:
  int Material(const std::string& texture) {
    textures_.push_back(texture);
    return static_cast<int>(textures_.size()) - 1;
  }
  // A quad whose front is the side `outward` points to (clockwise seen from there), textured once.
  void Quad(Vector3 a, Vector3 b, Vector3 c, Vector3 d, const Vector3& outward, int material) {
    if (gfxutil::Vec3Dot(gfxutil::Vec3Cross(b - a, c - a), outward) < 0) std::swap(b, d);
    const uint32_t base = static_cast<uint32_t>(points_.size());
    const std::array<std::array<float, 2>, 4> uv = {{{0, 1}, {0, 0}, {1, 0}, {1, 1}}};
    const Vector3 corners[4] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) {
      points_.push_back(corners[i]);
      uvs_.push_back(uv[i]);
    }
    faces_.push_back({base, base + 1, base + 2, static_cast<uint32_t>(material)});
    faces_.push_back({base, base + 2, base + 3, static_cast<uint32_t>(material)});
  }
  // A rectangle lying on y, facing up, in nx x nz quads.
  void Flat(float x0, float z0, float x1, float z1, float y, int nx, int nz, int material) {
    const float dx = (x1 - x0) / static_cast<float>(nx), dz = (z1 - z0) / static_cast<float>(nz);
    for (int i = 0; i < nx; ++i)
      for (int k = 0; k < nz; ++k) {
        const float ax = x0 + dx * static_cast<float>(i), az = z0 + dz * static_cast<float>(k);
        Quad({ax, y, az}, {ax, y, az + dz}, {ax + dx, y, az + dz}, {ax + dx, y, az}, {0, 1, 0}, material);
      }
  }
  // An axis-aligned box standing on y0, without its bottom.
  void Box(float x0, float x1, float y0, float y1, float z0, float z1, int material) {
    Quad({x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}, {0, 1, 0}, material);
    Quad({x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}, {0, 0, -1}, material);
    Quad({x0, y0, z1}, {x0, y1, z1}, {x1, y1, z1}, {x1, y0, z1}, {0, 0, 1}, material);
    Quad({x0, y0, z0}, {x0, y1, z0}, {x0, y1, z1}, {x0, y0, z1}, {-1, 0, 0}, material);
    Quad({x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}, {1, 0, 0}, material);
  }
  bool Write(const std::string& path) {
    modeltest::CXBuilder x;
    auto mesh = x.New("Mesh", "piece");
    mesh->AppendDword(static_cast<uint32_t>(points_.size()));
    for (const Vector3& p : points_) mesh->AppendFloat(p.x), mesh->AppendFloat(p.y), mesh->AppendFloat(p.z);
    mesh->AppendDword(static_cast<uint32_t>(faces_.size()));
    for (const auto& f : faces_)
      mesh->AppendDword(3), mesh->AppendDword(f[0]), mesh->AppendDword(f[1]), mesh->AppendDword(f[2]);
    auto list = x.New("MeshMaterialList");
    list->AppendDword(static_cast<uint32_t>(textures_.size()));
    list->AppendDword(static_cast<uint32_t>(faces_.size()));
    for (const auto& f : faces_) list->AppendDword(f[3]);
    for (const std::string& t : textures_) {
      auto mat = x.New("Material");
      for (float v : {1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}) mat->AppendFloat(v);
      auto name = x.New("TextureFilename");
      name->AppendString(t);
      mat->AddChild(std::move(name));
      list->AddChild(std::move(mat));
    }
    mesh->AddChild(std::move(list));
    auto coords = x.New("MeshTextureCoords");
    coords->AppendDword(static_cast<uint32_t>(uvs_.size()));
    for (const auto& uv : uvs_) coords->AppendFloat(uv[0]), coords->AppendFloat(uv[1]);
    mesh->AddChild(std::move(coords));
    std::vector<std::unique_ptr<xfile::CDataObject>> top;
    top.push_back(std::move(mesh));
    return x.Write(path, top);
  }

 private:
  std::vector<Vector3> points_;
  std::vector<std::array<float, 2>> uvs_;
  std::vector<std::array<uint32_t, 4>> faces_;  // three corners and the material
  std::vector<std::string> textures_;           // one per material
};

// A 16 x 16 checker of two shades of one colour.
bool WriteTexture(const std::string& path, uint32_t a, uint32_t b) {
  std::vector<uint32_t> px(256);
  for (uint32_t i = 0; i < 256; ++i) px[i] = ((i / 16 + i % 16) / 4) % 2 ? a : b;
  return testimg::WriteFile(path, testimg::Bmp24(16, 16, px));
}

bool DesktopFormat(gfx::Format& format) {
  format = gfx::D3DFMT_X8R8G8B8;
  return true;
}

struct Colours {
  uint32_t a, b;
};
constexpr Colours kFloor{0xFF3C8A2E, 0xFF47963A}, kPath{0xFF8A6A3C, 0xFF967548}, kRug{0xFFB02828, 0xFFC03434},
    kStone{0xFF808080, 0xFF8C8C8C}, kWall{0xFFD8D0C0, 0xFFE0D8C8}, kSign{0xFFE0C020, 0xFFECCC2C},
    kMat{0xFF2848B0, 0xFF3454C0}, kLeaf{0xFF9830A8, 0xFFA43CB4};

class BspPicture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(testdev::EnsureMainWindow()); }

  void SetUp() override {
    char buf[4096];
    oldDir_ = getcwd(buf, sizeof buf) ? buf : ".";
    // A folder per test: the tests run in parallel processes.
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/world_" + info->test_suite_name() + "." + info->name();
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ + "/data/bsp");
    ASSERT_EQ(chdir(dir_.c_str()), 0);

    const std::pair<const char*, Colours> textures[] = {{"floor", kFloor}, {"path", kPath}, {"rug", kRug},
                                                        {"stone", kStone}, {"wall", kWall}, {"sign", kSign},
                                                        {"mat", kMat},     {"leaf", kLeaf}};
    for (const auto& [name, c] : textures)
      ASSERT_TRUE(WriteTexture(std::string("data/bsp/") + name + ".bmp", c.a, c.b));

    // The yard: the floor in tiles of 100, then a path, a rug and a stone on it. The flat ones
    // lie on floor tiles corner for corner, so they meet the floor at exactly equal depths.
    CPieceFile yard;
    const int floor = yard.Material("floor.bmp"), path = yard.Material("path.bmp");
    const int rug = yard.Material("rug.bmp"), stone = yard.Material("stone.bmp");
    yard.Flat(-300, -300, 300, 300, 0, 6, 6, floor);
    yard.Flat(-100, -300, 0, 100, 0, 1, 4, path);
    yard.Flat(100, 0, 200, 100, 0, 1, 1, rug);
    yard.Box(-170, -130, 0, 40, 60, 100, stone);
    ASSERT_TRUE(yard.Write("data/bsp/yard.x"));
    // The house, listed after the yard: a wall, a sign lying on the yard's floor, and a mat lying
    // on the path.
    CPieceFile house;
    const int wall = house.Material("wall.bmp"), sign = house.Material("sign.bmp");
    const int mat = house.Material("mat.bmp");
    house.Box(-250, -100, 0, 120, 150, 250, wall);
    house.Flat(100, -200, 200, -100, 0, 1, 1, sign);
    house.Flat(-100, -200, 0, -100, 0, 1, 1, mat);
    ASSERT_TRUE(house.Write("data/bsp/house.x"));
    // A leaf pattern laid on the floor and the path with corners of its own: where its depths and
    // theirs round apart, the surfaces fight, and only the order of equal ones is the list's.
    CPieceFile leaves;
    const int leaf = leaves.Material("leaf.bmp");
    leaves.Flat(-70, -40, 60, 70, 0, 3, 3, leaf);
    ASSERT_TRUE(leaves.Write("data/bsp/leaves.x"));

    config_ = std::make_unique<CConfig>("no-such-file.ini");
    config_->window = 1;
    config_->width = kW;
    config_->height = kH;
    app::SetDeviceCreatorForTests(nullptr, DesktopFormat);
    ASSERT_EQ(app::OpenGraphicsDevice(*config_), 1);
  }

  void TearDown() override {
    app::CloseGraphicsDevice();
    app::SetDeviceCreatorForTests(nullptr, nullptr);
    config_.reset();
    [[maybe_unused]] const int rc = chdir(oldDir_.c_str());
  }

  // The opaque pass as the stage frame draws it: lit by one sun, depth test "less or equal".
  // `reorder` overrides whether the opaque subsets are reordered (the shortcuts' choice otherwise).
  std::vector<uint32_t> Render(CBspList& list, bool shortcuts, int reorder = -1) {
    gfx::CDevice& d = *app::GetDevice();
    gfx::CDeviceTestHooks& hooks = *gfx::TestHooks(d);
    hooks.SetShortcuts(shortcuts);
    if (reorder >= 0) gfx::SetReorderOpaqueDraws(reorder != 0);
    d.Clear(gfx::D3DCLEAR_TARGET | gfx::D3DCLEAR_ZBUFFER, 0xFF203040, 1.0f, 0);
    d.BeginScene();
    gfx::Light sun;
    sun.Type = gfx::D3DLIGHT_DIRECTIONAL;
    sun.Diffuse = {0.8f, 0.8f, 0.8f, 1};
    sun.Direction = gfxutil::Vec3Normalize({-0.5f, -1.0f, 0.7f});
    d.SetLight(0, sun);
    d.LightEnable(0, true);
    d.SetRenderState(gfx::D3DRS_LIGHTING, 1);
    d.SetRenderState(gfx::D3DRS_AMBIENT, 0x00606060);
    d.SetRenderState(gfx::D3DRS_ZENABLE, gfx::D3DZB_TRUE);
    d.SetRenderState(gfx::D3DRS_ZWRITEENABLE, 1);
    d.SetRenderState(gfx::D3DRS_CULLMODE, gfx::D3DCULL_CCW);
    d.SetTransform(gfx::D3DTS_PROJECTION, gfxutil::MatrixPerspectiveFovLH(0.785398f, 4.0f / 3, 10, 4800));
    d.SetTransform(gfx::D3DTS_VIEW, gfxutil::MatrixLookAtLH({40, 330, -470}, {0, 0, -20}, {0, 1, 0}));
    list.DrawOpaque(CurrentBspView());
    d.EndScene();
    std::vector<uint32_t> px;
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(hooks.ReadBackBuffer(px, w, h));
    EXPECT_EQ(w, kW);
    EXPECT_EQ(h, kH);
    hooks.SetShortcuts(true);
    return px;
  }

  std::string dir_, oldDir_;
  std::unique_ptr<CConfig> config_;
};

// Pixels with a channel more than `slack` / 255 apart.
size_t DifferingPixels(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int slack = 0) {
  size_t n = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    for (int shift = 0; shift < 24; shift += 8) {
      const int p = static_cast<int>((a[i] >> shift) & 0xFF), q = static_cast<int>((b[i] >> shift) & 0xFF);
      if (std::abs(p - q) > slack) {
        ++n;
        break;
      }
    }
  return n;
}

// The rug's red, the mat's blue and the leaves' purple, however lit.
bool Reddish(uint32_t p) {
  const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
  return r > 2 * g && r > 2 * b && r > 60;
}
bool Bluish(uint32_t p) {
  const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
  return b > 2 * r && b > g + 40 && b > 60;
}

bool Purplish(uint32_t p) {
  const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
  return 2 * r > 3 * g && 2 * b > 3 * g && r > 60 && b > 60;
}

TEST_F(BspPicture, FlatSubsetsOnTheFloorShowAsTheyDoWithoutTheShortcuts) {
  CBspList list({"data/bsp/yard.x", "data/bsp/house.x"}, nullptr, nullptr);
  const std::vector<uint32_t> plain = Render(list, false);
  const std::vector<uint32_t> quick = Render(list, true);
  ASSERT_EQ(plain.size(), size_t{kW} * kH);
  ASSERT_EQ(quick.size(), plain.size());
  gfx::WritePng(dir_ + "/stage-plain.png", plain.data(), kW, kH);
  gfx::WritePng(dir_ + "/stage-quick.png", quick.data(), kW, kH);

  // The stage is in view and its flat subsets show: the rug (red) and the mat on the path (blue).
  size_t rug = 0, mat = 0;
  for (uint32_t p : plain) rug += Reddish(p), mat += Bluish(p);
  EXPECT_GT(rug, 1000u);
  EXPECT_GT(mat, 1000u);
  // Equal depths are exactly equal here, so no winner is left to the depth buffers' rounding. What
  // remains is one shortcut's, drawing into the window's own buffer, which llvmpipe lays out the
  // other way up from a framebuffer: a few pixels one step apart (none without that shortcut).
  EXPECT_EQ(DifferingPixels(plain, quick, 1), 0u)
      << "pixels differ between the plain device and the shortcuts";
  EXPECT_LT(DifferingPixels(plain, quick), 100u);
}

// Where surfaces fight (their depths rounding apart by turns), the same device must still draw
// the same picture with the subsets reordered as without.
TEST_F(BspPicture, ReorderingChangesNoPixelWhereSurfacesFight) {
  CBspList list({"data/bsp/yard.x", "data/bsp/house.x", "data/bsp/leaves.x"}, nullptr, nullptr);
  for (bool shortcuts : {true, false}) {
    const std::vector<uint32_t> listed = Render(list, shortcuts, 0);
    const std::vector<uint32_t> reordered = Render(list, shortcuts, 1);
    ASSERT_EQ(listed.size(), size_t{kW} * kH);
    const std::string way = shortcuts ? "quick" : "plain";
    gfx::WritePng(dir_ + "/fight-" + way + "-listed.png", listed.data(), kW, kH);
    gfx::WritePng(dir_ + "/fight-" + way + "-reordered.png", reordered.data(), kW, kH);
    size_t leaves = 0;
    for (uint32_t p : listed) leaves += Purplish(p);
    EXPECT_GT(leaves, 3000u) << "the leaves should show in good part";
    EXPECT_EQ(DifferingPixels(listed, reordered), 0u) << way;
  }
}

}  // namespace
