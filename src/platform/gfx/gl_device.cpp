#include "platform/gfx/gl_device.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/gfx/draw_order.h"
#include "platform/gfx/gl_backend.h"
#include "platform/gfx/png_writer.h"
#include "platform/gfx/present_rect.h"
#include "platform/os/host_loop.h"
#include "platform/os/sdl_internal.h"
#include "platform/os/user_dirs.h"

namespace gfx {

namespace {

// D3D's pixel centres sit on integer coordinates, GL's half a pixel further on. Slightly less
// than a half keeps integer-aligned edges off the sample points, so they rasterise exactly.
constexpr float kPixelOffset = 63.0f / 128.0f;
// A frame's memory draws (text, particles, gathered draws) take tens of kilobytes; the ring is
// renewed when full, so a larger one only holds memory.
constexpr size_t kRingStart = 256u << 10;

void ColorToFloats(uint32_t c, float* out, bool withAlpha) {
  out[0] = ((c >> 16) & 0xFF) / 255.0f;
  out[1] = ((c >> 8) & 0xFF) / 255.0f;
  out[2] = (c & 0xFF) / 255.0f;
  if (withAlpha) out[3] = ((c >> 24) & 0xFF) / 255.0f;
}

void CopyColor(const ColorValue& c, float* out) {
  out[0] = c.r;
  out[1] = c.g;
  out[2] = c.b;
  out[3] = c.a;
}

GLenum BlendFactor(uint32_t b, bool source) {
  switch (b) {
    case D3DBLEND_ZERO:
      return GL_ZERO;
    case D3DBLEND_ONE:
      return GL_ONE;
    case D3DBLEND_SRCCOLOR:
      return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
      return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
      return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
      return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
      return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
      return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
      return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
      return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
      return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BOTHSRCALPHA:
      return source ? GL_SRC_ALPHA : GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_BOTHINVSRCALPHA:
      return source ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
    default:
      return source ? GL_ONE : GL_ZERO;
  }
}

GLenum AddressMode(uint32_t a) {
  switch (a) {
    case D3DTADDRESS_WRAP:
      return GL_REPEAT;
    case D3DTADDRESS_MIRROR:
      return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_BORDER:
      return GL_CLAMP_TO_BORDER;
    default:
      return GL_CLAMP_TO_EDGE;
  }
}

bool ColorFormat(uint32_t f) {
  switch (f) {
    case D3DFMT_R8G8B8:
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
      return true;
    default:
      return false;
  }
}

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

// The plain form of one stage-0 operation (colour or alpha), or the general stage. At stage 0
// CURRENT is the diffuse colour; an argument with a modifier is left to the general stage.
StageForm PlainStageForm(uint32_t op, uint32_t arg1, uint32_t arg2) {
  auto form = [](uint32_t arg) {
    if (arg == D3DTA_DIFFUSE || arg == D3DTA_CURRENT) return kDiffuseStage;
    return arg == D3DTA_TEXTURE ? kTextureStage : kGeneralStage;
  };
  if (op == D3DTOP_SELECTARG1) return form(arg1);
  if (op == D3DTOP_SELECTARG2) return form(arg2);
  if (op == D3DTOP_MODULATE) {
    const StageForm a = form(arg1), b = form(arg2);
    if ((a == kTextureStage && b == kDiffuseStage) || (a == kDiffuseStage && b == kTextureStage))
      return kModulateStage;
  }
  return kGeneralStage;
}

bool SoftwareRenderer(const char* renderer) {
  if (!renderer) return true;
  return std::strstr(renderer, "llvmpipe") || std::strstr(renderer, "softpipe") ||
         std::strstr(renderer, "Software") || std::strstr(renderer, "swrast");
}

}  // namespace

// ---------------------------------------------------------------------------------------------

CGlContext::CGlContext(SDL_Window* window, SDL_GLContext context)
    : window_(window),
      context_(context),
      restoreWindow_(SDL_GL_GetCurrentWindow()),
      restoreContext_(SDL_GL_GetCurrentContext()),
      token_(std::make_shared<GlShared>()) {}

void CGlContext::MakeCurrentForTeardown() {
  restoreContext_ = SDL_GL_GetCurrentContext();
  restoreWindow_ = SDL_GL_GetCurrentWindow();
  SDL_GL_MakeCurrent(window_, context_);
}

CGlContext::~CGlContext() {
  token_->alive = false;
  SDL_GL_DeleteContext(context_);
  if (restoreContext_ && restoreContext_ != context_) SDL_GL_MakeCurrent(restoreWindow_, restoreContext_);
}

// ---------------------------------------------------------------------------------------------

bool CDevice::GetAdapterDisplayMode(Format& format) {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return false;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
  const int bits = SDL_BITSPERPIXEL(mode.format);
  format = bits == 16 ? D3DFMT_R5G6B5 : bits == 15 ? D3DFMT_X1R5G5B5 : D3DFMT_X8R8G8B8;
  return true;
}

bool CDevice::IsBackBufferFormat(uint32_t format) { return ColorFormat(format); }

std::unique_ptr<CDevice> CDevice::Create(const PresentParameters& pp, DeviceType type,
                                         uint32_t behaviorFlags) {
  SDL_Window* window = os::internal::MainWindow();
  if (!window) return nullptr;
  // Exactly one kind of vertex processing, as D3D insists.
  const uint32_t vp =
      behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                       D3DCREATE_MIXED_VERTEXPROCESSING);
  if (vp != D3DCREATE_SOFTWARE_VERTEXPROCESSING && vp != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
      vp != D3DCREATE_MIXED_VERTEXPROCESSING) {
    return nullptr;
  }
  if (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF && type != D3DDEVTYPE_SW) return nullptr;
  if (pp.Windowed ? (pp.BackBufferFormat != D3DFMT_UNKNOWN && !ColorFormat(pp.BackBufferFormat))
                  : !ColorFormat(pp.BackBufferFormat)) {
    return nullptr;
  }

  backend::RequestContext(type == D3DDEVTYPE_HAL);
  SDL_Window* const previousWindow = SDL_GL_GetCurrentWindow();
  SDL_GLContext const previousContext = SDL_GL_GetCurrentContext();
  SDL_GLContext ctx = SDL_GL_CreateContext(window);
  if (!ctx) {
    // Robustness is a nicety: drivers without it still draw.
    backend::RequestPlainContext();
    ctx = SDL_GL_CreateContext(window);
  }
  backend::RequestPlainContext();
  if (!ctx) {
    SDL_Log("gfx: no GL context of the kind the device needs: %s", SDL_GetError());
    if (previousContext) SDL_GL_MakeCurrent(previousWindow, previousContext);
    return nullptr;
  }
  SDL_GL_MakeCurrent(previousWindow, previousContext);  // creating made the new one current
  auto context = std::make_unique<CGlContext>(window, ctx);
  if (SDL_GL_MakeCurrent(window, ctx) != 0) return nullptr;
  if (!backend::ContextUsable()) return nullptr;
  const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  if (type == D3DDEVTYPE_HAL && SoftwareRenderer(renderer)) return nullptr;
  return CGlDevice::Make(window, std::move(context), pp, behaviorFlags);
}

// ---------------------------------------------------------------------------------------------

CGlDevice::CGlDevice(SDL_Window* window, std::unique_ptr<CGlContext> context, uint32_t behaviorFlags)
    : window_(window),
      context_(std::move(context)),
      token_(context_->Token()),
      behaviorFlags_(behaviorFlags) {}

