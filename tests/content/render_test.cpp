// Off-screen pictures of the generated content, drawn with the stage light and fog the stage
// scenes set: each stage from its start camera and from above, the player standing and
// mid-walk with its head, the bear and the props. The PNGs are for a person to look at; the
// checks only make sure something sensible was drawn.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>

#include "content/model_pose.h"
#include "platform/gfx/device.h"
#include "platform/gfx/png_writer.h"
#include "platform/gfxutil/mesh.h"
#include "support/content_fixture.h"
#include "support/reference_device.h"

namespace contenttest {
namespace {

using namespace gfx;
using gfxutil::MatrixTranslation;

constexpr uint32_t kW = 640, kH = 480, kSky = 0xFFB4B4FF;

class ContentRender : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(testdev::EnsureMainWindow()); }

  void SetUp() override {
    ASSERT_FALSE(GameDir().empty());
    device_ = testdev::MakeReferenceDevice(kW, kH);
    ASSERT_TRUE(device_);
  }
  void TearDown() override {
    textures_.clear();
    device_.reset();
  }

  // The stage scenes' light 0 and render states, fog as every stage load sets it.
  void Begin(bool home, const Vector3& eye, const Vector3& at) {
    Light l;
    l.Type = home ? D3DLIGHT_POINT : D3DLIGHT_DIRECTIONAL;
    l.Diffuse = {0.8f, 0.8f, 0.8f, 1}, l.Ambient = {0.3f, 0.3f, 0.3f, 1};
    l.Position = {0, 200, 0}, l.Direction = {0, -1, 0};
    l.Range = 500, l.Attenuation0 = 0.0001f, l.Attenuation1 = 0.00001f, l.Attenuation2 = 0.00001f,
    l.Phi = 3.14f;
    device_->SetLight(0, l);
    device_->LightEnable(0, true);
    device_->SetRenderState(D3DRS_LIGHTING, 1);
    device_->SetRenderState(D3DRS_AMBIENT, 0x00808080);
    device_->SetRenderState(D3DRS_ZENABLE, 1);
    device_->SetRenderState(D3DRS_FOGENABLE, 1);
    device_->SetRenderState(D3DRS_FOGCOLOR, kSky);
    device_->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    device_->SetRenderState(D3DRS_FOGSTART, FloatBits(2000.0f));
    device_->SetRenderState(D3DRS_FOGEND, FloatBits(4800.0f));
    device_->SetTransform(D3DTS_PROJECTION,
                          gfxutil::MatrixPerspectiveFovLH(0.785398f, 4.0f / 3.0f, 10, 4800));
    device_->SetTransform(D3DTS_VIEW, gfxutil::MatrixLookAtLH(eye, at, {0, 1, 0}));
    device_->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kSky, 1.0f, 0);
    device_->BeginScene();
  }

  CTexture* Texture(const std::string& path) {
    auto it = textures_.find(path);
    if (it != textures_.end()) return it->second.get();
    Bitmap bmp;
    TexturePtr t;
    if (ReadBmp(path, bmp)) {
      t = device_->CreateTexture(static_cast<uint32_t>(bmp.width), static_cast<uint32_t>(bmp.height), 1);
      if (t) t->SetLevel(0, bmp.argb.data());
    }
    EXPECT_TRUE(t) << "texture " << path;
    return (textures_[path] = std::move(t)).get();
  }

  // A background piece the way it is drawn: white material, its texture, subset by subset.
  void DrawPiece(const std::string& relative) {
    const std::string path = GameDir() + "/" + relative;
    std::vector<gfxutil::XMaterial> mats;
    uint32_t count = 0;
    auto loaded =
        gfxutil::LoadMeshFromX(path, gfxutil::D3DXMESH_MANAGED, device_.get(), nullptr, &mats, &count);
    ASSERT_TRUE(loaded) << path;
    auto sorted = loaded->Optimize(gfxutil::D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr);
    auto mesh = sorted->CloneMeshFVF(sorted->GetOptions(), 0x152, device_.get());
    ASSERT_TRUE(gfxutil::ComputeNormals(*mesh, nullptr));
    Material m;
    m.Diffuse = {1, 1, 1, 1}, m.Ambient = {0.4f, 0.4f, 0.4f, 0.4f}, m.Emissive = {0.1f, 0.1f, 0.1f, 0.1f};
    device_->SetTransform(D3DTS_WORLD, Matrix{});
    const std::string dir = std::filesystem::path(path).parent_path().string() + "/";
    for (const auto& r : mesh->AttributeTable()) {
      device_->SetMaterial(m);
      device_->SetTexture(
          0, r.AttribId < mats.size() ? Texture(dir + mats[r.AttribId].TextureFilename) : nullptr);
      EXPECT_EQ(mesh->DrawSubset(r.AttribId), D3D_OK);
    }
    device_->SetTexture(0, nullptr);
  }

  // A model posed on the CPU and drawn with the model loader's material rule.
  void DrawModel(CPosedModel& model, const std::string& relative, float frame, const Matrix& world) {
    if (frame >= 0) model.SetTime(frame * 160.0f);
    model.Update(world);
    const auto vs = model.Vertices();
    const auto idx = model.Indices();
    struct V {
      float x, y, z, nx, ny, nz, u, v;
    };
    std::vector<V> tris;
    for (uint32_t i : idx) {
      const auto& p = vs[i];
      tris.push_back(
          {p.position.x, p.position.y, p.position.z, p.normal.x, p.normal.y, p.normal.z, p.uv.x, p.uv.y});
    }
    const std::string dir = std::filesystem::path(GameDir() + "/" + relative).parent_path().string() + "/";
    std::string texture;
    for (const auto& n : model.Nodes())
      for (const auto& part : n->parts)
        if (!part.materials.empty()) texture = part.materials[0].TextureFilename;
    Material m;
    m.Diffuse = {1, 1, 1, 1}, m.Ambient = {0.3f, 0.3f, 0.3f, 0.3f},
    m.Emissive = {0.125f, 0.125f, 0.125f, 0.125f};
    device_->SetMaterial(m);
    device_->SetTexture(0, Texture(dir + texture));
    device_->SetTransform(D3DTS_WORLD, Matrix{});
    device_->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<uint32_t>(tris.size() / 3),
                                       tris.data(), sizeof(V)),
              D3D_OK);
    device_->SetTexture(0, nullptr);
  }

  CPosedModel& Model(const std::string& relative) {
    auto it = models_.find(relative);
    if (it == models_.end()) {
      std::string error;
      auto m = std::make_unique<CPosedModel>();
      EXPECT_TRUE(m->Load(GameDir() + "/" + relative, error)) << error;
      it = models_.emplace(relative, std::move(m)).first;
    }
    return *it->second;
  }

  // The player the way it draws itself: body raised 40, head 30 above record slot 2.
  void DrawPlayer(const Vector3& at, float yaw, float frame) {
    CPosedModel& body = Model("data/mdl/player/player.mdl");
    DrawModel(body, "data/mdl/player/player.mdl", frame,
              gfxutil::MatrixRotationY(yaw) * MatrixTranslation(at.x, at.y + 40, at.z));
    const Matrix slot2 =
        body.Update(gfxutil::MatrixRotationY(yaw) * MatrixTranslation(at.x, at.y + 40, at.z))[2];
    DrawModel(
        Model("data/mdl/player/head.mdl"), "data/mdl/player/head.mdl", -1,
        gfxutil::MatrixRotationY(yaw) * MatrixTranslation(slot2.m[3][0], slot2.m[3][1] + 30, slot2.m[3][2]));
  }

  void DrawBear(const Vector3& at, float yaw, float frame) {
    DrawModel(Model("data/mdl/kuma/kuma.mdl"), "data/mdl/kuma/kuma.mdl", frame,
              gfxutil::MatrixRotationY(yaw) * gfxutil::MatrixScaling(0.3f, 0.3f, 0.3f) *
                  MatrixTranslation(at.x, at.y + 10, at.z));
  }

  // Ends the picture, writes it, and returns the share of pixels that are not sky.
  float Finish(const std::string& name) {
    device_->EndScene();
    std::vector<uint32_t> px;
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(testdev::Hooks(*device_).ReadBackBuffer(px, w, h));
    EXPECT_TRUE(WritePng(OutputPath(name + ".png"), px.data(), w, h));
    size_t drawn = 0;
    for (uint32_t p : px) drawn += (p & 0xFFFFFF) != (kSky & 0xFFFFFF);
    return px.empty() ? 0.0f : static_cast<float>(drawn) / static_cast<float>(px.size());
  }

  std::unique_ptr<CDevice> device_;
  std::map<std::string, TexturePtr> textures_;
  std::map<std::string, std::unique_ptr<CPosedModel>> models_;
};

