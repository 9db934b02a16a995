// Vertex lighting, vertex fog and vertex blending measured against the D3D formulas.
#include <algorithm>
#include <cmath>

#include "gfx/device_fixture.h"

namespace gfxtest {
namespace {

using gfxutil::MatrixTranslation;

int ToByte(float v) { return static_cast<int>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

class DeviceLightingTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    UseOrtho();
    device->SetRenderState(D3DRS_LIGHTING, 1);
    device->SetRenderState(D3DRS_AMBIENT, 0x00202020);
    Material m;
    m.Diffuse = {0.8f, 0.6f, 0.4f, 1.0f};
    m.Ambient = {0.5f, 0.5f, 0.5f, 1.0f};
    device->SetMaterial(m);
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = {1, 1, 1, 1};
    light.Ambient = {0.4f, 0.4f, 0.4f, 1};
    light.Attenuation0 = 0.5f;
    light.Attenuation1 = 0.25f;
    light.Attenuation2 = 0.05f;
    light.Range = 5.0f;
    device->SetLight(0, light);
    device->LightEnable(0, true);
  }

  // A square facing the eye (normal towards -z) centred on (cx, cy) at depth z.
  void DrawLitSquare(float cx, float cy, float z, float e, uint32_t fvf = D3DFVF_XYZ | D3DFVF_NORMAL,
                     uint32_t diffuse = 0xFFFFFFFF) {
    struct V {
      float x, y, z, nx, ny, nz;
      uint32_t c;
    };
    const V v[6] = {{cx - e, cy + e, z, 0, 0, -1, diffuse}, {cx + e, cy - e, z, 0, 0, -1, diffuse},
                    {cx - e, cy - e, z, 0, 0, -1, diffuse}, {cx - e, cy + e, z, 0, 0, -1, diffuse},
                    {cx + e, cy + e, z, 0, 0, -1, diffuse}, {cx + e, cy - e, z, 0, 0, -1, diffuse}};
    device->SetVertexShader(fvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(V)), D3D_OK);
  }

  // The D3D point-light colour of a vertex at depth d and lateral offset e on both axes.
  Vector3 PointLit(float d, float e) const {
    const float dist = std::sqrt(2 * e * e + d * d);
    const float att =
        dist > light.Range
            ? 0.0f
            : 1.0f / (light.Attenuation0 + light.Attenuation1 * dist + light.Attenuation2 * dist * dist);
    const float ndl = d / dist;
    const float ga = 0x20 / 255.0f;
    const float amb = 0.5f * (ga + light.Ambient.r * att);
    return {amb + 0.8f * ndl * att, amb + 0.6f * ndl * att, amb + 0.4f * ndl * att};
  }

  void ExpectCentre(const Vector3& c, const char* what) {
    Read();
    const uint32_t p = Px(32, 32);
    EXPECT_NEAR(static_cast<int>(Red(p)), ToByte(c.x), 2) << what;
    EXPECT_NEAR(static_cast<int>(Green(p)), ToByte(c.y), 2) << what;
    EXPECT_NEAR(static_cast<int>(Blue(p)), ToByte(c.z), 2) << what;
  }

  Light light;
};

TEST_F(DeviceLightingTest, PointLightFollowsAttenuationAndRange) {
  for (float d : {1.0f, 2.0f, 4.0f, 6.0f}) {
    device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    DrawLitSquare(0, 0, d, 0.1f);
    ExpectCentre(PointLit(d, 0.1f), d > 5 ? "beyond the range: global ambient only" : "in range");
  }
}

TEST_F(DeviceLightingTest, LightLivesInWorldSpaceWhateverTheView) {
  // The same scene as above moved by (-3, 2, 10) and looked at through a view that undoes it.
  device->SetTransform(D3DTS_VIEW, MatrixTranslation(3, -2, -10));
  light.Position = {-3, 2, 10};
  device->SetLight(0, light);
  device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  DrawLitSquare(-3, 2, 12, 0.1f);
  ExpectCentre(PointLit(2, 0.1f), "moved scene");
}