std::unique_ptr<CGlDevice> CGlDevice::Make(SDL_Window* window, std::unique_ptr<CGlContext> context,
                                           const PresentParameters& pp, uint32_t behaviorFlags) {
  std::unique_ptr<CGlDevice> d(new CGlDevice(window, std::move(context), behaviorFlags));
  d->clipControl_ = backend::EnableZeroToOneDepth();
  d->robust_ = backend::ContextIsRobust();
  d->software_ = SoftwareRenderer(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
  if (!d->CreateBackBuffer(pp)) return nullptr;

  d->vao_ = GlObject::Make(GlKind::VertexArray, d->token_);
  glBindVertexArray(d->vao_.Id());
  d->ring_ = GlObject::Make(GlKind::Buffer, d->token_);
  d->ringSize_ = kRingStart;
  glBindBuffer(GL_ARRAY_BUFFER, d->ring_.Id());
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(d->ringSize_), nullptr, GL_STREAM_DRAW);
  d->token_->arrayBuffer = d->ring_.Id();
  // Values an attribute takes when the vertex format lacks it: no normal, white diffuse,
  // black specular with a fog factor of 1.
  glVertexAttrib4f(1, 0, 0, 0, 0);
  glVertexAttrib4f(2, 0, 0, 0, 0);
  glVertexAttrib4f(3, 1, 1, 1, 1);
  glVertexAttrib4f(4, 0, 0, 0, 1);
  glVertexAttrib4f(5, 0, 0, 0, 1);

  // D3D's fixed conventions, set once.
  glFrontFace(GL_CW);
  glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
  glActiveTexture(GL_TEXTURE0);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  // Bring GL in line with the shadow's starting values.
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  glDepthFunc(GL_LESS);
  glDisable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ZERO);
  glDisable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glDisable(GL_SCISSOR_TEST);
  glDepthRange(0, 1);
  glUseProgram(0);
  glBindSampler(0, 0);
  glBindSampler(1, 0);
  d->gl_ = GlShadow{};
  const std::string cache = os::CacheHome();
  d->shaders_ = std::make_unique<CShaderCache>(
      d->token_, cache.empty() ? cache : cache + "/" + os::OwnFolderName() + "/gl-programs");
  // A texture changing under gathered draws has them drawn first, with what they saw.
  d->token_->flushOwner = d.get();
  d->token_->flushPending = [](void* owner) { static_cast<CGlDevice*>(owner)->Flush(); };
  d->samplers_.reserve(16);
  d->ResetState();
  SetReorderOpaqueDraws(d->shortcuts_);
  return d;
}

CGlDevice::~CGlDevice() {
  SetReorderOpaqueDraws(false);
  context_->MakeCurrentForTeardown();
  token_->flushPending = nullptr;
  batch_ = Batch{};
  // GL objects go while the context is still alive; the context member goes last.
  for (auto& t : textures_) t.reset();
  stream_.reset();
  indices_.reset();
  samplers_.clear();
  for (GlObject& q : fragmentQueries_) q.Release();
  shaders_.reset();
  ring_.Release();
  vao_.Release();
  fbo_.Release();
  colorBuffer_.Release();
  depthBuffer_.Release();
}

bool CGlDevice::CreateBackBuffer(const PresentParameters& pp) {
  uint32_t w = pp.BackBufferWidth, h = pp.BackBufferHeight;
  if (pp.Windowed && (w == 0 || h == 0)) {
    // D3D takes the window's client area for a zero size.
    int ww = 0, wh = 0;
    SDL_GetWindowSize(window_, &ww, &wh);
    if (w == 0) w = static_cast<uint32_t>(std::max(ww, 1));
    if (h == 0) h = static_cast<uint32_t>(std::max(wh, 1));
  }
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
  if (w == 0 || h == 0 || w > static_cast<uint32_t>(maxSize) || h > static_cast<uint32_t>(maxSize))
    return false;

  const bool direct = WindowHoldsBackBuffer(pp, w, h);
  if (direct) {
    fbo_.Release();
    colorBuffer_.Release();
    depthBuffer_.Release();
  } else if (!MakeOwnBackBuffer(w, h)) {
    glBindFramebuffer(GL_FRAMEBUFFER, BackFramebuffer());
    return false;
  }
  direct_ = direct;
  glBindFramebuffer(GL_FRAMEBUFFER, BackFramebuffer());
  bbWidth_ = w;
  bbHeight_ = h;
  pp_ = pp;
  pp_.BackBufferWidth = w;
  pp_.BackBufferHeight = h;
  // Windowed presents are immediate in D3D8; full screen waits for the refresh unless told not to.
  SDL_GL_SetSwapInterval(pp.Windowed || pp.FullScreen_PresentationInterval == 0x80000000u ? 0 : 1);
  return true;
}

// A software rasteriser pays for the copy from our framebuffer to the window as for a whole
// screen of drawing, and must finish the frame before it can start it; so when the window's
// buffer matches the back buffer, it is drawn into directly. Only there: its back buffer keeps
// the picture after a swap (a screenshot between frames reads it), which a GPU's need not.
bool CGlDevice::WindowHoldsBackBuffer(const PresentParameters& pp, uint32_t w, uint32_t h) const {
  if (!shortcuts_ || !software_ || pp.BackBufferFormat == D3DFMT_A8R8G8B8) return false;
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(window_, &dw, &dh);
  return static_cast<uint32_t>(dw) == w && static_cast<uint32_t>(dh) == h && backend::WindowDepthStencil();
}

bool CGlDevice::MakeOwnBackBuffer(uint32_t w, uint32_t h) {
  GlObject color = GlObject::Make(GlKind::Renderbuffer, token_);
  glBindRenderbuffer(GL_RENDERBUFFER, color.Id());
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, static_cast<GLsizei>(w), static_cast<GLsizei>(h));
  GlObject depth = GlObject::Make(GlKind::Renderbuffer, token_);
  glBindRenderbuffer(GL_RENDERBUFFER, depth.Id());
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, static_cast<GLsizei>(w),
                        static_cast<GLsizei>(h));
  GlObject fbo = GlObject::Make(GlKind::Framebuffer, token_);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo.Id());
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color.Id());
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth.Id());
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
  fbo_ = std::move(fbo);
  colorBuffer_ = std::move(color);
  depthBuffer_ = std::move(depth);
  return true;
}

