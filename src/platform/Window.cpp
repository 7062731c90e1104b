// What every window backend does alike: the hit tester, the modal loop and the posted tasks.
#include "platform/Window.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/QuitSignal.h"

namespace vell {

namespace {

struct PostedTask {
  Window::TaskTarget target;
  std::function<void()> run;
};

// The tasks of every thread on their way to a window. It lives as long as the process, so a
// thread that posts after the window (and whatever made it) is gone still finds it.
struct TaskQueue {
  std::mutex lock;
  std::deque<PostedTask> tasks;
  std::vector<Window::TaskTarget> open;  // the windows that exist, the newest last
  Window::TaskTarget last = 0;           // the last number given to a window (never given again)
};

TaskQueue& taskQueue() {
  static TaskQueue* queue = new TaskQueue;  // never destroyed: threads may post at exit
  return *queue;
}

// Takes the waiting tasks of `target` out of the queue, in order; `close` also forgets the
// window, so nothing can be posted for it any more.
std::vector<std::function<void()>> takeTasks(Window::TaskTarget target, bool close) {
  TaskQueue& q = taskQueue();
  std::lock_guard<std::mutex> lock(q.lock);
  std::vector<std::function<void()>> taken;
  for (auto it = q.tasks.begin(); it != q.tasks.end();) {
    if (it->target == target) {
      taken.push_back(std::move(it->run));
      it = q.tasks.erase(it);
    } else {
      ++it;
    }
  }
  if (close) q.open.erase(std::remove(q.open.begin(), q.open.end(), target), q.open.end());
  return taken;
}

}  // namespace

bool Window::setHitTester(std::function<HitCode(int, int)> tester) {
  if (!isOpen()) return false;
  hitTester_ = std::move(tester);
  return true;
}

void Window::setModalLoop(std::function<bool(int)> loop) { modalLoop_ = std::move(loop); }

bool Window::quitSignalled(WindowEvent& out) {
  if (!takeQuitSignal()) return false;
  out = WindowEvent{};
  out.type = WindowEvent::Quit;
  return true;
}

bool Window::postTask(std::function<void()> task, TaskTarget target) {
  if (!task) return false;
  TaskQueue& q = taskQueue();
  bool queued = false;
  {
    std::lock_guard<std::mutex> lock(q.lock);
    if (target == 0 && !q.open.empty()) target = q.open.back();
    queued = std::find(q.open.begin(), q.open.end(), target) != q.open.end();
    if (queued) q.tasks.push_back({target, std::move(task)});
  }
  if (!queued) return false;  // dropped on return, outside the lock: what it owns may post again
  postUserEvent(kRunTasks);
  return true;
}

void Window::runTasks() {
  if (taskTarget_ == 0) return;
  for (auto& task : takeTasks(taskTarget_, false)) task();
}

void Window::openTasks() {
  TaskQueue& q = taskQueue();
  std::lock_guard<std::mutex> lock(q.lock);
  taskTarget_ = ++q.last;
  q.open.push_back(taskTarget_);
}

void Window::closeTasks() {
  if (taskTarget_ == 0) return;
  std::vector<std::function<void()>> dropped = takeTasks(taskTarget_, true);
  taskTarget_ = 0;
}  // the dropped tasks are destroyed here, unrun, outside the lock

}  // namespace vell
