#include "platform/Canvas.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace vell {

namespace {

constexpr int kBandRows = 16;          // granularity of the drawn-area bookkeeping
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

// Text for pango: valid UTF-8 (bad bytes become U+FFFD) without NUL characters.
std::string validUtf8(std::string_view text) {
  std::string in(text);
  in.erase(std::remove(in.begin(), in.end(), '\0'), in.end());
  if (g_utf8_validate(in.data(), static_cast<gssize>(in.size()), nullptr)) return in;
  gchar* fixed = g_utf8_make_valid(in.data(), static_cast<gssize>(in.size()));
  std::string out(fixed ? fixed : "");
  g_free(fixed);
  return out;
}

PangoAlignment pangoAlign(TextAlign a) {
  switch (a) {
    case TextAlign::Center: return PANGO_ALIGN_CENTER;
    case TextAlign::Trailing: return PANGO_ALIGN_RIGHT;
    default: return PANGO_ALIGN_LEFT;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Text formats and layouts

struct FontSpec {
  PangoFontDescription* desc = nullptr;
  ~FontSpec() {
    if (desc) pango_font_description_free(desc);
  }
};

TextFormat TextFormat::create(std::string_view families, int weight, float size, TextAlign align,
                              ParagraphAlign paragraph, bool wrap) {
  TextFormat f;
  if (size <= 0) return f;
  auto spec = std::make_shared<FontSpec>();
  spec->desc = pango_font_description_new();
  std::string fam(families);
  pango_font_description_set_family(spec->desc, fam.c_str());
  pango_font_description_set_weight(spec->desc, static_cast<PangoWeight>(std::clamp(weight, 100, 1000)));
  pango_font_description_set_style(spec->desc, PANGO_STYLE_NORMAL);
  pango_font_description_set_stretch(spec->desc, PANGO_STRETCH_NORMAL);
  // Sizes are pixels (device-independent pixels at 96 DPI).
  pango_font_description_set_absolute_size(spec->desc, size * PANGO_SCALE);
  f.font_ = std::move(spec);
  f.size_ = size;
  f.weight_ = weight;
  f.align_ = align;
  f.paragraph_ = paragraph;
  f.wrap_ = wrap;
  return f;
}

struct TextLayout::Impl {
  PangoLayout* layout = nullptr;
  double inkX = 0, inkY = 0, inkW = 0, inkH = 0;
  double logX = 0, logY = 0;
  ~Impl() {
    if (layout) g_object_unref(layout);
  }
};

TextLayout::~TextLayout() = default;

namespace {

// Sets up `layout` for `text` in `format` within a box `boxWidth` wide.
void configureLayout(PangoLayout* layout, const TextFormat& format, const FontSpec& font, double boxWidth,
                     const std::string& text) {
  pango_layout_set_font_description(layout, font.desc);
  pango_layout_set_alignment(layout, pangoAlign(format.align()));
  pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_NONE);
  if (format.wraps() && boxWidth > 0) {
    pango_layout_set_width(layout, static_cast<int>(boxWidth * PANGO_SCALE));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  } else if (format.ellipsis() && boxWidth > 0) {
    pango_layout_set_width(layout, static_cast<int>(boxWidth * PANGO_SCALE));
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
  } else {
    pango_layout_set_width(layout, -1);
  }
  pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
}

struct Placed {
  double x, y;           // where the layout's origin goes
  PangoRectangle ink, logical;  // Pango units, relative to the origin
};

// Position of a configured layout inside a box by the format's alignment rules.
Placed placeLayout(PangoLayout* layout, const TextFormat& format, double left, double top, double boxWidth,
                   double boxHeight) {
  Placed p{};
  pango_layout_get_extents(layout, &p.ink, &p.logical);
  double lw = p.logical.width / double(PANGO_SCALE);
  double lh = p.logical.height / double(PANGO_SCALE);
  double lx = p.logical.x / double(PANGO_SCALE);
  bool widthSet = pango_layout_get_width(layout) >= 0;
  if (widthSet) {
    p.x = left;  // pango aligns the lines within the box width itself
  } else {
    switch (format.align()) {
      case TextAlign::Leading: p.x = left - lx; break;
      case TextAlign::Center: p.x = left + (boxWidth - lw) / 2 - lx; break;
      case TextAlign::Trailing: p.x = left + boxWidth - lw - lx; break;
    }
  }
  double ly = p.logical.y / double(PANGO_SCALE);
  switch (format.paragraph()) {
    case ParagraphAlign::Top: p.y = top - ly; break;
    case ParagraphAlign::Center: p.y = top + (boxHeight - lh) / 2 - ly; break;
    case ParagraphAlign::Bottom: p.y = top + boxHeight - lh - ly; break;
  }
  return p;
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
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;
  PangoContext* pango = nullptr;
  PangoLayout* layout = nullptr;  // reused by drawText
  int clipDepth = 0;
  bool degenerate = false;        // singular transform: nothing is drawn
  std::vector<int> bandMin, bandMax;
  // What the reused layout holds, so that drawing the same text again (outlines, repeated
  // labels) does not lay it out again.
  std::string layoutText;
  std::shared_ptr<const FontSpec> layoutFont;  // held, so its address cannot be reused
  double layoutWidth = -2;
  int layoutFlags = -1;

  void prepare(std::string_view text, const TextFormat& format, double boxWidth) {
    int flags = static_cast<int>(format.align()) | (format.wraps() ? 4 : 0) | (format.ellipsis() ? 8 : 0);
    if (layoutFont == format.font_ && layoutWidth == boxWidth && layoutFlags == flags && layoutText == text)
      return;
    configureLayout(layout, format, *format.font_, boxWidth, validUtf8(text));
    layoutText.assign(text);
    layoutFont = format.font_;
    layoutWidth = boxWidth;
    layoutFlags = flags;
  }
  void forgetLayout() { layoutFont.reset(); }

  ~Impl() {
    if (layout) g_object_unref(layout);
    if (pango) g_object_unref(pango);
    if (cr) cairo_destroy(cr);
    if (surface) cairo_surface_destroy(surface);
  }

  void resetBands(int height) {
    int n = (height + kBandRows - 1) / kBandRows;
    bandMin.assign(n, INT_MAX);
    bandMax.assign(n, INT_MIN);
  }

  void markDevice(double x0, double y0, double x1, double y1, int w, int h) {
    if (!(x1 > x0) || !(y1 > y0)) return;
    int ix0 = std::max(0, static_cast<int>(std::floor(x0)) - 1);
    int iy0 = std::max(0, static_cast<int>(std::floor(y0)) - 1);
    int ix1 = std::min(w, static_cast<int>(std::ceil(x1)) + 1);
    int iy1 = std::min(h, static_cast<int>(std::ceil(y1)) + 1);
    if (ix1 <= ix0 || iy1 <= iy0) return;
    for (int b = iy0 / kBandRows; b <= (iy1 - 1) / kBandRows && b < static_cast<int>(bandMin.size()); ++b) {
      bandMin[b] = std::min(bandMin[b], ix0);
      bandMax[b] = std::max(bandMax[b], ix1);
    }
  }

  void fill(Color c, int w, int h) {
    double x0, y0, x1, y1;
    cairo_fill_extents(cr, &x0, &y0, &x1, &y1);
    setColor(cr, c);
    cairo_fill(cr);
    markUser(x0, y0, x1, y1, w, h);
  }

  void stroke(Color c, float strokeWidth, int w, int h) {
    cairo_set_line_width(cr, strokeWidth);
    double x0, y0, x1, y1;
    cairo_stroke_extents(cr, &x0, &y0, &x1, &y1);
    setColor(cr, c);
    cairo_stroke(cr);
    markUser(x0, y0, x1, y1, w, h);
  }

  // Draws a placed layout and marks the union of its ink and logical boxes.
  void showLayout(PangoLayout* layout, const Placed& p, Color c, int w, int h) {
    cairo_new_path(cr);
    cairo_move_to(cr, p.x, p.y);
    setColor(cr, c);
    pango_cairo_show_layout(cr, layout);
    cairo_new_path(cr);
    double s = PANGO_SCALE;
    double x0 = std::min(p.ink.x, p.logical.x) / s, y0 = std::min(p.ink.y, p.logical.y) / s;
    double x1 = std::max(p.ink.x + p.ink.width, p.logical.x + p.logical.width) / s;
    double y1 = std::max(p.ink.y + p.ink.height, p.logical.y + p.logical.height) / s;
    markUser(p.x + x0, p.y + y0, p.x + x1, p.y + y1, w, h);
  }

  // Marks a user-space box through the current transform.
  void markUser(double x0, double y0, double x1, double y1, int w, int h) {
    double xs[4] = {x0, x1, x0, x1}, ys[4] = {y0, y0, y1, y1};
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    for (int i = 0; i < 4; ++i) {
      double x = xs[i], y = ys[i];
      cairo_user_to_device(cr, &x, &y);
      minX = std::min(minX, x);
      maxX = std::max(maxX, x);
      minY = std::min(minY, y);
      maxY = std::max(maxY, y);
    }
    markDevice(minX, minY, maxX, maxY, w, h);
  }
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
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
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
  impl_->layout = pango_layout_new(impl_->pango);
  impl_->resetBands(height);
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
  d.resetBands(height_);
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
  const Matrix m = deviceTransform();
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
}

void Canvas::popClip() {
  Impl& d = *impl_;
  if (!d.cr || d.clipDepth == 0) return;
  cairo_restore(d.cr);
  --d.clipDepth;
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
  impl_->fill(c, width_, height_);
}

void Canvas::drawRect(const RectF& r, Color c, float strokeWidth) {
  CANVAS_READY(c.a);
  if (strokeWidth <= 0) return;
  cairo_new_path(impl_->cr);
  cairo_rectangle(impl_->cr, r.left, r.top, r.width(), r.height());
  impl_->stroke(c, strokeWidth, width_, height_);
}

void Canvas::fillRoundedRect(const RectF& r, float radius, Color c) {
  CANVAS_READY(c.a);
  if (r.width() <= 0 || r.height() <= 0) return;
  roundedRectPath(impl_->cr, r, radius);
  impl_->fill(c, width_, height_);
}

void Canvas::drawRoundedRect(const RectF& r, float radius, Color c, float strokeWidth) {
  CANVAS_READY(c.a);
  if (strokeWidth <= 0 || r.width() < 0 || r.height() < 0) return;
  roundedRectPath(impl_->cr, r, radius);
  impl_->stroke(c, strokeWidth, width_, height_);
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
  impl_->fill(c, width_, height_);
}

void Canvas::drawEllipse(PointF centre, float rx, float ry, Color c, float strokeWidth) {
  CANVAS_READY(c.a);
  if (rx <= 0 || ry <= 0 || strokeWidth <= 0) return;
  ellipsePath(impl_->cr, centre, rx, ry);
  impl_->stroke(c, strokeWidth, width_, height_);
}

void Canvas::drawLine(PointF a, PointF b, Color c, float strokeWidth) {
  CANVAS_READY(c.a);
  if (strokeWidth <= 0) return;
  cairo_new_path(impl_->cr);
  cairo_move_to(impl_->cr, a.x, a.y);
  cairo_line_to(impl_->cr, b.x, b.y);
  impl_->stroke(c, strokeWidth, width_, height_);
}

void Canvas::fillPolygon(std::span<const PointF> points, Color c) {
  CANVAS_READY(c.a);
  if (points.size() < 3) return;
  cairo_new_path(impl_->cr);
  cairo_move_to(impl_->cr, points[0].x, points[0].y);
  for (size_t i = 1; i < points.size(); ++i) cairo_line_to(impl_->cr, points[i].x, points[i].y);
  cairo_close_path(impl_->cr);
  impl_->fill(c, width_, height_);
}

void Canvas::drawPolyline(std::span<const PointF> points, Color c, float strokeWidth, bool closed) {
  CANVAS_READY(c.a);
  if (points.size() < 2 || strokeWidth <= 0) return;
  cairo_new_path(impl_->cr);
  cairo_move_to(impl_->cr, points[0].x, points[0].y);
  for (size_t i = 1; i < points.size(); ++i) cairo_line_to(impl_->cr, points[i].x, points[i].y);
  if (closed) cairo_close_path(impl_->cr);
  impl_->stroke(c, strokeWidth, width_, height_);
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
  impl_->markUser(dest.left, dest.top, dest.right, dest.bottom, width_, height_);
}

void Canvas::drawText(std::string_view text, const TextFormat& format, const RectF& box, Color c) {
  CANVAS_READY(c.a);
  if (text.empty() || !format.valid()) return;
  PangoLayout* layout = impl_->layout;
  impl_->prepare(text, format, box.width());
  Placed p = placeLayout(layout, format, box.left, box.top, box.width(), box.height());
  impl_->showLayout(layout, p, c, width_, height_);
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
  configureLayout(t->impl_->layout, format, *format.font_, maxWidth, validUtf8(text));
  PangoRectangle ink, logical;
  pango_layout_get_extents(t->impl_->layout, &ink, &logical);
  t->width_ = logical.width / float(PANGO_SCALE);
  t->height_ = logical.height / float(PANGO_SCALE);
  return t;
}

void Canvas::drawTextLayout(const TextLayout& layout, PointF origin, Color c) {
  CANVAS_READY(c.a);
  if (!layout.impl_ || !layout.impl_->layout) return;
  PangoLayout* pl = layout.impl_->layout;
  Placed p = placeLayout(pl, layout.format_, origin.x, origin.y, layout.boxWidth_, layout.boxHeight_);
  impl_->showLayout(pl, p, c, width_, height_);
}

PointF Canvas::measureText(std::string_view text, const TextFormat& format) {
  if (!impl_->layout || !format.valid()) return {};
  impl_->forgetLayout();
  configureLayout(impl_->layout, format.withEllipsis(false), *format.font_, -1, validUtf8(text));
  pango_layout_set_width(impl_->layout, -1);
  PangoRectangle logical;
  pango_layout_get_extents(impl_->layout, nullptr, &logical);
  return PointF{logical.width / float(PANGO_SCALE), logical.height / float(PANGO_SCALE)};
}

std::vector<float> Canvas::caretOffsets(std::string_view text, const TextFormat& format) {
  std::vector<float> out{0.0f};
  if (!impl_->layout || !format.valid()) return out;
  std::string valid = validUtf8(text);
  impl_->forgetLayout();
  configureLayout(impl_->layout, format.withEllipsis(false).withAlign(TextAlign::Leading), *format.font_, -1, valid);
  pango_layout_set_width(impl_->layout, -1);
  PangoRectangle logical;
  pango_layout_get_extents(impl_->layout, nullptr, &logical);
  const char* begin = valid.c_str();
  const char* end = begin + valid.size();
  for (const char* p = begin; p < end;) {
    p = g_utf8_next_char(p);
    if (p >= end) break;
    PangoRectangle pos;
    pango_layout_index_to_pos(impl_->layout, static_cast<int>(p - begin), &pos);
    out.push_back((pos.width < 0 ? pos.x + pos.width : pos.x) / float(PANGO_SCALE));
  }
  if (!valid.empty()) out.push_back(logical.width / float(PANGO_SCALE));
  return out;
}

int Canvas::unknownGlyphCount(std::string_view text, const TextFormat& format) {
  if (!impl_->layout || !format.valid()) return -1;
  impl_->forgetLayout();
  configureLayout(impl_->layout, format, *format.font_, -1, validUtf8(text));
  return pango_layout_get_unknown_glyphs_count(impl_->layout);
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

std::vector<RectI> Canvas::dirtyRects() const {
  std::vector<RectI> out;
  const Impl& d = *impl_;
  int n = static_cast<int>(d.bandMin.size());
  for (int b = 0; b < n;) {
    if (d.bandMin[b] >= d.bandMax[b]) {
      ++b;
      continue;
    }
    int first = b, minX = d.bandMin[b], maxX = d.bandMax[b];
    while (b + 1 < n && d.bandMin[b + 1] < d.bandMax[b + 1]) {
      ++b;
      minX = std::min(minX, d.bandMin[b]);
      maxX = std::max(maxX, d.bandMax[b]);
    }
    int y0 = first * kBandRows;
    int y1 = std::min(height_, (b + 1) * kBandRows);
    out.push_back(RectI{minX, y0, maxX - minX, y1 - y0});
    ++b;
  }
  return out;
}

bool Canvas::hasDrawing() const {
  for (size_t b = 0; b < impl_->bandMin.size(); ++b)
    if (impl_->bandMin[b] < impl_->bandMax[b]) return true;
  return false;
}

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