void CGlDevice::ResetState() {
  rs_.fill(0);
  rs_[D3DRS_ZENABLE] = pp_.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
  rs_[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs_[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs_[D3DRS_ZWRITEENABLE] = 1;
  rs_[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs_[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs_[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs_[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs_[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs_[D3DRS_FOGSTART] = FloatBits(0.0f);
  rs_[D3DRS_FOGEND] = FloatBits(1.0f);
  rs_[D3DRS_FOGDENSITY] = FloatBits(1.0f);
  rs_[D3DRS_LIGHTING] = 1;
  rs_[D3DRS_COLORVERTEX] = 1;
  rs_[D3DRS_LOCALVIEWER] = 1;
  rs_[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
  rs_[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  rs_[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  rs_[D3DRS_SOFTWAREVERTEXPROCESSING] = (behaviorFlags_ & D3DCREATE_SOFTWARE_VERTEXPROCESSING) ? 1 : 0;
  for (uint32_t s = 0; s < kStages; ++s) {
    auto& t = tss_[s];
    t.fill(0);
    t[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    t[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    t[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    t[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    t[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    t[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    t[D3DTSS_TEXCOORDINDEX] = s;
    t[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
    t[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
    t[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
    t[D3DTSS_MINFILTER] = D3DTEXF_POINT;
    t[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
    t[D3DTSS_MAXANISOTROPY] = 1;
  }
  view_ = projection_ = Matrix{};
  for (auto& w : world_) w = Matrix{};
  material_ = Material{};
  lights_.fill(Light{});
  lightOn_.fill(false);
  for (auto& t : textures_) t.reset();
  stream_.reset();
  indices_.reset();
  baseVertex_ = 0;
  fvf_ = 0;
  viewport_ = Viewport{0, 0, bbWidth_, bbHeight_, 0.0f, 1.0f};
  transformDirty_ = true;
  for (uint32_t g = 0; g < kGroupCount; ++g) Bump(static_cast<UniformGroup>(g));
  glBindFramebuffer(GL_FRAMEBUFFER, BackFramebuffer());
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
  // The window's buffer is one of the shortcuts; switching starts the back buffer anew.
  if (!contextReset_ && direct_ != WindowHoldsBackBuffer(pp_, bbWidth_, bbHeight_)) CreateBackBuffer(pp_);
}

void CGlDevice::SetGlViewport(GLint x, GLint y, GLint w, GLint h) {
  if (gl_.viewport[0] != x || gl_.viewport[1] != y || gl_.viewport[2] != w || gl_.viewport[3] != h) {
    glViewport(x, y, w, h);
    gl_.viewport[0] = x;
    gl_.viewport[1] = y;
    gl_.viewport[2] = w;
    gl_.viewport[3] = h;
    ++counts_.stateChanges;
  }
}

Result CGlDevice::Clear(uint32_t flags, Color color, float z, uint32_t stencil) {
  if ((flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) == 0) return D3DERR_INVALIDCALL;
  // D3D drops work on a lost device quietly.
  if (simulatedLost_ || contextReset_ || !drawing_) return D3D_OK;
  Flush();
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, BackFramebuffer());
  // D3D clears the viewport's rectangle only.
  const GLint x = static_cast<GLint>(viewport_.X);
  const GLint y = static_cast<GLint>(bbHeight_ - viewport_.Y - viewport_.Height);
  const bool whole =
      viewport_.X == 0 && viewport_.Y == 0 && viewport_.Width == bbWidth_ && viewport_.Height == bbHeight_;
  if (!whole) {
    glScissor(x, y, static_cast<GLint>(viewport_.Width), static_cast<GLint>(viewport_.Height));
    if (!gl_.scissor) glEnable(GL_SCISSOR_TEST);
    gl_.scissor = true;
  } else if (gl_.scissor) {
    glDisable(GL_SCISSOR_TEST);
    gl_.scissor = false;
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
    if (!gl_.depthMask) {
      glDepthMask(GL_TRUE);
      gl_.depthMask = true;
    }
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
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(window_, &dw, &dh);
  if (gl_.scissor) {
    glDisable(GL_SCISSOR_TEST);
    gl_.scissor = false;
  }
  if (direct_ && (static_cast<uint32_t>(dw) != bbWidth_ || static_cast<uint32_t>(dh) != bbHeight_)) {
    // The window changed size under the back buffer: the frame moves into a framebuffer of our
    // own, which is scaled to the window from now on.
    if (!MakeOwnBackBuffer(bbWidth_, bbHeight_)) return D3D_OK;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo_.Id());
    glBlitFramebuffer(0, 0, static_cast<GLint>(bbWidth_), static_cast<GLint>(bbHeight_), 0, 0,
                      static_cast<GLint>(bbWidth_), static_cast<GLint>(bbHeight_), GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);
    direct_ = false;
  }
  if (!direct_) {
    const PresentRect r = ComputePresentRect(bbWidth_, bbHeight_, dw, dh);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_.Id());
    if (r.width != dw || r.height != dh) {
      glClearColor(0, 0, 0, 1);
      glClear(GL_COLOR_BUFFER_BIT);
    }
    const bool sameSize = r.width == static_cast<int>(bbWidth_) && r.height == static_cast<int>(bbHeight_);
    glBlitFramebuffer(0, 0, static_cast<GLint>(bbWidth_), static_cast<GLint>(bbHeight_), r.x, r.y,
                      r.x + r.width, r.y + r.height, GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
  }
  if (capture_ && dw > 0 && dh > 0 && ReadFramebuffer(0, dw, dh, presented_)) {
    presentedWidth_ = static_cast<uint32_t>(dw);
    presentedHeight_ = static_cast<uint32_t>(dh);
  }
  SDL_GL_SwapWindow(window_);
  if (scribble_) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClearColor(1, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  glBindFramebuffer(GL_FRAMEBUFFER, BackFramebuffer());
  return D3D_OK;
}

Result CGlDevice::Reset(const PresentParameters& pp) {
  Flush();
  if (contextReset_) return D3DERR_DEVICELOST;
  if (simulatedLost_ && !resettable_) return D3DERR_DEVICELOST;
  if (pp.Windowed ? (pp.BackBufferFormat != D3DFMT_UNKNOWN && !ColorFormat(pp.BackBufferFormat))
                  : !ColorFormat(pp.BackBufferFormat)) {
    return D3DERR_INVALIDCALL;
  }
  if (!CreateBackBuffer(pp)) return D3DERR_INVALIDCALL;
  simulatedLost_ = false;
  inScene_ = false;
  ResetState();
  return D3D_OK;
}

void CGlDevice::SetViewport(const Viewport& vp) {
  // D3D refuses a viewport outside the render target.
  if (vp.Width == 0 || vp.Height == 0 || vp.X + vp.Width > bbWidth_ || vp.Y + vp.Height > bbHeight_) return;
  Flush();
  viewport_ = vp;
  Bump(kTransformGroup);
}

// --- state ------------------------------------------------------------------------------------

namespace {
// States the pipeline acts on (or deliberately ignores, as dithering and software vertex
// processing); anything else is stored and reported once, so the missing ones show up.
bool KnownRenderState(uint32_t s) {
  switch (s) {
    case D3DRS_ZENABLE:
    case D3DRS_FILLMODE:
    case D3DRS_SHADEMODE:
    case D3DRS_ZWRITEENABLE:
    case D3DRS_ALPHATESTENABLE:
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
    case D3DRS_CULLMODE:
    case D3DRS_ZFUNC:
    case D3DRS_ALPHAREF:
    case D3DRS_ALPHAFUNC:
    case D3DRS_DITHERENABLE:
    case D3DRS_ALPHABLENDENABLE:
    case D3DRS_FOGENABLE:
    case D3DRS_SPECULARENABLE:
    case D3DRS_FOGCOLOR:
    case D3DRS_FOGTABLEMODE:
    case D3DRS_FOGSTART:
    case D3DRS_FOGEND:
    case D3DRS_FOGDENSITY:
    case D3DRS_RANGEFOGENABLE:
    case D3DRS_LIGHTING:
    case D3DRS_AMBIENT:
    case D3DRS_FOGVERTEXMODE:
    case D3DRS_COLORVERTEX:
    case D3DRS_NORMALIZENORMALS:
    case D3DRS_VERTEXBLEND:
    case D3DRS_SOFTWAREVERTEXPROCESSING:
    case D3DRS_LOCALVIEWER:
    case D3DRS_TEXTUREFACTOR:
    case D3DRS_DIFFUSEMATERIALSOURCE:
    case D3DRS_SPECULARMATERIALSOURCE:
    case D3DRS_AMBIENTMATERIALSOURCE:
    case D3DRS_EMISSIVEMATERIALSOURCE:
      return true;
    default:
      return false;
  }
}
}  // namespace

void CGlDevice::SetRenderState(RenderState state, uint32_t value) {
  if (state >= D3DRS_MAX) return;
  if (!KnownRenderState(state) && !warned_[state]) {
    warned_[state] = true;
    SDL_Log("gfx: render state %u is kept but not acted on", static_cast<unsigned>(state));
  }
  if (rs_[state] != value) Flush();
  rs_[state] = value;
}

uint32_t CGlDevice::GetRenderState(RenderState state) const { return state < D3DRS_MAX ? rs_[state] : 0; }

void CGlDevice::SetTextureStageState(uint32_t stage, TextureStageState type, uint32_t value) {
  if (stage >= kStages || type >= D3DTSS_MAX) return;
  if (tss_[stage][type] != value) Flush();
  tss_[stage][type] = value;
}

uint32_t CGlDevice::GetTextureStageState(uint32_t stage, TextureStageState type) const {
  return (stage < kStages && type < D3DTSS_MAX) ? tss_[stage][type] : 0;
}

void CGlDevice::SetTransform(TransformState state, const Matrix& m) {
  if (batch_.count > 0) {
    const Matrix now = GetTransform(state);
    if (std::memcmp(&now, &m, sizeof m) != 0) Flush();
  }
  if (state == D3DTS_VIEW) {
    view_ = m;
  } else if (state == D3DTS_PROJECTION) {
    projection_ = m;
  } else if (state >= D3DTS_WORLD && state <= D3DTS_WORLD3) {
    world_[state - D3DTS_WORLD] = m;
  } else {
    return;
  }
  transformDirty_ = true;
}

Matrix CGlDevice::GetTransform(TransformState state) const {
  if (state == D3DTS_VIEW) return view_;
  if (state == D3DTS_PROJECTION) return projection_;
  if (state >= D3DTS_WORLD && state <= D3DTS_WORLD3) return world_[state - D3DTS_WORLD];
  return Matrix{};
}

void CGlDevice::MultiplyTransform(TransformState state, const Matrix& m) {
  SetTransform(state, gfxutil::MatrixMultiply(m, GetTransform(state)));
}

void CGlDevice::SetMaterial(const Material& material) {
  if (std::memcmp(&material, &material_, sizeof material) != 0) Flush();
  material_ = material;
}

void CGlDevice::SetLight(uint32_t index, const Light& light) {
  if (index >= kLights) return;
  Flush();
  lights_[index] = light;
}

void CGlDevice::LightEnable(uint32_t index, bool enable) {
  if (index >= kLights) return;
  if (lightOn_[index] != enable) Flush();
  lightOn_[index] = enable;
  if (enable && index > 0 && !warnedLights_) {
    warnedLights_ = true;
    SDL_Log("gfx: light %u enabled; only the lowest-numbered enabled light is drawn",
            static_cast<unsigned>(index));
  }
}

void CGlDevice::SetTexture(uint32_t stage, CTexture* texture) {
  if (stage >= kStages) return;
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

int CGlDevice::ActiveLight() const {
  // One light is drawn: the lowest-numbered enabled one.
  for (uint32_t i = 0; i < kLights; ++i) {
    if (lightOn_[i] && lights_[i].Type >= D3DLIGHT_POINT && lights_[i].Type <= D3DLIGHT_DIRECTIONAL) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

// --- drawing ----------------------------------------------------------------------------------

void CGlDevice::ApplyFixedState() {
  const bool depthTest = rs_[D3DRS_ZENABLE] != D3DZB_FALSE;
  if (depthTest != gl_.depthTest) {
    depthTest ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
    gl_.depthTest = depthTest;
    ++counts_.stateChanges;
  }
  const bool depthMask = rs_[D3DRS_ZWRITEENABLE] != 0;
  if (depthMask != gl_.depthMask) {
    glDepthMask(depthMask ? GL_TRUE : GL_FALSE);
    gl_.depthMask = depthMask;
    ++counts_.stateChanges;
  }
  const uint32_t zf = rs_[D3DRS_ZFUNC];
  const GLenum depthFunc =
      (zf >= D3DCMP_NEVER && zf <= D3DCMP_ALWAYS) ? GL_NEVER + (zf - D3DCMP_NEVER) : GL_LEQUAL;
  if (depthFunc != gl_.depthFunc) {
    glDepthFunc(depthFunc);
    gl_.depthFunc = depthFunc;
    ++counts_.stateChanges;
  }
  const bool blend = rs_[D3DRS_ALPHABLENDENABLE] != 0;
  if (blend != gl_.blend) {
    blend ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
    gl_.blend = blend;
    ++counts_.stateChanges;
  }
  if (blend) {
    GLenum src = BlendFactor(rs_[D3DRS_SRCBLEND], true);
    GLenum dst = BlendFactor(rs_[D3DRS_DESTBLEND], false);
    if (rs_[D3DRS_SRCBLEND] == D3DBLEND_BOTHSRCALPHA || rs_[D3DRS_SRCBLEND] == D3DBLEND_BOTHINVSRCALPHA)
      dst = BlendFactor(rs_[D3DRS_SRCBLEND], false);
    if (src != gl_.blendSrc || dst != gl_.blendDst) {
      glBlendFunc(src, dst);
      gl_.blendSrc = src;
      gl_.blendDst = dst;
      ++counts_.stateChanges;
    }
  }
  const uint32_t cullMode = rs_[D3DRS_CULLMODE];
  const bool cull = cullMode == D3DCULL_CW || cullMode == D3DCULL_CCW;
  if (cull != gl_.cull) {
    cull ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE);
    gl_.cull = cull;
    ++counts_.stateChanges;
  }
  // Front faces are clockwise (glFrontFace(GL_CW)): CCW culls the backs, CW the fronts.
  const GLenum face = cullMode == D3DCULL_CW ? GL_FRONT : GL_BACK;
  if (cull && face != gl_.cullFace) {
    glCullFace(face);
    gl_.cullFace = face;
    ++counts_.stateChanges;
  }
  const uint32_t fill = rs_[D3DRS_FILLMODE];
  const GLenum polygonMode = fill == D3DFILL_POINT ? GL_POINT : fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL;
  if (polygonMode != gl_.polygonMode) {
    glPolygonMode(GL_FRONT_AND_BACK, polygonMode);
    gl_.polygonMode = polygonMode;
    ++counts_.stateChanges;
  }
  if (gl_.scissor) {
    glDisable(GL_SCISSOR_TEST);
    gl_.scissor = false;
  }
  SetGlViewport(static_cast<GLint>(viewport_.X),
                static_cast<GLint>(bbHeight_ - viewport_.Y - viewport_.Height),
                static_cast<GLint>(viewport_.Width), static_cast<GLint>(viewport_.Height));
  if (gl_.depthRange[0] != viewport_.MinZ || gl_.depthRange[1] != viewport_.MaxZ) {
    glDepthRange(viewport_.MinZ, viewport_.MaxZ);
    gl_.depthRange[0] = viewport_.MinZ;
    gl_.depthRange[1] = viewport_.MaxZ;
    ++counts_.stateChanges;
  }
}

GLuint CGlDevice::Sampler(bool lastLevelOnly) {
  const auto& t = tss_[0];
  // Sampling a texture whose smallest level is the most detailed one allowed needs no mip
  // selection: the texture starts at that level and the sampler filters it alone.
  const uint32_t key[7] = {
      t[D3DTSS_MINFILTER],  t[D3DTSS_MAGFILTER], lastLevelOnly ? D3DTEXF_NONE : t[D3DTSS_MIPFILTER],
      t[D3DTSS_ADDRESSU],   t[D3DTSS_ADDRESSV],  t[D3DTSS_MIPMAPLODBIAS],
      t[D3DTSS_MAXMIPLEVEL]};
  for (auto& e : samplers_) {
    if (std::memcmp(e.key, key, sizeof key) == 0) return e.sampler.Id();
  }
  SamplerEntry* e;
  if (samplers_.size() < samplers_.capacity()) {
    samplers_.emplace_back();
    e = &samplers_.back();
  } else {  // a full cache recycles its slots in turn
    e = &samplers_[samplerNext_++ % samplers_.size()];
    for (GLuint unit = 0; unit < 2; ++unit) {
      if (gl_.sampler[unit] == e->sampler.Id()) {
        glBindSampler(unit, 0);
        gl_.sampler[unit] = 0;
      }
    }
  }
  std::memcpy(e->key, key, sizeof key);
  e->sampler = GlObject::Make(GlKind::Sampler, token_);
  const GLuint s = e->sampler.Id();
  const bool minLinear = key[0] >= D3DTEXF_LINEAR;
  GLenum minFilter = minLinear ? GL_LINEAR : GL_NEAREST;
  if (key[2] == D3DTEXF_POINT) minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  if (key[2] >= D3DTEXF_LINEAR) minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
  glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
  glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, key[1] >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
  glSamplerParameteri(s, GL_TEXTURE_WRAP_S, static_cast<GLint>(AddressMode(key[3])));
  glSamplerParameteri(s, GL_TEXTURE_WRAP_T, static_cast<GLint>(AddressMode(key[4])));
  glSamplerParameterf(s, GL_TEXTURE_LOD_BIAS, BitsFloat(key[5]));
  // The most detailed level allowed: a floor on the level of detail.
  glSamplerParameterf(s, GL_TEXTURE_MIN_LOD, key[2] == D3DTEXF_NONE ? 0.0f : static_cast<float>(key[6]));
  return s;
}

void CGlDevice::ApplyTexture(bool textured) {
  if (!textured) return;
  SetBaseLevel(textures_[0].get());
  BindTextureUnit(0, textures_[0].get());
}

bool CGlDevice::LastLevelOnly(const CGlTexture& texture) const {
  // Minification and magnification alike and the level floor at or past the smallest level:
  // every sample comes from that level, so nothing is lost by starting the texture there.
  const auto& t = tss_[0];
  return shortcuts_ && t[D3DTSS_MIPFILTER] != D3DTEXF_NONE && t[D3DTSS_MINFILTER] == t[D3DTSS_MAGFILTER] &&
         t[D3DTSS_MAXMIPLEVEL] >= texture.Levels() - 1;
}

void CGlDevice::SetBaseLevel(CGlTexture* texture) const {
  if (texture) texture->SetBaseLevel(LastLevelOnly(*texture) ? texture->Levels() - 1 : 0);
}

void CGlDevice::BindTextureUnit(GLuint unit, CGlTexture* texture) {
  if (!texture) return;  // the shader's result for it is not used
  const bool lastLevelOnly = LastLevelOnly(*texture);
  const GLuint name = texture->Name();
  GLuint& bound = unit == 0 ? token_->texture : token_->texture1;
  if (bound != name) {
    // Unit 0 stays the active one: uploads bind there.
    if (unit != 0) glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, name);
    if (unit != 0) glActiveTexture(GL_TEXTURE0);
    bound = name;
    ++counts_.textureBinds;
  }
  const GLuint s = Sampler(lastLevelOnly);
  if (s != gl_.sampler[unit]) {
    glBindSampler(unit, s);
    gl_.sampler[unit] = s;
    ++counts_.stateChanges;
  }
}

void CGlDevice::BindAttributes(GLuint buffer, uint32_t fvf, uint32_t stride, bool slot) {
  if (buffer == token_->attribBuffer && fvf == attribFvf_ && stride == attribStride_ && slot == attribSlot_)
    return;
  if (token_->arrayBuffer != buffer) {
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    token_->arrayBuffer = buffer;
  }
  auto at = [](uintptr_t offset) { return reinterpret_cast<const void*>(offset); };
  const GLsizei s = static_cast<GLsizei>(stride);
  uintptr_t offset = 0;
  const uint32_t position = fvf & D3DFVF_POSITION_MASK;
  const bool rhw = position == D3DFVF_XYZRHW;
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, rhw ? 4 : 3, GL_FLOAT, GL_FALSE, s, at(0));
  offset += rhw ? 16 : 12;
  const uint32_t weights = FvfBlendWeights(fvf);
  if (weights > 0) {
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, static_cast<GLint>(weights), GL_FLOAT, GL_FALSE, s, at(offset));
    offset += 4 * weights;
  } else {
    glDisableVertexAttribArray(1);
  }
  auto attribute = [&](GLuint loc, bool present, GLint size, GLenum type, GLboolean norm, uint32_t bytes) {
    if (present) {
      glEnableVertexAttribArray(loc);
      glVertexAttribPointer(loc, size, type, norm, s, at(offset));
      offset += bytes;
    } else {
      glDisableVertexAttribArray(loc);
    }
  };
  attribute(2, (fvf & D3DFVF_NORMAL) != 0, 3, GL_FLOAT, GL_FALSE, 12);
  // D3DCOLOR: bytes B, G, R, A, which GL_BGRA swizzles into place.
  attribute(3, (fvf & D3DFVF_DIFFUSE) != 0, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, 4);
  attribute(4, (fvf & D3DFVF_SPECULAR) != 0, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, 4);
  attribute(5, (fvf & D3DFVF_TEXCOUNT_MASK) != 0, 2, GL_FLOAT, GL_FALSE, 8);
  // Gathered draws: each vertex ends with its texture slot, after the format's own bytes.
  if (slot) {
    glEnableVertexAttribArray(6);
    glVertexAttribPointer(6, 1, GL_FLOAT, GL_FALSE, s, at(stride - 4));
  } else {
    glDisableVertexAttribArray(6);
  }
  attribSlot_ = slot;
  token_->attribBuffer = buffer;
  attribFvf_ = fvf;
  attribStride_ = stride;
}

void CGlDevice::UploadUniforms(GlProgram& p, uint32_t fvf, const ShaderKey& key) {
  // Transforms: World_i * View per blend matrix, the normal matrix, the projection.
  if (transformDirty_) {
    for (int i = 0; i < 4; ++i) {
      const Matrix wv = gfxutil::MatrixMultiply(world_[i], view_);
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
    transformDirty_ = false;
    Bump(kTransformGroup);
    Bump(kLightGroup);  // light positions follow the view
  }

  // Light and material as the shader wants them; a change bumps the group.
  LightBlock lb{};
  CopyColor(material_.Diffuse, lb.matDiffuse);
  CopyColor(material_.Ambient, lb.matAmbient);
  CopyColor(material_.Specular, lb.matSpecular);
  CopyColor(material_.Emissive, lb.matEmissive);
  lb.power = material_.Power;
  // Vertex colours count only with COLORVERTEX on and when the format has them.
  const bool colorVertex = rs_[D3DRS_COLORVERTEX] != 0;
  auto source = [&](uint32_t rs) -> int32_t {
    const uint32_t s = rs_[rs];
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
  ColorToFloats(rs_[D3DRS_AMBIENT], amb, false);
  std::memcpy(lb.globalAmbient, amb, sizeof lb.globalAmbient);
  const int li = ActiveLight();
  if (li >= 0) {
    const Light& l = lights_[li];
    CopyColor(l.Diffuse, lb.diffuse);
    CopyColor(l.Specular, lb.specular);
    CopyColor(l.Ambient, lb.ambient);
    const Vector3 pos = gfxutil::Vec3TransformCoord(l.Position, view_);
    const Vector3 dir = gfxutil::Vec3Normalize(gfxutil::Vec3TransformNormal(l.Direction, view_));
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
  lb.flags[0] = rs_[D3DRS_NORMALIZENORMALS] != 0;
  lb.flags[1] = rs_[D3DRS_SPECULARENABLE] != 0;
  lb.flags[2] = rs_[D3DRS_LOCALVIEWER] != 0;
  lb.flags[3] = li >= 0 ? static_cast<int32_t>(lights_[li].Type) : 0;
  if (std::memcmp(&lb, &light_, sizeof lb) != 0) {
    light_ = lb;
    Bump(kLightGroup);
  }

  FogBlock fb{};
  const float start = BitsFloat(rs_[D3DRS_FOGSTART]), end = BitsFloat(rs_[D3DRS_FOGEND]);
  fb.fog[0] = start;
  fb.fog[1] = end;
  fb.fog[2] = end != start ? 1.0f / (end - start) : 3.0e38f;
  fb.fog[3] = BitsFloat(rs_[D3DRS_FOGDENSITY]);
  ColorToFloats(rs_[D3DRS_FOGCOLOR], fb.color, false);
  fb.range = rs_[D3DRS_RANGEFOGENABLE] != 0;
  if (std::memcmp(&fb, &fog_, sizeof fb) != 0) {
    fog_ = fb;
    Bump(kFogGroup);
  }

  StageBlock sb{};
  const auto& t = tss_[0];
  sb.color[0] = static_cast<int32_t>(t[D3DTSS_COLOROP]);
  sb.color[1] = static_cast<int32_t>(t[D3DTSS_COLORARG1]);
  sb.color[2] = static_cast<int32_t>(t[D3DTSS_COLORARG2]);
  sb.alpha[0] = static_cast<int32_t>(t[D3DTSS_ALPHAOP]);
  sb.alpha[1] = static_cast<int32_t>(t[D3DTSS_ALPHAARG1]);
  sb.alpha[2] = static_cast<int32_t>(t[D3DTSS_ALPHAARG2]);
  // A colour operation that reads TEXTURE with nothing bound switches the stage off, so the
  // diffuse colour and alpha pass untouched (not a white texture).
  const uint32_t op = t[D3DTSS_COLOROP];
  const bool readsArg1 = op != D3DTOP_SELECTARG2, readsArg2 = op != D3DTOP_SELECTARG1;
  const bool usesTexture = (readsArg1 && (t[D3DTSS_COLORARG1] & D3DTA_SELECTMASK) == D3DTA_TEXTURE) ||
                           (readsArg2 && (t[D3DTSS_COLORARG2] & D3DTA_SELECTMASK) == D3DTA_TEXTURE);
  sb.stageOff = op == D3DTOP_DISABLE || op == 0 || (usesTexture && !key.textured);
  sb.specularAdd = rs_[D3DRS_SPECULARENABLE] != 0;
  sb.alphaTest[0] = static_cast<int32_t>(rs_[D3DRS_ALPHAFUNC]);
  sb.alphaTest[1] = static_cast<int32_t>(rs_[D3DRS_ALPHAREF] & 0xFF);
  ColorToFloats(rs_[D3DRS_TEXTUREFACTOR], sb.factor, true);
  if (std::memcmp(&sb, &stage_, sizeof sb) != 0) {
    stage_ = sb;
    Bump(kStageGroup);
  }

  if (p.seen[kTransformGroup] != serial_[kTransformGroup]) {
    glUniformMatrix4fv(p.worldView, 4, GL_FALSE, &worldView_[0][0]);
    glUniformMatrix3fv(p.normalMatrix, 1, GL_FALSE, normalMatrix_);
    glUniformMatrix4fv(p.projection, 1, GL_FALSE, &projection_.m[0][0]);
    const float w = static_cast<float>(viewport_.Width), h = static_cast<float>(viewport_.Height);
    glUniform4f(p.screen, static_cast<float>(viewport_.X) - kPixelOffset,
                static_cast<float>(viewport_.Y) - kPixelOffset, 2.0f / w, 2.0f / h);
    glUniform2f(p.pixelShift, 2.0f * kPixelOffset / w, -2.0f * kPixelOffset / h);
    glUniform1i(p.zeroToOne, clipControl_ ? 1 : 0);
    p.seen[kTransformGroup] = serial_[kTransformGroup];
    ++counts_.uniformUploads;
  }
  if (p.seen[kLightGroup] != serial_[kLightGroup]) {
    glUniform4fv(p.matDiffuse, 1, light_.matDiffuse);
    glUniform4fv(p.matAmbient, 1, light_.matAmbient);
    glUniform4fv(p.matSpecular, 1, light_.matSpecular);
    glUniform4fv(p.matEmissive, 1, light_.matEmissive);
    glUniform1f(p.matPower, light_.power);
    glUniform4iv(p.matSource, 1, light_.source);
    glUniform3fv(p.globalAmbient, 1, light_.globalAmbient);
    glUniform4fv(p.lightDiffuse, 1, light_.diffuse);
    glUniform4fv(p.lightSpecular, 1, light_.specular);
    glUniform4fv(p.lightAmbient, 1, light_.ambient);
    glUniform3fv(p.lightPosition, 1, light_.position);
    glUniform3fv(p.lightDirection, 1, light_.direction);
    glUniform4fv(p.lightAttenuation, 1, light_.attenuation);
    glUniform3fv(p.lightSpot, 1, light_.spot);
    glUniform4iv(p.lightFlags, 1, light_.flags);
    p.seen[kLightGroup] = serial_[kLightGroup];
    ++counts_.uniformUploads;
  }
  if (p.seen[kFogGroup] != serial_[kFogGroup]) {
    glUniform4fv(p.fog, 1, fog_.fog);
    glUniform1i(p.rangeFog, fog_.range);
    glUniform3fv(p.fogColor, 1, fog_.color);
    p.seen[kFogGroup] = serial_[kFogGroup];
    ++counts_.uniformUploads;
  }
  if (p.seen[kStageGroup] != serial_[kStageGroup]) {
    glUniform3iv(p.colorStage, 1, stage_.color);
    glUniform3iv(p.alphaStage, 1, stage_.alpha);
    glUniform1i(p.stageOff, stage_.stageOff);
    glUniform4fv(p.textureFactor, 1, stage_.factor);
    glUniform1i(p.specularAdd, stage_.specularAdd);
    glUniform2iv(p.alphaTest, 1, stage_.alphaTest);
    p.seen[kStageGroup] = serial_[kStageGroup];
    ++counts_.uniformUploads;
  }
}

bool CGlDevice::Prepare(uint32_t fvf, const Batch* batch) {
  const uint32_t position = fvf & D3DFVF_POSITION_MASK;
  if (position == 0) return false;
  ShaderKey key;
  key.pretransformed = position == D3DFVF_XYZRHW;
  key.lighting = !key.pretransformed && rs_[D3DRS_LIGHTING] != 0;
  if (key.lighting) {
    const int li = ActiveLight();
    key.light = li >= 0;
    key.hasNormal = (fvf & D3DFVF_NORMAL) != 0;
  }
  if (!key.pretransformed) {
    const uint32_t blend = rs_[D3DRS_VERTEXBLEND] <= D3DVBF_3WEIGHTS ? rs_[D3DRS_VERTEXBLEND] : 0;
    key.blendCount = std::min(blend, FvfBlendWeights(fvf));
  }
  if (rs_[D3DRS_FOGENABLE]) {
    const bool specular = (fvf & D3DFVF_SPECULAR) != 0;
    uint32_t mode =
        rs_[D3DRS_FOGTABLEMODE] != D3DFOG_NONE ? rs_[D3DRS_FOGTABLEMODE] : rs_[D3DRS_FOGVERTEXMODE];
    if (mode > D3DFOG_LINEAR) mode = D3DFOG_NONE;
    // Pretransformed vertices carry their own fog factor in specular alpha, if anything.
    if (key.pretransformed || mode == D3DFOG_NONE) mode = specular ? 4 : 0;
    key.fogMode = mode;
  }
  key.textured = batch || textures_[0] != nullptr;
  key.batched = batch != nullptr;
  key.alphaTest = rs_[D3DRS_ALPHATESTENABLE] != 0 && rs_[D3DRS_ALPHAFUNC] != D3DCMP_ALWAYS;
  key.flat = rs_[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
  if (shortcuts_) {
    key.specularForm = rs_[D3DRS_SPECULARENABLE] != 0 ? 2 : 1;
    // Common stage set-ups compiled in, so fragments skip the general operation's branches.
    const auto& t = tss_[0];
    const uint32_t op = t[D3DTSS_COLOROP];
    const bool readsArg1 = op != D3DTOP_SELECTARG2, readsArg2 = op != D3DTOP_SELECTARG1;
    const bool usesTexture = (readsArg1 && (t[D3DTSS_COLORARG1] & D3DTA_SELECTMASK) == D3DTA_TEXTURE) ||
                             (readsArg2 && (t[D3DTSS_COLORARG2] & D3DTA_SELECTMASK) == D3DTA_TEXTURE);
    if (op == D3DTOP_DISABLE || op == 0 || (usesTexture && !key.textured)) {
      key.colorForm = key.alphaForm = kDiffuseStage;
    } else {
      key.colorForm = PlainStageForm(op, t[D3DTSS_COLORARG1], t[D3DTSS_COLORARG2]);
      key.alphaForm = t[D3DTSS_ALPHAOP] == D3DTOP_DISABLE
                          ? kDiffuseStage
                          : PlainStageForm(t[D3DTSS_ALPHAOP], t[D3DTSS_ALPHAARG1], t[D3DTSS_ALPHAARG2]);
      // Texture alpha alone and modulated share a program (the operation is a uniform): each
      // program costs a software renderer most of a megabyte.
      if (key.alphaForm == kTextureStage) key.alphaForm = kModulateStage;
    }
  }

  const size_t built = shaders_->BuiltCount(), compiled = shaders_->CompiledCount();
  GlProgram* p = shaders_->Get(key);
  if (!p) return false;
  if (shaders_->BuiltCount() != built) {
    gl_.program = p->program.Id();  // building binds it
    ++counts_.programsBuilt;
    counts_.programsCompiled += shaders_->CompiledCount() - compiled;
  }
  if (gl_.program != p->program.Id()) {
    glUseProgram(p->program.Id());
    gl_.program = p->program.Id();
    ++counts_.programChanges;
  }
  UploadUniforms(*p, fvf, key);
  ApplyFixedState();
  if (batch) {
    // Both levels set first: setting one binds that texture on unit 0.
    SetBaseLevel(batch->textures[0].get());
    SetBaseLevel(batch->textures[1].get());
    BindTextureUnit(0, batch->textures[0].get());
    BindTextureUnit(1, batch->textures[1].get());
  } else {
    ApplyTexture(key.textured);
  }
  return true;
}

void CGlDevice::CountDraw(GLenum mode, uint32_t vertices) {
  ++counts_.draws;
  if (mode == GL_TRIANGLES) counts_.triangles += vertices / 3;
  if ((mode == GL_TRIANGLE_STRIP || mode == GL_TRIANGLE_FAN) && vertices >= 3)
    counts_.triangles += vertices - 2;
}

bool CGlDevice::RingUpload(const void* data, size_t bytes, uint32_t stride, size_t& offset) {
  // Start on a whole vertex so the attribute pointers stay put and the draw just offsets.
  offset = (ringOffset_ + stride - 1) / stride * stride;
  if (token_->arrayBuffer != ring_.Id()) {
    glBindBuffer(GL_ARRAY_BUFFER, ring_.Id());
    token_->arrayBuffer = ring_.Id();
  }
  if (offset + bytes > ringSize_) {
    // Orphan: the driver keeps the old storage for draws still in flight.
    while (bytes > ringSize_) ringSize_ *= 2;
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(ringSize_), nullptr, GL_STREAM_DRAW);
    offset = 0;
  }
  // Unsynchronised: this range has not been written since the last orphaning, so no draw in
  // flight reads it and the driver need not wait.
  void* dst = glMapBufferRange(GL_ARRAY_BUFFER, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(bytes),
                               GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
  if (!dst) return false;
  std::memcpy(dst, data, bytes);
  glUnmapBuffer(GL_ARRAY_BUFFER);
  ringOffset_ = offset + bytes;
  return true;
}

bool CGlDevice::StageReadsTexture() const {
  // The colour reads the texture, so a draw without one has the stage off and shows its
  // diffuse colour: what the gathered draw's shader does for vertices without a texture.
  const auto& t = tss_[0];
  const StageForm color = PlainStageForm(t[D3DTSS_COLOROP], t[D3DTSS_COLORARG1], t[D3DTSS_COLORARG2]);
  const StageForm alpha = t[D3DTSS_ALPHAOP] == D3DTOP_DISABLE
                              ? kDiffuseStage
                              : PlainStageForm(t[D3DTSS_ALPHAOP], t[D3DTSS_ALPHAARG1], t[D3DTSS_ALPHAARG2]);
  return (color == kTextureStage || color == kModulateStage) && alpha != kGeneralStage;
}

bool CGlDevice::Gather(const void* vertices, uint32_t count, uint32_t stride) {
  if (batch_.count > 0 && (batch_.fvf != fvf_ || batch_.stride != stride)) Flush();
  CGlTexture* const t = textures_[0].get();
  float slot = 0;
  if (t) {
    int i = 0;
    while (i < 2 && batch_.textures[i] && batch_.textures[i].get() != t) ++i;
    if (i == 2) {
      Flush();
      i = 0;
    }
    if (!batch_.textures[i]) batch_.textures[i] = textures_[0];
    slot = static_cast<float>(i + 1);
  }
  if (batch_.count == 0) {
    batch_.fvf = fvf_;
    batch_.stride = stride;
    token_->pendingDraws = true;
  }
  const auto* from = static_cast<const unsigned char*>(vertices);
  for (uint32_t v = 0; v < count; ++v, from += stride) {
    batch_.vertices.insert(batch_.vertices.end(), from, from + stride);
    const auto* s = reinterpret_cast<const unsigned char*>(&slot);
    batch_.vertices.insert(batch_.vertices.end(), s, s + sizeof slot);
  }
  batch_.count += count;
  if (batch_.count >= kBatchVertices) Flush();
  return true;
}

void CGlDevice::Flush() {
  if (batch_.count == 0) return;
  token_->pendingDraws = false;
  const uint32_t stride = batch_.stride + 4, count = batch_.count;
  size_t offset = 0;
  if (!simulatedLost_ && !contextReset_ &&
      RingUpload(batch_.vertices.data(), batch_.vertices.size(), stride, offset) &&
      Prepare(batch_.fvf, &batch_)) {
    BindAttributes(ring_.Id(), batch_.fvf, stride, true);
    glDrawArrays(GL_TRIANGLES, static_cast<GLint>(offset / stride), static_cast<GLsizei>(count));
    CountDraw(GL_TRIANGLES, count);
  }
  batch_.vertices.clear();
  batch_.count = 0;
  batch_.textures[0].reset();
  batch_.textures[1].reset();
}

Result CGlDevice::DrawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices,
                                  uint32_t stride) {
  GLenum mode;
  uint32_t count;
  if (!vertices || stride == 0 || !PrimitiveShape(type, primitiveCount, mode, count))
    return D3DERR_INVALIDCALL;
  if (primitiveCount == 0) return D3D_OK;
  if (stride < FvfStride(fvf_) || (stride & 3) != 0) return D3DERR_INVALIDCALL;
  if (simulatedLost_ || contextReset_ || !drawing_) return D3D_OK;
  // Small lists in a row that differ only in their texture go to GL as one draw: a software
  // rasteriser pays for every change of texture or program between draws.
  if (shortcuts_ && mode == GL_TRIANGLES && count <= kGatherVertices && (fvf_ & D3DFVF_POSITION_MASK) != 0 &&
      StageReadsTexture()) {
    return Gather(vertices, count, stride) ? D3D_OK : D3DERR_INVALIDCALL;
  }
  Flush();
  size_t offset = 0;
  if (!RingUpload(vertices, static_cast<size_t>(count) * stride, stride, offset)) return D3DERR_INVALIDCALL;
  if (!Prepare(fvf_)) return D3DERR_INVALIDCALL;
  BindAttributes(ring_.Id(), fvf_, stride);
  glDrawArrays(mode, static_cast<GLint>(offset / stride), static_cast<GLsizei>(count));
  CountDraw(mode, count);
  return D3D_OK;
}

// Whether a box of untransformed positions, transformed as the vertex shader does, has all its
// corners beyond the same side of the view volume (a linear bound holds for the whole box). The
// sides are widened by two pixels for the half-pixel shift of D3D's pixel centres.
bool CGlDevice::BoxOutsideView(const Matrix& m, const float box[6]) const {
  const float ex = 4.0f / static_cast<float>(std::max<uint32_t>(viewport_.Width, 1));
  const float ey = 4.0f / static_cast<float>(std::max<uint32_t>(viewport_.Height, 1));
  uint32_t outside = 0x3F;  // sides every corner so far lies beyond
  for (int c = 0; c < 8 && outside != 0; ++c) {
    const float p[3] = {box[(c & 1) ? 3 : 0], box[(c & 2) ? 4 : 1], box[(c & 4) ? 5 : 2]};
    float clip[4];
    for (int j = 0; j < 4; ++j) clip[j] = p[0] * m.m[0][j] + p[1] * m.m[1][j] + p[2] * m.m[2][j] + m.m[3][j];
    const float w = clip[3], aw = std::fabs(w);
    uint32_t beyond = 0;
    if (clip[0] < -w - ex * aw) beyond |= 1;
    if (clip[0] > w + ex * aw) beyond |= 2;
    if (clip[1] < -w - ey * aw) beyond |= 4;
    if (clip[1] > w + ey * aw) beyond |= 8;
    if (clip[2] < -1e-5f * aw) beyond |= 16;
    if (clip[2] > w + 1e-5f * aw) beyond |= 32;
    outside &= beyond;
  }
  return outside != 0;
}

// Plans an indexed draw as the runs of its range that can show. With the shortcuts on, a draw
// whose vertices all lie beyond one side of the view is left out, and a large triangle list is
// looked at in pieces, each left out on the same test: a stage's ground or a room is mostly out of
// sight, and the renderer would transform and clip all of it. Positions the vertex shader moves
// (vertex blending) or does not know (pretransformed) are drawn whole.
void CGlDevice::PlanIndexedDraw(uint32_t fvf, GLenum mode, uint32_t startIndex, uint32_t count) {
  runs_.assign(1, {startIndex, count});
  const uint32_t position = fvf & D3DFVF_POSITION_MASK;
  const uint32_t blend = rs_[D3DRS_VERTEXBLEND] <= D3DVBF_3WEIGHTS ? rs_[D3DRS_VERTEXBLEND] : 0;
  if (!shortcuts_ || position == 0 || position == D3DFVF_XYZRHW || std::min(blend, FvfBlendWeights(fvf)) != 0)
    return;
  const Matrix m = gfxutil::MatrixMultiply(gfxutil::MatrixMultiply(world_[0], view_), projection_);
  bool known = false;
  auto outside = [&](uint32_t first, uint32_t n) {
    uint32_t low = 0, high = 0;
    float box[6];
    known = indices_->IndexRange(first, n, low, high) &&
            stream_->Bounds(baseVertex_ + low, baseVertex_ + high, box);
    return known && BoxOutsideView(m, box);
  };
  if (outside(startIndex, count)) {
    runs_.clear();
    return;
  }
  if (!known || mode != GL_TRIANGLES || count < 2 * kCullPiece) return;
  runs_.clear();
  for (uint32_t first = startIndex; first < startIndex + count; first += kCullPiece) {
    const uint32_t n = std::min(kCullPiece, startIndex + count - first);
    if (outside(first, n)) continue;
    if (!runs_.empty() && runs_.back().start + runs_.back().count == first) {
      runs_.back().count += n;
    } else {
      runs_.push_back({first, n});
    }
  }
}

Result CGlDevice::DrawIndexedPrimitive(PrimitiveType type, uint32_t /*minIndex*/, uint32_t /*numVertices*/,
                                       uint32_t startIndex, uint32_t primitiveCount) {
  GLenum mode;
  uint32_t count;
  if (!stream_ || !indices_ || !PrimitiveShape(type, primitiveCount, mode, count)) return D3DERR_INVALIDCALL;
  if (primitiveCount == 0) return D3D_OK;
  if (static_cast<uint64_t>(startIndex) + count > indices_->Count()) return D3DERR_INVALIDCALL;
  if (simulatedLost_ || contextReset_ || !drawing_) return D3D_OK;
  const uint32_t fvf = stream_->Fvf();
  PlanIndexedDraw(fvf, mode, startIndex, count);
  uint32_t shown = 0;
  for (const IndexRun& r : runs_) shown += r.count;
  if (shown < count) {
    counts_.culledTriangles += primitiveCount - shown / 3;
    if (shown == 0) {
      ++counts_.culledDraws;
      return D3D_OK;
    }
  }
  Flush();
  if (!Prepare(fvf)) return D3DERR_INVALIDCALL;
  BindAttributes(stream_->Name(), fvf, stream_->Stride());
  if (token_->elementBuffer != indices_->Name()) {
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices_->Name());
    token_->elementBuffer = indices_->Name();
  }
  for (const IndexRun& r : runs_) {
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

bool CGlDevice::ReadFramebuffer(GLuint fbo, int width, int height, std::vector<uint32_t>& argb) const {
  if (width <= 0 || height <= 0) return false;
  argb.resize(static_cast<size_t>(width) * height);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
  if (fbo == 0) glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, argb.data());
  // GL reads bottom row first.
  for (int y = 0; y < height / 2; ++y) {
    std::swap_ranges(argb.begin() + static_cast<ptrdiff_t>(y) * width,
                     argb.begin() + static_cast<ptrdiff_t>(y + 1) * width,
                     argb.begin() + static_cast<ptrdiff_t>(height - 1 - y) * width);
  }
  glBindFramebuffer(GL_READ_FRAMEBUFFER, BackFramebuffer());
  return glGetError() == GL_NO_ERROR;
}

bool CGlDevice::ReadBackBuffer(std::vector<uint32_t>& argb, uint32_t& width, uint32_t& height) {
  Flush();
  if (!ReadFramebuffer(BackFramebuffer(), static_cast<int>(bbWidth_), static_cast<int>(bbHeight_), argb))
    return false;
  // Formats without alpha read as opaque.
  if (pp_.BackBufferFormat != D3DFMT_A8R8G8B8) {
    for (auto& p : argb) p |= 0xFF000000u;
  }
  width = bbWidth_;
  height = bbHeight_;
  return true;
}

bool CGlDevice::ResizeBackBuffer(uint32_t width, uint32_t height) {
  Flush();
  if (contextReset_ || width == 0 || height == 0) return false;
  PresentParameters pp = pp_;
  pp.BackBufferWidth = width;
  pp.BackBufferHeight = height;
  return CreateBackBuffer(pp);
}

bool CGlDevice::SaveScreenshot(const std::string& pngPath) {
  std::vector<uint32_t> pixels;
  uint32_t w = 0, h = 0;
  if (!ReadBackBuffer(pixels, w, h) || !WritePng(pngPath, pixels.data(), w, h)) return false;
  os::OfferFile(pngPath);
  return true;
}

void CGlDevice::SimulateDeviceLost(bool lost, bool resettable) {
  Flush();
  simulatedLost_ = lost;
  resettable_ = resettable;
}

bool CGlDevice::ReadLastPresent(std::vector<uint32_t>& argb, uint32_t& width, uint32_t& height) {
  if (presented_.empty()) return false;
  argb = presented_;
  width = presentedWidth_;
  height = presentedHeight_;
  return true;
}

}  // namespace gfx
