// The level meter's bars from cached pictures.
#include "render/MeterShapes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace vell {

namespace {

constexpr size_t kMaxBytes = 512 * 1024;
constexpr int kMaxLowHeight = 255;  // low bars kept whole up to this height in units
// Positions within a pixel in 1/256ths: the rasteriser's own grid (24.8 fixed point), so bars
// that fall on the same sub-pixel place are drawn alike.
constexpr int64_t kSub = 256;

int64_t fixedOf(double v) { return std::llround(v * kSub); }
int floorPixel(int64_t f) { return static_cast<int>(f >= 0 ? f / kSub : -((-f + kSub - 1) / kSub)); }
int ceilPixel(int64_t f) { return -floorPixel(-f); }

void drawBar(Canvas& c, float left, float width, float bottom, float height, Color glow, Color bar) {
  c.fillRoundedRect(RectF{left, bottom - height - 2, left + width, bottom}, 3, glow);
  c.fillRoundedRect(RectF{left + 1, bottom - height, left + width - 1, bottom}, 2, bar);
}

// Where one bar lands in device pixels.
struct Placed {
  int x = 0, y = 0;    // the top-left pixel it touches
  int width = 0;       // pixel columns
  int rows = 0;        // pixel rows, from y
  int head = 0;        // rows from y that the rounded top ends reach (and one more)
  int foot = 0;        // rows up to the bottom that the rounded bottom ends reach (and one more)
  int phase = 0;       // left edge within its pixel
  int span = 0;        // right edge less left edge
  int topPhase = 0;    // top within its pixel
  bool tall() const { return rows >= head + foot; }
  int middle() const { return rows - head - foot; }
};

Placed place(const Matrix& d, float left, float width, float bottom, float height) {
  const int64_t l = fixedOf(left * d.xx + d.dx), r = fixedOf((left + width) * d.xx + d.dx);
  const int64_t t = fixedOf((bottom - height - 2) * d.yy + d.dy), b = fixedOf(bottom * d.yy + d.dy);
  Placed p;
  p.x = floorPixel(l);
  p.y = floorPixel(t);
  p.width = ceilPixel(r) - p.x;
  p.rows = ceilPixel(b) - p.y;
  // The glow's corners reach 3 units into it, the bar's (2 units lower) 2.
  p.head = ceilPixel(t + fixedOf(4 * d.yy)) - p.y + 1;
  p.foot = ceilPixel(b) - floorPixel(b - fixedOf(3 * d.yy)) + 1;
  p.phase = static_cast<int>(l - p.x * kSub);
  p.span = static_cast<int>(r - l);
  p.topPhase = static_cast<int>(t - p.y * kSub);
  return p;
}

using Picture = std::unique_ptr<Bitmap>;

// The pictures of the bands whose edges fall on the same places within their pixels.
struct Column {
  int phase = 0, span = 0;
  std::vector<Picture> low;                     // whole bars by height
  std::vector<std::pair<int, Picture>> heads;   // by the top's place within a pixel
  Picture middle, foot;
};

}  // namespace

void drawMeterBars(Canvas& c, const RectF& area, std::span<const int16_t> heights, Color glow, Color bar) {
  if (heights.empty()) return;
  const float b = area.width() / static_cast<float>(heights.size());
  for (size_t i = 0; i < heights.size(); ++i)
    drawBar(c, area.left + static_cast<float>(i) * b, b, area.bottom, heights[i], glow, bar);
}

struct MeterShapes::Impl {
  // What every picture depends on.
  float band = 0;
  double xx = 0, yy = 0;
  int footPhase = -1;
  Color glow, bar;

  std::vector<Column> columns;
  size_t bytes = 0;
  Canvas scratch;  // where pictures are drawn

  void forget() {
    columns.clear();
    bytes = 0;
  }

  Column& column(const Placed& p) {
    for (Column& c : columns)
      if (c.phase == p.phase && c.span == p.span) return c;
    columns.push_back(Column{p.phase, p.span, {}, {}, nullptr, nullptr});
    return columns.back();
  }

  // Draws one bar as the target canvas would, moved by whole pixels to the scratch's corner.
  bool render(const Matrix& d, float left, float bottom, float height, const Placed& p) {
    if (scratch.width() < p.width || scratch.height() < p.rows) {
      if (!scratch.resize(std::max(p.width, scratch.width()), std::max(p.rows, scratch.height()))) return false;
    }
    scratch.clear();
    scratch.setTransform(Matrix{d.xx, 0, 0, d.yy, d.dx - p.x, d.dy - p.y});
    drawBar(scratch, left, band, bottom, height, glow, bar);
    return scratch.pixels() != nullptr;
  }

  bool room(int width, int rows) const { return bytes + static_cast<size_t>(width) * rows * 4 <= kMaxBytes; }

