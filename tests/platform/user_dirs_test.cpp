// The per-user folders of the installed edition: an XDG variable counts only when it holds an
// absolute path; a relative one is ignored as if unset, and the default under $HOME is used.
#include "platform/os/user_dirs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "support/scratch_dir.h"

namespace {

// Sets (or with nullptr unsets) one variable for the scope, then puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(value);
  }
  ~ScopedEnv() { Set(old_ ? old_->c_str() : nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  void Set(const char* value) const {
    if (value)
      setenv(name_, value, 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(UserDirs, BaseFoldersTakeAbsoluteValuesAndIgnoreRelativeOnes) {
  const ScopedEnv home("HOME", "/home/tester");
  const struct {
    const char* variable;
    std::string (*folder)();
    const char* fallback;
  } bases[] = {
      {"XDG_CONFIG_HOME", os::ConfigHome, "/home/tester/.config"},
      {"XDG_STATE_HOME", os::StateHome, "/home/tester/.local/state"},
      {"XDG_CACHE_HOME", os::CacheHome, "/home/tester/.cache"},
  };
  for (const auto& b : bases) {
    const ScopedEnv v(b.variable, "/srv/user/base/");
    EXPECT_EQ(b.folder(), "/srv/user/base") << b.variable;
    for (const char* relative : {"base", "./base", "../base", "~/base", "base/"}) {
      v.Set(relative);
      EXPECT_EQ(b.folder(), b.fallback) << b.variable << "=" << relative;
    }
    v.Set("");
    EXPECT_EQ(b.folder(), b.fallback) << b.variable;
    v.Set(nullptr);
    EXPECT_EQ(b.folder(), b.fallback) << b.variable;
  }
  const ScopedEnv noHome("HOME", nullptr);
  const ScopedEnv relativeCache("XDG_CACHE_HOME", "cache");
  EXPECT_EQ(os::CacheHome(), "") << "no home and no absolute value: nowhere";
}

TEST(UserDirs, PicturesFolderTakesOnlyAbsolutePaths) {
  CScratchGameDir dir("user_dirs");
  const ScopedEnv home("HOME", dir.Path().c_str());
  const ScopedEnv config("XDG_CONFIG_HOME", "settings");  // relative: ~/.config is read
  dir.Write(".config/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/Snaps\"\n");
  const ScopedEnv pictures("XDG_PICTURES_DIR", "/srv/pictures");
  EXPECT_EQ(os::PicturesDir(), "/srv/pictures");
  pictures.Set("Pictures");
  EXPECT_EQ(os::PicturesDir(), dir.Path() + "/Snaps") << "a relative variable falls back to the file";
  dir.Write(".config/user-dirs.dirs", "XDG_PICTURES_DIR=\"Snaps\"\n");
  EXPECT_EQ(os::PicturesDir(), "") << "a relative line in the file counts for nothing";
  dir.Write("settings/user-dirs.dirs", "XDG_PICTURES_DIR=\"/srv/wrong\"\n");
  EXPECT_EQ(os::PicturesDir(), "") << "the relative config folder is not read";
}

}  // namespace
