#pragma once
#include <string>

#include "platform/Canvas.h"
#include "platform/ModalWindow.h"

namespace vell {

// The "프로그램 정보" window: the program's name, version, what it is built on, and a link
// button to the maker's page.
class AboutWindow {
 public:
  static constexpr int kWidth = 340, kHeight = 310;  // the outer size the window asks for
  static constexpr const char* kWebAddress = "vellplayer.example.com";
  static constexpr const char* kWebPage = "https://vellplayer.example.com/";

  // False when the window cannot be made.
  bool create(NativeWindow* owner);
  // Runs until Escape, Enter or its close button.
  void run() { window_.run(); }
  void close() { window_.close(); }
  bool isOpen() const { return window_.isOpen(); }

  // What a point of the client area does: 1 the link button, 2 the lower link strip, 0 nothing.
  static int linkAt(int x, int y);

 private:
  void paint(Canvas& c);
  void input(const ModalInput& in);

  ModalWindow window_;
  bool hover_ = false;
  TextFormat logo_, name_, version_, line13_, button_;
};

}  // namespace vell
