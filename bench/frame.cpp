// Whole-frame figures of the real stages: the scene frame (player step, world update, late update,
// draw submission, present) of the home and forest stages on the null device and on GL (llvmpipe
// here) in an X window at 640x480, as a share of the 16.67 ms frame (by the clock, and by the
// processor time of all threads); the load from entering a stage to the end of its first frame;
// and the process's peak resident memory (saved shader programs and the driver's shader cache make
// a second run's figure the one a player meets from then on). Runs in the game folder with its
// generated data; the player is driven by random keys.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "app/frame_services.h"
#include "core/config.h"
#include "core/input.h"
#include "platform/audio/device.h"
#include "platform/gfx/device.h"
#include "platform/gfx/device_test_hooks.h"
#include "platform/os/window.h"
#include "scene/forest_stage_scene.h"
#include "scene/home_stage_scene.h"
#include "scene/scene_manager.h"
#include "scene/title_scene.h"
#include "sound/sound_device.h"
#include "support/fake_input.h"
#include "support/headless_game.h"
#include "support/null_device.h"
#include "support/random_play.h"
#include "x_window.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kFrameMs = 50.0 / 3.0;

double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

intptr_t Proc(uint32_t, uintptr_t, intptr_t) { return 0; }

double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The game's services as RunGame brings them up, on the null device or the real one.
class CGameServices {
 public:
  explicit CGameServices(bool nullDevice, bool plain = false) : nullDevice_(nullDevice) {
    if (nullDevice_) testdev::UseNullDevice();
    audio::SetOutput(audio::Output::kLoopback);
    ok_ = os::InitSystem() && os::RegisterWindowClass("Ostrevant", Proc) &&
          os::CreateMainWindow("BRIMMEL", config_.width, config_.height, config_.window != 0);
    if (!ok_) return;
    ok_ = app::InitGraphics(config_) == 1;
    if (ok_ && plain) gfx::TestHooks(app::GetDevice())->SetShortcuts(false);
    InitSound();
    manager_ = std::make_unique<CSceneManager>(config_, keys_);
  }
  ~CGameServices() {
    manager_.reset();
    ShutdownSound();
    app::ShutdownGraphics();
    os::DestroyMainWindow();
    os::UnregisterWindowClass();
    os::ShutdownSystem();
    if (nullDevice_) testdev::RestoreRealDevice();
  }
  bool Ok() const { return ok_; }
  CSceneManager& Manager() { return *manager_; }

  void Frame() {
    play_.Step(input_);
    if (CInput* input = manager_->Input()) input->Update();
    manager_->Frame();
  }
  // Enter to the end of the first frame, coming from the (cheap) title scene.
  double Enter(CScene* stage) {
    manager_->SetNextScene(&manager_->Title());
    manager_->Switch();
    manager_->SetNextScene(stage);
    const auto t0 = Clock::now();
    manager_->Switch();
    Frame();
    return Ms(t0, Clock::now());
  }
  // Median milliseconds of a stage frame over `frames`, after a settling run; `cpuMs` receives
  // the mean processor time per frame of all the process's threads (the rasterizer's included),
  // which other programs on the machine disturb far less than the clock.
  double MedianFrame(CScene* stage, int frames, double* cpuMs = nullptr) {
    Enter(stage);
    for (int i = 0; i < 120; ++i) Frame();
    std::vector<double> times;
    times.reserve(size_t(frames));
    double cpu = 0;
    for (int i = 0; i < frames; ++i) {
      const double c0 = ProcessCpuMs();
      const auto t0 = Clock::now();
      Frame();
      times.push_back(Ms(t0, Clock::now()));
      cpu += ProcessCpuMs() - c0;
      // Random steps can reach the home goal, which moves on to the forest: come back untimed.
      if (manager_->GetCurrentScene() != stage) {
        times.pop_back();
        cpu -= ProcessCpuMs() - c0;
        Enter(stage);
      }
    }
    if (cpuMs) *cpuMs = times.empty() ? 0 : cpu / double(times.size());
    return Median(times);
  }
  // Per-frame averages of what the device sent to GL over `frames` stage frames, fragments
  // included (counting waits for each frame, so it runs apart from the timed frames).
  void PrintWork(CScene* stage, const char* name, int frames) {
    gfx::CDeviceTestHooks* hooks = gfx::TestHooks(app::GetDevice());
    if (!hooks) return;
    Enter(stage);
    for (int i = 0; i < 120; ++i) Frame();
    hooks->CountWork(true);
    int counted = 0;
    for (int i = 0; i < frames && manager_->GetCurrentScene() == stage; ++i, ++counted) Frame();
    const gfx::WorkCounts c = hooks->TakeWorkCounts();
    hooks->CountWork(false);
    if (counted == 0) return;
    const double n = counted;
    std::printf("frame_%s_draw_calls: %.1f /frame\n", name, double(c.draws) / n);
    std::printf("frame_%s_program_changes: %.1f /frame\n", name, double(c.programChanges) / n);
    std::printf("frame_%s_texture_binds: %.1f /frame\n", name, double(c.textureBinds) / n);
    std::printf("frame_%s_state_changes: %.1f /frame\n", name, double(c.stateChanges) / n);
    std::printf("frame_%s_uniform_uploads: %.1f /frame\n", name, double(c.uniformUploads) / n);
    std::printf("frame_%s_triangles: %.0f /frame\n", name, double(c.triangles) / n);
    std::printf("frame_%s_culled_triangles: %.0f /frame\n", name, double(c.culledTriangles) / n);
    std::printf("frame_%s_fragments: %.0f /frame\n", name, double(c.fragments) / n);
    const double pixels = double(config_.width) * double(config_.height);
    std::printf("frame_%s_overdraw: %.2f x\n", name, double(c.fragments) / n / pixels);
    if (c.fragmentsPassed > 0)
      std::printf("frame_%s_fragments_passing_depth: %.0f /frame\n", name, double(c.fragmentsPassed) / n);
  }

