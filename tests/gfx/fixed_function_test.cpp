// The fixed-function programs' key and uniform values, worked out from the D3D state without GL:
// which program a draw takes, and that a program is sent a uniform group again exactly when its
// values changed (a group left unsent draws with stale lights or fog; one sent needlessly costs
// every draw).
#include "platform/gfx/fixed_function.h"

#include <gtest/gtest.h>

#include <array>

namespace gfx {
namespace {

constexpr uint32_t kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;             // 0x144
constexpr uint32_t kMeshFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;  // 0x152

class FixedFunctionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state.Reset(true, false, 640, 480);
    values.Reset();
  }
  ShaderKey Key(uint32_t fvf, bool textured = true, bool shortcuts = true) const {
    return CFixedFunction::Key(state, fvf, textured, false, shortcuts);
  }
  std::array<uint32_t, kGroupCount> Refresh(uint32_t fvf = kMeshFvf, bool textured = true) {
    values.Refresh(state, fvf, Key(fvf, textured));
    std::array<uint32_t, kGroupCount> serials{};
    for (uint32_t g = 0; g < kGroupCount; ++g) serials[g] = values.Serial(static_cast<UniformGroup>(g));
    return serials;
  }
  // The groups whose serial moved on from `before` in a refresh now.
  std::array<bool, kGroupCount> Moved(const std::array<uint32_t, kGroupCount>& before,
                                      uint32_t fvf = kMeshFvf, bool textured = true) {
    const auto after = Refresh(fvf, textured);
    std::array<bool, kGroupCount> moved{};
    for (uint32_t g = 0; g < kGroupCount; ++g) moved[g] = after[g] != before[g];
    return moved;
  }
  static Light PointLight(float x, float y, float z) {
    Light l;
    l.Type = D3DLIGHT_POINT;
    l.Diffuse = {1, 1, 1, 1};
    l.Position = {x, y, z};
    l.Range = 100;
    return l;
  }

  CStateCache state;
  CFixedFunction values;
};

using Groups = std::array<bool, kGroupCount>;  // transform, light, fog, stage

TEST_F(FixedFunctionTest, EachChangeMovesOnlyTheGroupsItFeeds) {
  auto serials = Refresh();
  EXPECT_EQ(Moved(serials), (Groups{false, false, false, false})) << "nothing changed";

  serials = Refresh();
  state.SetRender(D3DRS_FOGEND, FloatBits(50.0f));
  EXPECT_EQ(Moved(serials), (Groups{false, false, true, false}));

  serials = Refresh();
  state.SetRender(D3DRS_TEXTUREFACTOR, 0x80FF0000u);
  EXPECT_EQ(Moved(serials), (Groups{false, false, false, true}));

  serials = Refresh();
  Material m;
  m.Diffuse = {0.5f, 0.5f, 0.5f, 1};
  state.SetMaterial(m);
  EXPECT_EQ(Moved(serials), (Groups{false, true, false, false}));

  // The light is given in view space, so moving the view moves it too; the same matrix set
  // again counts as a move (the device does not compare matrices on every set).
  serials = Refresh();
  state.SetTransform(D3DTS_VIEW, gfxutil::MatrixTranslation(0, 0, 5));
  EXPECT_EQ(Moved(serials), (Groups{true, true, false, false}));
  serials = Refresh();
  state.SetTransform(D3DTS_WORLD, Matrix{});
  EXPECT_EQ(Moved(serials), (Groups{true, true, false, false}));

  // The viewport feeds the screen mapping of pretransformed vertices only.
  serials = Refresh();
  state.SetViewport(Viewport{0, 0, 320, 240, 0, 1});
  EXPECT_EQ(Moved(serials), (Groups{true, false, false, false}));

  // A state set back to what the program already has moves nothing.
  serials = Refresh();
  state.SetRender(D3DRS_FOGEND, FloatBits(50.0f));
  EXPECT_EQ(Moved(serials), (Groups{false, false, false, false}));

  // The vertex format decides whether the diffuse colour comes from the vertex.
  serials = Refresh(kMeshFvf);
  EXPECT_EQ(Moved(serials, D3DFVF_XYZ | D3DFVF_NORMAL), (Groups{false, true, false, false}));

  // A new device (or a reset one) sends everything again.
  serials = Refresh();
  values.Reset();
  EXPECT_EQ(Moved(serials), (Groups{true, true, true, true}));
}

