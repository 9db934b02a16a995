#include "app/app.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/frame_services.h"
#include "app/game_services.h"
#include "app/reason.h"
#include "core/log.h"
#include "platform/gfx/device.h"
#include "platform/os/clock.h"
#include "platform/os/files.h"
#include "platform/os/host_loop.h"
#include "platform/os/input_device.h"
#include "platform/os/message_box.h"
#include "platform/os/system_info.h"
#include "platform/os/window.h"
#include "scene/scene.h"
#include "scene/team_logo_scene.h"
#include "sound/music_stream.h"
#include "sound/sound_device.h"
#include "unit/camera.h"
#include "unit/camera_manager.h"
#include "unit/player.h"

namespace app {
namespace {

constexpr const char* kClassName = "Ostrevant";
constexpr const char* kTitle = "BRIMMEL";

struct LoopState {
  int active = 0;
  bool firstFrame = true;
  uint32_t secondStart = 0;
  int frameCounter = 0;
  char title[256] = "";
  uint64_t framesRun = 0;
  uint64_t stepsRun = 0;
  bool screenshotAsked = false;  // F12: taken from the next finished frame, before it is shown
  bool drawing = true;           // false for the steps a browser turn runs but does not draw
  CFramePacer pacer;             // kept here: a host-driven loop outlives MessageLoop's stack frame
  FrameHook hook = nullptr;
  // The running game: the window procedure is called without one, and a host-driven loop
  // outlives RunGame's stack frame.
  GameServices* game = nullptr;
};
LoopState g_loop;
std::string g_screenshotDir = ".";

void ResetLoopState() {
  const FrameHook hook = g_loop.hook;
  g_loop = LoopState{};
  g_loop.hook = hook;
  SetDebugDraw(false);
  SetReadoutShown(true);
}

// brimmel-YYYYMMDD-HHMMSS.png, with -2, -3, ... when several are taken within a second.
std::string NextScreenshotPath(const std::string& dir) {
  char stamp[32] = "0";
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local)) std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string base = (dir.empty() ? std::string(".") : dir) + "/brimmel-" + stamp;
  std::error_code ec;
  std::string path = base + ".png";
  for (int n = 2; std::filesystem::exists(os::PathFromUtf8(path), ec) && n < 1000; ++n)
    path = base + "-" + std::to_string(n) + ".png";
  return path;
}

void UpdateTitle() {
  if (g_loop.firstFrame) {
    g_loop.secondStart = os::TimeGetTime();
    g_loop.firstFrame = false;
  }
  ++g_loop.frameCounter;
  const uint32_t t = os::TimeGetTime();
  if (t - g_loop.secondStart >= 1000u) {
    g_loop.secondStart = t;
    const long long kb = static_cast<long long>(os::AvailablePhysicalMemory()) / 1024;
    std::snprintf(g_loop.title, sizeof g_loop.title, "FPS:%d, MEMORY = %dKB", g_loop.frameCounter,
                  static_cast<int>(kb));
    g_loop.frameCounter = 0;
  }
  if (os::GetWindowTitle() != g_loop.title) os::SetWindowTitle(g_loop.title);
}

// Before each present: the back buffer still holds the finished picture (after the swap a driver
// may have discarded it), so an asked-for screenshot is read here.
void BeforePresent() {
  if (!g_loop.screenshotAsked || !g_loop.drawing) return;
  g_loop.screenshotAsked = false;
  TakeScreenshot();
}

void RunOneFrame() {
  CSceneManager& scenes = *g_loop.game->scenes;
  if (CInput* input = scenes.Input()) input->Update();
  os::ForgetKeyTaps();
  scenes.Frame();
  ++g_loop.stepsRun;
}

// A stage is being played (not a picture scene before it).
bool Playing() { return g_loop.game && g_loop.game->Player() != nullptr; }

// The pause screen's turn: true when the game is paused and the turn drew the paused picture
// instead of a step. The frame counter of the read-out starts a new second after the pause.
bool PausedTurn() {
  CPauseScreen& pause = *g_loop.game->pause;
  if (!pause.Turn()) return false;
  pause.DrawFrame();
  os::ForgetKeyTaps();
  g_loop.firstFrame = true;
  g_loop.frameCounter = 0;
  return true;
}

// After a paused turn: tests still see it, the read-out and the page's status do not change.
void AfterPausedTurn() {
  ++g_loop.framesRun;
  if (g_loop.hook) g_loop.hook(*g_loop.game, g_loop.framesRun);
}

// For a hosting page: the scene, where the player stands and where the camera looks, and the
// player's height (a jump).
void PublishPageStatus() {
  if (!os::HostDrivesLoop()) return;
  const CSceneManager& scenes = *g_loop.game->scenes;
  const CScene* scene = scenes.GetCurrentScene();
  const CPlayer* player = g_loop.game->Player();
  const CStageWorld* world = scenes.CurrentWorld();
  const CCameraManager* cameras = world ? world->Context().cameras : nullptr;
  const CCamera* camera = cameras ? cameras->Current() : nullptr;
  char text[160];
  std::snprintf(text, sizeof text, "%s %.2f %.2f %.4f %.2f", scene ? scene->Name() : "-",
                player ? player->GetPosition().x : 0.0f, player ? player->GetPosition().z : 0.0f,
                camera ? camera->Body().rotation.y : 0.0f, player ? player->GetPosition().y : 0.0f);
  os::SetPageStatus(text);
}

