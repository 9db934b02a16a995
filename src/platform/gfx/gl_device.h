// CDevice on OpenGL 3.3 core: D3D8 state kept as D3D values, turned into GL state, program
// choice and uniforms just before each draw, sending only what changed.
#pragma once
#include <SDL.h>

#include <array>
#include <memory>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfx/device_test_hooks.h"
#include "platform/gfx/gl_api.h"
#include "platform/gfx/gl_index_buffer.h"
#include "platform/gfx/gl_object.h"
#include "platform/gfx/gl_shader_cache.h"
#include "platform/gfx/gl_texture.h"
#include "platform/gfx/gl_vertex_buffer.h"

namespace gfx {

// The SDL GL context; clears the shared token before the context goes so that resources
// outliving the device skip their GL deletes.
class CGlContext {
 public:
  CGlContext(SDL_Window* window, SDL_GLContext context);
  ~CGlContext();
  CGlContext(const CGlContext&) = delete;
  CGlContext& operator=(const CGlContext&) = delete;
  const ContextToken& Token() const { return token_; }
  // Makes this context current for the teardown and hands the current one back afterwards
  // (a device created while this one still existed keeps working).
  void MakeCurrentForTeardown();

 private:
  SDL_Window* window_;
  SDL_GLContext context_;
  SDL_Window* restoreWindow_;  // current when this one was made, or at teardown
  SDL_GLContext restoreContext_;
  ContextToken token_;
};

class CGlDevice final : public CDevice, public CDeviceTestHooks {
 public:
  // nullptr when the context lacks what the device needs or the back buffer cannot be made.
  static std::unique_ptr<CGlDevice> Make(SDL_Window* window, std::unique_ptr<CGlContext> context,
                                         const PresentParameters& pp, uint32_t behaviorFlags);
  ~CGlDevice() override;

  void GetDeviceCaps(Caps& caps) const override;
  Result TestCooperativeLevel() override;
  Result BeginScene() override;
  Result EndScene() override;
  Result Clear(uint32_t flags, Color color, float z, uint32_t stencil) override;
  Result Present() override;
  Result Reset(const PresentParameters& pp) override;
  void SetViewport(const Viewport& vp) override;
  Viewport GetViewport() const override { return viewport_; }

  void SetRenderState(RenderState state, uint32_t value) override;
  uint32_t GetRenderState(RenderState state) const override;
  void SetTextureStageState(uint32_t stage, TextureStageState type, uint32_t value) override;
  uint32_t GetTextureStageState(uint32_t stage, TextureStageState type) const override;
  void SetTransform(TransformState state, const Matrix& m) override;
  Matrix GetTransform(TransformState state) const override;
  void MultiplyTransform(TransformState state, const Matrix& m) override;
  void SetMaterial(const Material& material) override;
  Material GetMaterial() const override { return material_; }
  void SetLight(uint32_t index, const Light& light) override;
  void LightEnable(uint32_t index, bool enable) override;
  void SetTexture(uint32_t stage, CTexture* texture) override;
  void SetVertexShader(uint32_t fvf) override { fvf_ = fvf; }

  Result DrawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices,
                         uint32_t stride) override;
  void SetStreamSource(CVertexBuffer* vb) override;
  void SetIndices(CIndexBuffer* ib, uint32_t baseVertexIndex) override;
  Result DrawIndexedPrimitive(PrimitiveType type, uint32_t minIndex, uint32_t numVertices,
                              uint32_t startIndex, uint32_t primitiveCount) override;

  TexturePtr CreateTexture(uint32_t width, uint32_t height, uint32_t levels) override;
  VertexBufferPtr CreateVertexBuffer(uint32_t count, uint32_t fvf) override;
  IndexBufferPtr CreateIndexBuffer(uint32_t count) override;

  bool SaveScreenshot(const std::string& pngPath) override;
  void SetDrawing(bool on) override;
  bool ResizeBackBuffer(uint32_t width, uint32_t height) override;

  // CDeviceTestHooks
  bool ReadBackBuffer(std::vector<uint32_t>& argb, uint32_t& width, uint32_t& height) override;
  void SimulateDeviceLost(bool lost, bool resettable) override;
  void CapturePresents(bool on) override { capture_ = on; }
  void ScribbleAfterSwap(bool on) override { scribble_ = on; }
  bool ReadLastPresent(std::vector<uint32_t>& argb, uint32_t& width, uint32_t& height) override;
  void CountWork(bool on) override;
  WorkCounts TakeWorkCounts() override;
  void SetShortcuts(bool on) override;

 private:
  static constexpr uint32_t kStages = 8;
  static constexpr uint32_t kLights = 8;

  // What GL currently has, so only differences are sent.
  struct GlShadow {
    bool depthTest = false, depthMask = true, blend = false, cull = false, scissor = false;
    GLenum depthFunc = GL_LESS, blendSrc = GL_ONE, blendDst = GL_ZERO, cullFace = GL_BACK,
           polygonMode = GL_FILL;
    GLuint program = 0, sampler[2] = {0, 0};
    GLint viewport[4] = {0, 0, 0, 0};
    float depthRange[2] = {0, 1};
  };
  struct SamplerEntry {
    uint32_t key[7] = {};
    GlObject sampler;
  };
  // Uniform contents whose change bumps a group serial.
  struct LightBlock {
    float matDiffuse[4], matAmbient[4], matSpecular[4], matEmissive[4], power;
    int32_t source[4];
    float globalAmbient[3];
    float diffuse[4], specular[4], ambient[4], position[3], direction[3], attenuation[4], spot[3];
    int32_t flags[4];
  };
  struct FogBlock {
    float fog[4], color[3];
    int32_t range;
  };
  struct StageBlock {
    int32_t color[3], alpha[3], stageOff, specularAdd, alphaTest[2];
    float factor[4];
  };

