// The collision debug picture: a small stage piece drawn lit with the real off-screen device, its
// collision file built from the same mesh the way colbuild builds it, and the collision world's
// wireframe (F2) drawn over it. The white lines must lie on the piece and nowhere else; the
// picture is written for a person to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <boost/make_shared.hpp>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfx/png_writer.h"
#include "platform/gfxutil/mesh.h"
#include "support/reference_device.h"
#include "world/collision_model.h"
#include "world/collision_unit.h"
#include "world/collision_world.h"
#include "world/collision_writer.h"
#include "world/mesh_collision_data.h"
#include "world/unit_body.h"

namespace {

using namespace gfx;
using gfxutil::Vector3;

constexpr uint32_t kW = 320, kH = 240;
constexpr uint32_t kBackground = 0xFF203040;
constexpr uint32_t kWhite = 0xFFFFFF;

std::string OutputPath(const std::string& name) { return std::string(BRIMMEL_TEST_OUTPUT_DIR) + "/" + name; }

// A .x text mesh of quads, each written so that its outward side is the front (clockwise).
class CQuadMesh {
 public:
  void Quad(Vector3 a, Vector3 b, Vector3 c, Vector3 d, const Vector3& outward) {
    const Vector3 n = gfxutil::Vec3Cross(b - a, c - a);
    if (gfxutil::Vec3Dot(n, outward) < 0) std::swap(b, d);
    const size_t base = points_.size();
    for (const Vector3& p : {a, b, c, d}) points_.push_back(p);
    faces_.push_back({base, base + 1, base + 2});
    faces_.push_back({base, base + 2, base + 3});
  }
  // An axis-aligned box standing on y0, without its bottom.
  void Box(float x0, float x1, float y0, float y1, float z0, float z1) {
    Quad({x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}, {0, 1, 0});
    Quad({x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}, {0, 0, -1});
    Quad({x0, y0, z1}, {x0, y1, z1}, {x1, y1, z1}, {x1, y0, z1}, {0, 0, 1});
    Quad({x0, y0, z0}, {x0, y1, z0}, {x0, y1, z1}, {x0, y0, z1}, {-1, 0, 0});
    Quad({x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}, {1, 0, 0});
  }
  std::string Text() const {
    std::string s = "xof 0303txt 0032\nMesh piece {\n" + std::to_string(points_.size()) + ";\n";
    char buf[128];
    for (size_t i = 0; i < points_.size(); ++i) {
      std::snprintf(buf, sizeof buf, "%.3f;%.3f;%.3f;%s\n", points_[i].x, points_[i].y, points_[i].z,
                    i + 1 < points_.size() ? "," : ";");
      s += buf;
    }
    s += std::to_string(faces_.size()) + ";\n";
    for (size_t i = 0; i < faces_.size(); ++i) {
      std::snprintf(buf, sizeof buf, "3;%zu,%zu,%zu;%s\n", faces_[i][0], faces_[i][1], faces_[i][2],
                    i + 1 < faces_.size() ? "," : ";");
      s += buf;
    }
    return s + "}\n";
  }
  size_t Triangles() const { return faces_.size(); }