void AfterFrame() {
  UpdateTitle();
  PublishPageStatus();
  ++g_loop.framesRun;
  if (g_loop.hook) g_loop.hook(*g_loop.game, g_loop.framesRun);
}

int MessageLoop() {
  os::Message msg;
  for (;;) {
    if (os::PeekMessage()) {
      if (!os::GetMessage(msg)) return static_cast<int>(msg.wParam);
      os::DispatchMessage(msg);
      continue;
    }
    if (g_loop.active != 1) {
      os::WaitMessage();
      continue;
    }
    if (PausedTurn()) {
      g_loop.pacer.Pace();
      AfterPausedTurn();
      continue;
    }
    RunOneFrame();
    g_loop.pacer.Pace();
    AfterFrame();
  }
}

// The same loop for a host that calls it once per display frame: messages first, then the frames
// that are due, never a wait.
int HostTurn() {
  os::Message msg;
  while (os::PeekMessage()) {
    if (!os::GetMessage(msg)) {
      os::StopHostLoop();
      return 0;
    }
    os::DispatchMessage(msg);
  }
  if (g_loop.active != 1) {
    g_loop.pacer.Due();  // inactive time is not made up
    return 0;
  }
  // Every due step runs, but only the last is drawn: the display shows one picture per turn, and
  // drawing the ones it would never show is what makes a slow page fall further behind.
  const uint32_t due = g_loop.pacer.Due();
  if (due > 0 && PausedTurn()) {
    AfterPausedTurn();
    return 0;  // no step ran
  }
  for (uint32_t i = 0; i < due; ++i) {
    g_loop.drawing = i + 1 == due;
    if (gfx::CDevice* device = GetDevice()) device->SetDrawing(g_loop.drawing);
    RunOneFrame();
    AfterFrame();
  }
  g_loop.drawing = true;
  if (gfx::CDevice* device = GetDevice()) device->SetDrawing(true);
  return static_cast<int>(due);
}

// A start-up failure: the reason goes to the log and, with a pointer to the log, to the player.
void ReportStartFailure(const std::string& reason) {
  Log("%s\n", reason.c_str());
  os::MessageBox((reason + " See profile.txt.").c_str(), kTitle);
}

// Why no graphics device could be made. A full-screen FORMAT that cannot be a back buffer fails
// every attempt, so that is named rather than blamed on the driver.
std::string GraphicsFailure(const CConfig& config) {
  if (config.window == 0 && !gfx::CDevice::IsBackBufferFormat(static_cast<uint32_t>(config.format))) {
    const char* what = config.format == 0 ? "is not a format name this game knows"
                                          : "cannot be the format of a full-screen picture";
    return std::string(settings::kFormat.name) + "=" + config.formatName + " in " + settings::kFileName +
           " " + what + "; use a colour format such as R5G6B5 or X8R8G8B8, or WINDOW=1.";
  }
  return "The graphics device could not be created (OpenGL 3.3 is required).";
}

// The display went away under the game: nothing can be shown again, and the usual teardown (and
// any exit that runs the static destructors) would talk to a display that is gone. The log says
// why, the music stops, and the process ends at once.
void DisplayLost() {
  Log("The display went away (its server ended or closed the connection); the game ends.\n");
  StopStream();
  CloseLog();
  std::fflush(nullptr);
  std::_Exit(1);
}

}  // namespace

CPlayer* GameServices::Player() const {
  const CStageWorld* world = scenes ? scenes->CurrentWorld() : nullptr;
  return world ? world->Context().player : nullptr;
}

void CFramePacer::Pace() {
  uint32_t now = os::TimeGetTime();
  uint32_t v = 3u * now - 3u * previous_ + carry_;
  while (v < 50u) {
    os::Sleep(1);
    now = os::TimeGetTime();
    v = 3u * now - 3u * previous_ + carry_;
  }
  previous_ = now;
  carry_ = v % 50u;
}

uint32_t CFramePacer::Due() {
  const uint32_t now = os::TimeGetTime();
  const uint32_t v = 3u * now - 3u * previous_ + carry_;
  previous_ = now;
  carry_ = v % 50u;
  const uint32_t due = v / 50u;
  return due > kMaxCatchUp ? 1u : due;
}

intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case os::WM_DESTROY:
    case os::WM_CLOSE:
      os::PostQuitMessage(0);
      return 0;
    case os::WM_ACTIVATE:
      g_loop.active = wParam != 0 ? 1 : 0;
      if (g_loop.active == 0 && g_loop.game && g_loop.game->pause) g_loop.game->pause->FocusLost(Playing());
      return 0;
    case os::WM_SIZE:
      // A page that follows its canvas asks for the picture at the canvas's new size.
      ResizePicture(static_cast<int>(lParam & 0xFFFF), static_cast<int>((lParam >> 16) & 0xFFFF));
      return 0;
    case os::WM_KEYDOWN:
      if (wParam == os::VK_ESCAPE)
        os::PostQuitMessage(0);
      else if (wParam == os::VK_F2)
        SetDebugDraw(!DebugDrawEnabled());
      // lParam is 1 for an auto-repeat: holding F3 or F12 acts once.
      if (lParam == 0 && wParam == os::VK_F3) SetReadoutShown(!ReadoutShown());
      if (lParam == 0 && wParam == os::VK_F12) g_loop.screenshotAsked = true;
      return 0;
    default:
      return 0;
  }
}

std::string TakeScreenshot() {
  gfx::CDevice* device = GetDevice();
  if (!device) return {};
  std::error_code ec;
  std::filesystem::create_directories(os::PathFromUtf8(g_screenshotDir), ec);
  const std::string path = NextScreenshotPath(g_screenshotDir);
  if (!device->SaveScreenshot(path)) {
    Log("Screenshot could not be written: %s\n", path.c_str());
    return {};
  }
  Log("Screenshot: %s\n", path.c_str());
  // In a browser the file lands in the page's memory: the page hands it to the player.
  os::OfferFile(path);
  return path;
}
bool IsActive() { return g_loop.active == 1; }
void SetFrameHook(FrameHook hook) { g_loop.hook = hook; }
uint64_t FramesRun() { return g_loop.framesRun; }
uint64_t StepsRun() { return g_loop.stepsRun; }

int RunGame() { return RunGame(LaunchSettings{}); }

int RunGame(const LaunchSettings& settings) {
  ResetLoopState();
  SetBeforePresentHook(BeforePresent);
  g_screenshotDir = settings.screenshotDir;
  auto game = std::make_unique<GameServices>(settings.configFile.c_str());
  CConfig& config = game->config;
  if (settings.window >= 0) config.window = settings.window;
  if (settings.width > 0 && settings.height > 0) {
    config.width = settings.width;
    config.height = settings.height;
  }
  SetLogPath(settings.logFile);
  os::SetDisplayLostHandler(DisplayLost);

  // Before the graphics start-up, which opens the log, a failure opens it itself, so the reason
  // replaces the previous run's log.
  auto failBeforeGraphics = [&config](const std::string& reason) {
    OpenLog(LogPath().c_str());
    if (!config.notes.empty()) Log("%s", config.notes.c_str());
    ReportStartFailure(reason);
    CloseLog();
  };
  if (!os::RegisterWindowClass(kClassName, WindowProc) || !os::InitSystem()) {
    failBeforeGraphics(WithReason("The video system could not be started", os::SystemError()));
    os::UnregisterWindowClass();
    return 1;
  }
  if (!settings.controllerMappings.empty()) os::AddControllerMappings(settings.controllerMappings.c_str());
  if (!os::CreateMainWindow(kTitle, config.width, config.height, config.window != 0)) {
    failBeforeGraphics(WithReason("The game window could not be opened", os::SystemError()));
    os::ShutdownSystem();
    return 1;
  }
  os::ShowMainWindow();

  if (!InitGraphics(config)) {
    // Nothing could be drawn: say so and fail, rather than run blind and report success. The
    // device's own log line has no line end.
    Log("\n");
    ReportStartFailure(GraphicsFailure(config));
    ShutdownGraphics();
    os::DestroyMainWindow();
    os::ShutdownSystem();
    return 1;
  }
  if (!settings.logFile.empty() && !LogIsOpen())
    std::fprintf(stderr, "brimmel: cannot write the log '%s'; playing without one\n",
                 settings.logFile.c_str());
  game->keys.Load(settings.configFile.c_str());
  InitSound();
  game->scenes = std::make_unique<CSceneManager>(config, game->keys);
  // The web edition's page is the window: it has no display mode or size of its own to set.
  game->pause = std::make_unique<CPauseScreen>(config.musicVolume, config.effectsVolume, config.fileName,
                                               game->keys, &game->scenes->Sounds(), !os::HostDrivesLoop());
  g_loop.game = game.get();

  game->scenes->SetNextScene(&game->scenes->TeamLogo());
  game->scenes->Switch();

  if (os::HostDrivesLoop()) {
    // The host keeps calling HostTurn; where it returns, the page is ending and keeps nothing, so
    // the game is never taken down.
    g_loop.pacer = CFramePacer{};
    game.release();
    os::RunHostLoop(HostTurn);
    return 0;
  }
  const int exitCode = MessageLoop();

  g_loop.game = nullptr;
  // The scenes go first: the pause screen lets held sound go only once the music has stopped.
  game->scenes.reset();
  game->pause.reset();
  game.reset();
  ShutdownSound();
  ShutdownGraphics();
  os::DestroyMainWindow();
  os::UnregisterWindowClass();
  os::ShutdownSystem();
  return exitCode;
}

}  // namespace app