  // Rows [y, y + rows) of what was rendered, `width` columns.
  Picture cut(int y, int rows, int width) {
    auto picture = std::make_unique<Bitmap>();
    if (!picture->create(width, rows)) return nullptr;
    const uint8_t* src = scratch.pixels();
    uint8_t* dst = picture->pixels();
    for (int r = 0; r < rows; ++r)
      std::memcpy(dst + static_cast<size_t>(r) * picture->stride(),
                  src + static_cast<size_t>(y + r) * scratch.stride(), static_cast<size_t>(width) * 4);
    picture->commit();
    bytes += static_cast<size_t>(width) * rows * 4;
    return picture;
  }

  // Copies one bar; false when it has to be drawn as shapes.
  bool blit(Canvas& c, const Matrix& d, float left, float bottom, int height, const Placed& p) {
    Column& col = column(p);
    if (!p.tall()) {
      if (height > kMaxLowHeight) return false;
      if (col.low.size() <= static_cast<size_t>(height)) col.low.resize(height + 1);
      Picture& whole = col.low[height];
      if (!whole && room(p.width, p.rows) && render(d, left, bottom, height, p)) whole = cut(0, p.rows, p.width);
      if (!whole) return false;
      c.blitBitmap(*whole, RectI{p.x, p.y, p.width, p.rows});
      return true;
    }
    auto head = std::find_if(col.heads.begin(), col.heads.end(), [&](const auto& h) { return h.first == p.topPhase; });
    if (head == col.heads.end()) {
      Picture top = room(p.width, p.head) && render(d, left, bottom, height, p) ? cut(0, p.head, p.width) : nullptr;
      if (!top) return false;
      col.heads.emplace_back(p.topPhase, std::move(top));
      head = col.heads.end() - 1;
    }
    if (!col.foot) {
      // The straight row and the foot from the first height that has a straight row.
      for (int h = height; h < height + 64 && !col.foot; ++h) {
        const Placed q = place(d, left, band, bottom, static_cast<float>(h));
        if (q.middle() < 1) continue;
        if (!room(q.width, q.foot + 1) || !render(d, left, bottom, static_cast<float>(h), q)) return false;
        col.middle = cut(q.head, 1, q.width);
        col.foot = col.middle ? cut(q.rows - q.foot, q.foot, q.width) : nullptr;
        if (!col.foot) {
          col.middle.reset();
          return false;
        }
      }
      if (!col.foot) return false;
    }
    c.blitBitmap(*head->second, RectI{p.x, p.y, p.width, p.head});
    if (p.middle() > 0) c.blitBitmap(*col.middle, RectI{p.x, p.y + p.head, p.width, p.middle()});
    c.blitBitmap(*col.foot, RectI{p.x, p.y + p.rows - p.foot, p.width, p.foot});
    return true;
  }
};

MeterShapes::MeterShapes() = default;
MeterShapes::~MeterShapes() = default;
MeterShapes::MeterShapes(MeterShapes&&) noexcept = default;
MeterShapes& MeterShapes::operator=(MeterShapes&&) noexcept = default;

void MeterShapes::clear() {
  if (impl_) impl_->forget();
}

size_t MeterShapes::bytes() const { return impl_ ? impl_->bytes : 0; }

void MeterShapes::draw(Canvas& c, const RectF& area, std::span<const int16_t> heights, Color glow, Color bar) {
  if (heights.empty()) return;
  const float b = area.width() / static_cast<float>(heights.size());
  const float k = c.scale();
  const Matrix d = c.transform() * Matrix::scale(k, k);
  // Pictures are made for the pixel grid: a turned or mirrored canvas gets the shapes, and so
  // does a place too far out for whole pixels to count.
  auto near = [](double v) { return std::fabs(v) < 1e6; };
  if (d.xy != 0 || d.yx != 0 || !(d.xx > 0) || !(d.yy > 0) || !(b > 0) || !c.valid() || !near(d.xx) ||
      !near(d.yy) || !near(d.dx) || !near(d.dy) || !near(area.left * d.xx) || !near(area.right * d.xx) ||
      !near(area.bottom * d.yy)) {
    drawMeterBars(c, area, heights, glow, bar);
    return;
  }
  if (!impl_) impl_ = std::make_unique<Impl>();
  Impl& m = *impl_;
  const int footPhase = static_cast<int>(fixedOf(area.bottom * d.yy + d.dy) & (kSub - 1));
  if (b != m.band || d.xx != m.xx || d.yy != m.yy || footPhase != m.footPhase || glow != m.glow || bar != m.bar) {
    m.forget();
    m.band = b;
    m.xx = d.xx;
    m.yy = d.yy;
    m.footPhase = footPhase;
    m.glow = glow;
    m.bar = bar;
  }
  for (size_t i = 0; i < heights.size(); ++i) {
    const float left = area.left + static_cast<float>(i) * b;
    const int h = heights[i];
    if (h < 0 || !m.blit(c, d, left, area.bottom, h, place(d, left, b, area.bottom, h)))
      drawBar(c, left, b, area.bottom, h, glow, bar);
  }
}

}  // namespace vell
