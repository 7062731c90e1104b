// The 2-D drawing surface of the overlay: colours, transforms, text formats, bitmaps.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vell {

// Colours are straight (not premultiplied) RGBA in 0..1.
struct Color {
  float r = 0, g = 0, b = 0, a = 1;

  static constexpr Color rgb(uint32_t hex, float alpha = 1.0f) {
    return Color{((hex >> 16) & 0xFF) / 255.0f, ((hex >> 8) & 0xFF) / 255.0f, (hex & 0xFF) / 255.0f,
                 alpha};
  }
  // The same colour with its alpha multiplied by `opacity` (a brush drawn at an opacity).
  constexpr Color withOpacity(float opacity) const { return Color{r, g, b, a * opacity}; }
  bool operator==(const Color&) const = default;
};

struct PointF {
  float x = 0, y = 0;
};

struct RectF {
  float left = 0, top = 0, right = 0, bottom = 0;
  float width() const { return right - left; }
  float height() const { return bottom - top; }
  bool contains(float x, float y) const { return x >= left && x < right && y >= top && y < bottom; }
};

struct RectI {
  int x = 0, y = 0, w = 0, h = 0;
};

// 2-D affine transform, row-vector convention: x' = x * xx + y * xy + dx, y' = x * yx + y * yy + dy.
struct Matrix {
  double xx = 1, yx = 0, xy = 0, yy = 1, dx = 0, dy = 0;

  static Matrix identity() { return Matrix{}; }
  static Matrix translation(double x, double y) { return Matrix{1, 0, 0, 1, x, y}; }
  static Matrix scale(double sx, double sy, double cx = 0, double cy = 0) {
    return Matrix{sx, 0, 0, sy, cx - sx * cx, cy - sy * cy};
  }
  // Clockwise on screen (y grows downwards) by `degrees` about (cx, cy).
  static Matrix rotation(double degrees, double cx = 0, double cy = 0);
  // This transform followed by `then`.
  Matrix operator*(const Matrix& then) const;
  PointF apply(PointF p) const;
};

enum class TextAlign { Leading, Center, Trailing };
enum class ParagraphAlign { Top, Center, Bottom };

struct FontSpec;  // the font description, private to the canvas

// A text format: font (family list, weight, size in pixels) and the paragraph rules.
// Copies share the font, so re-aligned variants are cheap.
class TextFormat {
 public:
  TextFormat() = default;
  static TextFormat create(std::string_view families, int weight, float size, TextAlign align,
                           ParagraphAlign paragraph, bool wrap);

  bool valid() const { return font_ != nullptr; }
  float size() const { return size_; }
  int weight() const { return weight_; }
  TextAlign align() const { return align_; }
  ParagraphAlign paragraph() const { return paragraph_; }
  bool wraps() const { return wrap_; }
  bool ellipsis() const { return ellipsis_; }

  TextFormat withAlign(TextAlign align) const;
  TextFormat withParagraph(ParagraphAlign paragraph) const;
  // Single-line text cut with "…" at the rectangle's right edge (no-wrap formats only).
  TextFormat withEllipsis(bool on) const;

 private:
  friend class Canvas;
  friend class TextLayout;
  std::shared_ptr<const FontSpec> font_;
  float size_ = 0;
  int weight_ = 400;
  TextAlign align_ = TextAlign::Leading;
  ParagraphAlign paragraph_ = ParagraphAlign::Top;
  bool wrap_ = true;
  bool ellipsis_ = false;
};

// A text laid out once and drawn many times (scrolling titles). The box is the layout's
// maximum width and height; the text sits in it by the format's paragraph alignment.
class TextLayout {
 public:
  ~TextLayout();
  TextLayout(const TextLayout&) = delete;
  TextLayout& operator=(const TextLayout&) = delete;

  const std::string& text() const { return text_; }
  float width() const { return width_; }    // width the text uses
  float height() const { return height_; }  // height the text uses
  float boxWidth() const { return boxWidth_; }
  float boxHeight() const { return boxHeight_; }

 private:
  friend class Canvas;
  TextLayout() = default;
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string text_;
  float width_ = 0, height_ = 0, boxWidth_ = 0, boxHeight_ = 0;
  TextFormat format_;
};

// A picture in premultiplied BGRA that the canvas can draw (cover art).
class Bitmap {
 public:
  Bitmap();
  ~Bitmap();
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  // Allocates width x height transparent pixels; false for sizes below 1 or too large.
  bool create(int width, int height);
  bool valid() const;
  int width() const;
  int height() const;
  int stride() const;
  uint8_t* pixels();
  const uint8_t* pixels() const;
  // Call after writing into pixels(): drops what was cached from the old content.
  void commit();
  // Premultiplied 0xAARRGGBB.
  uint32_t pixel(int x, int y) const;

