#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/os/files.h"
#include "platform/os/user_dirs.h"

namespace os {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string Home() { return Env("HOME"); }

// An XDG variable counts only when it holds an absolute path.
std::string XdgBase(const char* variable, const char* homeRelative) {
  const std::string v = Env(variable);
  if (!v.empty() && v.front() == '/') return v;
  const std::string home = Home();
  return home.empty() ? std::string() : home + "/" + homeRelative;
}

std::string StripSlashes(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

// One line of user-dirs.dirs: XDG_PICTURES_DIR="$HOME/Pictures" (only $HOME is expanded).
std::string PicturesFromUserDirsFile(const std::string& file) {
  std::ifstream in(PathFromUtf8(file));
  std::string line;
  const std::string key = "XDG_PICTURES_DIR=";
  while (std::getline(in, line)) {
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, key.size(), key) != 0) continue;
    std::string v = line.substr(start + key.size());
    if (v.size() < 2 || v.front() != '"') return {};
    v = v.substr(1, v.find('"', 1) == std::string::npos ? std::string::npos : v.find('"', 1) - 1);
    if (v.rfind("$HOME", 0) == 0) v = Home() + v.substr(5);
    return v.empty() || v.front() != '/' ? std::string() : v;
  }
  return {};
}

}  // namespace

std::string ConfigHome() { return StripSlashes(XdgBase("XDG_CONFIG_HOME", ".config")); }
std::string StateHome() { return StripSlashes(XdgBase("XDG_STATE_HOME", ".local/state")); }
std::string CacheHome() { return StripSlashes(XdgBase("XDG_CACHE_HOME", ".cache")); }

std::string PicturesDir() {
  std::string dir = Env("XDG_PICTURES_DIR");
  if (dir.empty() || dir.front() != '/') {
    const std::string config = ConfigHome();
    dir = config.empty() ? std::string() : PicturesFromUserDirsFile(config + "/user-dirs.dirs");
  }
  dir = StripSlashes(dir);
  if (dir.empty() || dir == StripSlashes(Home())) return {};
  return dir;
}

bool ProgramFolderDecides() { return false; }
std::string OwnFolderName() { return "brimmel"; }

std::string ProgramDir() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return {};
  return exe.parent_path().string();
}

std::string WorkingDir() {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::current_path(ec);
  return ec ? std::string() : p.string();
}

bool ChangeWorkingDir(const std::string& dir) {
  std::error_code ec;
  std::filesystem::current_path(dir, ec);
  return !ec;
}

}  // namespace os
