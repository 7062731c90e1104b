// Test support: keys pressed into a message box once it is up.
#pragma once
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vell::test {

// Presses `keys` (virtual-key codes, in order) in the message box called `caption` once it is
// up, as from the keyboard: on Windows into the thread's queue, which only the box's own loop
// may read; with SDL as the display's key events. A box the keys did not close within a few
// seconds is closed with its escape answer, so that the test fails instead of hanging.
class BoxKeys {
 public:
  BoxKeys(const std::string& caption, std::vector<int> keys);
  ~BoxKeys();
  BoxKeys(const BoxKeys&) = delete;
  BoxKeys& operator=(const BoxKeys&) = delete;

  // Whether the box came and the keys alone closed it.
  bool answeredByKeys() {
    if (thread_.joinable()) thread_.join();
    return outcome_ == 1;
  }

 private:
  struct Watch;  // the target's way of seeing the box come
  std::unique_ptr<Watch> watch_;
  std::atomic<int> outcome_{0};  // 1 the keys closed it, -1 it had to be closed, -2 no box came
  std::thread thread_;
};

}  // namespace vell::test
