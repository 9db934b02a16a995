#include "platform/gfx/fixed_function.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gfx {

uint32_t ShaderKey::Index() const {
  uint32_t i = pretransformed ? 1 : 0;
  i |= (lighting ? 1u : 0u) << 1;
  i |= (light ? 1u : 0u) << 2;
  i |= (hasNormal ? 1u : 0u) << 4;
  i |= (blendCount & 3u) << 5;
  i |= (fogMode & 7u) << 7;
  i |= (textured ? 1u : 0u) << 10;
  i |= (alphaTest ? 1u : 0u) << 11;
  i |= (flat ? 1u : 0u) << 12;
  i |= (colorForm & 3u) << 13;
  i |= (alphaForm & 3u) << 15;
  i |= (specularForm & 3u) << 17;
  i |= (batched ? 1u : 0u) << 19;
  return i;
}

namespace {

void CopyColor(const ColorValue& c, float* out) {
  out[0] = c.r;
  out[1] = c.g;
  out[2] = c.b;
  out[3] = c.a;
}

// A colour operation that reads TEXTURE with nothing bound switches the stage off, so the
// diffuse colour and alpha pass untouched (not a white texture).
bool StageOff(const CStateCache::StageStates& t, bool textured) {
  const uint32_t op = t[D3DTSS_COLOROP];
  const bool readsArg1 = op != D3DTOP_SELECTARG2, readsArg2 = op != D3DTOP_SELECTARG1;
  const bool usesTexture = (readsArg1 && (t[D3DTSS_COLORARG1] & D3DTA_SELECTMASK) == D3DTA_TEXTURE) ||
                           (readsArg2 && (t[D3DTSS_COLORARG2] & D3DTA_SELECTMASK) == D3DTA_TEXTURE);
  return op == D3DTOP_DISABLE || op == 0 || (usesTexture && !textured);
}

}  // namespace

