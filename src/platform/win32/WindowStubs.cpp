// TEMPORARY: stand-ins for the canvas and the graphics device so the window part links before
// the real Direct2D/Direct3D backends arrive. Drawing does nothing; the canvas keeps its pixels.
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/Canvas.h"
#include "platform/GraphicsDevice.h"
#include "platform/Window.h"

namespace vell {

struct FontSpec {};

Matrix Matrix::rotation(double degrees, double cx, double cy) {
  double a = degrees * 3.14159265358979323846 / 180.0;
  double c = std::cos(a), s = std::sin(a);
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

TextFormat TextFormat::create(std::string_view, int weight, float size, TextAlign align, ParagraphAlign paragraph,
                              bool wrap) {
  TextFormat f;
  f.font_ = std::make_shared<FontSpec>();
  f.size_ = size;
  f.weight_ = weight;
  f.align_ = align;
  f.paragraph_ = paragraph;
  f.wrap_ = wrap;
  return f;
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

struct TextLayout::Impl {};
TextLayout::~TextLayout() = default;

struct Bitmap::Impl {
  std::vector<uint32_t> px;
  int w = 0, h = 0;
};
Bitmap::Bitmap() : impl_(std::make_unique<Impl>()) {}
Bitmap::~Bitmap() = default;
bool Bitmap::create(int width, int height) {
  if (width < 1 || height < 1 || width > 16384 || height > 16384) return false;
  impl_->px.assign(static_cast<size_t>(width) * height, 0);
  impl_->w = width;
  impl_->h = height;
  return true;
}
bool Bitmap::valid() const { return impl_->w > 0; }
int Bitmap::width() const { return impl_->w; }
int Bitmap::height() const { return impl_->h; }
int Bitmap::stride() const { return impl_->w * 4; }
uint8_t* Bitmap::pixels() { return reinterpret_cast<uint8_t*>(impl_->px.data()); }
const uint8_t* Bitmap::pixels() const { return reinterpret_cast<const uint8_t*>(impl_->px.data()); }
void Bitmap::commit() {}
uint32_t Bitmap::pixel(int x, int y) const { return impl_->px[static_cast<size_t>(y) * impl_->w + x]; }

struct Canvas::Impl {
  std::vector<uint32_t> px;
};
Canvas::Canvas() : impl_(std::make_unique<Impl>()) {}
Canvas::~Canvas() = default;
bool Canvas::resize(int width, int height) {
  if (width < 1 || height < 1) {
    width_ = height_ = 0;
    impl_->px.clear();
    return false;
  }
  width_ = width;
  height_ = height;
  impl_->px.assign(static_cast<size_t>(width) * height, 0);
  return true;
}
bool Canvas::valid() const { return width_ > 0; }
void Canvas::clear() { std::fill(impl_->px.begin(), impl_->px.end(), 0u); }
void Canvas::fillRect(const RectF&, Color) {}
void Canvas::drawRect(const RectF&, Color, float) {}
void Canvas::fillRoundedRect(const RectF&, float, Color) {}
void Canvas::drawRoundedRect(const RectF&, float, Color, float) {}
void Canvas::fillEllipse(PointF, float, float, Color) {}
void Canvas::drawEllipse(PointF, float, float, Color, float) {}
void Canvas::drawLine(PointF, PointF, Color, float) {}
void Canvas::fillPolygon(std::span<const PointF>, Color) {}
void Canvas::drawPolyline(std::span<const PointF>, Color, float, bool) {}
void Canvas::setTransform(const Matrix& m) { transform_ = m; }
void Canvas::pushClip(const RectF&) {}
void Canvas::popClip() {}
void Canvas::drawBitmap(const Bitmap&, const RectF&, float) {}
void Canvas::drawText(std::string_view, const TextFormat&, const RectF&, Color) {}
std::unique_ptr<TextLayout> Canvas::createTextLayout(std::string_view text, const TextFormat& format, float maxWidth,
                                                     float maxHeight) {
  std::unique_ptr<TextLayout> l(new TextLayout());
  l->text_ = std::string(text);
  l->format_ = format;
  l->boxWidth_ = maxWidth;
  l->boxHeight_ = maxHeight;
  l->width_ = std::min(maxWidth, format.size() * 0.6f * text.size());
  l->height_ = format.size() * 1.3f;
  return l;
}
void Canvas::drawTextLayout(const TextLayout&, PointF, Color) {}
PointF Canvas::measureText(std::string_view text, const TextFormat& format) {
  return PointF{format.size() * 0.6f * text.size(), format.size() * 1.3f};
}
std::vector<float> Canvas::caretOffsets(std::string_view text, const TextFormat& format) {
  std::vector<float> out{0};
  for (size_t i = 0; i < text.size(); ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) out.push_back(out.back() + format.size() * 0.6f);
  return out;
}
int Canvas::unknownGlyphCount(std::string_view, const TextFormat&) { return 0; }
const uint8_t* Canvas::pixels() const { return impl_->px.empty() ? nullptr : reinterpret_cast<const uint8_t*>(impl_->px.data()); }
int Canvas::stride() const { return width_ * 4; }
uint32_t Canvas::pixel(int x, int y) const { return impl_->px[static_cast<size_t>(y) * width_ + x]; }
bool Canvas::writePng(const std::string&) const { return false; }
std::vector<RectI> Canvas::dirtyRects() const { return {}; }
bool Canvas::hasDrawing() const { return false; }

void unpremultiplyRow(const uint32_t* in, uint32_t* out, int count) { std::memcpy(out, in, count * 4u); }
bool writeArgbPng(const std::string&, const uint32_t*, int, int) { return false; }

struct GraphicsDevice::Impl {
  bool ready = false;
  int w = 0, h = 0;
  Window* window = nullptr;
};
GraphicsDevice::GraphicsDevice() : impl_(std::make_unique<Impl>()) {}
GraphicsDevice::~GraphicsDevice() = default;
bool GraphicsDevice::create(Window& window, const std::string&) {
  impl_->window = &window;
  impl_->ready = true;
  driverName_ = "stub";
  return true;
}
void GraphicsDevice::destroy() { impl_->ready = false; }
bool GraphicsDevice::ready() const { return impl_->ready; }
void GraphicsDevice::outputSize(int& width, int& height) const {
  width = height = 0;
  if (impl_->window) impl_->window->size(width, height);
}
void GraphicsDevice::dropTextures() {}
void GraphicsDevice::clear(uint8_t, uint8_t, uint8_t) {}
bool GraphicsDevice::uploadVideo(const uint8_t*, int, int width, int height) {
  if (width != videoW_ || height != videoH_) ++videoCreations_;
  videoW_ = width;
  videoH_ = height;
  ++videoUploads_;
  return true;
}
bool GraphicsDevice::hasVideoTexture(int width, int height) const { return videoW_ == width && videoH_ == height; }
void GraphicsDevice::drawVideo(float, float, float, float, double, bool, bool) {}
void GraphicsDevice::drawOverlay(const Canvas&) { overlayPixels_ = 0; }
void GraphicsDevice::present() {}
bool GraphicsDevice::readPixels(std::vector<uint32_t>& out, int& width, int& height) {
  outputSize(width, height);
  out.assign(static_cast<size_t>(width) * height, 0xFF000000u);
  return width > 0;
}

}  // namespace vell
