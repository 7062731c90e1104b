// Test support: how alike the canvas draws a shape moved by whole pixels.
#pragma once

namespace vell::test {

// Pixels of a drawing of many shapes that may come out otherwise when each shape is drawn moved
// by whole pixels. Cairo rasterises on a fixed-point grid: none. Wine's Direct2D does not
// antialias, and a pixel whose centre lies exactly on a curve falls either way by float rounding
// that moves with the shape: a few.
int movedShapeTiePixels();

}  // namespace vell::test