TEST_F(ContentRender, HomeFromTheStartCamera) {
  // Start (0, 0, -250) heading 180 degrees: the camera settles 280 behind and 101 up.
  Begin(true, {0, 101, -530}, {0, 32, -250});
  DrawPiece("data/mdl/stage/home/yard.mdl");
  DrawPiece("data/mdl/stage/home/house.mdl");
  DrawPlayer({0, 0, -250}, 3.14f, 0);
  DrawBear({60, 0, -290}, 3.14f, 5);
  DrawModel(Model("data/mdl/object/door/door.mdl"), "data/mdl/object/door/door.mdl", -1,
            MatrixTranslation(110, 100, 240));
  for (const Vector3& b : {Vector3{100, 50, 0}, Vector3{-150, 50, 0}, Vector3{-200, 10, 0}})
    DrawModel(Model("data/mdl/creature/butterfly/butterfly.mdl"), "data/mdl/creature/butterfly/butterfly.mdl",
              2.5f, MatrixTranslation(b.x, b.y, b.z));
  EXPECT_GT(Finish("home_start"), 0.5f);
}

TEST_F(ContentRender, HomePorchWithTheDoorOpen) {
  Begin(true, {-120, 160, -60}, {110, 60, 260});
  DrawPiece("data/mdl/stage/home/yard.mdl");
  DrawPiece("data/mdl/stage/home/house.mdl");
  DrawModel(Model("data/mdl/object/door/door.mdl"), "data/mdl/object/door/door.mdl", -1,
            MatrixTranslation(-40, 100, 240));
  DrawPlayer({140, 5, 200}, 3.14f, 43);
  EXPECT_GT(Finish("home_porch"), 0.6f);
}

