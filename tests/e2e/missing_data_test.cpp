// Every file of the generated data tree in turn, deleted and then cut to half its length, under a
// play through the whole flow (logo, X on the title, telop, a walk in the home stage, the forest).
// Each run happens in a child process with a deadline, so a crash or a hang names its file.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "support/child_run.h"
#include "support/headless_game.h"
#include "support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using testgame::ChildOutcome;

// Few frames per stage keep the sweep cheap; the front end's own timings set the rest.
constexpr int kHomeFrames = 30;
constexpr int kForestFrames = 30;
constexpr uint64_t kFrameCap = 1200;
const char* const kScenes[] = {"CTeamLogoScene", "CTitleScene", "CTelopScene", "CHomeStageScene",
                               "CForestStageScene"};

#if defined(__SANITIZE_ADDRESS__)
constexpr double kDeadlineSeconds = 240;
#else
constexpr double kDeadlineSeconds = 60;
#endif

struct PlayResult {
  ChildOutcome outcome;
  std::set<std::string> scenes;
  std::vector<std::string> boxes;
  bool finished = false;
  std::string log;
};

int PlayInChild(int fd) {
  testgame::CHeadlessGame game;
  testgame::CPlayThrough flow(kHomeFrames, kForestFrames, kFrameCap);
  flow.onScene = [fd](const char* name, uint64_t frame) {
    testgame::Report(fd, "scene %s %llu\n", name, static_cast<unsigned long long>(frame));
  };
  game.onMessageBox = [fd](const char* caption, const char* text) {
    testgame::Report(fd, "box %s: %s\n", caption ? caption : "", text ? text : "");
  };
  const int code = game.Run([&flow](testgame::CHeadlessGame& g, uint64_t frame) { flow(g, frame); });
  testgame::Report(fd, "finished %d frames %llu\n", flow.Finished() ? 1 : 0,
                   static_cast<unsigned long long>(app::FramesRun()));
  return code;
}

PlayResult Play() {
  PlayResult r;
  std::error_code ec;
  fs::remove("profile.txt", ec);
  r.outcome = testgame::RunInChild(PlayInChild, kDeadlineSeconds);
  std::istringstream lines(r.outcome.report);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("scene ", 0) == 0)
      r.scenes.insert(line.substr(6, line.find(' ', 6) - 6));
    else if (line.rfind("box ", 0) == 0)
      r.boxes.push_back(line.substr(4));
    else if (line.rfind("finished 1", 0) == 0)
      r.finished = true;
  }
  r.log = ReadFileText("profile.txt");
  return r;
}

bool ReachedEveryScene(const PlayResult& r) {
  for (const char* s : kScenes)
    if (!r.scenes.count(s)) return false;
  return true;
}

// The files of the data tree that a clean run opens, seen through inotify.
class COpenWatch {
 public:
  explicit COpenWatch(const fs::path& root) : root_(root) {
    fd_ = inotify_init1(IN_NONBLOCK);
    if (fd_ < 0) return;
    Add(root);
    for (const auto& e : fs::recursive_directory_iterator(root))
      if (e.is_directory()) Add(e.path());
  }
  ~COpenWatch() {
    if (fd_ >= 0) close(fd_);
  }
  bool Ok() const { return fd_ >= 0; }
  std::set<std::string> Drain() {
    std::set<std::string> opened;
    alignas(inotify_event) char buf[65536];
    for (;;) {
      const ssize_t n = read(fd_, buf, sizeof buf);
      if (n <= 0) break;
      for (ssize_t i = 0; i < n;) {
        const auto* ev = reinterpret_cast<const inotify_event*>(buf + i);
        if ((ev->mask & IN_OPEN) && ev->len > 0 && dirs_.count(ev->wd))
          opened.insert((dirs_[ev->wd] / ev->name).lexically_normal().string());
        i += ssize_t(sizeof(inotify_event) + ev->len);
      }
    }
    return opened;
  }

 private:
  void Add(const fs::path& dir) {
    const int wd = inotify_add_watch(fd_, dir.c_str(), IN_OPEN);
    if (wd >= 0) dirs_[wd] = fs::relative(dir, root_.parent_path());
  }
  fs::path root_;
  int fd_ = -1;
  std::map<int, fs::path> dirs_;
};

std::string Summary(const PlayResult& r) {
  std::string s = r.outcome.Describe() + ", scenes " + std::to_string(r.scenes.size()) + "/5" +
                  (r.finished ? ", finished" : ", not finished");
  for (const auto& b : r.boxes) s += ", box \"" + b + "\"";
  if (r.outcome.report.find("uncaught exception") != std::string::npos) s += ", " + r.outcome.report;
  return s;
}

