// The saver's thread: requests folded together, one save at a time, flush and shutdown.
#include "app/BackgroundSaver.h"

namespace vell {

BackgroundSaver::BackgroundSaver(std::function<void()> save) : save_(std::move(save)) {
  thread_ = std::thread([this] { loop(); });
}

BackgroundSaver::~BackgroundSaver() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void BackgroundSaver::request() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_ = true;
  }
  wake_.notify_all();
}

void BackgroundSaver::flush() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return !pending_ && !busy_; });
}

void BackgroundSaver::loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return pending_ || stopping_; });
    if (pending_) {
      pending_ = false;
      busy_ = true;
      lock.unlock();
      save_();
      lock.lock();
      busy_ = false;
      idle_.notify_all();
      continue;
    }
    if (stopping_) return;
  }
}

}  // namespace vell
