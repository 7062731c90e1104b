// The program's own modal windows (message boxes, About): drawn with the canvas, run over the owner's loop.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "platform/Canvas.h"

namespace vell {

struct NativeWindow;

// Input that reaches a modal window (keys as virtual-key codes, points in the client units of
// create()).
struct ModalInput {
  enum Type { Key, MouseMove, MouseDown, MouseUp, MouseLeave };
  Type type = Key;
  int key = 0;
  bool shift = false;
  int x = 0, y = 0;
};

// A small window of the program drawn with the canvas that keeps the input to itself while
// it runs (message boxes, the About window). Its owner's loop goes on meanwhile
// (Window::setModalLoop): the owner's messages are handled and it paints.
class ModalWindow {
 public:
  ModalWindow();
  ~ModalWindow();
  ModalWindow(const ModalWindow&) = delete;
  ModalWindow& operator=(const ModalWindow&) = delete;

  // A window of client size w x h, centred on `owner` (on the display without one); a tool
  // window stays off the task bar. The size is in 96-DPI units: on a scaled display the window
  // and its drawing are that much larger, and width() and height() stay as given. False when no window can be made (no display).
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

  // Runs the window until it closes, or until the owner's loop ends (the program quits),
  // which closes it as its close button does. The owner's events are handled by the owner's
  // loop as they come, its input is dropped. Without an owner's loop, a quit request
  // (SIGTERM, the session ending) closes the box and is passed on afterwards, and the other
  // events wait until the box is gone.
  void run();

 private:
  // Alike on every backend (platform/ModalWindow.cpp).
  void paint();
  // The close button or the program ending: onCloseRequest, and the box goes in any case.
  void giveWay();
  void requestClose();
  // Where a window of `size` starts when centred on `length` from `from`.
  static int centred(int from, int length, int size) { return from + (length - size) / 2; }
  int pixels(int units) const { return static_cast<int>(units * scale_ + 0.5f); }

  // The backend's: the owner's loop (null without one), the canvas's pixels to the window, and
  // what run() does first, each time it reads the queue itself (true: a quit came) and last.
  std::function<bool(int)>* ownerLoop() const;
  void present();
  void runStarts();
  bool readQueue();
  void runEnds(bool quit);

  struct Impl;
  std::unique_ptr<Impl> impl_;
  int width_ = 0, height_ = 0;
  float scale_ = 1.0f;  // pixels per unit of the owner's display: the box is drawn that much larger
  bool dirty_ = true;
  bool closing_ = false;
  Canvas canvas_;
};

}  // namespace vell