 private:
  std::vector<Vector3> points_;
  std::vector<std::array<size_t, 3>> faces_;
};

class CollisionPicture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(testdev::EnsureMainWindow()); }

  void SetUp() override {
    device_ = testdev::MakeReferenceDevice(kW, kH);
    ASSERT_TRUE(device_);

    // A floor in a 4 x 4 grid of tiles, a block on it and a low step beside it.
    CQuadMesh piece;
    for (int i = 0; i < 4; ++i)
      for (int k = 0; k < 4; ++k) {
        const float x0 = -60.0f + 30.0f * static_cast<float>(i), z0 = -60.0f + 30.0f * static_cast<float>(k);
        piece.Quad({x0, 0, z0}, {x0, 0, z0 + 30}, {x0 + 30, 0, z0 + 30}, {x0 + 30, 0, z0}, {0, 1, 0});
      }
    piece.Box(-20, 15, 0, 35, -10, 25);
    piece.Box(25, 50, 0, 10, -45, -20);
    triangles_ = piece.Triangles();
    const std::string xPath = OutputPath("collision_picture_piece.x");
    const std::string colPath = OutputPath("collision_picture_piece.dec");
    std::ofstream(xPath, std::ios::binary) << piece.Text();

    mesh_ =
        gfxutil::LoadMeshFromX(xPath, gfxutil::D3DXMESH_MANAGED, device_.get(), nullptr, nullptr, nullptr);
    ASSERT_TRUE(mesh_);
    auto sorted = mesh_->Optimize(gfxutil::D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(sorted);

    // The collision file, built from the piece as colbuild builds it, then read back from disk.
    CollisionMeshData data;
    std::vector<CollisionGroupData> groups;
    std::string error;
    ASSERT_TRUE(CollisionMeshFromMesh(*sorted, data));
    ASSERT_TRUE(BuildCollisionGroups(data, groups, error)) << error;
    ASSERT_TRUE(WriteCollisionFile(colPath, groups, error)) << error;
    model_ = boost::make_shared<CCollisionModel>(colPath);
    ASSERT_GT(model_->GroupCount(), 0);

    lit_ = sorted->CloneMeshFVF(sorted->GetOptions(), D3DFVF_XYZ | D3DFVF_NORMAL, device_.get());
    ASSERT_TRUE(lit_);
    ASSERT_TRUE(gfxutil::ComputeNormals(*lit_, nullptr));
  }

  void TearDown() override {
    lit_.reset();
    mesh_.reset();
    device_.reset();
  }

  // The piece, lit by one sun and some ambient light, as a background piece draws.
  void DrawPiece() {
    Light l;
    l.Type = D3DLIGHT_DIRECTIONAL;
    l.Diffuse = {0.8f, 0.8f, 0.8f, 1}, l.Ambient = {0.25f, 0.25f, 0.25f, 1};
    l.Direction = gfxutil::Vec3Normalize({-0.5f, -1.0f, 0.7f});
    device_->SetLight(0, l);
    device_->LightEnable(0, true);
    device_->SetRenderState(D3DRS_LIGHTING, 1);
    device_->SetRenderState(D3DRS_AMBIENT, 0x00404040);
    device_->SetRenderState(D3DRS_ZENABLE, 1);
    device_->SetTransform(D3DTS_PROJECTION,
                          gfxutil::MatrixPerspectiveFovLH(0.785398f, 4.0f / 3.0f, 10, 1000));
    device_->SetTransform(D3DTS_VIEW, gfxutil::MatrixLookAtLH({-70, 130, -170}, {0, 5, 0}, {0, 1, 0}));
    device_->SetTransform(D3DTS_WORLD, gfxutil::Matrix{});
    Material m;
    m.Diffuse = {0.55f, 0.6f, 0.45f, 1}, m.Ambient = {0.55f, 0.6f, 0.45f, 1};
    device_->SetMaterial(m);
    for (const auto& r : lit_->AttributeTable()) EXPECT_EQ(lit_->DrawSubset(r.AttribId), D3D_OK);
  }

  std::vector<uint32_t> Read() {
    std::vector<uint32_t> px;
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(testdev::Hooks(*device_).ReadBackBuffer(px, w, h));
    EXPECT_EQ(w, kW);
    EXPECT_EQ(h, kH);
    for (uint32_t& p : px) p &= 0xFFFFFF;
    return px;
  }

  // The piece's pixels, grown by one pixel: a line along the silhouette may rasterise one pixel
  // beside the filled edge.
  static std::vector<bool> PieceMask(const std::vector<uint32_t>& px) {
    std::vector<bool> mask(px.size(), false);
    for (uint32_t y = 0; y < kH; ++y)
      for (uint32_t x = 0; x < kW; ++x) {
        if (px[y * kW + x] == (kBackground & 0xFFFFFF)) continue;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = static_cast<int>(x) + dx, ny = static_cast<int>(y) + dy;
            if (nx >= 0 && ny >= 0 && nx < static_cast<int>(kW) && ny < static_cast<int>(kH))
              mask[static_cast<size_t>(ny) * kW + static_cast<size_t>(nx)] = true;
          }
      }
    return mask;
  }

  // Draws the piece, reads it, draws the collision wireframe of `owner`'s placement over it and
  // reads again.
  void Render(const UnitBody* owner, std::vector<uint32_t>& piece, std::vector<uint32_t>& withWire) {
    device_->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBackground, 1.0f, 0);
    device_->BeginScene();
    DrawPiece();
    piece = Read();
    CCollisionWorld world;
    world.Add(boost::make_shared<CCollisionUnit>(owner, model_));
    world.Draw(*device_);
    withWire = Read();
    device_->EndScene();
  }

  std::unique_ptr<CDevice> device_;
  std::unique_ptr<gfxutil::CMesh> mesh_, lit_;
  boost::shared_ptr<CCollisionModel> model_;
  size_t triangles_ = 0;
};

