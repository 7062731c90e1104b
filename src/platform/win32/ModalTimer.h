// Windows: keeping the window painting while a system modal loop holds its thread.
#pragma once
#include <windows.h>

#include <functional>

namespace vell {

// Runs `tick` about every 16 ms while a system modal loop (a message box, a menu) holds the
// window thread; a tick already running is not entered again.
class ModalTimer {
 public:
  explicit ModalTimer(std::function<void()> tick);
  ~ModalTimer();
  ModalTimer(const ModalTimer&) = delete;
  ModalTimer& operator=(const ModalTimer&) = delete;

 private:
  static void CALLBACK fire(HWND, UINT, UINT_PTR id, DWORD);
  std::function<void()> tick_;
  UINT_PTR id_ = 0;
  bool running_ = false;
};

}  // namespace vell
