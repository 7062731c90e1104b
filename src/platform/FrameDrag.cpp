// Moving and sizing the frameless window by the pointer once it has moved far enough.
#include "platform/FrameDrag.h"

#include <algorithm>
#include <cstdlib>

namespace vell {

void FrameDrag::press(HitCode code, int pointerX, int pointerY, const Rect& window, int minWidth, int minHeight) {
  code_ = code;
  armed_ = code != HitCode::Client;
  moving_ = false;
  pressX_ = pointerX;
  pressY_ = pointerY;
  start_ = window;
  minW_ = std::max(1, minWidth);
  minH_ = std::max(1, minHeight);
}

bool FrameDrag::follow(int x, int y, bool buttonHeld, Rect& out) {
  if (!armed_) return false;
  if (!buttonHeld) {  // the release went elsewhere
    release();
    return false;
  }
  int dx = x - pressX_, dy = y - pressY_;
  if (!moving_ && std::abs(dx) <= kThreshold && std::abs(dy) <= kThreshold) return false;
  moving_ = true;
  out = start_;
  bool left = code_ == HitCode::Left || code_ == HitCode::TopLeft || code_ == HitCode::BottomLeft;
  bool right = code_ == HitCode::Right || code_ == HitCode::TopRight || code_ == HitCode::BottomRight;
  bool top = code_ == HitCode::Top || code_ == HitCode::TopLeft || code_ == HitCode::TopRight;
  bool bottom = code_ == HitCode::Bottom || code_ == HitCode::BottomLeft || code_ == HitCode::BottomRight;
  if (code_ == HitCode::Caption) {
    out.x += dx;
    out.y += dy;
    return true;
  }
  // The opposite edge stays where it was; the size never goes below the minimum.
  if (right) out.w = std::max(minW_, start_.w + dx);
  if (bottom) out.h = std::max(minH_, start_.h + dy);
  if (left) {
    out.w = std::max(minW_, start_.w - dx);
    out.x = start_.x + start_.w - out.w;
  }
  if (top) {
    out.h = std::max(minH_, start_.h - dy);
    out.y = start_.y + start_.h - out.h;
  }
  return true;
}

}  // namespace vell
