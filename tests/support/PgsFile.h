// Test support: PGS (.sup) subtitle files of solid rectangles, which ffmpeg can mux but not make.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vell::test {

// One display of a PGS track: a rectangle of an RGB colour at x, y in the presentation from
// `start` until `end` (seconds), when an empty display clears it. `corrupt` makes its picture
// data claim more lines than it holds (a damaged packet).
struct PgsRect {
  double start = 0, end = 0;
  int x = 0, y = 0, width = 0, height = 0;
  uint32_t rgb = 0;
  bool corrupt = false;
};

// The bytes of a .sup file for a presentation of width x height: per rectangle a display set
// (composition, window, palette, object run-length coded, end), then an empty one.
std::string pgsFile(int width, int height, const std::vector<PgsRect>& rects);

}  // namespace vell::test