  // Small triangle lists gathered into one draw; vertices carry a texture slot (0 none, 1 or 2).
  struct Batch {
    std::vector<unsigned char> vertices;
    uint32_t fvf = 0, stride = 0, count = 0;
    std::shared_ptr<CGlTexture> textures[2];
  };
  static constexpr uint32_t kGatherVertices = 96, kBatchVertices = 6144;

  CGlDevice(SDL_Window* window, std::unique_ptr<CGlContext> context, uint32_t behaviorFlags);
  bool CreateBackBuffer(const PresentParameters& pp);
  bool MakeOwnBackBuffer(uint32_t w, uint32_t h);
  bool WindowHoldsBackBuffer(const PresentParameters& pp, uint32_t w, uint32_t h) const;
  // Where the back buffer lives: the window's own framebuffer, or ours.
  GLuint BackFramebuffer() const { return direct_ ? 0 : fbo_.Id(); }
  void ResetState();
  bool Prepare(uint32_t fvf, const Batch* batch = nullptr);
  void BindAttributes(GLuint buffer, uint32_t fvf, uint32_t stride, bool slot = false);
  void ApplyFixedState();
  void ApplyTexture(bool textured);
  void BindTextureUnit(GLuint unit, CGlTexture* texture);
  bool LastLevelOnly(const CGlTexture& texture) const;
  void SetBaseLevel(CGlTexture* texture) const;
  bool RingUpload(const void* data, size_t bytes, uint32_t stride, size_t& offset);
  bool StageReadsTexture() const;
  bool BoxOutsideView(const Matrix& m, const float box[6]) const;
  void PlanIndexedDraw(uint32_t fvf, GLenum mode, uint32_t startIndex, uint32_t count);
  bool Gather(const void* vertices, uint32_t count, uint32_t stride);
  void Flush();
  GLuint Sampler(bool lastLevelOnly);
  void UploadUniforms(GlProgram& p, uint32_t fvf, const ShaderKey& key);
  void Bump(UniformGroup g) { serial_[g] = ++nextSerial_; }
  int ActiveLight() const;
  void SetGlViewport(GLint x, GLint y, GLint w, GLint h);
  void CountDraw(GLenum mode, uint32_t vertices);
  bool CheckContextReset();
  bool ReadFramebuffer(GLuint fbo, int width, int height, std::vector<uint32_t>& argb) const;

  SDL_Window* window_;
  std::unique_ptr<CGlContext> context_;
  ContextToken token_;
  uint32_t behaviorFlags_;
  PresentParameters pp_;
  uint32_t bbWidth_ = 0, bbHeight_ = 0;
  bool clipControl_ = false, robust_ = false, software_ = false;
  bool direct_ = false;  // drawing straight into the window's back buffer
  GlObject fbo_, colorBuffer_, depthBuffer_, vao_, ring_;
  size_t ringSize_ = 0, ringOffset_ = 0;
  std::unique_ptr<CShaderCache> shaders_;
  std::vector<SamplerEntry> samplers_;
  size_t samplerNext_ = 0;

  // D3D state
  std::array<uint32_t, D3DRS_MAX> rs_{};
  std::array<std::array<uint32_t, D3DTSS_MAX>, kStages> tss_{};
  Matrix view_, projection_, world_[4];
  Material material_;
  std::array<Light, kLights> lights_{};
  std::array<bool, kLights> lightOn_{};
  std::array<std::shared_ptr<CGlTexture>, kStages> textures_{};
  std::shared_ptr<CGlVertexBuffer> stream_;
  std::shared_ptr<CGlIndexBuffer> indices_;
  uint32_t baseVertex_ = 0;
  uint32_t fvf_ = 0;
  Viewport viewport_;
  bool inScene_ = false;

  // derived state
  bool transformDirty_ = true;
  float worldView_[4][16] = {};
  float normalMatrix_[9] = {};
  std::array<uint32_t, kGroupCount> serial_{};
  uint32_t nextSerial_ = 0;
  LightBlock light_{};
  FogBlock fog_{};
  StageBlock stage_{};
  GlShadow gl_;
  uint32_t attribFvf_ = 0, attribStride_ = 0;  // with token_->attribBuffer
  bool attribSlot_ = false;
  Batch batch_;

  // loss
  bool simulatedLost_ = false, resettable_ = false, contextReset_ = false;

  std::array<bool, D3DRS_MAX> warned_{};
  bool warnedLights_ = false;

  // counting and shortcuts
  WorkCounts counts_;
  // Indices per piece a large triangle list is culled by: 32 triangles, two of the index
  // buffer's measured runs of indices.
  static constexpr uint32_t kCullPiece = 96;
  struct IndexRun {
    uint32_t start, count;
  };
  std::vector<IndexRun> runs_;  // what of the current indexed draw goes to GL
  bool drawing_ = true;
  bool countFragments_ = false, fragmentQueryOpen_ = false;
  // Fragments shaded, and those that passed the depth test where the first counts something else.
  GLenum fragmentQueryTargets_[2] = {0, 0};
  GlObject fragmentQueries_[2];
  bool shortcuts_ = true;

  bool capture_ = false;
  bool scribble_ = false;
  std::vector<uint32_t> presented_;
  uint32_t presentedWidth_ = 0, presentedHeight_ = 0;
};

}  // namespace gfx
