// The modal About window's object: made over its owner, run until a key or its close button.
#pragma once
#include <string>

#include "platform/Canvas.h"
#include "platform/ModalWindow.h"

namespace vell {

// The "프로그램 정보" window: the program's name, version, what it is and what it is built on.
// There is no project page or contact address to show, so it has no link.
class AboutWindow {
 public:

  // False when the window cannot be made.
  bool create(NativeWindow* owner);
  // Runs until Escape, Enter or its close button.
  void run() { window_.run(); }
  void close() { window_.close(); }
  bool isOpen() const { return window_.isOpen(); }

 private:
  void paint(Canvas& c);
  void input(const ModalInput& in);

  ModalWindow window_;
  TextFormat name_, version_, line13_;
};

}  // namespace vell
