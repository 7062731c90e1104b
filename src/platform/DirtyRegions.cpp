// The dirty-region bookkeeping both canvases share.
#include "platform/DirtyRegions.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace vell {

namespace {
constexpr int kBandRows = 16;  // granularity of the bookkeeping
}

void DirtyBands::reset(int height) {
  height_ = std::max(0, height);
  int n = (height_ + kBandRows - 1) / kBandRows;
  min_.assign(n, INT_MAX);
  max_.assign(n, INT_MIN);
}

void DirtyBands::add(const RectI& r) {
  if (r.w <= 0 || r.h <= 0) return;
  for (int b = r.y / kBandRows; b <= (r.y + r.h - 1) / kBandRows && b < static_cast<int>(min_.size()); ++b) {
    min_[b] = std::min(min_[b], r.x);
    max_[b] = std::max(max_[b], r.x + r.w);
  }
}

std::vector<RectI> DirtyBands::rects() const {
  std::vector<RectI> out;
  int n = static_cast<int>(min_.size());
  for (int b = 0; b < n;) {
    if (min_[b] >= max_[b]) {
      ++b;
      continue;
    }
    int first = b, minX = min_[b], maxX = max_[b];
    while (b + 1 < n && min_[b + 1] < max_[b + 1]) {
      ++b;
      minX = std::min(minX, min_[b]);
      maxX = std::max(maxX, max_[b]);
    }
    int y0 = first * kBandRows;
    int y1 = std::min(height_, (b + 1) * kBandRows);
    out.push_back(RectI{minX, y0, maxX - minX, y1 - y0});
    ++b;
  }
  return out;
}

bool DirtyBands::any() const {
  for (size_t b = 0; b < min_.size(); ++b)
    if (min_[b] < max_[b]) return true;
  return false;
}

void DirtyRegions::resize(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  clips_.clear();
  drawn_.reset(height_);
}

void DirtyRegions::pushClip(const Matrix& m, const RectF& r) {
  clips_.push_back(deviceBox(m, r.left, r.top, std::max(r.left, r.right), std::max(r.top, r.bottom)));
}

void DirtyRegions::popClip() {
  if (!clips_.empty()) clips_.pop_back();
}

RectI DirtyRegions::mark(const Matrix& m, double x0, double y0, double x1, double y1) {
  RectI r = deviceBox(m, x0, y0, x1, y1);
  drawn_.add(r);
  return r;
}

RectI DirtyRegions::deviceBox(const Matrix& m, double x0, double y0, double x1, double y1) const {
  const double xs[4] = {x0, x1, x0, x1}, ys[4] = {y0, y0, y1, y1};
  double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
  for (int i = 0; i < 4; ++i) {
    double x = xs[i] * m.xx + ys[i] * m.xy + m.dx, y = xs[i] * m.yx + ys[i] * m.yy + m.dy;
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
  }
  if (!(maxX > minX) || !(maxY > minY)) return RectI{};
  const RectI limit = clips_.empty() ? RectI{0, 0, width_, height_} : clips_.back();
  // Antialiased edges reach into the pixel beyond the box.
  int ix0 = static_cast<int>(std::max<double>(limit.x, std::floor(std::max(minX, -1e9)) - 1));
  int iy0 = static_cast<int>(std::max<double>(limit.y, std::floor(std::max(minY, -1e9)) - 1));
  int ix1 = static_cast<int>(std::min<double>(limit.x + limit.w, std::ceil(std::min(maxX, 1e9)) + 1));
  int iy1 = static_cast<int>(std::min<double>(limit.y + limit.h, std::ceil(std::min(maxY, 1e9)) + 1));
  if (ix1 <= ix0 || iy1 <= iy0) return RectI{};
  return RectI{ix0, iy0, ix1 - ix0, iy1 - iy0};
}

}  // namespace vell
