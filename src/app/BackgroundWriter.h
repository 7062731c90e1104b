// Whole-file writes queued to a thread of their own so the window never waits for the disk.
#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace vell {

// Writes whole files (atomically, flushed to disk) on a thread of its own, in the order
// asked, so that a large write never stalls the window. Each write reports on that thread.
class BackgroundWriter {
 public:
  using Done = std::function<void(bool written)>;

  BackgroundWriter() = default;
  ~BackgroundWriter();  // finishes every queued write
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;

  // False when no thread could be started (nothing is written then).
  bool write(std::string path, std::string bytes, Done done);
  // Waits until every queued write has finished.
  void flush();

 private:
  struct Job {
    std::string path, bytes;
    Done done;
  };
  void loop();

  std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::deque<Job> jobs_;
  bool busy_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace vell