ShaderKey CFixedFunction::Key(const CStateCache& state, uint32_t fvf, bool textured, bool batched,
                              bool shortcuts) {
  ShaderKey key;
  key.pretransformed = (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
  key.lighting = !key.pretransformed && state.Render(D3DRS_LIGHTING) != 0;
  if (key.lighting) {
    key.light = state.ActiveLight() >= 0;
    key.hasNormal = (fvf & D3DFVF_NORMAL) != 0;
  }
  if (!key.pretransformed) {
    const uint32_t vertexBlend = state.Render(D3DRS_VERTEXBLEND);
    const uint32_t blend = vertexBlend <= D3DVBF_3WEIGHTS ? vertexBlend : 0;
    key.blendCount = std::min(blend, FvfBlendWeights(fvf));
  }
  if (state.Render(D3DRS_FOGENABLE)) {
    const bool specular = (fvf & D3DFVF_SPECULAR) != 0;
    uint32_t mode = state.Render(D3DRS_FOGTABLEMODE) != D3DFOG_NONE ? state.Render(D3DRS_FOGTABLEMODE)
                                                                    : state.Render(D3DRS_FOGVERTEXMODE);
    if (mode > D3DFOG_LINEAR) mode = D3DFOG_NONE;
    // Pretransformed vertices carry their own fog factor in specular alpha, if anything.
    if (key.pretransformed || mode == D3DFOG_NONE) mode = specular ? 4 : 0;
    key.fogMode = mode;
  }
  key.textured = textured;
  key.batched = batched;
  key.alphaTest = state.Render(D3DRS_ALPHATESTENABLE) != 0 && state.Render(D3DRS_ALPHAFUNC) != D3DCMP_ALWAYS;
  key.flat = state.Render(D3DRS_SHADEMODE) == D3DSHADE_FLAT;
  if (shortcuts) {
    key.specularForm = state.Render(D3DRS_SPECULARENABLE) != 0 ? 2 : 1;
    // Common stage set-ups compiled in, so fragments skip the general operation's branches.
    const auto& t = state.Stage(0);
    if (StageOff(t, key.textured)) {
      key.colorForm = key.alphaForm = kDiffuseStage;
    } else {
      key.colorForm = PlainStageForm(t[D3DTSS_COLOROP], t[D3DTSS_COLORARG1], t[D3DTSS_COLORARG2]);
      key.alphaForm = t[D3DTSS_ALPHAOP] == D3DTOP_DISABLE
                          ? kDiffuseStage
                          : PlainStageForm(t[D3DTSS_ALPHAOP], t[D3DTSS_ALPHAARG1], t[D3DTSS_ALPHAARG2]);
      // Texture alpha alone and modulated share a program (the operation is a uniform): each
      // program costs a software renderer most of a megabyte.
      if (key.alphaForm == kTextureStage) key.alphaForm = kModulateStage;
    }
  }
  return key;
}

void CFixedFunction::Reset() {
  transformsKnown_ = false;
  for (uint32_t g = 0; g < kGroupCount; ++g) Bump(static_cast<UniformGroup>(g));
}

void CFixedFunction::Refresh(const CStateCache& state, uint32_t fvf, const ShaderKey& key) {
  if (!transformsKnown_ || seenTransforms_ != state.TransformSerial()) {
    for (uint32_t i = 0; i < 4; ++i) {
      const Matrix wv = gfxutil::MatrixMultiply(state.World(i), state.View());
      std::memcpy(worldView_[i], wv.m, sizeof worldView_[i]);
      if (i == 0) {
        Matrix inv;
        gfxutil::MatrixInverse(wv, inv);
        // n' = n * (WV^-1)^T; stored row-major so GLSL reads it as the transpose it needs.
        const Matrix nm = gfxutil::MatrixTranspose(inv);
        for (int r = 0; r < 3; ++r)
          for (int c = 0; c < 3; ++c) normalMatrix_[r * 3 + c] = nm.m[r][c];
      }
    }
    transformsKnown_ = true;
    seenTransforms_ = state.TransformSerial();
    Bump(kTransformGroup);
    Bump(kLightGroup);  // light positions follow the view
  }
  if (seenViewport_ != state.ViewportSerial()) {
    seenViewport_ = state.ViewportSerial();
    Bump(kTransformGroup);  // the screen mapping of pretransformed vertices
  }

  LightBlock lb{};
  const Material& material = state.GetMaterial();
  CopyColor(material.Diffuse, lb.matDiffuse);
  CopyColor(material.Ambient, lb.matAmbient);
  CopyColor(material.Specular, lb.matSpecular);
  CopyColor(material.Emissive, lb.matEmissive);
  lb.power = material.Power;
  // Vertex colours count only with COLORVERTEX on and when the format has them.
  const bool colorVertex = state.Render(D3DRS_COLORVERTEX) != 0;
  auto source = [&](uint32_t rs) -> int32_t {
    const uint32_t s = state.Render(rs);
    if (!colorVertex) return 0;
    if (s == D3DMCS_COLOR1 && (fvf & D3DFVF_DIFFUSE)) return 1;
    if (s == D3DMCS_COLOR2 && (fvf & D3DFVF_SPECULAR)) return 2;
    return 0;
  };
  lb.source[0] = source(D3DRS_DIFFUSEMATERIALSOURCE);
  lb.source[1] = source(D3DRS_AMBIENTMATERIALSOURCE);
  lb.source[2] = source(D3DRS_SPECULARMATERIALSOURCE);
  lb.source[3] = source(D3DRS_EMISSIVEMATERIALSOURCE);
  float amb[4];
  ColorToFloats(state.Render(D3DRS_AMBIENT), amb, false);
  std::memcpy(lb.globalAmbient, amb, sizeof lb.globalAmbient);
  const int li = state.ActiveLight();
  if (li >= 0) {
    const Light& l = state.GetLight(static_cast<uint32_t>(li));
    CopyColor(l.Diffuse, lb.diffuse);
    CopyColor(l.Specular, lb.specular);
    CopyColor(l.Ambient, lb.ambient);
    const Vector3 pos = gfxutil::Vec3TransformCoord(l.Position, state.View());
    const Vector3 dir = gfxutil::Vec3Normalize(gfxutil::Vec3TransformNormal(l.Direction, state.View()));
    lb.position[0] = pos.x;
    lb.position[1] = pos.y;
    lb.position[2] = pos.z;
    lb.direction[0] = dir.x;
    lb.direction[1] = dir.y;
    lb.direction[2] = dir.z;
    lb.attenuation[0] = l.Attenuation0;
    lb.attenuation[1] = l.Attenuation1;
    lb.attenuation[2] = l.Attenuation2;
    lb.attenuation[3] = l.Range;
    lb.spot[0] = std::cos(l.Theta * 0.5f);
    lb.spot[1] = std::cos(l.Phi * 0.5f);
    lb.spot[2] = l.Falloff;
  }
  lb.flags[0] = state.Render(D3DRS_NORMALIZENORMALS) != 0;
  lb.flags[1] = state.Render(D3DRS_SPECULARENABLE) != 0;
  lb.flags[2] = state.Render(D3DRS_LOCALVIEWER) != 0;
  lb.flags[3] = li >= 0 ? static_cast<int32_t>(state.GetLight(static_cast<uint32_t>(li)).Type) : 0;
  if (std::memcmp(&lb, &light_, sizeof lb) != 0) {
    light_ = lb;
    Bump(kLightGroup);
  }

  FogBlock fb{};
  const float start = BitsFloat(state.Render(D3DRS_FOGSTART)), end = BitsFloat(state.Render(D3DRS_FOGEND));
  fb.fog[0] = start;
  fb.fog[1] = end;
  fb.fog[2] = end != start ? 1.0f / (end - start) : 3.0e38f;
  fb.fog[3] = BitsFloat(state.Render(D3DRS_FOGDENSITY));
  ColorToFloats(state.Render(D3DRS_FOGCOLOR), fb.color, false);
  fb.range = state.Render(D3DRS_RANGEFOGENABLE) != 0;
  if (std::memcmp(&fb, &fog_, sizeof fb) != 0) {
    fog_ = fb;
    Bump(kFogGroup);
  }

  StageBlock sb{};
  const auto& t = state.Stage(0);
  sb.color[0] = static_cast<int32_t>(t[D3DTSS_COLOROP]);
  sb.color[1] = static_cast<int32_t>(t[D3DTSS_COLORARG1]);
  sb.color[2] = static_cast<int32_t>(t[D3DTSS_COLORARG2]);
  sb.alpha[0] = static_cast<int32_t>(t[D3DTSS_ALPHAOP]);
  sb.alpha[1] = static_cast<int32_t>(t[D3DTSS_ALPHAARG1]);
  sb.alpha[2] = static_cast<int32_t>(t[D3DTSS_ALPHAARG2]);
  sb.stageOff = StageOff(t, key.textured);
  sb.specularAdd = state.Render(D3DRS_SPECULARENABLE) != 0;
  sb.alphaTest[0] = static_cast<int32_t>(state.Render(D3DRS_ALPHAFUNC));
  sb.alphaTest[1] = static_cast<int32_t>(state.Render(D3DRS_ALPHAREF) & 0xFF);
  ColorToFloats(state.Render(D3DRS_TEXTUREFACTOR), sb.factor, true);
  if (std::memcmp(&sb, &stage_, sizeof sb) != 0) {
    stage_ = sb;
    Bump(kStageGroup);
  }
}

}  // namespace gfx