TEST_F(FixedFunctionTest, TheLowestEnabledLightOfAKnownTypeIsDrawnInViewSpace) {
  state.SetTransform(D3DTS_VIEW, gfxutil::MatrixTranslation(0, 0, 10));
  Light odd = PointLight(0, 0, 0);
  odd.Type = 7;  // not a light type: passed over
  state.SetLight(1, odd);
  state.EnableLight(1, true);
  Light spot = PointLight(1, 2, 3);
  spot.Type = D3DLIGHT_SPOT;
  spot.Direction = {0, 0, 2};
  spot.Theta = 1.0f;
  spot.Phi = 2.0f;
  state.SetLight(3, spot);
  state.EnableLight(3, true);
  state.SetLight(5, PointLight(9, 9, 9));
  state.EnableLight(5, true);
  state.SetLight(0, PointLight(7, 7, 7));  // set but not enabled
  Refresh();

  const auto& l = values.Lights();
  EXPECT_EQ(l.flags[3], static_cast<int32_t>(D3DLIGHT_SPOT));
  EXPECT_FLOAT_EQ(l.position[0], 1);
  EXPECT_FLOAT_EQ(l.position[1], 2);
  EXPECT_FLOAT_EQ(l.position[2], 13);  // moved by the view
  EXPECT_FLOAT_EQ(l.direction[2], 1);  // normalised, not moved
  EXPECT_FLOAT_EQ(l.spot[0], std::cos(0.5f));
  EXPECT_FLOAT_EQ(l.spot[1], std::cos(1.0f));
  EXPECT_TRUE(Key(kMeshFvf).light);

  state.EnableLight(3, false);
  state.EnableLight(5, false);
  Refresh();
  EXPECT_EQ(values.Lights().flags[3], 0) << "no light";
  EXPECT_FALSE(Key(kMeshFvf).light);
}

TEST_F(FixedFunctionTest, VertexColoursFeedTheMaterialOnlyWhereTheFormatHasThem) {
  state.SetRender(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_COLOR2);
  state.SetRender(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_COLOR1);
  Refresh(kMeshFvf | D3DFVF_SPECULAR);
  // diffuse (COLOR1 by default), ambient, specular (COLOR2 by default), emissive
  EXPECT_EQ(values.Lights().source[0], 1);
  EXPECT_EQ(values.Lights().source[1], 2);
  EXPECT_EQ(values.Lights().source[2], 2);
  EXPECT_EQ(values.Lights().source[3], 1);

  Refresh(D3DFVF_XYZ | D3DFVF_NORMAL);  // no colours: the material's own
  for (int i = 0; i < 4; ++i) EXPECT_EQ(values.Lights().source[i], 0) << i;

  state.SetRender(D3DRS_COLORVERTEX, 0);
  Refresh(kMeshFvf | D3DFVF_SPECULAR);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(values.Lights().source[i], 0) << "COLORVERTEX off, " << i;
}

