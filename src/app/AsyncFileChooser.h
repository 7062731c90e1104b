// The desktop's file chooser run on a thread of its own beside the window.
#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/Desktop.h"

namespace vell {

// The desktop's file chooser run beside the window: the window keeps painting and answering
// while it is open, and closing the window ends the chooser instead of waiting for it.
class AsyncFileChooser {
 public:
  // Gets the chosen path (empty when none) on the chooser's thread.
  using Result = std::function<void(const std::string& path)>;
  // Shows the chooser and waits for it; `cancel` turning true ends it (runFileChooser).
  using Runner = std::function<std::string(const FileDialogOptions& options, const std::atomic<bool>* cancel)>;

  explicit AsyncFileChooser(Runner runner = runFileChooser) : runner_(std::move(runner)) {}
  ~AsyncFileChooser();  // cancels
  AsyncFileChooser(const AsyncFileChooser&) = delete;
  AsyncFileChooser& operator=(const AsyncFileChooser&) = delete;

  // Starts a chooser; false when one is already open (one at a time).
  bool start(const FileDialogOptions& options, Result result);
  bool isOpen() const { return state_ && state_->open.load(); }
  // Asks an open chooser to end, without waiting; its result is not delivered.
  void requestCancel();
  // Asks it to end and waits for its thread up to `waitMs`. A thread still busy then (a
  // dialog that does not answer) is left to end by itself: it delivers nothing and holds
  // nothing of the caller's.
  void cancel(int waitMs = 1000);
  // Another way of showing the chooser (tests).
  void setRunner(Runner runner) { runner_ = std::move(runner); }

 private:
  // Shared with the thread, which may outlive this object.
  struct State {
    std::atomic<bool> open{false};
    std::atomic<bool> cancel{false};
  };
  Runner runner_;
  std::shared_ptr<State> state_;
  std::thread thread_;
};

}  // namespace vell