TEST_F(DeviceLightingTest, DirectionalLightUsesTheAngleOnly) {
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Direction = {0, -1, 1};  // 45 degrees off the normal
  device->SetLight(0, light);
  device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  DrawLitSquare(0, 0, 50, 0.2f);
  const float amb = 0.5f * (0x20 / 255.0f + 0.4f);
  const float ndl = std::sqrt(0.5f);
  ExpectCentre({amb + 0.8f * ndl, amb + 0.6f * ndl, amb + 0.4f * ndl}, "directional");
  // Lights of every type share one program: a change of type between draws must still be seen.
  light.Type = D3DLIGHT_POINT;
  device->SetLight(0, light);
  DrawLitSquare(0, 0, 2, 0.1f);
  ExpectCentre(PointLit(2, 0.1f), "point after directional");
  light.Type = D3DLIGHT_DIRECTIONAL;
  device->SetLight(0, light);
  DrawLitSquare(0, 0, 2, 0.1f);
  ExpectCentre({amb + 0.8f * ndl, amb + 0.6f * ndl, amb + 0.4f * ndl}, "directional after point");
}

TEST_F(DeviceLightingTest, SpotLightCutsOffOutsideItsCone) {
  light.Type = D3DLIGHT_SPOT;
  light.Direction = {0, 0, 1};
  light.Theta = 0.5f;
  light.Phi = 1.0f;
  light.Falloff = 1.0f;
  device->SetLight(0, light);
  device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  DrawLitSquare(0, 0, 2, 0.1f);  // about 4 degrees off axis: inside the inner cone
  ExpectCentre(PointLit(2, 0.1f), "inside");
  light.Theta = 0.05f;
  light.Phi = 0.1f;  // cone half-angle 2.9 degrees: the vertices are outside
  device->SetLight(0, light);
  DrawLitSquare(0, 0, 2, 0.1f);
  const float amb = 0.5f * (0x20 / 255.0f);
  ExpectCentre({amb, amb, amb}, "outside");
}

TEST_F(DeviceLightingTest, NoLightLeavesEmissivePlusAmbient) {
  device->LightEnable(0, false);
  Material m = device->GetMaterial();
  m.Emissive = {0.2f, 0.0f, 0.1f, 0};
  device->SetMaterial(m);
  device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  DrawLitSquare(0, 0, 2, 0.1f);
  const float amb = 0.5f * (0x20 / 255.0f);
  ExpectCentre({0.2f + amb, amb, 0.1f + amb}, "unlit");
}

TEST_F(DeviceLightingTest, ColourVertexTakesDiffuseFromTheVertex) {
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Direction = {0, 0, 1};
  light.Ambient = {0, 0, 0, 0};
  device->SetLight(0, light);
  device->SetRenderState(D3DRS_AMBIENT, 0);
  device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  DrawLitSquare(0, 0, 2, 0.1f, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE, 0xFF00FF00);
  ExpectCentre({0, 1, 0}, "vertex colour");
  device->SetRenderState(D3DRS_COLORVERTEX, 0);
  DrawLitSquare(0, 0, 2, 0.1f, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE, 0xFF00FF00);
  ExpectCentre({0.8f, 0.6f, 0.4f}, "material colour");
}

TEST_F(DeviceLightingTest, NormalsAreNormalisedOnlyWhenAsked) {
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Direction = {0, 0, 1};
  light.Ambient = {0, 0, 0, 0};
  device->SetLight(0, light);
  device->SetRenderState(D3DRS_AMBIENT, 0);
  // Scaling the world by 2 shrinks transformed normals to half length.
  device->SetTransform(D3DTS_WORLD, gfxutil::MatrixScaling(2, 2, 2));
  device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  DrawLitSquare(0, 0, 2, 0.05f);
  ExpectCentre({0.4f, 0.3f, 0.2f}, "raw normals");
  device->SetRenderState(D3DRS_NORMALIZENORMALS, 1);
  DrawLitSquare(0, 0, 2, 0.05f);
  ExpectCentre({0.8f, 0.6f, 0.4f}, "normalised");
}

TEST_F(DeviceLightingTest, VerticesWithoutNormalsGetAmbientOnly) {
  device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  DrawSquare(0, 0, 2, 0.1f, 0xFFFFFFFF);  // XYZ | DIFFUSE, lighting still on
  const float dist = std::sqrt(0.02f + 4.0f);
  const float att = 1.0f / (0.5f + 0.25f * dist + 0.05f * dist * dist);
  const float amb = 0.5f * (0x20 / 255.0f + 0.4f * att);
  ExpectCentre({amb, amb, amb}, "no normal");
}

// --- fog ---

class DeviceFogTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    Matrix p;  // x, y in [-10, 10]; z / 100
    p.m[0][0] = 0.1f;
    p.m[1][1] = 0.1f;
    p.m[2][2] = 0.01f;
    device->SetTransform(D3DTS_PROJECTION, p);
    device->SetRenderState(D3DRS_FOGENABLE, 1);
    device->SetRenderState(D3DRS_FOGCOLOR, 0x000000FF);
    device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_NONE);
    device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    device->SetRenderStateF(D3DRS_FOGSTART, 2.0f);
    device->SetRenderStateF(D3DRS_FOGEND, 12.0f);
  }
  // White fogged towards blue by factor f: red = green = f.
  void ExpectFog(uint32_t x, uint32_t y, float f, const char* what) {
    Read();
    const uint32_t p = Px(x, y);
    EXPECT_NEAR(static_cast<int>(Red(p)), ToByte(f), 2) << what;
    EXPECT_EQ(Blue(p), 255u) << what;
  }
};

TEST_F(DeviceFogTest, LinearRangeFogAtKnownDistances) {
  device->SetRenderState(D3DRS_RANGEFOGENABLE, 1);
  for (float d : {1.0f, 4.0f, 7.0f, 11.0f, 13.0f}) {
    device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    DrawSquare(0, 0, d, 0.5f, 0xFFFFFFFF);
    const float dist = std::sqrt(0.5f + d * d);
    ExpectFog(32, 32, (12.0f - dist) / 10.0f, "on axis");
  }
}

TEST_F(DeviceFogTest, RangeFogCountsSidewaysDistanceDepthFogDoesNot) {
  // Centre (6, 0) at depth 3: eye distance 6.71, depth 3. Pixel column of x = 6 is 51.
  device->SetRenderState(D3DRS_RANGEFOGENABLE, 1);
  device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  DrawSquare(6, 0, 3, 0.2f, 0xFFFFFFFF);
  ExpectFog(51, 32, (12.0f - std::sqrt(45.0f)) / 10.0f, "range");
  device->SetRenderState(D3DRS_RANGEFOGENABLE, 0);
  device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  DrawSquare(6, 0, 3, 0.2f, 0xFFFFFFFF);
  ExpectFog(51, 32, 0.9f, "depth");
}

TEST_F(DeviceFogTest, ExponentialModes) {
  device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_EXP);
  device->SetRenderStateF(D3DRS_FOGDENSITY, 0.2f);
  device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  DrawSquare(0, 0, 5, 0.5f, 0xFFFFFFFF);
  ExpectFog(32, 32, std::exp(-1.0f), "exp");
  device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_EXP2);
  DrawSquare(0, 0, 5, 0.5f, 0xFFFFFFFF);
  ExpectFog(32, 32, std::exp(-1.0f), "exp2");
  DrawSquare(0, 0, 2.5f, 0.5f, 0xFFFFFFFF);
  ExpectFog(32, 32, std::exp(-0.25f), "exp2 nearer");
}

TEST_F(DeviceFogTest, PretransformedVerticesAreNotFogged) {
  device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  DrawRect(0, 0, 64, 64, 0xFFFFFFFF, 0.99f);
  ExpectFog(32, 32, 1.0f, "screen quad");
}

TEST_F(DeviceFogTest, FogOffLeavesColour) {
  device->SetRenderState(D3DRS_FOGENABLE, 0);
  device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  DrawSquare(0, 0, 11, 0.5f, 0xFFFFFFFF);
  Read();
  EXPECT_EQ(Px(32, 32), 0xFFFFFFu);
}

// --- vertex blending ---

class DeviceBlendTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    UseOrtho();
    device->SetTransform(D3DTS_WORLDMATRIX(0), MatrixTranslation(-0.5f, 0, 0));
    device->SetTransform(D3DTS_WORLDMATRIX(1), MatrixTranslation(0.5f, 0, 0));
    device->SetTransform(D3DTS_WORLDMATRIX(2), MatrixTranslation(0, 0.5f, 0));
    device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  }
  // A small square at the origin whose vertices all carry the same weights.
  template <int N>
  void DrawWeighted(const float (&w)[N]) {
    struct V {
      float x, y, z, w[N];
      uint32_t c;
    };
    const float e = 0.06f;
    const float xy[6][2] = {{-e, e}, {e, -e}, {-e, -e}, {-e, e}, {e, e}, {e, -e}};
    V v[6];
    for (int i = 0; i < 6; ++i) {
      v[i].x = xy[i][0];
      v[i].y = xy[i][1];
      v[i].z = 1;
      for (int k = 0; k < N; ++k) v[i].w[k] = w[k];
      v[i].c = 0xFFFFFFFF;
    }
    device->SetVertexShader((N == 1 ? D3DFVF_XYZB1 : D3DFVF_XYZB2) | D3DFVF_DIFFUSE);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(V)), D3D_OK);
  }
};