 private:
  friend class Canvas;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The drawing surface of the overlay: a premultiplied ARGB32 image the size of the window
// with the 2-D operations the user interface needs (shapes, paths, clips, transforms,
// bitmaps, text). It remembers which parts were drawn on since the last clear, so the
// presenter uploads and blends only those.
class Canvas {
 public:
  Canvas();
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  // Sizes below 1 leave the canvas empty (every drawing call is then ignored).
  bool resize(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }
  bool valid() const;

  // Makes everything transparent again (only what was drawn needs clearing) and resets
  // the transform and clip stack.
  void clear();
  // Makes one area transparent again and leaves the rest as drawn (for redrawing only the
  // part that moves), in drawing units like the shapes. The area still counts as drawn on.
  void clearArea(const RectI& r);

  void fillRect(const RectF& r, Color c);
  void drawRect(const RectF& r, Color c, float strokeWidth);
  void fillRoundedRect(const RectF& r, float radius, Color c);
  void drawRoundedRect(const RectF& r, float radius, Color c, float strokeWidth);
  void fillEllipse(PointF centre, float rx, float ry, Color c);
  void drawEllipse(PointF centre, float rx, float ry, Color c, float strokeWidth);
  void drawLine(PointF a, PointF b, Color c, float strokeWidth);
  void fillPolygon(std::span<const PointF> points, Color c);
  void drawPolyline(std::span<const PointF> points, Color c, float strokeWidth, bool closed = false);

  void setTransform(const Matrix& m);
  const Matrix& transform() const { return transform_; }
  void resetTransform() { setTransform(Matrix::identity()); }

  // Pixels per drawing unit (the display's scale; 1 unless set): everything is drawn that much
  // larger, below the transform. Shapes and text are rasterised at the pixel size, so they stay
  // sharp. The transform and clips stay in drawing units; width(), height(), pixels and
  // dirtyRects() are pixels.
  void setScale(float scale);
  float scale() const { return scale_; }

  // Axis-aligned clip in the current transform's coordinates; clips nest. Popping a clip
  // keeps the current transform.
  void pushClip(const RectF& r);
  void popClip();

  // The whole bitmap stretched into `dest`, with linear filtering.
  void drawBitmap(const Bitmap& bitmap, const RectF& dest, float opacity);
  // The bitmap at its own size over the device pixels `dest`, repeated from dest's top-left
  // corner where dest is larger: no transform, scale or filtering, for pictures made for the
  // pixel grid (cached drawings). Clips apply.
  void blitBitmap(const Bitmap& bitmap, const RectI& dest);

  // Text in a rectangle by the format's rules. No clipping: text may overflow the box.
  void drawText(std::string_view text, const TextFormat& format, const RectF& box, Color c);
  std::unique_ptr<TextLayout> createTextLayout(std::string_view text, const TextFormat& format,
                                               float maxWidth, float maxHeight);
  // Draws the layout with its box's top-left corner at `origin`.
  void drawTextLayout(const TextLayout& layout, PointF origin, Color c);
  // Size the text takes in the format when laid out without a width limit.
  PointF measureText(std::string_view text, const TextFormat& format);
  // X of every code-point boundary of valid UTF-8 `text` on one line (count + 1 values,
  // the first 0): where a caret stands between characters.
  std::vector<float> caretOffsets(std::string_view text, const TextFormat& format);
  // Characters of `text` that no installed font could draw (they would show as boxes).
  int unknownGlyphCount(std::string_view text, const TextFormat& format);

  // Pixels: premultiplied 0xAARRGGBB in native byte order, rows `stride()` bytes apart.
  const uint8_t* pixels() const;
  int stride() const;
  uint32_t pixel(int x, int y) const;
  bool writePng(const std::string& path) const;

  // Device rectangles that were drawn on since the last clear (disjoint, top to bottom).
  std::vector<RectI> dirtyRects() const;
  bool hasDrawing() const;
  // The pixels an area in drawing units touches, inside the canvas (empty when none).
  RectI pixelsCovering(const RectI& area) const;

 private:
  friend struct CanvasBackend;  // a presenter that can use the drawn image where it lies
  // The transform followed by the scale: drawing units to pixels.
  Matrix deviceTransform() const { return transform_ * Matrix::scale(scale_, scale_); }
  // With a scale other than 1, a rectangle whose edges are whole units gets its edges moved to
  // the nearest whole pixels (under an axis-aligned transform): fills that meet leave no seam
  // and 1-unit lines are not smeared over two half-covered rows.
  RectF pixelAligned(const RectF& r) const;

  struct Impl;
  std::unique_ptr<Impl> impl_;
  int width_ = 0, height_ = 0;
  Matrix transform_;
  float scale_ = 1.0f;
};

// Un-premultiplies `count` ARGB32 pixels (the layout of the canvas) into `out`.
void unpremultiplyRow(const uint32_t* in, uint32_t* out, int count);

// Writes straight-alpha or opaque 0xAARRGGBB pixels as a PNG file.
bool writeArgbPng(const std::string& path, const uint32_t* pixels, int width, int height);

}  // namespace vell
