#include "platform/gfx/gl_device.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/gfx/draw_order.h"
#include "platform/gfx/gl_backend.h"
#include "platform/gfx/gl_fixed_function.h"
#include "platform/gfx/png_writer.h"
#include "platform/os/user_dirs.h"

namespace gfx {

namespace {

// How many vertices a primitive count means, and the GL mode; false for unknown types.
bool PrimitiveShape(uint32_t type, uint32_t count, GLenum& mode, uint32_t& vertices) {
  switch (type) {
    case D3DPT_POINTLIST:
      mode = GL_POINTS;
      vertices = count;
      return true;
    case D3DPT_LINELIST:
      mode = GL_LINES;
      vertices = count * 2;
      return true;
    case D3DPT_LINESTRIP:
      mode = GL_LINE_STRIP;
      vertices = count + 1;
      return true;
    case D3DPT_TRIANGLELIST:
      mode = GL_TRIANGLES;
      vertices = count * 3;
      return true;
    case D3DPT_TRIANGLESTRIP:
      mode = GL_TRIANGLE_STRIP;
      vertices = count + 2;
      return true;
    case D3DPT_TRIANGLEFAN:
      mode = GL_TRIANGLE_FAN;
      vertices = count + 2;
      return true;
    default:
      return false;
  }
}

// The bound buffers' measured ranges: the box around the vertices a run of indices uses.
class CBufferBounds final : public CIndexedBounds {
 public:
  CBufferBounds(const CGlIndexBuffer& indices, const CGlVertexBuffer& vertices, uint32_t baseVertex)
      : indices_(indices), vertices_(vertices), baseVertex_(baseVertex) {}
  bool Box(uint32_t first, uint32_t count, float box[6]) const override {
    uint32_t low = 0, high = 0;
    return indices_.IndexRange(first, count, low, high) &&
           vertices_.Bounds(baseVertex_ + low, baseVertex_ + high, box);
  }

