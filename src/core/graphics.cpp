#include "core/graphics.h"

#include "core/config.h"
#include "core/log.h"
#include "platform/os/window.h"

namespace app {
namespace {

struct GraphicsState {
  std::unique_ptr<gfx::CDevice> device;
  gfx::PresentParameters pp;
  gfx::Caps caps;
  float screenWidth = 1024.0f, screenHeight = 768.0f;
  gfx::Color previousClearColor = 0;
  bool deviceLost = false;
  std::unique_ptr<gfxutil::CFont> font;
  bool createdOnce = false;
  bool debugDraw = false;
  BeforePresentHook beforePresent = nullptr;
  bool readout = true;
  DeviceCreator creator = nullptr;
  DisplayModeQuery displayMode = nullptr;
};

GraphicsState& State() {
  static GraphicsState state;
  return state;
}

std::unique_ptr<gfx::CDevice> CreateDevice(const gfx::PresentParameters& pp, gfx::DeviceType type,
                                           uint32_t flags) {
  const DeviceCreator creator = State().creator;
  return creator ? creator(pp, type, flags) : gfx::CDevice::Create(pp, type, flags);
}

bool DesktopFormat(gfx::Format& format) {
  const DisplayModeQuery query = State().displayMode;
  return query ? query(format) : gfx::CDevice::GetAdapterDisplayMode(format);
}

struct Attempt {
  gfx::DeviceType type;
  uint32_t vertexProcessing;
};
// Hardware first, then the reference and software kinds, which map to software rendering.
constexpr Attempt kAttempts[7] = {
    {gfx::D3DDEVTYPE_HAL, gfx::D3DCREATE_MIXED_VERTEXPROCESSING},
    {gfx::D3DDEVTYPE_HAL, gfx::D3DCREATE_HARDWARE_VERTEXPROCESSING},
    {gfx::D3DDEVTYPE_HAL, gfx::D3DCREATE_SOFTWARE_VERTEXPROCESSING},
    {gfx::D3DDEVTYPE_REF, gfx::D3DCREATE_HARDWARE_VERTEXPROCESSING},
    {gfx::D3DDEVTYPE_REF, gfx::D3DCREATE_SOFTWARE_VERTEXPROCESSING},
    {gfx::D3DDEVTYPE_SW, gfx::D3DCREATE_HARDWARE_VERTEXPROCESSING},
    {gfx::D3DDEVTYPE_SW, gfx::D3DCREATE_SOFTWARE_VERTEXPROCESSING},
};

}  // namespace

int OpenGraphicsDevice(const CConfig& config) {
  GraphicsState& s = State();
  OpenLog(LogPath().c_str());
  if (!config.notes.empty()) Log("%s", config.notes.c_str());
  s.pp = gfx::PresentParameters{};

  // Stands in for creating the Direct3D object: nothing can be drawn without the main window.
  if (!os::HasMainWindow()) {
    Log("\n");
    return 0;
  }

  const int window = config.window;
  const int width = config.width;
  const int height = config.height;
  const int format = config.format;
  s.pp.Windowed = window != 0;
  s.pp.BackBufferWidth = static_cast<uint32_t>(width);
  s.pp.BackBufferHeight = static_cast<uint32_t>(height);
  s.screenWidth = static_cast<float>(width);
  s.screenHeight = static_cast<float>(height);

  if (s.pp.Windowed) {
    gfx::Format desktop = gfx::D3DFMT_UNKNOWN;
    if (!DesktopFormat(desktop)) return 0;
    s.pp.BackBufferFormat = desktop;
  } else {
    s.pp.BackBufferFormat = static_cast<uint32_t>(format);
  }
  s.pp.BackBufferCount = 1;
  s.pp.MultiSampleType = 0;
  s.pp.SwapEffect = 1;  // discard
  s.pp.EnableAutoDepthStencil = true;
  s.pp.AutoDepthStencilFormat = gfx::D3DFMT_D16;
  s.pp.Flags = 1;  // lockable back buffer
  s.pp.FullScreen_RefreshRateInHz = 0;
  s.pp.FullScreen_PresentationInterval = 0;

  for (const Attempt& a : kAttempts) {
    s.device = CreateDevice(s.pp, a.type, a.vertexProcessing);
    if (s.device) break;
  }
  if (!s.device) {
    Log("デバイスが生成できなかった");
    return 0;
  }

  s.device->GetDeviceCaps(s.caps);
  gfx::Viewport vp;
  vp.X = 0;
  vp.Y = 0;
  vp.Width = s.pp.BackBufferWidth;
  vp.Height = s.pp.BackBufferHeight;
  vp.MinZ = 0.0f;
  vp.MaxZ = 1.0f;
  s.device->SetViewport(vp);

  s.previousClearColor = 0;
  s.device->Clear(gfx::D3DCLEAR_TARGET | gfx::D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  PresentAndResetIfLost();

  if (!s.createdOnce) {
    gfxutil::FontDesc desc;
    desc.height = 16;
    desc.width = 8;
    desc.weight = 400;
    desc.italic = false;
    desc.charSet = 128;
    desc.faceName = "ＭＳ ゴシック";
    s.font = gfxutil::CFont::Create(*s.device, desc);
    // Without a Japanese-capable face the player's text is missing or boxes: say what was asked
    // for and what fontconfig offered, so the missing package can be named.
    if (!s.font)
      Log("Font \"%s\" (Japanese) not found: fontconfig offers no usable face, so no text is shown\n",
          desc.faceName.c_str());
    else if (!s.font->HasGlyph(0x3042) || !s.font->HasGlyph(0x6F22))
      Log("Font \"%s\" (Japanese) not found: using \"%s\" (%s), which has no Japanese glyphs\n",
          desc.faceName.c_str(), s.font->FamilyName().c_str(), s.font->FacePath().c_str());
    s.createdOnce = true;
  }

  if (!s.pp.Windowed) {
    // Win32 keeps a display counter; hide until it is below zero (bounded, in case it never is).
    for (int guard = 0; guard < 64 && os::ShowCursor(false) >= 0; ++guard) {
    }
  }
  return 1;
}

void CloseGraphicsDevice() {
  GraphicsState& s = State();
  // The font holds textures of this device, so it goes with it and a later initialisation makes
  // it afresh for the new device.
  s.font.reset();
  CloseLog();
  s.createdOnce = false;
  s.device.reset();
}

gfx::CDevice* GetDevice() { return State().device.get(); }
const gfx::PresentParameters& GetPresentParameters() { return State().pp; }
float GetScreenWidth() { return State().screenWidth; }
float GetScreenHeight() { return State().screenHeight; }
gfx::Color GetPreviousClearColor() { return State().previousClearColor; }
void SetPreviousClearColor(gfx::Color color) { State().previousClearColor = color; }
bool IsDeviceLost() { return State().deviceLost; }
void SetDeviceLost(bool lost) { State().deviceLost = lost; }
gfxutil::CFont* GetFont() { return State().font.get(); }
bool DebugDrawEnabled() { return State().debugDraw; }
void SetDebugDraw(bool on) { State().debugDraw = on; }
bool ReadoutShown() { return State().readout; }
void SetReadoutShown(bool shown) { State().readout = shown; }

bool ResizePicture(int width, int height) {
  GraphicsState& s = State();
  if (!s.device || width <= 0 || height <= 0) return false;
  if (!s.device->ResizeBackBuffer(static_cast<uint32_t>(width), static_cast<uint32_t>(height))) return false;
  s.pp.BackBufferWidth = static_cast<uint32_t>(width);
  s.pp.BackBufferHeight = static_cast<uint32_t>(height);
  s.screenWidth = static_cast<float>(width);
  s.screenHeight = static_cast<float>(height);
  gfx::Viewport vp;
  vp.Width = s.pp.BackBufferWidth;
  vp.Height = s.pp.BackBufferHeight;
  vp.MinZ = 0.0f;
  vp.MaxZ = 1.0f;
  s.device->SetViewport(vp);
  return true;
}

gfx::Result PresentFrame() {
  GraphicsState& s = State();
  if (!s.device) return gfx::D3DERR_INVALIDCALL;
  if (s.beforePresent) s.beforePresent();
  return s.device->Present();
}

void SetBeforePresentHook(BeforePresentHook hook) { State().beforePresent = hook; }

gfx::Result PresentAndResetIfLost() {
  GraphicsState& s = State();
  if (!s.device) return gfx::D3DERR_INVALIDCALL;
  const gfx::Result r = PresentFrame();
  if (r == gfx::D3DERR_DEVICELOST) s.device->Reset(s.pp);  // its result is not needed
  return r;
}

void SetDeviceCreatorForTests(DeviceCreator creator, DisplayModeQuery displayMode) {
  State().creator = creator;
  State().displayMode = displayMode;
}

}  // namespace app