TEST_F(FixedFunctionTest, PretransformedVerticesAreNeitherLitNorFoggedByDistance) {
  state.SetRender(D3DRS_FOGENABLE, 1);
  state.SetRender(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
  ShaderKey key = Key(kScreenFvf);
  EXPECT_TRUE(key.pretransformed);
  EXPECT_FALSE(key.lighting);
  EXPECT_EQ(key.fogMode, 0u);
  EXPECT_EQ(Key(kScreenFvf | D3DFVF_SPECULAR).fogMode, 4u) << "the factor in specular alpha";

  key = Key(kMeshFvf);
  EXPECT_TRUE(key.lighting);
  EXPECT_TRUE(key.hasNormal);
  EXPECT_EQ(key.fogMode, static_cast<uint32_t>(D3DFOG_LINEAR));
  state.SetRender(D3DRS_FOGTABLEMODE, D3DFOG_NONE);
  state.SetRender(D3DRS_FOGVERTEXMODE, D3DFOG_EXP2);
  EXPECT_EQ(Key(kMeshFvf).fogMode, static_cast<uint32_t>(D3DFOG_EXP2))
      << "the vertex mode when no table mode";
  state.SetRender(D3DRS_FOGVERTEXMODE, 9);
  EXPECT_EQ(Key(kMeshFvf).fogMode, 0u) << "an unknown mode is no fog";
}

TEST_F(FixedFunctionTest, BlendingReadsNoMoreWeightsThanTheVerticesStore) {
  const uint32_t twoWeights = D3DFVF_XYZB2 | D3DFVF_NORMAL;
  state.SetRender(D3DRS_VERTEXBLEND, D3DVBF_3WEIGHTS);
  EXPECT_EQ(Key(twoWeights).blendCount, 2u);
  state.SetRender(D3DRS_VERTEXBLEND, D3DVBF_1WEIGHTS);
  EXPECT_EQ(Key(twoWeights).blendCount, 1u);
  state.SetRender(D3DRS_VERTEXBLEND, 255);  // tweening and the like: not blended
  EXPECT_EQ(Key(twoWeights).blendCount, 0u);
  state.SetRender(D3DRS_VERTEXBLEND, D3DVBF_2WEIGHTS);
  EXPECT_EQ(Key(kMeshFvf).blendCount, 0u);
}

// The key's compiled-in stage and the stage uniforms have to agree, or the program draws
// something other than the stage it was chosen for.
TEST_F(FixedFunctionTest, StageFormsAgreeWithTheStageUniforms) {
  // The default stage: texture times diffuse, texture alpha (which shares the modulating program).
  ShaderKey key = Key(kScreenFvf, true);
  EXPECT_EQ(key.colorForm, static_cast<uint32_t>(kModulateStage));
  EXPECT_EQ(key.alphaForm, static_cast<uint32_t>(kModulateStage));
  values.Refresh(state, kScreenFvf, key);
  EXPECT_EQ(values.Stage().stageOff, 0);
  EXPECT_EQ(values.Stage().alpha[0], static_cast<int32_t>(D3DTOP_SELECTARG1))
      << "the operation stays a uniform";

  // Reading a texture with none bound: the stage is off, diffuse passes.
  key = Key(kScreenFvf, false);
  EXPECT_EQ(key.colorForm, static_cast<uint32_t>(kDiffuseStage));
  EXPECT_EQ(key.alphaForm, static_cast<uint32_t>(kDiffuseStage));
  values.Refresh(state, kScreenFvf, key);
  EXPECT_EQ(values.Stage().stageOff, 1);

  // A texture-factor argument is left to the general stage.
  state.SetStage(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
  key = Key(kScreenFvf, true);
  EXPECT_EQ(key.colorForm, static_cast<uint32_t>(kGeneralStage));
  values.Refresh(state, kScreenFvf, key);
  EXPECT_EQ(values.Stage().stageOff, 0);

  // Without the shortcuts every draw takes the general program.
  key = Key(kScreenFvf, true, false);
  EXPECT_EQ(key.colorForm, 0u);
  EXPECT_EQ(key.alphaForm, 0u);
  EXPECT_EQ(key.specularForm, 0u);
  EXPECT_NE(key.Index(), Key(kScreenFvf, true, true).Index());
}

TEST(PlainStageFormTest, OnlyTextureAndDiffuseInPlainOperationsArePlain) {
  EXPECT_EQ(PlainStageForm(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE), kTextureStage);
  EXPECT_EQ(PlainStageForm(D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_CURRENT), kDiffuseStage);
  EXPECT_EQ(PlainStageForm(D3DTOP_MODULATE, D3DTA_DIFFUSE, D3DTA_TEXTURE), kModulateStage);
  EXPECT_EQ(PlainStageForm(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_TEXTURE), kGeneralStage);
  EXPECT_EQ(PlainStageForm(D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_DIFFUSE), kGeneralStage);
  EXPECT_EQ(PlainStageForm(D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_DIFFUSE), kGeneralStage);
  // An argument with a modifier (complement, alpha replicate) is not the plain colour.
  EXPECT_EQ(PlainStageForm(D3DTOP_SELECTARG1, D3DTA_TEXTURE | 0x10, D3DTA_DIFFUSE), kGeneralStage);
}

}  // namespace
}  // namespace gfx
