// Where the window starts: the saved rectangle checked against the display.
#pragma once
#include "platform/Window.h"

namespace vell {

// Where the window starts, from the saved outer rectangle and the display's work area. A size
// below the minimum (480 x 320) takes the default 1280 x 720, a size larger than the work area
// is cut to it; a position off the work area moves to its left + 100 / top + 50, and a window
// that would then reach past the right or bottom edge moves back to fit. Without a known work
// area only the sizes are checked.
Rect startPlacement(const Rect& saved, const Rect& work);

}  // namespace vell
