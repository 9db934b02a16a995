// Frame pacing of the real game loop on the real clock in an X window (under Xvfb, started here
// when the process has no display of its own): the intervals between the ends of consecutive
// frames (each frame presents, then waits out its 50/3 ms), over the title and then the home
// stage, as the 99th percentile. The stage load, which the fade hides, is left out.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/game_services.h"
#include "platform/audio/device.h"
#include "platform/os/window.h"
#include "scene/home_stage_scene.h"
#include "scene/scene_manager.h"
#include "scene/title_scene.h"
#include "x_window.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
  double seconds = 60, titleSeconds = 10;
  Clock::time_point start, last;
  bool started = false;
  const CScene* lastScene = nullptr;
  std::vector<double> intervals;
};
Run g_run;

void Hook(app::GameServices& game, uint64_t) {
  const Clock::time_point now = Clock::now();
  CSceneManager& scenes = *game.scenes;
  const CScene* scene = scenes.GetCurrentScene();
  if (!g_run.started) {
    if (scene != &scenes.Title()) return;  // the logo plays first
    g_run.started = true;
    g_run.start = g_run.last = now;
    g_run.lastScene = scene;
    return;
  }
  const double since = std::chrono::duration<double>(now - g_run.start).count();
  if (scene == g_run.lastScene) {
    g_run.intervals.push_back(std::chrono::duration<double, std::milli>(now - g_run.last).count());
  }
  g_run.last = now;
  g_run.lastScene = scene;
  if (scene == &scenes.Title() && since >= g_run.titleSeconds &&
      scenes.GetNextScene() != &scenes.HomeStage()) {
    scenes.RequestScene(&scenes.HomeStage());
  }
  if (since >= g_run.seconds) os::PostQuitMessage(0);
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
  return v[i];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) g_run.seconds = std::max(2.0, std::atof(argv[1]));
  g_run.titleSeconds = g_run.seconds / 6;
  RunInXWindow(argc, argv, "pacing");
  // The mix is not listened to: a loopback device keeps a machine without sound from stopping
  // the run at the no-sound message.
  audio::SetOutput(audio::Output::kLoopback);
  app::SetFrameHook(Hook);
  const int code = app::RunGame();
  app::SetFrameHook(nullptr);
  if (g_run.intervals.size() < 60) {
    std::fprintf(stderr, "pacing: the game ran %zu frames (exit %d)\n", g_run.intervals.size(), code);
    return 1;
  }
  std::printf("frame_pacing_median_ms: %.2f ms\n", Percentile(g_run.intervals, 0.5));
  std::printf("frame_pacing_p99_ms: %.2f ms\n", Percentile(g_run.intervals, 0.99));
  std::printf("frame_pacing_max_ms: %.2f ms\n", Percentile(g_run.intervals, 1.0));
  return 0;
}
