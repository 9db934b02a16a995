// A private X server (Xvfb) on a free display number for tests that need a real display, with a
// window manager when asked (it is what carries out full-screen requests). Gone with the object.
#pragma once
#include <sys/types.h>

#include <string>

namespace testgame {

// Whether a program is on PATH.
bool OnPath(const char* program);

class CXvfb {
 public:
  explicit CXvfb(bool windowManager = true);
  ~CXvfb();
  CXvfb(const CXvfb&) = delete;
  CXvfb& operator=(const CXvfb&) = delete;

  // ":N"; empty when the server did not start.
  const std::string& Display() const { return display_; }
  pid_t ServerPid() const { return server_; }
  // Whether a top-level window shown on it has exactly this title.
  bool ShowsWindowNamed(const std::string& title) const;

 private:
  pid_t server_ = -1;
  pid_t manager_ = -1;
  std::string display_;
};

}  // namespace testgame
