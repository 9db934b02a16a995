// Requests to end the game on a POSIX desktop: SIGINT (Ctrl+C in a terminal) and SIGTERM (`kill`,
// a session logging out) arrive as a close request, as the window's close box does; a second one
// ends the process as the signal does by default. A message box
// up at the time is closed at once, as its OK would be: SDL shows a box from a process of its own
// and waits for that process, so the process is ended and SDL's wait returns.
#include <SDL.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <new>

#include "platform/os/session.h"

namespace os::internal {
namespace {

constexpr int kSignals[2] = {SIGINT, SIGTERM};

// In memory shared with the process forked to show a box, so that whichever of the request and
// the fork comes second sees the other: the handler finds the box's process, or the box's process
// finds the request and goes at once.
struct Shared {
  std::atomic<pid_t> boxPid{0};
  std::atomic<int> requested{0};
};
static_assert(std::atomic<pid_t>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "used from a signal handler and across processes");

Shared* g_shared = nullptr;
volatile sig_atomic_t g_boxOpen = 0;
std::atomic<int> g_untaken{0};
bool g_watching = false;
struct sigaction g_previous[2];

void OnEndRequest(int signal) {
  // The code interrupted may be about to read errno: kill() must not change it under its feet.
  const int savedErrno = errno;
  // A second request: the game did not end on the first (a hang, a long teardown), so the signal
  // ends the process as it does by default.
  const bool again = g_shared->requested.exchange(1) != 0;
  g_untaken.store(1);
  if (g_boxOpen) {
    const pid_t box = g_shared->boxPid.load();
    if (box > 0) kill(box, SIGKILL);
  }
  if (again) {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);  // delivered as this handler returns
  }
  errno = savedErrno;
}

// Runs in every child forked from this process; a child forked while a box opens shows the box.
void InForkedChild() {
  if (!g_boxOpen || !g_shared) return;
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  g_shared->boxPid.store(getpid());
  if (g_shared->requested.load()) _exit(1);
}

bool Prepare() {
  if (g_shared) return true;
  void* page = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (page == MAP_FAILED) return false;
  g_shared = new (page) Shared;
  pthread_atfork(nullptr, nullptr, InForkedChild);
  return true;
}

}  // namespace

void WatchQuitSignals(bool on) {
  // SDL's own handlers would queue a quit event that nothing reads while a box is up.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (!on || g_watching || !Prepare()) return;
  g_shared->requested.store(0);
  g_shared->boxPid.store(0);
  g_untaken.store(0);
  struct sigaction action {};
  action.sa_handler = OnEndRequest;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < 2; ++i) sigaction(kSignals[i], &action, &g_previous[i]);
  g_watching = true;
}

void UnwatchQuitSignals() {
  if (!g_watching) return;
  for (int i = 0; i < 2; ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
  g_watching = false;
}

bool TakeQuitRequest() { return g_untaken.exchange(0) != 0; }
bool QuitRequested() { return g_shared && g_shared->requested.load() != 0; }

void BoxOpening() {
  if (!g_watching) return;
  g_shared->boxPid.store(0);
  g_boxOpen = 1;
}

void BoxClosed() {
  g_boxOpen = 0;
  if (g_shared) g_shared->boxPid.store(0);
}

}  // namespace os::internal
