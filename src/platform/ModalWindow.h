#pragma once
#include <functional>
#include <memory>
#include <string>

#include "platform/Canvas.h"

namespace vell {

struct NativeWindow;

// Input that reaches a modal window (keys as virtual-key codes, points in client pixels).
struct ModalInput {
  enum Type { Key, MouseMove, MouseDown, MouseUp, MouseLeave };
  Type type = Key;
  int key = 0;
  bool shift = false;
  int x = 0, y = 0;
};

// A small window of the program drawn with the canvas that keeps the input to itself while
// it runs (message boxes, the About window). Its owner keeps painting: the owner's paint
// callback (Window::setModalPaint) is called every 16 ms during run().
class ModalWindow {
 public:
  ModalWindow();
  ~ModalWindow();
  ModalWindow(const ModalWindow&) = delete;
  ModalWindow& operator=(const ModalWindow&) = delete;

  // A window of client size w x h, centred on `owner` (on the display without one); a tool
  // window stays off the task bar. False when no window can be made (no display).
  bool create(NativeWindow* owner, const std::string& title, int width, int height, bool toolWindow = false);
  bool isOpen() const;
  // Ends run(); safe to call from the handlers.
  void close();
  int width() const { return width_; }
  int height() const { return height_; }
  void setHandCursor(bool hand);
  void invalidate() { dirty_ = true; }

  std::function<void(Canvas&)> onPaint;
  std::function<void(const ModalInput&)> onInput;
  // The window manager's close button; closes unless replaced.
  std::function<void()> onCloseRequest;

  // Runs the window until it closes. A quit request (SIGTERM, the session ending) closes
  // it as its close button does and is passed on to the owner's loop afterwards; other
  // events of the owner wait until the box is gone, its input is dropped.
  void run();

 private:
  void paint();

  struct Impl;
  std::unique_ptr<Impl> impl_;
  int width_ = 0, height_ = 0;
  bool dirty_ = true;
  bool closing_ = false;
  Canvas canvas_;
};

}  // namespace vell
