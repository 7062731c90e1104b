// The canvas parts every target shares: transforms, scale, pixel rounding, format variants.
#include "platform/Canvas.h"

#include <algorithm>
#include <cmath>

namespace vell {

Matrix Matrix::rotation(double degrees, double cx, double cy) {
  double a = degrees * 3.14159265358979323846 / 180.0;
  double c = std::cos(a), s = std::sin(a);
  // Exact quarter turns keep pixel-exact placement.
  if (std::fabs(c) < 1e-12) c = 0;
  if (std::fabs(s) < 1e-12) s = 0;
  Matrix r{c, s, -s, c, 0, 0};
  return translation(-cx, -cy) * r * translation(cx, cy);
}

Matrix Matrix::operator*(const Matrix& t) const {
  Matrix r;
  r.xx = t.xx * xx + t.xy * yx;
  r.xy = t.xx * xy + t.xy * yy;
  r.dx = t.xx * dx + t.xy * dy + t.dx;
  r.yx = t.yx * xx + t.yy * yx;
  r.yy = t.yx * xy + t.yy * yy;
  r.dy = t.yx * dx + t.yy * dy + t.dy;
  return r;
}

PointF Matrix::apply(PointF p) const {
  return PointF{static_cast<float>(p.x * xx + p.y * xy + dx), static_cast<float>(p.x * yx + p.y * yy + dy)};
}

void Canvas::setScale(float scale) {
  if (!(scale > 0) || scale == scale_) return;
  scale_ = scale;
  setTransform(transform_);
}

RectI Canvas::pixelsCovering(const RectI& area) const {
  const int x0 = std::max(static_cast<int>(std::floor(area.x * scale_)), 0);
  const int x1 = std::min(static_cast<int>(std::ceil((area.x + area.w) * scale_)), width_);
  const int y0 = std::max(static_cast<int>(std::floor(area.y * scale_)), 0);
  const int y1 = std::min(static_cast<int>(std::ceil((area.y + area.h) * scale_)), height_);
  if (x1 <= x0 || y1 <= y0) return RectI{};
  return RectI{x0, y0, x1 - x0, y1 - y0};
}

RectF Canvas::pixelAligned(const RectF& r) const {
  const Matrix m = deviceTransform();
  auto whole = [](float v) { return v == std::floor(v); };
  if (scale_ == 1.0f || m.xy != 0 || m.yx != 0 || m.xx == 0 || m.yy == 0 || !whole(r.left) || !whole(r.top) ||
      !whole(r.right) || !whole(r.bottom))
    return r;
  auto snap = [](double v, double k, double d) { return static_cast<float>((std::floor(v * k + d + 0.5) - d) / k); };
  RectF out{snap(r.left, m.xx, m.dx), snap(r.top, m.yy, m.dy), snap(r.right, m.xx, m.dx), snap(r.bottom, m.yy, m.dy)};
  return out.width() != 0 && out.height() != 0 ? out : r;  // a line thinner than a pixel stays
}

TextFormat TextFormat::withAlign(TextAlign align) const {
  TextFormat f = *this;
  f.align_ = align;
  return f;
}

TextFormat TextFormat::withParagraph(ParagraphAlign paragraph) const {
  TextFormat f = *this;
  f.paragraph_ = paragraph;
  return f;
}

TextFormat TextFormat::withEllipsis(bool on) const {
  TextFormat f = *this;
  f.ellipsis_ = on;
  return f;
}

namespace {

// Every (alpha, channel) pair's straight value, rounded: one look-up instead of a division
// per channel; overlays with shadows and fades are mostly partly transparent pixels.
struct UnpremultiplyTable {
  uint8_t value[256][256];
  UnpremultiplyTable() {
    for (uint32_t a = 0; a < 256; ++a)
      for (uint32_t c = 0; c < 256; ++c)
        value[a][c] = a ? static_cast<uint8_t>(std::min<uint32_t>(255, (c * 255 + a / 2) / a)) : 0;
  }
};

}  // namespace

void unpremultiplyRow(const uint32_t* in, uint32_t* out, int count) {
  static const UnpremultiplyTable table;
  for (int i = 0; i < count; ++i) {
    uint32_t p = in[i];
    uint32_t a = p >> 24;
    if (a == 255 || a == 0) {
      out[i] = a ? p : 0;
      continue;
    }
    const uint8_t* straight = table.value[a];
    out[i] = (a << 24) | (uint32_t{straight[(p >> 16) & 0xFF]} << 16) | (uint32_t{straight[(p >> 8) & 0xFF]} << 8) |
             straight[p & 0xFF];
  }
}

}  // namespace vell
