#include "support/xvfb.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace testgame {

bool OnPath(const char* program) {
  return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

CXvfb::CXvfb(bool windowManager) {
  int fds[2];
  if (pipe(fds) != 0) return;
  server_ = fork();
  if (server_ == 0) {
    close(fds[0]);
    const std::string fd = std::to_string(fds[1]);
    // No reset when the last client goes: a server between resets turns connections away.
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x720x24", "-nolisten", "tcp",
           "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  pollfd p{fds[0], POLLIN, 0};
  std::string number;
  char c = 0;
  while (poll(&p, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (number.empty()) return;
  // Ready when it takes a connection.
  for (int i = 0; i < 100; ++i) {
    if (::Display* x = XOpenDisplay((":" + number).c_str())) {
      XCloseDisplay(x);
      display_ = ":" + number;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (display_.empty() || !windowManager) return;
  manager_ = fork();
  if (manager_ == 0) {
    setenv("DISPLAY", display_.c_str(), 1);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
    _exit(127);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
}

CXvfb::~CXvfb() {
  for (const pid_t pid : {manager_, server_})
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
}

namespace {

int IgnoreError(Display*, XErrorEvent*) { return 0; }

// The window's WM_NAME in whatever encoding it was set (SDL sets UTF-8, which XFetchName skips).
std::string NameOf(Display* x, Window w) {
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, left = 0;
  unsigned char* data = nullptr;
  std::string name;
  if (XGetWindowProperty(x, w, XA_WM_NAME, 0, 256, False, AnyPropertyType, &type, &format, &items, &left,
                         &data) == Success &&
      data) {
    if (format == 8) name.assign(reinterpret_cast<const char*>(data), items);
    XFree(data);
  }
  return name;
}

}  // namespace

bool CXvfb::ShowsWindowNamed(const std::string& title) const {
  if (display_.empty()) return false;
  ::Display* x = XOpenDisplay(display_.c_str());
  if (!x) return false;
  // A window may go between the listing and the questions about it.
  const XErrorHandler previous = XSetErrorHandler(IgnoreError);
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  bool found = false;
  if (XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count && !found; ++i) {
      XWindowAttributes a{};
      found = XGetWindowAttributes(x, children[i], &a) && a.map_state == IsViewable &&
              NameOf(x, children[i]) == title;
    }
    if (children) XFree(children);
  }
  XSync(x, False);
  XSetErrorHandler(previous);
  XCloseDisplay(x);
  return found;
}

}  // namespace testgame