TEST_F(CollisionPicture, WireframeLiesOverTheLitPiece) {
  size_t fileTriangles = 0;
  for (int32_t g = 0; g < model_->GroupCount(); ++g) fileTriangles += model_->Group(g).triangleCount;
  EXPECT_EQ(fileTriangles, triangles_);

  std::vector<uint32_t> piece, wire;
  Render(nullptr, piece, wire);
  std::vector<uint32_t> opaque(wire);
  for (uint32_t& p : opaque) p |= 0xFF000000;
  ASSERT_TRUE(gfx::WritePng(OutputPath("collision-wireframe.png"), opaque.data(), kW, kH));

  // The piece is there, lit: it covers a good part of the picture in several shades, none white.
  const std::vector<bool> mask = PieceMask(piece);
  size_t covered = 0;
  std::set<uint32_t> shades;
  for (size_t i = 0; i < piece.size(); ++i)
    if (piece[i] != (kBackground & 0xFFFFFF)) {
      ++covered;
      shades.insert(piece[i]);
      EXPECT_NE(piece[i], kWhite) << "at " << i;
    }
  EXPECT_GT(covered, piece.size() / 10);
  EXPECT_LT(covered, piece.size() * 9 / 10);
  EXPECT_GE(shades.size(), 3u) << "the faces should be lit differently";

  // The wireframe only adds white pixels, all of them over the piece, spread over its area.
  size_t white = 0, outside = 0, otherChange = 0;
  uint32_t minX = kW, maxX = 0, minY = kH, maxY = 0;
  for (uint32_t y = 0; y < kH; ++y)
    for (uint32_t x = 0; x < kW; ++x) {
      const size_t i = size_t{y} * kW + x;
      if (wire[i] == kWhite) {
        ++white;
        if (!mask[i]) ++outside;
        minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y),
        maxY = std::max(maxY, y);
      } else if (wire[i] != piece[i]) {
        ++otherChange;
      }
    }
  EXPECT_GT(white, covered / 20) << "too few wireframe pixels";
  EXPECT_EQ(outside, 0u) << "wireframe pixels off the piece";
  EXPECT_EQ(otherChange, 0u) << "the wireframe changed pixels to something other than white";
  // The lines reach across the piece, not just one corner of it.
  uint32_t pMinX = kW, pMaxX = 0, pMinY = kH, pMaxY = 0;
  for (uint32_t y = 0; y < kH; ++y)
    for (uint32_t x = 0; x < kW; ++x)
      if (piece[size_t{y} * kW + x] != (kBackground & 0xFFFFFF))
        pMinX = std::min(pMinX, x), pMaxX = std::max(pMaxX, x), pMinY = std::min(pMinY, y),
        pMaxY = std::max(pMaxY, y);
  EXPECT_LE(minX, pMinX + 3);
  EXPECT_GE(maxX + 3, pMaxX);
  EXPECT_LE(minY, pMinY + 3);
  EXPECT_GE(maxY + 3, pMaxY);
}

// The check above can see a misplaced wireframe: the same model owned by a body standing 60 units
// to the side draws lines off the piece.
TEST_F(CollisionPicture, WireframeFollowsItsOwner) {
  UnitBody owner;
  owner.world = gfxutil::MatrixTranslation(60, 0, 0);
  std::vector<uint32_t> piece, wire;
  Render(&owner, piece, wire);
  const std::vector<bool> mask = PieceMask(piece);
  size_t outside = 0;
  for (size_t i = 0; i < wire.size(); ++i) outside += wire[i] == kWhite && !mask[i];
  EXPECT_GT(outside, 50u);
}

// The wireframe pass leaves the device as it found it for the solid drawing that follows.
TEST_F(CollisionPicture, SolidDrawingAfterTheWireframe) {
  std::vector<uint32_t> piece, wire;
  Render(nullptr, piece, wire);
  device_->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBackground, 1.0f, 0);
  device_->BeginScene();
  DrawPiece();
  const std::vector<uint32_t> again = Read();
  device_->EndScene();
  EXPECT_EQ(again, piece);
}

}  // namespace
