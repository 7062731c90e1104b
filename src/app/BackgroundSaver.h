// Periodic saves run on a thread of their own so a paint never waits for the disk.
#pragma once
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace vell {

// Runs a save on a thread of its own when asked, so that the disk flush of a periodic save
// never stalls a paint. Requests that arrive while a save runs fold into one more save.
class BackgroundSaver {
 public:
  explicit BackgroundSaver(std::function<void()> save);
  ~BackgroundSaver();  // finishes a pending save
  BackgroundSaver(const BackgroundSaver&) = delete;
  BackgroundSaver& operator=(const BackgroundSaver&) = delete;

  void request();
  // Waits until every requested save has been written.
  void flush();

 private:
  void loop();

  std::function<void()> save_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  bool pending_ = false;
  bool busy_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace vell