TEST_F(ContentRender, HomeFromAbove) {
  Begin(true, {-900, 1100, -1300}, {0, 0, 0});
  DrawPiece("data/mdl/stage/home/yard.mdl");
  DrawPiece("data/mdl/stage/home/house.mdl");
  EXPECT_GT(Finish("home_above"), 0.5f);
}

TEST_F(ContentRender, ForestFromTheStartCameraAndAbove) {
  const char* pieces[] = {"data/mdl/stage/forest/ground.mdl", "data/mdl/stage/forest/plateau.mdl",
                          "data/mdl/stage/forest/trees.mdl", "data/mdl/stage/forest/rocks.mdl"};
  Begin(false, {0, 101, -680}, {0, 32, -400});
  for (const char* p : pieces) DrawPiece(p);
  DrawPlayer({0, 0, -400}, 3.14f, 30);
  EXPECT_GT(Finish("forest_start"), 0.4f);
  Begin(false, {-400, 500, -500}, {650, 60, 500});
  for (const char* p : pieces) DrawPiece(p);
  DrawBear({200, 30, 425}, 1.57f, 25);
  EXPECT_GT(Finish("forest_plateau"), 0.5f);
  Begin(false, {-2200, 1800, -2600}, {0, 0, 0});
  for (const char* p : pieces) DrawPiece(p);
  EXPECT_GT(Finish("forest_above"), 0.4f);
}

TEST_F(ContentRender, PlayerStandingAndMidWalk) {
  struct Shot {
    const char* name;
    float frame;
    Vector3 eye;
  } shots[] = {{"player_bind", 0, {40, 60, -140}},
               {"player_walk", 43, {-130, 55, -40}},
               {"player_side", 38, {150, 50, 0}}};
  for (const Shot& s : shots) {
    Begin(false, s.eye, {0, 42, 0});
    DrawPlayer({0, 0, 0}, 0, s.frame);
    EXPECT_GT(Finish(s.name), 0.08f) << s.name;
  }
  Begin(false, {45, 28, -60}, {0, 14, 0});
  DrawBear({0, 0, 0}, 0.4f, 25);
  EXPECT_GT(Finish("bear"), 0.05f);
  Begin(false, {0, 30, -60}, {0, 8, 0});
  for (int i = 0; i < 6; ++i) {
    const std::string leaf = "data/mdl/object/leaf/leaf0" + std::to_string(i) + ".mdl";
    DrawModel(Model(leaf), leaf, -1,
              gfxutil::MatrixRotationX(-0.9f) * MatrixTranslation(-25.0f + 10.0f * i, 20, 0));
  }
  DrawModel(Model("data/mdl/creature/butterfly/butterfly.mdl"), "data/mdl/creature/butterfly/butterfly.mdl",
            1.0f, gfxutil::MatrixRotationX(-0.5f) * MatrixTranslation(0, 0, 0));
  EXPECT_GT(Finish("props"), 0.05f);
}

}  // namespace
}  // namespace contenttest