TEST_F(DeviceBlendTest, OneWeightTwoMatrices) {
  device->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_1WEIGHTS);
  DrawWeighted<1>({0.25f});
  Read();
  // 0.25 * (-0.5) + 0.75 * 0.5 = 0.25 -> column 40.
  EXPECT_EQ(Px(40, 32), 0xFFFFFFu);
  EXPECT_EQ(Px(32, 32), 0u);
  EXPECT_EQ(Px(16, 32), 0u);
}

TEST_F(DeviceBlendTest, BlendingOffUsesWorldZeroOnly) {
  device->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
  DrawWeighted<1>({0.25f});
  Read();
  EXPECT_EQ(Px(16, 32), 0xFFFFFFu);
  EXPECT_EQ(Px(40, 32), 0u);
}

TEST_F(DeviceBlendTest, TwoWeightsThreeMatrices) {
  device->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_2WEIGHTS);
  DrawWeighted<2>({0.5f, 0.25f});
  Read();
  // 0.5 * (-0.5, 0) + 0.25 * (0.5, 0) + 0.25 * (0, 0.5) = (-0.125, 0.125) -> pixel (28, 28).
  EXPECT_EQ(Px(28, 28), 0xFFFFFFu);
  EXPECT_EQ(Px(32, 32), 0u);
}

TEST_F(DeviceBlendTest, StoredWeightsBeyondTheBlendCountAreIgnored) {
  device->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_1WEIGHTS);
  DrawWeighted<2>({0.5f, 0.25f});  // second weight unused; matrix 1 gets the remaining 0.5
  Read();
  EXPECT_EQ(Px(32, 32), 0xFFFFFFu);
  EXPECT_EQ(Px(28, 28), 0u);
}

TEST_F(DeviceLightingTest, MaterialSourcesPickTheVertexColourOrTheMaterial) {
  // Head-on directional light, global ambient only; the vertices are green.
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Direction = {0, 0, 1};
  light.Ambient = {0, 0, 0, 0};
  device->SetLight(0, light);
  device->SetRenderState(D3DRS_AMBIENT, 0x00404040);
  const uint32_t fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;
  const float amb = 0x40 / 255.0f;
  device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
  device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  DrawLitSquare(0, 0, 2, 0.1f, fvf, 0xFF00FF00);
  ExpectCentre({0.8f + 0.5f * amb, 0.6f + 0.5f * amb, 0.4f + 0.5f * amb}, "all from the material");
  device->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_COLOR1);
  DrawLitSquare(0, 0, 2, 0.1f, fvf, 0xFF00FF00);
  ExpectCentre({0.8f, 0.6f + amb, 0.4f}, "ambient from the vertex");
  device->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
  device->SetRenderState(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_COLOR1);
  DrawLitSquare(0, 0, 2, 0.1f, fvf, 0xFF0000FF);
  ExpectCentre({0.8f + 0.5f * amb, 0.6f + 0.5f * amb, 1.0f}, "emissive from the vertex");
}

TEST_F(DeviceLightingTest, LocalViewerAimsTheHighlightAtTheEye) {
  // Light from behind the eye onto a square off to one side: from an infinitely far viewer the
  // square mirrors the light straight back; from the eye at the origin it is seen at an angle.
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Direction = {0, 0, 1};
  light.Diffuse = light.Ambient = {0, 0, 0, 0};
  light.Specular = {1, 1, 1, 1};
  device->SetLight(0, light);
  device->SetRenderState(D3DRS_AMBIENT, 0);
  Material m;
  m.Specular = {1, 1, 1, 1};
  m.Power = 20;
  device->SetMaterial(m);
  device->SetRenderState(D3DRS_SPECULARENABLE, 1);
  // The square's centre (pixel 48, 16) lies on the shared edge between (0.4, 0.6, 1) and
  // (0.6, 0.4, 1), which are lit alike.
  const Vector3 eye = gfxutil::Vec3Normalize({-0.4f, -0.6f, -1.0f});
  const Vector3 half = gfxutil::Vec3Normalize({eye.x, eye.y, eye.z - 1.0f});
  const int seen = ToByte(std::pow(-half.z, 20.0f));
  device->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  DrawLitSquare(0.5f, 0.5f, 1, 0.1f);  // local viewer by default
  Read();
  EXPECT_NEAR(static_cast<int>(Red(Px(48, 16))), seen, 2) << "local viewer";
  device->SetRenderState(D3DRS_LOCALVIEWER, 0);
  DrawLitSquare(0.5f, 0.5f, 1, 0.1f);
  Read();
  EXPECT_EQ(Px(48, 16), 0xFFFFFFu) << "distant viewer";
}

}  // namespace
}  // namespace gfxtest