 private:
  bool nullDevice_;
  CConfig config_{settings::kFileName};
  const CKeyBindings keys_;
  CFakeInput input_;
  testgame::CRandomPlay play_{777};
  bool ok_ = false;
  std::unique_ptr<CSceneManager> manager_;
};

}  // namespace

int main(int argc, char** argv) {
  RunInXWindow(argc, argv, "frame");
  const int frames = argc > 1 ? std::atoi(argv[1]) : 1200;
  // "frame N plain": the GL device without its shortcuts, for comparison.
  const bool plain = argc > 2 && std::string(argv[2]) == "plain";
  // "frame N loads": only the stage loads on the GL device, many times (for a profiler).
  if (argc > 2 && std::string(argv[2]) == "loads") {
    CGameServices game(false);
    if (!game.Ok()) return 1;
    std::vector<double> loads;
    for (int i = 0; i < frames; ++i) {
      loads.push_back(game.Enter(&game.Manager().HomeStage()));
      loads.push_back(game.Enter(&game.Manager().ForestStage()));
    }
    std::printf("stage_load_ms: %.1f ms\n", Median(loads));
    return 0;
  }
  {
    CGameServices game(true);
    if (!game.Ok()) {
      std::fprintf(stderr, "frame: the game services did not start\n");
      return 1;
    }
    const double h = game.MedianFrame(&game.Manager().HomeStage(), frames);
    const double f = game.MedianFrame(&game.Manager().ForestStage(), frames);
    std::printf("frame_logic_home_pct: %.3f %%\n", 100 * h / kFrameMs);
    std::printf("frame_logic_forest_pct: %.3f %%\n", 100 * f / kFrameMs);
    std::printf("frame_logic_pct: %.3f %%\n", 100 * std::max(h, f) / kFrameMs);
  }
  {
    CGameServices game(false, plain);
    if (!game.Ok()) {
      std::fprintf(stderr, "frame: no GL device in the X window\n");
      return 1;
    }
    std::vector<double> loads;
    for (int i = 0; i < 5; ++i) {
      loads.push_back(game.Enter(&game.Manager().HomeStage()));
      loads.push_back(game.Enter(&game.Manager().ForestStage()));
    }
    double hCpu = 0, fCpu = 0;
    const double h = game.MedianFrame(&game.Manager().HomeStage(), frames / 2, &hCpu);
    const double f = game.MedianFrame(&game.Manager().ForestStage(), frames / 2, &fCpu);
    std::printf("frame_llvmpipe_home_pct: %.2f %%\n", 100 * h / kFrameMs);
    std::printf("frame_llvmpipe_forest_pct: %.2f %%\n", 100 * f / kFrameMs);
    std::printf("frame_llvmpipe_pct: %.2f %%\n", 100 * std::max(h, f) / kFrameMs);
    std::printf("frame_llvmpipe_home_cpu_pct: %.2f %%\n", 100 * hCpu / kFrameMs);
    std::printf("frame_llvmpipe_forest_cpu_pct: %.2f %%\n", 100 * fCpu / kFrameMs);
    std::printf("stage_load_ms: %.1f ms\n", Median(loads));
    // The game's peak, taken before the counting below: its fragment queries make llvmpipe build
    // shader variants of their own, which the game never needs.
    std::printf("peak_rss_mb: %.1f MB\n", testgame::PeakResidentKiB() / 1024.0);
    game.PrintWork(&game.Manager().HomeStage(), "home", 120);
    game.PrintWork(&game.Manager().ForestStage(), "forest", 120);
  }
  return 0;
}
