// The canvas on cairo: an image surface drawn on in place.
#include "platform/Canvas.h"
#include "platform/PageBuffer.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/DirtyRegions.h"
#include "platform/cairo/PangoText.h"

namespace vell {

namespace {

constexpr int kMaxBitmapSide = 16384;  // larger pictures are refused, not allocated

void setColor(cairo_t* cr, Color c) { cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a); }

void roundedRectPath(cairo_t* cr, const RectF& r, float radius) {
  double w = r.width(), h = r.height();
  double rad = std::max(0.0, std::min<double>(radius, std::min(w, h) / 2));
  cairo_new_path(cr);
  if (rad <= 0) {
    cairo_rectangle(cr, r.left, r.top, w, h);
    return;
  }
  cairo_new_sub_path(cr);
  cairo_arc(cr, r.right - rad, r.top + rad, rad, -M_PI / 2, 0);
  cairo_arc(cr, r.right - rad, r.bottom - rad, rad, 0, M_PI / 2);
  cairo_arc(cr, r.left + rad, r.bottom - rad, rad, M_PI / 2, M_PI);
  cairo_arc(cr, r.left + rad, r.top + rad, rad, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Bitmap

struct Bitmap::Impl {
  cairo_surface_t* surface = nullptr;
  cairo_surface_t* scaled = nullptr;  // a smaller copy for strong downscaling
  int scaledW = 0, scaledH = 0;
  void dropScaled() {
    if (scaled) cairo_surface_destroy(scaled);
    scaled = nullptr;
    scaledW = scaledH = 0;
  }
  ~Impl() {
    dropScaled();
    if (surface) cairo_surface_destroy(surface);
  }
};

Bitmap::Bitmap() : impl_(std::make_unique<Impl>()) {}
Bitmap::~Bitmap() = default;

bool Bitmap::create(int width, int height) {
  impl_ = std::make_unique<Impl>();
  if (width < 1 || height < 1 || width > kMaxBitmapSide || height > kMaxBitmapSide) return false;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return false;
  }
  impl_->surface = s;
  return true;
}

bool Bitmap::valid() const { return impl_->surface != nullptr; }
int Bitmap::width() const { return impl_->surface ? cairo_image_surface_get_width(impl_->surface) : 0; }
int Bitmap::height() const { return impl_->surface ? cairo_image_surface_get_height(impl_->surface) : 0; }
int Bitmap::stride() const { return impl_->surface ? cairo_image_surface_get_stride(impl_->surface) : 0; }

uint8_t* Bitmap::pixels() {
  if (!impl_->surface) return nullptr;
  cairo_surface_flush(impl_->surface);
  return cairo_image_surface_get_data(impl_->surface);
}

const uint8_t* Bitmap::pixels() const {
  return impl_->surface ? cairo_image_surface_get_data(impl_->surface) : nullptr;
}

void Bitmap::commit() {
  if (!impl_->surface) return;
  cairo_surface_mark_dirty(impl_->surface);
  impl_->dropScaled();
}

uint32_t Bitmap::pixel(int x, int y) const {
  if (!impl_->surface || x < 0 || y < 0 || x >= width() || y >= height()) return 0;
  const uint8_t* row = pixels() + static_cast<size_t>(y) * stride();
  uint32_t v;
  std::memcpy(&v, row + x * 4, 4);
  return v;
}

// ---------------------------------------------------------------------------------------
// Canvas

struct Canvas::Impl {
  PageBuffer pixels;  // the surface's, freed after it
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;
  PangoContext* pango = nullptr;
  TextLayoutCache layouts;  // the layout drawText reuses
  int clipDepth = 0;
  bool degenerate = false;  // singular transform: nothing is drawn
  Matrix transform;         // the device transform
  DirtyRegions dirty;       // drawn on since the last clear

  ~Impl() {
    if (pango) g_object_unref(pango);
    if (cr) cairo_destroy(cr);
    if (surface) cairo_surface_destroy(surface);
  }

  void fill(Color c) {
    double x0, y0, x1, y1;
    cairo_fill_extents(cr, &x0, &y0, &x1, &y1);
    setColor(cr, c);
    cairo_fill(cr);
    mark(x0, y0, x1, y1);
  }

  void stroke(Color c, float strokeWidth) {
    cairo_set_line_width(cr, strokeWidth);
    double x0, y0, x1, y1;
    cairo_stroke_extents(cr, &x0, &y0, &x1, &y1);
    setColor(cr, c);
    cairo_stroke(cr);
    mark(x0, y0, x1, y1);
  }

  // Draws a placed layout and marks the union of its ink and logical boxes.
  void drawLaidText(const LaidText& p, Color c) {
    cairo_new_path(cr);
    cairo_move_to(cr, p.x, p.y);
    setColor(cr, c);
    pango_cairo_show_layout(cr, p.layout);
    cairo_new_path(cr);
    double s = PANGO_SCALE;
    double x0 = std::min(p.ink.x, p.logical.x) / s, y0 = std::min(p.ink.y, p.logical.y) / s;
    double x1 = std::max(p.ink.x + p.ink.width, p.logical.x + p.logical.width) / s;
    double y1 = std::max(p.ink.y + p.ink.height, p.logical.y + p.logical.height) / s;
    mark(p.x + x0, p.y + y0, p.x + x1, p.y + y1);
  }

  // Marks a user-space box through the current transform.
  void mark(double x0, double y0, double x1, double y1) { dirty.mark(transform, x0, y0, x1, y1); }
};

Canvas::Canvas() : impl_(std::make_unique<Impl>()) {}
Canvas::~Canvas() = default;

bool Canvas::valid() const { return impl_->cr != nullptr; }

bool Canvas::resize(int width, int height) {
  if (width == width_ && height == height_ && impl_->cr) return true;
  auto fresh = std::make_unique<Impl>();
  width_ = height_ = 0;
  transform_ = Matrix::identity();
  // Keep the text context across sizes: layouts made from it stay usable.
  fresh->pango = impl_->pango;
  impl_->pango = nullptr;
  impl_ = std::move(fresh);
  if (width < 1 || height < 1) return false;
  const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width);
  if (stride <= 0 || !impl_->pixels.allocate(static_cast<size_t>(stride) * height)) return false;
  cairo_surface_t* s =
      cairo_image_surface_create_for_data(impl_->pixels.data(), CAIRO_FORMAT_ARGB32, width, height, stride);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return false;
  }
  impl_->surface = s;
  impl_->cr = cairo_create(s);
  if (!impl_->pango) {
    impl_->pango = pango_cairo_create_context(impl_->cr);
    cairo_font_options_t* fo = cairo_font_options_create();
    cairo_font_options_set_antialias(fo, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(fo, CAIRO_HINT_STYLE_NONE);
    // Unhinted metrics: text widths do not depend on position, so marquees move smoothly.
    cairo_font_options_set_hint_metrics(fo, CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(impl_->pango, fo);
    cairo_font_options_destroy(fo);
  }
  impl_->layouts.attach(impl_->pango);
  impl_->dirty.resize(width, height);
  width_ = width;
  height_ = height;
  setTransform(transform_);  // the scale
  return true;
}

void Canvas::clear() {
  Impl& d = *impl_;
  if (!d.cr) return;
  while (d.clipDepth > 0) popClip();
  cairo_reset_clip(d.cr);
  setTransform(Matrix::identity());
  cairo_surface_flush(d.surface);
  uint8_t* data = cairo_image_surface_get_data(d.surface);
  int stride = cairo_image_surface_get_stride(d.surface);
  for (const RectI& r : dirtyRects()) {
    for (int y = r.y; y < r.y + r.h; ++y) std::memset(data + static_cast<size_t>(y) * stride + r.x * 4, 0, r.w * 4);
  }
  cairo_surface_mark_dirty(d.surface);
  d.dirty.forget();
}

void Canvas::clearArea(const RectI& area) {
  Impl& d = *impl_;
  if (!d.cr) return;
  // On a scaled display the area covers every pixel it touches.
  const RectI px = pixelsCovering(area);
  if (px.w <= 0) return;
  const int x0 = px.x, x1 = px.x + px.w, y0 = px.y, y1 = px.y + px.h;
  cairo_surface_flush(d.surface);
  uint8_t* data = cairo_image_surface_get_data(d.surface);
  int stride = cairo_image_surface_get_stride(d.surface);
  for (int y = y0; y < y1; ++y) std::memset(data + static_cast<size_t>(y) * stride + x0 * 4, 0, (x1 - x0) * 4);
  cairo_surface_mark_dirty(d.surface);
}

void Canvas::setTransform(const Matrix& logical) {
  transform_ = logical;
  if (!impl_->cr) return;
  const Matrix m = impl_->transform = deviceTransform();
  double det = m.xx * m.yy - m.xy * m.yx;
  impl_->degenerate = !std::isfinite(det) || std::fabs(det) < 1e-12;
  if (impl_->degenerate) return;
  cairo_matrix_t cm{m.xx, m.yx, m.xy, m.yy, m.dx, m.dy};
  cairo_set_matrix(impl_->cr, &cm);
}

void Canvas::pushClip(const RectF& r) {
  Impl& d = *impl_;
  if (!d.cr) return;
  cairo_save(d.cr);
  ++d.clipDepth;
  cairo_new_path(d.cr);
  cairo_rectangle(d.cr, r.left, r.top, std::max(0.0f, r.width()), std::max(0.0f, r.height()));
  cairo_clip(d.cr);
  d.dirty.pushClip(d.transform, r);
}

void Canvas::popClip() {
  Impl& d = *impl_;
  if (!d.cr || d.clipDepth == 0) return;
  cairo_restore(d.cr);
  --d.clipDepth;
  d.dirty.popClip();
  setTransform(transform_);  // restoring the clip must not undo a later transform
}


#define CANVAS_READY(alpha) \
  if (!impl_->cr || impl_->degenerate || (alpha) <= 0.0f) return

void Canvas::fillRect(const RectF& area, Color c) {
  CANVAS_READY(c.a);
  if (area.width() <= 0 || area.height() <= 0) return;
  const RectF r = pixelAligned(area);
  cairo_new_path(impl_->cr);
  cairo_rectangle(impl_->cr, r.left, r.top, r.width(), r.height());
  impl_->fill(c);
}

void Canvas::drawRect(const RectF& r, Color c, float strokeWidth) {
  CANVAS_READY(c.a);
  if (strokeWidth <= 0) return;
  cairo_new_path(impl_->cr);
  cairo_rectangle(impl_->cr, r.left, r.top, r.width(), r.height());
  impl_->stroke(c, strokeWidth);
}

void Canvas::fillRoundedRect(const RectF& r, float radius, Color c) {
  CANVAS_READY(c.a);
  if (r.width() <= 0 || r.height() <= 0) return;
  roundedRectPath(impl_->cr, r, radius);
  impl_->fill(c);
}

void Canvas::drawRoundedRect(const RectF& r, float radius, Color c, float strokeWidth) {
  CANVAS_READY(c.a);
  if (strokeWidth <= 0 || r.width() < 0 || r.height() < 0) return;
  roundedRectPath(impl_->cr, r, radius);
  impl_->stroke(c, strokeWidth);
}

namespace {
void ellipsePath(cairo_t* cr, PointF centre, float rx, float ry) {
  cairo_new_path(cr);
  cairo_save(cr);
  cairo_translate(cr, centre.x, centre.y);
  cairo_scale(cr, rx, ry);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_close_path(cr);
  cairo_restore(cr);  // the path stays; the stroke width is not scaled
}
}  // namespace

void Canvas::fillEllipse(PointF centre, float rx, float ry, Color c) {
  CANVAS_READY(c.a);
  if (rx <= 0 || ry <= 0) return;
  ellipsePath(impl_->cr, centre, rx, ry);
  impl_->fill(c);
}

void Canvas::drawEllipse(PointF centre, float rx, float ry, Color c, float strokeWidth) {
  CANVAS_READY(c.a);
  if (rx <= 0 || ry <= 0 || strokeWidth <= 0) return;
  ellipsePath(impl_->cr, centre, rx, ry);
  impl_->stroke(c, strokeWidth);
}

void Canvas::drawLine(PointF a, PointF b, Color c, float strokeWidth) {
  CANVAS_READY(c.a);
  if (strokeWidth <= 0) return;
  cairo_new_path(impl_->cr);
  cairo_move_to(impl_->cr, a.x, a.y);
  cairo_line_to(impl_->cr, b.x, b.y);
  impl_->stroke(c, strokeWidth);
}

void Canvas::fillPolygon(std::span<const PointF> points, Color c) {
  CANVAS_READY(c.a);
  if (points.size() < 3) return;
  cairo_new_path(impl_->cr);
  cairo_move_to(impl_->cr, points[0].x, points[0].y);
  for (size_t i = 1; i < points.size(); ++i) cairo_line_to(impl_->cr, points[i].x, points[i].y);
  cairo_close_path(impl_->cr);
  impl_->fill(c);
}

void Canvas::drawPolyline(std::span<const PointF> points, Color c, float strokeWidth, bool closed) {
  CANVAS_READY(c.a);
  if (points.size() < 2 || strokeWidth <= 0) return;
  cairo_new_path(impl_->cr);
  cairo_move_to(impl_->cr, points[0].x, points[0].y);
  for (size_t i = 1; i < points.size(); ++i) cairo_line_to(impl_->cr, points[i].x, points[i].y);
  if (closed) cairo_close_path(impl_->cr);
  impl_->stroke(c, strokeWidth);
}

void Canvas::drawBitmap(const Bitmap& bitmap, const RectF& dest, float opacity) {
  CANVAS_READY(opacity);
  if (!bitmap.valid() || dest.width() <= 0 || dest.height() <= 0) return;
  Bitmap::Impl& b = *bitmap.impl_;
  cairo_t* cr = impl_->cr;
  int sw = bitmap.width(), sh = bitmap.height();
  const Matrix t = deviceTransform();
  double scale = std::sqrt(std::fabs(t.xx * t.yy - t.xy * t.yx));
  int tw = static_cast<int>(std::ceil(dest.width() * scale));
  int th = static_cast<int>(std::ceil(dest.height() * scale));
  cairo_surface_t* src = b.surface;
  // Bilinear sampling of a much larger picture aliases; shrink once with a proper filter
  // and keep the copy while the drawn size stays.
  if (tw > 0 && th > 0 && (tw * 4 < sw * 3 || th * 4 < sh * 3)) {
    if (!b.scaled || b.scaledW != tw || b.scaledH != th) {
      b.dropScaled();
      cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, tw, th);
      cairo_t* sc = cairo_create(s);
      cairo_scale(sc, double(tw) / sw, double(th) / sh);
      cairo_set_source_surface(sc, b.surface, 0, 0);
      cairo_pattern_set_filter(cairo_get_source(sc), CAIRO_FILTER_GOOD);
      cairo_pattern_set_extend(cairo_get_source(sc), CAIRO_EXTEND_PAD);
      cairo_paint(sc);
      cairo_destroy(sc);
      b.scaled = s;
      b.scaledW = tw;
      b.scaledH = th;
    }
    src = b.scaled;
    sw = tw;
    sh = th;
  }
  cairo_save(cr);
  cairo_new_path(cr);
  cairo_rectangle(cr, dest.left, dest.top, dest.width(), dest.height());
  cairo_clip(cr);
  cairo_translate(cr, dest.left, dest.top);
  cairo_scale(cr, dest.width() / sw, dest.height() / sh);
  cairo_set_source_surface(cr, src, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
  cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
  cairo_paint_with_alpha(cr, opacity);
  cairo_restore(cr);
  impl_->mark(dest.left, dest.top, dest.right, dest.bottom);
}

void Canvas::blitBitmap(const Bitmap& bitmap, const RectI& dest) {
  if (!impl_->cr || !bitmap.valid() || dest.w <= 0 || dest.h <= 0) return;
  cairo_t* cr = impl_->cr;
  // Whole pixels and no transform: pixman copies the rows as they are.
  cairo_save(cr);
  cairo_identity_matrix(cr);
  cairo_set_source_surface(cr, bitmap.impl_->surface, dest.x, dest.y);
  cairo_pattern_t* source = cairo_get_source(cr);
  cairo_pattern_set_filter(source, CAIRO_FILTER_NEAREST);
  if (dest.w > bitmap.width() || dest.h > bitmap.height()) cairo_pattern_set_extend(source, CAIRO_EXTEND_REPEAT);
  cairo_new_path(cr);
  cairo_rectangle(cr, dest.x, dest.y, dest.w, dest.h);
  cairo_fill(cr);
  cairo_restore(cr);
  impl_->dirty.mark(Matrix::identity(), dest.x, dest.y, dest.x + dest.w, dest.y + dest.h);
}

void Canvas::drawText(std::string_view text, const TextFormat& format, const RectF& box, Color c) {
  CANVAS_READY(c.a);
  if (text.empty() || !format.valid()) return;
  PangoLayout* layout = impl_->layouts.layOut(text, format.font_, format, box.width());
  impl_->drawLaidText(placeText(layout, format, box.left, box.top, box.width(), box.height()), c);
}

std::unique_ptr<TextLayout> Canvas::createTextLayout(std::string_view text, const TextFormat& format,
                                                     float maxWidth, float maxHeight) {
  if (!impl_->pango || !format.valid()) return nullptr;
  std::unique_ptr<TextLayout> t(new TextLayout());
  t->impl_ = std::make_unique<TextLayout::Impl>();
  t->impl_->layout = pango_layout_new(impl_->pango);
  t->text_ = std::string(text);
  t->format_ = format;
  t->boxWidth_ = maxWidth;
  t->boxHeight_ = maxHeight;
  layOutText(t->impl_->layout, text, *format.font_, format, maxWidth);
  PangoRectangle ink, logical;
  pango_layout_get_extents(t->impl_->layout, &ink, &logical);
  t->width_ = logical.width / float(PANGO_SCALE);
  t->height_ = logical.height / float(PANGO_SCALE);
  return t;
}

void Canvas::drawTextLayout(const TextLayout& layout, PointF origin, Color c) {
  CANVAS_READY(c.a);
  if (!layout.impl_ || !layout.impl_->layout) return;
  const LaidText p = placeText(layout.impl_->layout, layout.format_, origin.x, origin.y, layout.boxWidth_,
                               layout.boxHeight_);
  impl_->drawLaidText(p, c);
}

PointF Canvas::measureText(std::string_view text, const TextFormat& format) {
  if (!impl_->layouts.valid() || !format.valid()) return {};
  return textSize(impl_->layouts.scratch(), text, *format.font_, format);
}

std::vector<float> Canvas::caretOffsets(std::string_view text, const TextFormat& format) {
  if (!impl_->layouts.valid() || !format.valid()) return {0.0f};
  return textCaretOffsets(impl_->layouts.scratch(), text, *format.font_, format);
}

int Canvas::unknownGlyphCount(std::string_view text, const TextFormat& format) {
  if (!impl_->layouts.valid() || !format.valid()) return -1;
  return textUnknownGlyphs(impl_->layouts.scratch(), text, *format.font_, format);
}

const uint8_t* Canvas::pixels() const {
  if (!impl_->surface) return nullptr;
  cairo_surface_flush(impl_->surface);
  return cairo_image_surface_get_data(impl_->surface);
}

int Canvas::stride() const { return impl_->surface ? cairo_image_surface_get_stride(impl_->surface) : 0; }

uint32_t Canvas::pixel(int x, int y) const {
  if (!impl_->surface || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  uint32_t v;
  std::memcpy(&v, pixels() + static_cast<size_t>(y) * stride() + x * 4, 4);
  return v;
}

bool Canvas::writePng(const std::string& path) const {
  if (!impl_->surface) return false;
  cairo_surface_flush(impl_->surface);
  return cairo_surface_write_to_png(impl_->surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

std::vector<RectI> Canvas::dirtyRects() const { return impl_->dirty.rects(); }

bool Canvas::hasDrawing() const { return impl_->dirty.any(); }

// ---------------------------------------------------------------------------------------

bool writeArgbPng(const std::string& path, const uint32_t* pixels, int width, int height) {
  if (!pixels || width < 1 || height < 1) return false;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return false;
  }
  cairo_surface_flush(s);
  uint8_t* data = cairo_image_surface_get_data(s);
  int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < height; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < width; ++x) {
      uint32_t p = pixels[static_cast<size_t>(y) * width + x];
      uint32_t a = p >> 24;
      uint32_t r = ((p >> 16) & 0xFF) * a / 255, g = ((p >> 8) & 0xFF) * a / 255, b = (p & 0xFF) * a / 255;
      row[x] = (a << 24) | (r << 16) | (g << 8) | b;
    }
  }
  cairo_surface_mark_dirty(s);
  bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(s);
  return ok;
}

}  // namespace vell
