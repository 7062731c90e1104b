// Which pixels of a canvas were drawn on: rows in bands, each band with the span drawn in it.
#pragma once

#include <vector>

#include "platform/Canvas.h"

namespace vell {

// Bands of rows, each remembering the leftmost and rightmost pixel drawn in it.
class DirtyBands {
 public:
  void reset(int height);  // nothing drawn
  void add(const RectI& r);
  // The drawn-on bands merged into rectangles (disjoint, top to bottom).
  std::vector<RectI> rects() const;
  bool any() const;

 private:
  int height_ = 0;
  std::vector<int> min_, max_;
};

// What a canvas drew on since its last clear. Marks are kept to the innermost clip: nothing
// outside it can have changed, so the presenter and clear() need not touch it.
class DirtyRegions {
 public:
  void resize(int width, int height);  // nothing drawn, no clips
  void forget() { drawn_.reset(height_); }  // nothing drawn; the clips stay

  // Clips in user space under the device transform `m`, nested like the canvas's own.
  void pushClip(const Matrix& m, const RectF& r);
  void popClip();
  void clearClips() { clips_.clear(); }

  // Marks a user-space box under `m`, grown by a pixel for antialiasing and kept to the clip;
  // returns the device box marked (empty when none).
  RectI mark(const Matrix& m, double x0, double y0, double x1, double y1);

  std::vector<RectI> rects() const { return drawn_.rects(); }
  bool any() const { return drawn_.any(); }

 private:
  RectI deviceBox(const Matrix& m, double x0, double y0, double x1, double y1) const;

  int width_ = 0, height_ = 0;
  DirtyBands drawn_;
  std::vector<RectI> clips_;  // device boxes, each within the one before
};

}  // namespace vell
