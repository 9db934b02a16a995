#include <algorithm>
#include <utility>
#include <vector>

#include "platform/os/host_loop.h"

namespace os {
namespace {
struct Task {
  int id;
  std::function<bool()> run;
};
std::vector<Task> g_tasks;
int g_nextId = 1;
}  // namespace

int AddFrameTask(std::function<bool()> task) {
  const int id = g_nextId++;
  g_tasks.push_back({id, std::move(task)});
  return id;
}

void RemoveFrameTask(int id) {
  g_tasks.erase(std::remove_if(g_tasks.begin(), g_tasks.end(), [id](const Task& t) { return t.id == id; }),
                g_tasks.end());
}

void RunFrameTasks() {
  // A task may add or remove tasks while it runs: walk a snapshot of the ids.
  std::vector<int> ids;
  ids.reserve(g_tasks.size());
  for (const Task& t : g_tasks) ids.push_back(t.id);
  for (int id : ids) {
    auto it = std::find_if(g_tasks.begin(), g_tasks.end(), [id](const Task& t) { return t.id == id; });
    if (it == g_tasks.end()) continue;
    std::function<bool()> run = it->run;
    if (!run()) RemoveFrameTask(id);
  }
}

}  // namespace os
