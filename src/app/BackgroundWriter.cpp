// The writer's thread: queued whole-file writes done in order, flush and shutdown.
#include "app/BackgroundWriter.h"

#include <system_error>

#include "platform/Files.h"

namespace vell {

BackgroundWriter::~BackgroundWriter() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool BackgroundWriter::write(std::string path, std::string bytes, Done done) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!thread_.joinable()) {
    try {
      thread_ = std::thread([this] { loop(); });
    } catch (const std::system_error&) {
      return false;
    }
  }
  jobs_.push_back({std::move(path), std::move(bytes), std::move(done)});
  wake_.notify_all();
  return true;
}

void BackgroundWriter::flush() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

void BackgroundWriter::loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return !jobs_.empty() || stopping_; });
    if (jobs_.empty()) return;  // stopping, and nothing left to write
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    busy_ = true;
    lock.unlock();
    bool ok = writeFileAtomic(job.path, job.bytes);
    if (job.done) job.done(ok);
    lock.lock();
    busy_ = false;
    idle_.notify_all();
  }
}

}  // namespace vell
