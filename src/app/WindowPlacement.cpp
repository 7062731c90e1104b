// The window's starting rectangle, kept to the display's work area.
#include "app/WindowPlacement.h"

#include <algorithm>

namespace vell {

Rect startPlacement(const Rect& saved, const Rect& work) {
  constexpr int kMinW = 480, kMinH = 320, kMaxSide = 16384;  // the largest window SDL makes
  Rect r = saved;
  r.w = r.w >= kMinW ? std::min(r.w, kMaxSide) : 1280;
  r.h = r.h >= kMinH ? std::min(r.h, kMaxSide) : 720;
  if (work.w <= 0 || work.h <= 0) return r;
  r.w = std::min(r.w, std::max(work.w, kMinW));
  r.h = std::min(r.h, std::max(work.h, kMinH));
  // Written so that no sum can overflow whatever the file held.
  if (r.x < work.x || r.x - work.x > work.w - 100) r.x = work.x + 100;
  if (r.y < work.y || r.y - work.y > work.h - 100) r.y = work.y + 50;
  if (r.x - work.x > work.w - r.w) r.x = std::max(work.x, work.x + work.w - r.w);
  if (r.y - work.y > work.h - r.h) r.y = std::max(work.y, work.y + work.h - r.h);
  return r;
}

}  // namespace vell
