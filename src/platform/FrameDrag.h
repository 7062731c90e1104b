// The frameless window's own moving and sizing from its caption and borders.
#pragma once
#include "platform/Window.h"

namespace vell {

// The frameless window's own moving and sizing. A press on the caption or a border arms it;
// the window follows the pointer only once it has moved more than a few pixels, until the
// release. (A window manager's move or resize started at the press swallows double clicks,
// and openbox keeps it running when the release came first: single clicks moved the window.)
class FrameDrag {
 public:
  static constexpr int kThreshold = 4;  // pixels the pointer moves before anything follows

  // `pointerX`, `pointerY` on the screen; `window` = the outer rectangle at the press.
  void press(HitCode code, int pointerX, int pointerY, const Rect& window, int minWidth, int minHeight);
  // The pointer is at (x, y) on the screen: true with the window's new rectangle in `out` when
  // the window should follow. A pointer without the button held ends the drag.
  bool follow(int x, int y, bool buttonHeld, Rect& out);
  void release() { armed_ = moving_ = false; }
  bool active() const { return armed_; }
  HitCode code() const { return code_; }

 private:
  HitCode code_ = HitCode::Client;
  bool armed_ = false, moving_ = false;
  int pressX_ = 0, pressY_ = 0, minW_ = 1, minH_ = 1;
  Rect start_;
};

}  // namespace vell
