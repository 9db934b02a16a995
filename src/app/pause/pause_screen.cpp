#include "app/pause/pause_screen.h"

#include <algorithm>
#include <cstdio>

#include "core/graphics.h"
#include "core/input.h"
#include "core/settings_file.h"
#include "effect/sprite.h"
#include "platform/os/input_device.h"
#include "platform/os/window.h"
#include "sound/sound_device.h"

namespace app {

namespace {

// A held arrow repeats after 24 turns, then every 6.
constexpr int kRepeatAfter = 24;
constexpr int kRepeatEvery = 6;

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kGrey = 0xFFC8C8C8u;
constexpr uint32_t kChosen = 0xFFFFE060u;
constexpr uint32_t kWarning = 0xFFFF8070u;
// The kept picture at a little under half its brightness, so the text over it reads.
constexpr uint32_t kDimmed = 0xFF707070u;
constexpr uint32_t kPanel = 0xB0000000u;

bool KeyDown(int key) { return os::GetAsyncKeyState(key) < 0; }

// What the pause screen's 2D drawing changes, put back afterwards so the game's next frame finds
// the device as its last frame left it.
class CSavedStates {
 public:
  explicit CSavedStates(gfx::CDevice& device) : device_(device) {
    for (size_t i = 0; i < std::size(kStates); ++i) states_[i] = device.GetRenderState(kStates[i]);
    for (size_t i = 0; i < std::size(kStages); ++i) stages_[i] = device.GetTextureStageState(0, kStages[i]);
  }
  ~CSavedStates() {
    for (size_t i = 0; i < std::size(kStates); ++i) device_.SetRenderState(kStates[i], states_[i]);
    for (size_t i = 0; i < std::size(kStages); ++i) device_.SetTextureStageState(0, kStages[i], stages_[i]);
    device_.SetTexture(0, nullptr);
  }
  CSavedStates(const CSavedStates&) = delete;
  CSavedStates& operator=(const CSavedStates&) = delete;