 private:
  const CGlIndexBuffer& indices_;
  const CGlVertexBuffer& vertices_;
  uint32_t baseVertex_;
};

}  // namespace

CGlDevice::CGlDevice(SDL_Window* window, std::unique_ptr<CGlContext> context, uint32_t behaviorFlags)
    : context_(std::move(context)),
      token_(context_->Token()),
      behaviorFlags_(behaviorFlags),
      backBuffer_(window, token_, SoftwareRenderer()),
      pipeline_(token_, counts_) {}

std::unique_ptr<CGlDevice> CGlDevice::Make(SDL_Window* window, std::unique_ptr<CGlContext> context,
                                           const PresentParameters& pp, uint32_t behaviorFlags) {
  std::unique_ptr<CGlDevice> d(new CGlDevice(window, std::move(context), behaviorFlags));
  d->clipControl_ = backend::EnableZeroToOneDepth();
  d->robust_ = backend::ContextIsRobust();
  if (!d->backBuffer_.Create(pp, d->shortcuts_)) return nullptr;

  d->vao_ = GlObject::Make(GlKind::VertexArray, d->token_);
  glBindVertexArray(d->vao_.Id());
  d->ring_.Start(d->token_);
  d->pipeline_.Start();
  const std::string cache = os::CacheHome();
  d->shaders_ = std::make_unique<CShaderCache>(
      d->token_, cache.empty() ? cache : cache + "/" + os::OwnFolderName() + "/gl-programs");
  // A texture changing under gathered draws has them drawn first, with what they saw.
  d->token_->flushOwner = d.get();
  d->token_->flushPending = [](void* owner) { static_cast<CGlDevice*>(owner)->Flush(); };
  d->ResetState();
  SetReorderOpaqueDraws(d->shortcuts_);
  return d;
}

CGlDevice::~CGlDevice() {
  SetReorderOpaqueDraws(false);
  context_->MakeCurrentForTeardown();
  token_->flushPending = nullptr;
  batch_.Clear();
  // GL objects go while the context is still alive; the context member goes last.
  for (auto& t : textures_) t.reset();
  stream_.reset();
  indices_.reset();
  pipeline_.Release();
  for (GlObject& q : fragmentQueries_) q.Release();
  shaders_.reset();
  ring_.Release();
  vao_.Release();
  backBuffer_.Release();
}

void CGlDevice::ResetState() {
  state_.Reset(backBuffer_.Params().EnableAutoDepthStencil,
               (behaviorFlags_ & D3DCREATE_SOFTWARE_VERTEXPROCESSING) != 0, backBuffer_.Width(),
               backBuffer_.Height());
  for (auto& t : textures_) t.reset();
  stream_.reset();
  indices_.reset();
  baseVertex_ = 0;
  fvf_ = 0;
  fixed_.Reset();
  backBuffer_.Bind();
}

void CGlDevice::GetDeviceCaps(Caps& caps) const {
  caps = Caps{};
  caps.MaxVertexBlendMatrices = 4;
}

// --- frame ------------------------------------------------------------------------------------

bool CGlDevice::CheckContextReset() {
  if (!robust_ || contextReset_) return contextReset_;
  const GLenum status = backend::GraphicsResetStatus();
  if (status != GL_NO_ERROR) {
    SDL_Log("gfx: the GL context was reset (0x%x)", status);
    contextReset_ = true;
  }
  return contextReset_;
}

Result CGlDevice::TestCooperativeLevel() {
  // A real context reset loses every GL object; it is reported as lost for good.
  if (CheckContextReset()) return D3DERR_DEVICELOST;
  if (simulatedLost_) return resettable_ ? D3DERR_DEVICENOTRESET : D3DERR_DEVICELOST;
  return D3D_OK;
}

Result CGlDevice::BeginScene() {
  if (inScene_) return D3DERR_INVALIDCALL;
  Flush();
  inScene_ = true;
  ++counts_.scenes;
  if (countFragments_ && fragmentQueries_[0] && !simulatedLost_ && !contextReset_) {
    for (int i = 0; i < 2; ++i)
      if (fragmentQueries_[i]) glBeginQuery(fragmentQueryTargets_[i], fragmentQueries_[i].Id());
    fragmentQueryOpen_ = true;
  }
  return D3D_OK;
}

Result CGlDevice::EndScene() {
  if (!inScene_) return D3DERR_INVALIDCALL;
  Flush();
  inScene_ = false;
  if (fragmentQueryOpen_) {
    // Waits for the scene's rasterisation: counting runs apart from the timed frames.
    uint64_t* const into[2] = {&counts_.fragments, &counts_.fragmentsPassed};
    for (int i = 0; i < 2; ++i) {
      if (!fragmentQueries_[i]) continue;
      glEndQuery(fragmentQueryTargets_[i]);
      *into[i] += backend::QueryResult(fragmentQueries_[i].Id());
    }
    fragmentQueryOpen_ = false;
  }
  return D3D_OK;
}

void CGlDevice::CountWork(bool on) {
  Flush();
  counts_ = WorkCounts{};
  countFragments_ = on;
  if (!on || fragmentQueries_[0]) return;
  fragmentQueryTargets_[0] = backend::FragmentQueryTarget();
  fragmentQueryTargets_[1] = backend::PassedQueryTarget();
  if (fragmentQueryTargets_[0] == 0) return;
  for (int i = 0; i < 2; ++i)
    if (fragmentQueryTargets_[i] != 0) fragmentQueries_[i] = GlObject::Make(GlKind::Query, token_);
}

WorkCounts CGlDevice::TakeWorkCounts() {
  Flush();
  return std::exchange(counts_, WorkCounts{});
}

void CGlDevice::SetDrawing(bool on) {
  Flush();
  drawing_ = on;
}

void CGlDevice::SetShortcuts(bool on) {
  Flush();
  shortcuts_ = on;
  SetReorderOpaqueDraws(on);
  if (!contextReset_) backBuffer_.FollowShortcuts(on);
}

Result CGlDevice::Clear(uint32_t flags, Color color, float z, uint32_t stencil) {
  if ((flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) == 0) return D3DERR_INVALIDCALL;
  if (Dropping()) return D3D_OK;
  Flush();
  backBuffer_.BindForDrawing();
  // D3D clears the viewport's rectangle only.
  const Viewport& vp = state_.GetViewport();
  const uint32_t bbWidth = backBuffer_.Width(), bbHeight = backBuffer_.Height();
  if (vp.X == 0 && vp.Y == 0 && vp.Width == bbWidth && vp.Height == bbHeight) {
    pipeline_.ScissorOff();
  } else {
    pipeline_.ScissorTo(static_cast<GLint>(vp.X), static_cast<GLint>(bbHeight - vp.Y - vp.Height),
                        static_cast<GLsizei>(vp.Width), static_cast<GLsizei>(vp.Height));
  }
  GLbitfield mask = 0;
  if (flags & D3DCLEAR_TARGET) {
    float c[4];
    ColorToFloats(color, c, true);
    glClearColor(c[0], c[1], c[2], c[3]);
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if (flags & D3DCLEAR_ZBUFFER) {
    glClearDepth(std::clamp(z, 0.0f, 1.0f));
    pipeline_.DepthWritesOn();
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if (flags & D3DCLEAR_STENCIL) {
    glClearStencil(static_cast<GLint>(stencil & 0xFF));
    mask |= GL_STENCIL_BUFFER_BIT;
  }
  glClear(mask);
  return D3D_OK;
}

Result CGlDevice::Present() {
  Flush();
  if (CheckContextReset() || simulatedLost_) return D3DERR_DEVICELOST;
  if (!drawing_) return D3D_OK;
  pipeline_.ScissorOff();  // the blit into the window keeps to a scissor too
  backBuffer_.Present();
  return D3D_OK;
}

Result CGlDevice::Reset(const PresentParameters& pp) {
  Flush();
  if (contextReset_) return D3DERR_DEVICELOST;
  if (simulatedLost_ && !resettable_) return D3DERR_DEVICELOST;
  if (!CGlBackBuffer::FormatAllowed(pp)) return D3DERR_INVALIDCALL;
  if (!backBuffer_.Create(pp, shortcuts_)) return D3DERR_INVALIDCALL;
  simulatedLost_ = false;
  inScene_ = false;
  ResetState();
  return D3D_OK;
}

void CGlDevice::SetViewport(const Viewport& vp) {
  // D3D refuses a viewport outside the render target.
  if (vp.Width == 0 || vp.Height == 0 || vp.X + vp.Width > backBuffer_.Width() ||
      vp.Y + vp.Height > backBuffer_.Height())
    return;
  Flush();
  state_.SetViewport(vp);
}

// --- state ------------------------------------------------------------------------------------
// A change that would alter what gathered draws look like sends them first.

void CGlDevice::SetRenderState(RenderState state, uint32_t value) {
  if (state >= D3DRS_MAX) return;
  if (state_.Render(state) != value) Flush();
  state_.SetRender(state, value);
}

uint32_t CGlDevice::GetRenderState(RenderState state) const {
  return state < D3DRS_MAX ? state_.Render(state) : 0;
}

void CGlDevice::SetTextureStageState(uint32_t stage, TextureStageState type, uint32_t value) {
  if (stage >= CStateCache::kStages || type >= D3DTSS_MAX) return;
  if (state_.Stage(stage)[type] != value) Flush();
  state_.SetStage(stage, type, value);
}

uint32_t CGlDevice::GetTextureStageState(uint32_t stage, TextureStageState type) const {
  return (stage < CStateCache::kStages && type < D3DTSS_MAX) ? state_.Stage(stage)[type] : 0;
}

void CGlDevice::SetTransform(TransformState state, const Matrix& m) {
  if (!batch_.Empty()) {
    const Matrix now = state_.Transform(state);
    if (std::memcmp(&now, &m, sizeof m) != 0) Flush();
  }
  state_.SetTransform(state, m);
}

void CGlDevice::MultiplyTransform(TransformState state, const Matrix& m) {
  SetTransform(state, gfxutil::MatrixMultiply(m, state_.Transform(state)));
}

void CGlDevice::SetMaterial(const Material& material) {
  if (std::memcmp(&material, &state_.GetMaterial(), sizeof material) != 0) Flush();
  state_.SetMaterial(material);
}

void CGlDevice::SetLight(uint32_t index, const Light& light) {
  if (index >= CStateCache::kLights) return;
  Flush();
  state_.SetLight(index, light);
}

void CGlDevice::LightEnable(uint32_t index, bool enable) {
  if (index >= CStateCache::kLights) return;
  if (state_.LightOn(index) != enable) Flush();
  state_.EnableLight(index, enable);
}

void CGlDevice::SetTexture(uint32_t stage, CTexture* texture) {
  if (stage >= CStateCache::kStages) return;
  auto* t = dynamic_cast<CGlTexture*>(texture);
  // A texture of another (earlier) device is as good as none.
  textures_[stage] = (t && t->Valid()) ? t->shared_from_this() : nullptr;
}

void CGlDevice::SetStreamSource(CVertexBuffer* vb) {
  auto* b = dynamic_cast<CGlVertexBuffer*>(vb);
  stream_ = b ? b->shared_from_this() : nullptr;
}

void CGlDevice::SetIndices(CIndexBuffer* ib, uint32_t baseVertexIndex) {
  auto* b = dynamic_cast<CGlIndexBuffer*>(ib);
  indices_ = b ? b->shared_from_this() : nullptr;
  baseVertex_ = baseVertexIndex;
}

// --- drawing ----------------------------------------------------------------------------------

bool CGlDevice::Prepare(uint32_t fvf, bool batched) {
  if ((fvf & D3DFVF_POSITION_MASK) == 0) return false;
  const ShaderKey key =
      CFixedFunction::Key(state_, fvf, batched || textures_[0] != nullptr, batched, shortcuts_);
  const size_t built = shaders_->BuiltCount(), compiled = shaders_->CompiledCount();
  GlProgram* p = shaders_->Get(key);
  if (!p) return false;
  if (shaders_->BuiltCount() != built) {
    pipeline_.ProgramBound(p->program.Id());  // building binds it
    ++counts_.programsBuilt;
    counts_.programsCompiled += shaders_->CompiledCount() - compiled;
  }
  pipeline_.UseProgram(p->program.Id());
  fixed_.Refresh(state_, fvf, key);
  UploadFixedFunction(*p, fixed_, state_, clipControl_, counts_);
  pipeline_.ApplyFixedState(state_, backBuffer_.Height());
  const CStateCache::StageStates& stage = state_.Stage(0);
  if (batched) {
    // Both levels set first: setting one binds that texture on unit 0.
    auto* const first = static_cast<CGlTexture*>(batch_.Texture(0));
    auto* const second = static_cast<CGlTexture*>(batch_.Texture(1));
    pipeline_.SetBaseLevel(first, stage, shortcuts_);
    pipeline_.SetBaseLevel(second, stage, shortcuts_);
    pipeline_.BindTexture(0, first, stage, shortcuts_);
    pipeline_.BindTexture(1, second, stage, shortcuts_);
  } else if (key.textured) {
    auto* const texture = static_cast<CGlTexture*>(textures_[0].get());
    pipeline_.SetBaseLevel(texture, stage, shortcuts_);
    pipeline_.BindTexture(0, texture, stage, shortcuts_);
  }
  return true;
}

void CGlDevice::CountDraw(GLenum mode, uint32_t vertices) {
  ++counts_.draws;
  if (mode == GL_TRIANGLES) counts_.triangles += vertices / 3;
  if ((mode == GL_TRIANGLE_STRIP || mode == GL_TRIANGLE_FAN) && vertices >= 3)
    counts_.triangles += vertices - 2;
}

void CGlDevice::Flush() {
  if (batch_.Empty()) return;
  token_->pendingDraws = false;
  const uint32_t stride = batch_.Stride(), count = batch_.Count();
  size_t offset = 0;
  if (!simulatedLost_ && !contextReset_ &&
      ring_.Upload(batch_.Vertices().data(), batch_.Vertices().size(), stride, offset) &&
      Prepare(batch_.Fvf(), true)) {
    pipeline_.BindAttributes(ring_.Id(), batch_.Fvf(), stride, true);
    glDrawArrays(GL_TRIANGLES, static_cast<GLint>(offset / stride), static_cast<GLsizei>(count));
    CountDraw(GL_TRIANGLES, count);
  }
  batch_.Clear();
}

Result CGlDevice::DrawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices,
                                  uint32_t stride) {
  GLenum mode;
  uint32_t count;
  if (!vertices || stride == 0 || !PrimitiveShape(type, primitiveCount, mode, count))
    return D3DERR_INVALIDCALL;
  if (primitiveCount == 0) return D3D_OK;
  if (stride < FvfStride(fvf_) || (stride & 3) != 0) return D3DERR_INVALIDCALL;
  if (Dropping()) return D3D_OK;
  if (shortcuts_ && CDrawBatch::Gathers(state_, fvf_, mode == GL_TRIANGLES, count)) {
    if (!batch_.Takes(fvf_, stride, textures_[0].get())) Flush();
    if (batch_.Empty()) token_->pendingDraws = true;
    batch_.Add(vertices, count, stride, fvf_, textures_[0]);
    if (batch_.Full()) Flush();
    return D3D_OK;
  }
  Flush();
  size_t offset = 0;
  if (!ring_.Upload(vertices, static_cast<size_t>(count) * stride, stride, offset)) return D3DERR_INVALIDCALL;
  if (!Prepare(fvf_)) return D3DERR_INVALIDCALL;
  pipeline_.BindAttributes(ring_.Id(), fvf_, stride);
  glDrawArrays(mode, static_cast<GLint>(offset / stride), static_cast<GLsizei>(count));
  CountDraw(mode, count);
  return D3D_OK;
}

Result CGlDevice::DrawIndexedPrimitive(PrimitiveType type, uint32_t /*minIndex*/, uint32_t /*numVertices*/,
                                       uint32_t startIndex, uint32_t primitiveCount) {
  GLenum mode;
  uint32_t count;
  if (!stream_ || !indices_ || !PrimitiveShape(type, primitiveCount, mode, count)) return D3DERR_INVALIDCALL;
  if (primitiveCount == 0) return D3D_OK;
  if (static_cast<uint64_t>(startIndex) + count > indices_->Count()) return D3DERR_INVALIDCALL;
  if (Dropping()) return D3D_OK;
  const uint32_t fvf = stream_->Fvf();
  const std::vector<IndexRun>& runs = cull_.Plan(state_, fvf, mode == GL_TRIANGLES, startIndex, count,
                                                 shortcuts_, CBufferBounds(*indices_, *stream_, baseVertex_));
  uint32_t shown = 0;
  for (const IndexRun& r : runs) shown += r.count;
  if (shown < count) {
    counts_.culledTriangles += primitiveCount - shown / 3;
    if (shown == 0) {
      ++counts_.culledDraws;
      return D3D_OK;
    }
  }
  Flush();
  if (!Prepare(fvf)) return D3DERR_INVALIDCALL;
  pipeline_.BindAttributes(stream_->Name(), fvf, stream_->Stride());
  if (token_->elementBuffer != indices_->Name()) {
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices_->Name());
    token_->elementBuffer = indices_->Name();
  }
  for (const IndexRun& r : runs) {
    glDrawElementsBaseVertex(mode, static_cast<GLsizei>(r.count), GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(static_cast<uintptr_t>(r.start) * 2),
                             static_cast<GLint>(baseVertex_));
  }
  CountDraw(mode, shown);
  return D3D_OK;
}

// --- resources --------------------------------------------------------------------------------

TexturePtr CGlDevice::CreateTexture(uint32_t width, uint32_t height, uint32_t levels) {
  if (width == 0 || height == 0) return nullptr;
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  if (width > static_cast<uint32_t>(maxSize) || height > static_cast<uint32_t>(maxSize)) return nullptr;
  auto t = std::make_shared<CGlTexture>(width, height, levels, token_);
  if (!t->Valid()) return nullptr;
  return t;
}

VertexBufferPtr CGlDevice::CreateVertexBuffer(uint32_t count, uint32_t fvf) {
  if (count == 0 || FvfStride(fvf) == 0) return nullptr;
  auto b = std::make_shared<CGlVertexBuffer>(count, fvf, token_);
  if (b->Name() == 0) return nullptr;
  return b;
}

IndexBufferPtr CGlDevice::CreateIndexBuffer(uint32_t count) {
  if (count == 0) return nullptr;
  auto b = std::make_shared<CGlIndexBuffer>(count, token_);
  if (b->Name() == 0) return nullptr;
  return b;
}

// --- read-back and tests ----------------------------------------------------------------------

bool CGlDevice::ReadBackBuffer(std::vector<uint32_t>& argb, uint32_t& width, uint32_t& height) {
  Flush();
  return backBuffer_.Read(argb, width, height);
}

bool CGlDevice::ResizeBackBuffer(uint32_t width, uint32_t height) {
  Flush();
  if (contextReset_ || width == 0 || height == 0) return false;
  return backBuffer_.Resize(width, height, shortcuts_);
}

bool CGlDevice::SaveScreenshot(const std::string& pngPath) {
  std::vector<uint32_t> pixels;
  uint32_t w = 0, h = 0;
  return ReadBackBuffer(pixels, w, h) && WritePng(pngPath, pixels.data(), w, h);
}

void CGlDevice::SimulateDeviceLost(bool lost, bool resettable) {
  Flush();
  simulatedLost_ = lost;
  resettable_ = resettable;
}

}  // namespace gfx
