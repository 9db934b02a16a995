#include "platform/gfx/gl_fixed_function.h"

namespace gfx {

namespace {

// D3D's pixel centres sit on integer coordinates, GL's half a pixel further on. Slightly less
// than a half keeps integer-aligned edges off the sample points, so they rasterise exactly.
constexpr float kPixelOffset = 63.0f / 128.0f;

}  // namespace

void UploadFixedFunction(GlProgram& p, const CFixedFunction& values, const CStateCache& state, bool zeroToOne,
                         WorkCounts& counts) {
  if (p.seen[kTransformGroup] != values.Serial(kTransformGroup)) {
    const Viewport& viewport = state.GetViewport();
    glUniformMatrix4fv(p.worldView, 4, GL_FALSE, values.WorldView());
    glUniformMatrix3fv(p.normalMatrix, 1, GL_FALSE, values.NormalMatrix());
    glUniformMatrix4fv(p.projection, 1, GL_FALSE, &state.Projection().m[0][0]);
    const float w = static_cast<float>(viewport.Width), h = static_cast<float>(viewport.Height);
    glUniform4f(p.screen, static_cast<float>(viewport.X) - kPixelOffset,
                static_cast<float>(viewport.Y) - kPixelOffset, 2.0f / w, 2.0f / h);
    glUniform2f(p.pixelShift, 2.0f * kPixelOffset / w, -2.0f * kPixelOffset / h);
    glUniform1i(p.zeroToOne, zeroToOne ? 1 : 0);
    p.seen[kTransformGroup] = values.Serial(kTransformGroup);
    ++counts.uniformUploads;
  }
  if (p.seen[kLightGroup] != values.Serial(kLightGroup)) {
    const CFixedFunction::LightBlock& light = values.Lights();
    glUniform4fv(p.matDiffuse, 1, light.matDiffuse);
    glUniform4fv(p.matAmbient, 1, light.matAmbient);
    glUniform4fv(p.matSpecular, 1, light.matSpecular);
    glUniform4fv(p.matEmissive, 1, light.matEmissive);
    glUniform1f(p.matPower, light.power);
    glUniform4iv(p.matSource, 1, light.source);
    glUniform3fv(p.globalAmbient, 1, light.globalAmbient);
    glUniform4fv(p.lightDiffuse, 1, light.diffuse);
    glUniform4fv(p.lightSpecular, 1, light.specular);
    glUniform4fv(p.lightAmbient, 1, light.ambient);
    glUniform3fv(p.lightPosition, 1, light.position);
    glUniform3fv(p.lightDirection, 1, light.direction);
    glUniform4fv(p.lightAttenuation, 1, light.attenuation);
    glUniform3fv(p.lightSpot, 1, light.spot);
    glUniform4iv(p.lightFlags, 1, light.flags);
    p.seen[kLightGroup] = values.Serial(kLightGroup);
    ++counts.uniformUploads;
  }
  if (p.seen[kFogGroup] != values.Serial(kFogGroup)) {
    const CFixedFunction::FogBlock& fog = values.Fog();
    glUniform4fv(p.fog, 1, fog.fog);
    glUniform1i(p.rangeFog, fog.range);
    glUniform3fv(p.fogColor, 1, fog.color);
    p.seen[kFogGroup] = values.Serial(kFogGroup);
    ++counts.uniformUploads;
  }
  if (p.seen[kStageGroup] != values.Serial(kStageGroup)) {
    const CFixedFunction::StageBlock& stage = values.Stage();
    glUniform3iv(p.colorStage, 1, stage.color);
    glUniform3iv(p.alphaStage, 1, stage.alpha);
    glUniform1i(p.stageOff, stage.stageOff);
    glUniform4fv(p.textureFactor, 1, stage.factor);
    glUniform1i(p.specularAdd, stage.specularAdd);
    glUniform2iv(p.alphaTest, 1, stage.alphaTest);
    p.seen[kStageGroup] = values.Serial(kStageGroup);
    ++counts.uniformUploads;
  }
}

}  // namespace gfx