 private:
  static constexpr gfx::RenderState kStates[] = {
      gfx::D3DRS_ZENABLE,   gfx::D3DRS_ZWRITEENABLE, gfx::D3DRS_LIGHTING,  gfx::D3DRS_ALPHABLENDENABLE,
      gfx::D3DRS_FOGENABLE, gfx::D3DRS_SRCBLEND,     gfx::D3DRS_DESTBLEND, gfx::D3DRS_CULLMODE};
  static constexpr gfx::TextureStageState kStages[] = {
      gfx::D3DTSS_COLOROP,   gfx::D3DTSS_COLORARG1, gfx::D3DTSS_COLORARG2, gfx::D3DTSS_ALPHAOP,
      gfx::D3DTSS_ALPHAARG1, gfx::D3DTSS_ALPHAARG2, gfx::D3DTSS_MINFILTER, gfx::D3DTSS_MAGFILTER};
  gfx::CDevice& device_;
  uint32_t states_[std::size(kStates)] = {};
  uint32_t stages_[std::size(kStages)] = {};
};

std::string SizeText(int w, int h) { return std::to_string(w) + " x " + std::to_string(h); }

}  // namespace

bool CPauseScreen::Key::Pressed(bool now, bool repeats) {
  if (!now) {
    down = false;
    held = 0;
    return false;
  }
  if (!down) {
    down = true;
    held = 0;
    return true;
  }
  ++held;
  return repeats && held >= kRepeatAfter && (held - kRepeatAfter) % kRepeatEvery == 0;
}

bool CPauseScreen::ButtonDown(int button) const { return os::AnyKeyDown(keys_.Keys(button)); }

CPauseScreen::CPauseScreen(int musicLevel, int effectsLevel, const std::string& settingsFile,
                           const CKeyBindings& keys, SoundBank* effects, bool hasDisplaySettings)
    : keys_(keys) {
  settings_.Load(musicLevel, effectsLevel, settingsFile, effects);
  items_ = {Item::kMusic, Item::kEffects};
  if (hasDisplaySettings) items_.insert(items_.end(), {Item::kDisplay, Item::kSize});
  items_.insert(items_.end(), {Item::kReadout, Item::kKeys, Item::kResume});
}

CPauseScreen::~CPauseScreen() {
  if (paused_) PauseSound(false);
}

bool CPauseScreen::Turn() {
  os::JoyInfo joy;
  const bool joyThere = os::JoyGetPos(joy);
  const uint32_t buttons = joyThere ? joy.buttons : 0u;
  // Every key is followed on every turn, so one already held when the pause began is not a press.
  const bool toggle =
      toggle_.Pressed(KeyDown('P') || KeyDown(os::VK_PAUSE) || (buttons & pad::kStart), false);
  const bool mute = mute_.Pressed(KeyDown('M'), false);
  const bool up = up_.Pressed(ButtonDown(2) || (joyThere && joy.yPos < pad::kAxisLow), true);
  const bool down = down_.Pressed(ButtonDown(3) || (joyThere && joy.yPos > pad::kAxisHigh), true);
  const bool left = left_.Pressed(ButtonDown(1) || (joyThere && joy.xPos < pad::kAxisLow), true);
  const bool right = right_.Pressed(ButtonDown(0) || (joyThere && joy.xPos > pad::kAxisHigh), true);
  const bool pick = pick_.Pressed(ButtonDown(4) || KeyDown(os::VK_RETURN) || (buttons & pad::kA), false);
  const bool back = back_.Pressed(ButtonDown(5) || (buttons & pad::kB), false);

  if (mute) settings_.SetMuted(!settings_.Muted());
  if (toggle) {
    if (paused_)
      Resume();
    else
      Pause();
    return paused_;
  }
  if (!paused_) return false;
  // Play goes on once the key that chose it is let go, so the game does not see it pressed.
  if (resumeOnRelease_) {
    if (!pick_.down) Resume();
    return paused_;
  }
  if (keysPage_) {
    if (pick || back || left) keysPage_ = false;
    return true;
  }
  const size_t n = items_.size();
  if (up) selected_ = (selected_ + n - 1) % n;
  if (down) selected_ = (selected_ + 1) % n;
  if (left) Change(-1);
  if (right) Change(1);
  if (pick) Pick();
  return true;
}

void CPauseScreen::Pause() {
  if (paused_) return;
  CaptureLastPicture();
  PauseSound(true);
  paused_ = true;
  keysPage_ = false;
  resumeOnRelease_ = false;
  selected_ = 0;
}

void CPauseScreen::Resume() {
  if (!paused_) return;
  paused_ = false;
  keysPage_ = false;
  resumeOnRelease_ = false;
  picture_.reset();
  PauseSound(false);
}

void CPauseScreen::FocusLost(bool playing) {
  if (playing) Pause();
}

void CPauseScreen::Change(int step) {
  switch (Selected()) {
    case Item::kMusic:
      settings_.SetMusicLevel(settings_.MusicLevel() + 10 * step);
      SaveLevels();
      break;
    case Item::kEffects:
      settings_.SetEffectsLevel(settings_.EffectsLevel() + 10 * step);
      SaveLevels();
      break;
    case Item::kDisplay: {
      const bool full = !os::IsFullScreen();
      if (!os::SetFullScreen(full)) {
        notice_ = "The display cannot change now.";
        break;
      }
      Save({settings::kWindow.Set(full ? "0" : "1")});
      break;
    }
    case Item::kSize: {
      const std::vector<std::pair<int, int>> sizes = PictureSizes();
      const gfx::PresentParameters& pp = GetPresentParameters();
      const std::pair<int, int> now{static_cast<int>(pp.BackBufferWidth),
                                    static_cast<int>(pp.BackBufferHeight)};
      const auto at = std::find(sizes.begin(), sizes.end(), now);
      const int n = static_cast<int>(sizes.size());
      if (n < 2 || at == sizes.end()) break;
      const auto& [w, h] = sizes[static_cast<size_t>((static_cast<int>(at - sizes.begin()) + step + n) % n)];
      if (!ResizePicture(w, h)) {
        notice_ = SizeText(w, h) + " cannot be drawn here.";
        break;
      }
      if (!os::IsFullScreen()) os::ResizeMainWindow(w, h);
      Save({settings::kWidth.Set(std::to_string(w)), settings::kHeight.Set(std::to_string(h))});
      break;
    }
    case Item::kReadout:
      SetReadoutShown(!ReadoutShown());
      break;
    case Item::kKeys:
    case Item::kResume:
      break;
  }
}

void CPauseScreen::Pick() {
  switch (Selected()) {
    case Item::kDisplay:
    case Item::kReadout:
      Change(1);
      break;
    case Item::kKeys:
      keysPage_ = true;
      break;
    case Item::kResume:
      resumeOnRelease_ = true;
      break;
    default:
      break;
  }
}

void CPauseScreen::SaveLevels() {
  notice_.clear();
  if (!settings_.SaveLevels()) notice_ = "Not saved: " + settings_.LastError();
}

void CPauseScreen::Save(const std::vector<os::ProfileValue>& values) {
  notice_.clear();
  if (!settings_.Save(values)) notice_ = "Not saved: " + settings_.LastError();
}

std::vector<std::pair<int, int>> CPauseScreen::PictureSizes() const {
  std::vector<std::pair<int, int>> sizes = os::DisplaySizes();
  const gfx::PresentParameters& pp = GetPresentParameters();
  const std::pair<int, int> now{static_cast<int>(pp.BackBufferWidth), static_cast<int>(pp.BackBufferHeight)};
  if (std::find(sizes.begin(), sizes.end(), now) == sizes.end()) sizes.push_back(now);
  auto fourByThree = [](const std::pair<int, int>& s) { return s.first * 3 == s.second * 4; };
  std::stable_sort(sizes.begin(), sizes.end(), [&](const auto& a, const auto& b) {
    if (fourByThree(a) != fourByThree(b)) return fourByThree(a);
    return a.first * a.second > b.first * b.second;
  });
  return sizes;
}

void CPauseScreen::CaptureLastPicture() {
  picture_.reset();
  gfx::CDevice* device = GetDevice();
  std::vector<uint32_t> argb;
  uint32_t w = 0, h = 0;
  if (!device || !device->ReadBackBuffer(argb, w, h) || w == 0 || h == 0) return;
  for (uint32_t& p : argb) p |= 0xFF000000u;
  picture_ = device->CreateTexture(w, h, 1);
  if (picture_ && !picture_->SetLevel(0, argb.data())) picture_.reset();
}

void CPauseScreen::DrawFrame() {
  gfx::CDevice* device = GetDevice();
  if (!device) return;
  device->BeginScene();
  device->Clear(gfx::D3DCLEAR_TARGET | gfx::D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  {
    CSavedStates saved(*device);
    Set2DRenderStates(*device);
    DrawPicture(*device);
    DrawPanel(*device);
  }
  if (keysPage_)
    DrawKeys();
  else
    DrawSettings();
  device->EndScene();
  PresentAndResetIfLost();
}

void CPauseScreen::DrawPicture(gfx::CDevice& device) {
  if (!picture_) return;
  const float w = GetScreenWidth(), h = GetScreenHeight();
  const ScreenVertex v[6] = {
      {0, 0, 0, 1, kDimmed, 0, 0}, {w, h, 0, 1, kDimmed, 1, 1}, {0, h, 0, 1, kDimmed, 0, 1},
      {0, 0, 0, 1, kDimmed, 0, 0}, {w, 0, 0, 1, kDimmed, 1, 0}, {w, h, 0, 1, kDimmed, 1, 1},
  };
  device.SetTextureStageState(0, gfx::D3DTSS_MINFILTER, gfx::D3DTEXF_LINEAR);
  device.SetTextureStageState(0, gfx::D3DTSS_MAGFILTER, gfx::D3DTEXF_LINEAR);
  device.SetTexture(0, picture_.get());
  device.SetVertexShader(kScreenFvf);
  device.DrawPrimitiveUP(gfx::D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex));
  device.SetTexture(0, nullptr);
}

void CPauseScreen::DrawPanel(gfx::CDevice&) {
  if (const auto& black = GetBlackSprite()) black->Draw2D(40, 36, 600, 444, 0, 0, 1, 1, kPanel);
}

void CPauseScreen::Text(const std::string& text, float x, float y, uint32_t color, uint32_t format) {
  gfxutil::CFont* font = GetFont();
  if (!font) return;
  const float sx = GetScreenWidth() / 640.0f, sy = GetScreenHeight() / 480.0f;
  gfxutil::Rect rect{static_cast<int32_t>(x * sx), static_cast<int32_t>(y * sy),
                     static_cast<int32_t>(GetScreenWidth()), static_cast<int32_t>(y * sy) + 64};
  if (format & gfxutil::DT_CENTER) rect.left = 0;
  font->DrawText(text.c_str(), -1, &rect, format | gfxutil::DT_NOCLIP, color);
}

void CPauseScreen::DrawSettings() {
  Text("PAUSED", 0, 52, kWhite, gfxutil::DT_CENTER);
  float y = 96;
  for (size_t i = 0; i < items_.size(); ++i) {
    std::string label, value;
    switch (items_[i]) {
      case Item::kMusic:
        label = "Music volume";
        value = "< " + std::to_string(settings_.MusicLevel()) + " >";
        break;
      case Item::kEffects:
        label = "Effects volume";
        value = "< " + std::to_string(settings_.EffectsLevel()) + " >";
        break;
      case Item::kDisplay:
        label = "Display";
        value = os::IsFullScreen() ? "Full screen" : "Window";
        break;
      case Item::kSize: {
        label = "Picture size";
        const gfx::PresentParameters& pp = GetPresentParameters();
        value = "< " + SizeText(static_cast<int>(pp.BackBufferWidth), static_cast<int>(pp.BackBufferHeight)) +
                " >";
        break;
      }
      case Item::kReadout:
        label = "Read-out";
        value = ReadoutShown() ? "On" : "Off";
        break;
      case Item::kKeys:
        label = "Keys";
        value = "X: show";
        break;
      case Item::kResume:
        label = "Play on";
        break;
    }
    const bool chosen = i == selected_;
    const uint32_t color = chosen ? kChosen : kGrey;
    Text(chosen ? "> " + label : "  " + label, 96, y, color);
    Text(value, 336, y, color);
    y += 26;
  }
  if (settings_.Muted()) Text("Sound muted (M)", 0, y + 4, kWarning, gfxutil::DT_CENTER);
  if (!notice_.empty()) Text(notice_, 0, y + 26, kWarning, gfxutil::DT_CENTER);
  Text("Up, Down: choose    Left, Right: change    X: pick", 0, 372, kWhite, gfxutil::DT_CENTER);
  Text("P, Pause or pad Start: play on    M: sound on and off", 0, 394, kWhite, gfxutil::DT_CENTER);
  if (std::find(items_.begin(), items_.end(), Item::kDisplay) != items_.end())
    Text("Esc: quit the game", 0, 416, kWhite, gfxutil::DT_CENTER);
}

void CPauseScreen::DrawKeys() {
  Text("KEYS", 0, 52, kWhite, gfxutil::DT_CENTER);
  static constexpr struct {
    const char* what;
    int button;
  } kRows[] = {{"Walk right", 0},    {"Walk left", 1},          {"Walk forward", 2},
               {"Walk back", 3},     {"Run, confirm", 4},       {"Jump", 5},
               {"Camera round", 10}, {"Camera back round", 13}, {"Look around", 12}};
  float y = 84;
  for (const auto& row : kRows) {
    Text(row.what, 96, y, kGrey);
    Text(os::KeyListName(keys_.Keys(row.button)), 304, y, kWhite);
    y += 20;
  }
  const bool desktop = std::find(items_.begin(), items_.end(), Item::kDisplay) != items_.end();
  const char* const kFixed[][2] = {
      {"Pause", "P, Pause, pad Start"},
      {"Sound on, off", "M"},
      {"Pad", "stick walks, A runs, B jumps"},
      {"", "shoulders turn, Y looks"},
      {"More", "F2 wireframe, F3 read-out, F12 picture"},
  };
  for (const auto& line : kFixed) {
    Text(line[0], 96, y, kGrey);
    Text(line[1], 304, y, kWhite);
    y += 20;
  }
  if (desktop) {
    Text("Quit", 96, y, kGrey);
    Text("Esc", 304, y, kWhite);
  }
  Text("X: back", 0, 416, kWhite, gfxutil::DT_CENTER);
}

}  // namespace app
