// The level meter's bars, drawn as shapes or copied from pictures of those shapes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/Canvas.h"

namespace vell {

// The bars of `heights` bands side by side across `area` (each area.width() / count wide),
// standing on its bottom: a rounded glow 2 units above the bar's height and the bar 1 unit
// inside it.
void drawMeterBars(Canvas& c, const RectF& area, std::span<const int16_t> heights, Color glow, Color bar);

// The same bars copied from pictures of their shapes: a meter paint would otherwise rasterise
// two rounded rectangles with arcs for every band, many times a second. A bar's pixels depend
// on where its edges fall within a pixel, so bands are grouped by that. Low bars are kept whole
// by height; a taller one is put together from its rounded head (by where its top falls within
// a pixel), one straight row repeated and its rounded foot, since every row between head and foot
// is the same. Pictures are made when first needed and dropped when the band width, the display
// scale, the bottom's place within a pixel or the colours change. Past a memory limit, or under a
// turning transform, bars are drawn as shapes.
class MeterShapes {
 public:
  MeterShapes();
  ~MeterShapes();
  MeterShapes(MeterShapes&&) noexcept;
  MeterShapes& operator=(MeterShapes&&) noexcept;

  void draw(Canvas& c, const RectF& area, std::span<const int16_t> heights, Color glow, Color bar);
  void clear();
  // Bytes the pictures hold.
  size_t bytes() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vell