TEST(MissingData, EveryFileDeletedThenTruncatedKeepsTheGameRunning) {
  const fs::path source = fs::path(BRIMMEL_GAME_DIR);
  ASSERT_TRUE(fs::exists(source / "data/scr/stg00_home.txt")) << "the build's data tree is missing";
  CScratchGameDir dir("missing_data");
  const fs::path game = dir.Path();
  fs::copy(source / "data", game / "data", fs::copy_options::recursive);
  fs::copy_file(source / "TORIDEN.ini", game / "TORIDEN.ini");
  const fs::path aside = game / "aside.bin";

  std::vector<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(game / "data"))
    if (e.is_regular_file() && e.path().filename().string()[0] != '.')
      files.push_back(fs::relative(e.path(), game).string());
  std::sort(files.begin(), files.end());
  ASSERT_GT(files.size(), 20u);
  // BRIMMEL_SWEEP_ONLY=<part of a path> narrows the sweep when chasing one file.
  std::vector<std::string> sweep = files;
  if (const char* only = std::getenv("BRIMMEL_SWEEP_ONLY")) {
    std::erase_if(sweep, [only](const std::string& f) { return f.find(only) == std::string::npos; });
  }

  const auto started = std::chrono::steady_clock::now();

  // The clean run: the whole flow, nothing missing; it also tells which files the game reads.
  COpenWatch watch(game / "data");
  ASSERT_TRUE(watch.Ok());
  const PlayResult clean = Play();
  // Directories show up too (the tree is listed); only files count.
  std::set<std::string> opened;
  for (const std::string& f : watch.Drain())
    if (std::binary_search(files.begin(), files.end(), f)) opened.insert(f);
  ASSERT_TRUE(clean.outcome.exited && clean.outcome.exitCode == 0) << Summary(clean);
  ASSERT_TRUE(ReachedEveryScene(clean) && clean.finished) << Summary(clean);
  ASSERT_EQ(clean.log.find("Not"), std::string::npos) << clean.log;
  ASSERT_GT(opened.size(), 20u);
  std::cout << "clean run: " << Summary(clean) << ", " << opened.size() << " of " << files.size()
            << " files opened\n";

  int silentTruncations = 0;
  for (const std::string& file : sweep) {
    const fs::path path = game / file;
    const bool isScript = file.rfind("data/scr/", 0) == 0;
    const bool read = opened.count(file) != 0;

    // Deleted.
    fs::rename(path, aside);
    const PlayResult gone = Play();
    fs::rename(aside, path);
    const bool named = gone.log.find(file) != std::string::npos;
    ASSERT_FALSE(gone.outcome.timedOut || gone.outcome.signal) << file << " deleted: " << Summary(gone);
    if (isScript) {
      // Nothing to show without its script: the log names it, a message says so, the exit fails.
      EXPECT_TRUE(gone.outcome.exited && gone.outcome.exitCode != 0) << file << ": " << Summary(gone);
      EXPECT_FALSE(gone.boxes.empty()) << file << ": " << Summary(gone);
      EXPECT_NE(gone.log.find("Not Found " + file), std::string::npos) << file << "\n" << gone.log;
    } else {
      EXPECT_TRUE(gone.outcome.exited && gone.outcome.exitCode == 0) << file << " deleted: " << Summary(gone);
      EXPECT_TRUE(ReachedEveryScene(gone) && gone.finished) << file << " deleted: " << Summary(gone);
      if (read)
        EXPECT_TRUE(named) << file << " deleted, but the log does not say so:\n" << gone.log;
      else
        EXPECT_FALSE(named) << file << " is not read, yet the log names it:\n" << gone.log;
    }

    // Cut to half its length.
    fs::copy_file(path, aside, fs::copy_options::overwrite_existing);
    fs::resize_file(path, fs::file_size(path) / 2);
    const PlayResult half = Play();
    fs::copy_file(aside, path, fs::copy_options::overwrite_existing);
    ASSERT_FALSE(half.outcome.timedOut || half.outcome.signal) << file << " truncated: " << Summary(half);
    EXPECT_TRUE(half.outcome.exited && half.outcome.exitCode == 0) << file << " truncated: " << Summary(half);
    EXPECT_TRUE(ReachedEveryScene(half) && half.finished) << file << " truncated: " << Summary(half);
    const bool halfNamed = half.log.find(file) != std::string::npos;
    if (read && !halfNamed) ++silentTruncations;
    std::cout << file << (read ? "" : " (not read)") << "\n  deleted:   " << Summary(gone)
              << (named ? ", logged" : ", not logged") << "\n  truncated: " << Summary(half)
              << (halfNamed ? ", logged" : ", not logged") << "\n";
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::cout << sweep.size() << " files, " << 2 * sweep.size() + 1 << " runs in " << seconds << " s; "
            << silentTruncations << " truncated files read without a log line\n";
}

}  // namespace
