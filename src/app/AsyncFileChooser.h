#pragma once
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "platform/Desktop.h"

namespace vell {

// The desktop's file chooser run beside the window: the window keeps painting and answering
// while it is open, and closing the window ends the chooser's process instead of waiting.
class AsyncFileChooser {
 public:
  // Gets the chosen path (empty when none) on the chooser's thread.
  using Result = std::function<void(const std::string& path)>;

  AsyncFileChooser() = default;
  ~AsyncFileChooser();  // cancels
  AsyncFileChooser(const AsyncFileChooser&) = delete;
  AsyncFileChooser& operator=(const AsyncFileChooser&) = delete;

  // Starts a chooser; false when one is already open (one at a time).
  bool start(const FileDialogOptions& options, Result result);
  bool isOpen() const { return open_.load(); }
  // Ends an open chooser's process and waits for its thread; its result is not delivered.
  void cancel();

 private:
  std::thread thread_;
  std::atomic<bool> open_{false};
  std::atomic<bool> cancel_{false};
};

}  // namespace vell
