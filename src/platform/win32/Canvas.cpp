// The canvas on Direct2D: a Direct3D 11 texture drawn on and read back where it changed.
#include "platform/Canvas.h"

#include <windows.h>
#include <d2d1.h>
#include <d3d10.h>
#include <d3d11.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/DirtyRegions.h"
#include "platform/win32/CanvasBackend.h"
#include "platform/win32/DirectWriteText.h"
#include "platform/win32/WicPng.h"

using Microsoft::WRL::ComPtr;

namespace vell {

namespace {

constexpr int kMaxBitmapSide = 16384;  // larger pictures are refused, not allocated

// COM for WIC on the calling thread: the program's threads are multithreaded apartments, a
// thread that is already a single-threaded one keeps that.
void ensureCom() {
  thread_local bool done = false;
  if (done) return;
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  done = true;
}

// One Direct2D factory and one imaging factory for the process.
struct Shared {
  ComPtr<ID2D1Factory> d2d;
  std::mutex lock;  // guards everything below
  ComPtr<IWICImagingFactory> wic;
  std::atomic<uint64_t> targets{0};  // render targets made so far (bitmap caches)

  Shared() {
    D2D1_FACTORY_OPTIONS options{D2D1_DEBUG_LEVEL_NONE};
    D2D1CreateFactory(D2D1_FACTORY_TYPE_MULTI_THREADED, __uuidof(ID2D1Factory), &options,
                      reinterpret_cast<void**>(d2d.GetAddressOf()));
  }

  IWICImagingFactory* imaging() {
    ensureCom();
    if (!wic)
      CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(wic.GetAddressOf()));
    return wic.Get();
  }
};

Shared& shared() {
  static Shared* s = new Shared();  // lives as long as the process: canvases may outlive statics
  return *s;
}

D2D1_MATRIX_3X2_F toD2d(const Matrix& m) {
  return D2D1::Matrix3x2F(static_cast<float>(m.xx), static_cast<float>(m.yx), static_cast<float>(m.xy),
                          static_cast<float>(m.yy), static_cast<float>(m.dx), static_cast<float>(m.dy));
}

D2D1_COLOR_F toD2d(Color c) { return D2D1::ColorF(c.r, c.g, c.b, c.a); }

D2D1_RECT_F toD2d(const RectF& r) { return D2D1::RectF(r.left, r.top, r.right, r.bottom); }

// Straight BGRA pixels to a PNG file.
bool writeBgraPng(const std::string& path, const uint8_t* data, int width, int height, int stride) {
  Shared& s = shared();
  std::lock_guard<std::mutex> guard(s.lock);
  return win::writeBgraPng(s.imaging(), path, data, width, height, stride);
}

}  // namespace

struct Bitmap::Impl {
  std::vector<uint8_t> data;
  int width = 0, height = 0;
  // What the last canvas made of it: a device bitmap of the pixels or of a smaller copy.
  ComPtr<ID2D1Bitmap> device;
  uint64_t deviceTarget = 0;
  int deviceW = 0, deviceH = 0;
};

Bitmap::Bitmap() : impl_(std::make_unique<Impl>()) {}
Bitmap::~Bitmap() = default;

bool Bitmap::create(int width, int height) {
  impl_ = std::make_unique<Impl>();
  if (width < 1 || height < 1 || width > kMaxBitmapSide || height > kMaxBitmapSide) return false;
  try {
    impl_->data.assign(static_cast<size_t>(width) * height * 4, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  impl_->width = width;
  impl_->height = height;
  return true;
}

bool Bitmap::valid() const { return impl_->width > 0; }
int Bitmap::width() const { return impl_->width; }
int Bitmap::height() const { return impl_->height; }
int Bitmap::stride() const { return impl_->width * 4; }
uint8_t* Bitmap::pixels() { return impl_->data.empty() ? nullptr : impl_->data.data(); }
const uint8_t* Bitmap::pixels() const { return impl_->data.empty() ? nullptr : impl_->data.data(); }
void Bitmap::commit() { impl_->device.Reset(); }

uint32_t Bitmap::pixel(int x, int y) const {
  if (!valid() || x < 0 || y < 0 || x >= width() || y >= height()) return 0;
  uint32_t v;
  std::memcpy(&v, impl_->data.data() + (static_cast<size_t>(y) * width() + x) * 4, 4);
  return v;
}

namespace {

// Box-filtered copy of premultiplied pixels at a smaller size: bilinear sampling of a much
// larger picture aliases.
std::vector<uint8_t> shrink(const uint8_t* src, int sw, int sh, int tw, int th) {
  std::vector<uint8_t> out(static_cast<size_t>(tw) * th * 4);
  for (int y = 0; y < th; ++y) {
    int y0 = y * sh / th, y1 = std::max(y0 + 1, (y + 1) * sh / th);
    for (int x = 0; x < tw; ++x) {
      int x0 = x * sw / tw, x1 = std::max(x0 + 1, (x + 1) * sw / tw);
      uint32_t sum[4] = {0, 0, 0, 0};
      for (int yy = y0; yy < y1; ++yy) {
        const uint8_t* p = src + (static_cast<size_t>(yy) * sw + x0) * 4;
        for (int xx = x0; xx < x1; ++xx, p += 4)
          for (int c = 0; c < 4; ++c) sum[c] += p[c];
      }
      uint32_t n = static_cast<uint32_t>((y1 - y0) * (x1 - x0));
      uint8_t* d = out.data() + (static_cast<size_t>(y) * tw + x) * 4;
      for (int c = 0; c < 4; ++c) d[c] = static_cast<uint8_t>((sum[c] + n / 2) / n);
    }
  }
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Canvas

struct Canvas::Impl {
  // Drawing goes to a Direct3D 11 texture read back through a staging copy; without any
  // Direct3D 11 device, to a WIC bitmap.
  ComPtr<ID3D11Device> device;
  ComPtr<ID3D11DeviceContext> context;
  ComPtr<ID3D11Texture2D> texture, staging;
  ComPtr<IWICBitmap> wicBitmap;
  ComPtr<ID2D1RenderTarget> target;
  ComPtr<ID2D1SolidColorBrush> brush;
  uint64_t targetId = 0;
  int width = 0, height = 0;
  bool drawing = false;  // between BeginDraw and EndDraw
  bool unread = false;   // drawn on since the last read-back

  std::vector<uint8_t> pixels;  // the CPU copy that pixels() returns
  bool degenerate = false;
  Matrix transform;

  struct Clip {
    D2D1_RECT_F rect;
    Matrix transform;
  };
  std::vector<Clip> clips;

  DirtyRegions dirty;  // drawn on since the last clear
  DirtyBands unreadBands;  // drawn on since the last read-back
  TextLayoutCache layouts;

  ~Impl() {
    if (drawing) target->EndDraw();
  }

  bool createDevice() {
    device = CanvasBackend::device();
    if (device) device->GetImmediateContext(&context);
    return device != nullptr;
  }

  bool createTarget(int w, int h) {
    Shared& s = shared();
    target.Reset();
    brush.Reset();
    texture.Reset();
    staging.Reset();
    wicBitmap.Reset();
    if (!s.d2d) return false;
    D2D1_RENDER_TARGET_PROPERTIES props = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED),
        96.0f, 96.0f);
    if (device || createDevice()) {
      D3D11_TEXTURE2D_DESC desc =
          bgraTextureDesc(w, h, D3D11_USAGE_DEFAULT, D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE);
      D3D11_TEXTURE2D_DESC read = bgraTextureDesc(w, h, D3D11_USAGE_STAGING, 0, D3D11_CPU_ACCESS_READ);
      ComPtr<IDXGISurface> surface;
      if (SUCCEEDED(device->CreateTexture2D(&desc, nullptr, &texture)) &&
          SUCCEEDED(device->CreateTexture2D(&read, nullptr, &staging)) && SUCCEEDED(texture.As(&surface)))
        s.d2d->CreateDxgiSurfaceRenderTarget(surface.Get(), &props, &target);
      if (!target) {
        texture.Reset();
        staging.Reset();
        device.Reset();
        context.Reset();
      }
    }
    if (!target) {
      std::lock_guard<std::mutex> guard(s.lock);
      IWICImagingFactory* wic = s.imaging();
      if (wic && SUCCEEDED(wic->CreateBitmap(w, h, GUID_WICPixelFormat32bppPBGRA, WICBitmapCacheOnLoad, &wicBitmap)))
        s.d2d->CreateWicBitmapRenderTarget(wicBitmap.Get(), &props, &target);
    }
    if (!target || FAILED(target->CreateSolidColorBrush(D2D1::ColorF(0, 0, 0, 1), &brush))) {
      target.Reset();
      return false;
    }
    target->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE);  // the target is transparent
    targetId = ++s.targets;
    width = w;
    height = h;
    pixels.assign(static_cast<size_t>(w) * h * 4, 0);
    // A new texture holds whatever the memory held.
    target->BeginDraw();
    target->Clear(D2D1::ColorF(0, 0, 0, 0));
    target->EndDraw();
    drawing = false;
    layouts.clear();
    return true;
  }

  void begin() {
    if (drawing) return;
    target->BeginDraw();
    drawing = true;
    for (const Clip& c : clips) {
      target->SetTransform(toD2d(c.transform));
      target->PushAxisAlignedClip(c.rect, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    }
    target->SetTransform(toD2d(transform));
  }

  // A canvas made before the shared device was replaced (back on the GPU after a loss) moves
  // to the new one when it is cleared: its drawing starts anew then anyway.
  void followSharedDevice() {
    if (!device) return;
    ComPtr<ID3D11Device> current = CanvasBackend::currentDevice();
    if (!current || current.Get() == device.Get()) return;  // (WRL's ComPtr has no ==: it would compare as bools)
    device.Reset();
    context.Reset();
    createTarget(width, height);
    resetBands();
  }

  // Ends drawing; false when the target was lost (it is made again, empty).
  bool end() {
    if (!drawing) return true;
    for (size_t i = 0; i < clips.size(); ++i) target->PopAxisAlignedClip();
    drawing = false;
    HRESULT hr = target->EndDraw();
    if (hr != static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) return true;
    device.Reset();
    context.Reset();
    createTarget(width, height);
    resetBands();
    return false;
  }

  void resetBands() {
    dirty.forget();
    unreadBands.reset(height);
  }

  // Marks a user-space box (through the transform and within the clip) as drawn on.
  void mark(double x0, double y0, double x1, double y1) { noteDrawn(dirty.mark(transform, x0, y0, x1, y1)); }
  void markDevice(const RectI& r) { noteDrawn(dirty.mark(Matrix::identity(), r.x, r.y, r.x + r.w, r.y + r.h)); }
  void noteDrawn(const RectI& r) {
    if (r.w <= 0) return;
    unreadBands.add(r);
    unread = true;
  }

  // The device copy of a bitmap's pixels (or of a smaller copy, w x h), made again for a new
  // target or size.
  ID2D1Bitmap* deviceBitmap(Bitmap::Impl& b, int w, int h) {
    if (b.device && b.deviceTarget == targetId && b.deviceW == w && b.deviceH == h) return b.device.Get();
    b.device.Reset();
    const bool shrunk = w != b.width || h != b.height;
    std::vector<uint8_t> small;
    if (shrunk) small = shrink(b.data.data(), b.width, b.height, w, h);
    const uint8_t* src = shrunk ? small.data() : b.data.data();
    D2D1_BITMAP_PROPERTIES props =
        D2D1::BitmapProperties(D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), 96, 96);
    if (FAILED(target->CreateBitmap(D2D1::SizeU(w, h), src, w * 4, &props, &b.device))) return nullptr;
    b.deviceTarget = targetId;
    b.deviceW = w;
    b.deviceH = h;
    return b.device.Get();
  }

  // Brings the CPU copy up to date with what was drawn.
  void sync() {
    if (!target || (!drawing && !unread)) return;
    unread = false;
    if (!end()) return;
    std::vector<RectI> rects = unreadBands.rects();
    unreadBands.reset(height);
    if (rects.empty()) return;
    if (wicBitmap) {
      for (const RectI& r : rects) {
        WICRect area{r.x, r.y, r.w, r.h};
        ComPtr<IWICBitmapLock> lock;
        UINT stride = 0, size = 0;
        BYTE* data = nullptr;
        if (FAILED(wicBitmap->Lock(&area, WICBitmapLockRead, &lock)) || FAILED(lock->GetStride(&stride)) ||
            FAILED(lock->GetDataPointer(&size, &data)))
          continue;
        for (int y = 0; y < r.h; ++y)
          std::memcpy(pixels.data() + (static_cast<size_t>(r.y + y) * width + r.x) * 4, data + static_cast<size_t>(y) * stride,
                      static_cast<size_t>(r.w) * 4);
      }
      return;
    }
    for (const RectI& r : rects) {
      D3D11_BOX box{static_cast<UINT>(r.x), static_cast<UINT>(r.y), 0, static_cast<UINT>(r.x + r.w),
                    static_cast<UINT>(r.y + r.h), 1};
      context->CopySubresourceRegion(staging.Get(), 0, r.x, r.y, 0, texture.Get(), 0, &box);
    }
    D3D11_MAPPED_SUBRESOURCE mapped{};
    if (FAILED(context->Map(staging.Get(), 0, D3D11_MAP_READ, 0, &mapped))) return;
    const auto* src = static_cast<const uint8_t*>(mapped.pData);
    for (const RectI& r : rects)
      for (int y = r.y; y < r.y + r.h; ++y)
        std::memcpy(pixels.data() + (static_cast<size_t>(y) * width + r.x) * 4,
                    src + static_cast<size_t>(y) * mapped.RowPitch + r.x * 4, static_cast<size_t>(r.w) * 4);
    context->Unmap(staging.Get(), 0);
  }

  bool ready(float alpha) {
    if (!target || degenerate || !(alpha > 0.0f)) return false;
    begin();
    return true;
  }

  void setColor(Color c) { brush->SetColor(toD2d(c)); }

  void drawLaidText(const LaidText& laid, float left, float top, Color c) {
    if (!laid.layout) return;
    setColor(c);
    target->DrawTextLayout(D2D1::Point2F(left + laid.dx, top), laid.layout.Get(), brush.Get());
    // Ink may reach past the logical box (accents, italics, antialiasing).
    float pad = 2 + static_cast<IDWriteTextFormat*>(laid.layout.Get())->GetFontSize() * 0.25f;
    mark(left + laid.left - pad, top + laid.top - pad, left + laid.left + laid.width + pad,
         top + laid.top + laid.height + pad);
  }
};

Canvas::Canvas() : impl_(std::make_unique<Impl>()) {}
Canvas::~Canvas() = default;

bool Canvas::valid() const { return impl_->target != nullptr; }

bool Canvas::resize(int width, int height) {
  Impl& d = *impl_;
  if (width == width_ && height == height_ && d.target) return true;
  if (d.drawing) d.end();
  d.clips.clear();
  d.dirty.resize(0, 0);
  transform_ = Matrix::identity();
  d.transform = deviceTransform();
  d.degenerate = false;
  width_ = height_ = 0;
  if (width < 1 || height < 1) {
    d.target.Reset();
    d.pixels.clear();
    d.width = d.height = 0;
    d.resetBands();
    return false;
  }
  if (!d.createTarget(width, height)) return false;
  d.dirty.resize(width, height);
  d.resetBands();
  width_ = width;
  height_ = height;
  return true;
}

void Canvas::clear() {
  Impl& d = *impl_;
  if (!d.target) return;
  if (d.drawing) d.end();
  d.followSharedDevice();
  if (!d.target) return;
  d.clips.clear();
  setTransform(Matrix::identity());
  d.dirty.clearClips();
  std::vector<RectI> rects = dirtyRects();
  if (!rects.empty()) {
    d.begin();
    for (const RectI& r : rects) {
      d.target->PushAxisAlignedClip(D2D1::RectF(r.x, r.y, r.x + r.w, r.y + r.h), D2D1_ANTIALIAS_MODE_ALIASED);
      d.target->Clear(D2D1::ColorF(0, 0, 0, 0));
      d.target->PopAxisAlignedClip();
      for (int y = r.y; y < r.y + r.h; ++y)
        std::memset(d.pixels.data() + (static_cast<size_t>(y) * d.width + r.x) * 4, 0, static_cast<size_t>(r.w) * 4);
    }
  }
  d.resetBands();
}

void Canvas::clearArea(const RectI& area) {
  Impl& d = *impl_;
  if (!d.target) return;
  // On a scaled display the area covers every pixel it touches.
  const RectI px = pixelsCovering(area);
  if (px.w <= 0) return;
  const int x0 = px.x, x1 = px.x + px.w, y0 = px.y, y1 = px.y + px.h;
  d.begin();
  d.target->SetTransform(D2D1::Matrix3x2F::Identity());
  d.target->PushAxisAlignedClip(D2D1::RectF(x0, y0, x1, y1), D2D1_ANTIALIAS_MODE_ALIASED);
  d.target->Clear(D2D1::ColorF(0, 0, 0, 0));
  d.target->PopAxisAlignedClip();
  d.target->SetTransform(toD2d(d.transform));
  for (int y = y0; y < y1; ++y)
    std::memset(d.pixels.data() + (static_cast<size_t>(y) * d.width + x0) * 4, 0, static_cast<size_t>(x1 - x0) * 4);
}

void Canvas::setTransform(const Matrix& logical) {
  Impl& d = *impl_;
  transform_ = logical;
  const Matrix m = d.transform = deviceTransform();
  double det = m.xx * m.yy - m.xy * m.yx;
  d.degenerate = !std::isfinite(det) || std::fabs(det) < 1e-12;
  if (d.drawing && !d.degenerate) d.target->SetTransform(toD2d(m));
}

void Canvas::pushClip(const RectF& r) {
  Impl& d = *impl_;
  if (!d.target) return;
  RectF box{r.left, r.top, std::max(r.left, r.right), std::max(r.top, r.bottom)};
  Impl::Clip c{toD2d(box), d.transform};
  if (d.drawing) d.target->PushAxisAlignedClip(c.rect, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
  d.clips.push_back(c);
  d.dirty.pushClip(d.transform, box);
}

void Canvas::popClip() {
  Impl& d = *impl_;
  if (!d.target || d.clips.empty()) return;
  if (d.drawing) d.target->PopAxisAlignedClip();
  d.clips.pop_back();
  d.dirty.popClip();
}

void Canvas::fillRect(const RectF& area, Color c) {
  Impl& d = *impl_;
  if (area.width() <= 0 || area.height() <= 0 || !d.ready(c.a)) return;
  const RectF r = pixelAligned(area);
  d.setColor(c);
  d.target->FillRectangle(toD2d(r), d.brush.Get());
  d.mark(r.left, r.top, r.right, r.bottom);
}

void Canvas::drawRect(const RectF& r, Color c, float strokeWidth) {
  Impl& d = *impl_;
  if (strokeWidth <= 0 || !d.ready(c.a)) return;
  d.setColor(c);
  d.target->DrawRectangle(toD2d(r), d.brush.Get(), strokeWidth);
  float h = strokeWidth / 2;
  d.mark(std::min(r.left, r.right) - h, std::min(r.top, r.bottom) - h, std::max(r.left, r.right) + h,
         std::max(r.top, r.bottom) + h);
}

void Canvas::fillRoundedRect(const RectF& r, float radius, Color c) {
  Impl& d = *impl_;
  if (r.width() <= 0 || r.height() <= 0 || !d.ready(c.a)) return;
  float rad = std::max(0.0f, std::min({radius, r.width() / 2, r.height() / 2}));
  d.setColor(c);
  d.target->FillRoundedRectangle(D2D1::RoundedRect(toD2d(r), rad, rad), d.brush.Get());
  d.mark(r.left, r.top, r.right, r.bottom);
}

void Canvas::drawRoundedRect(const RectF& r, float radius, Color c, float strokeWidth) {
  Impl& d = *impl_;
  if (strokeWidth <= 0 || r.width() < 0 || r.height() < 0 || !d.ready(c.a)) return;
  float rad = std::max(0.0f, std::min({radius, r.width() / 2, r.height() / 2}));
  d.setColor(c);
  d.target->DrawRoundedRectangle(D2D1::RoundedRect(toD2d(r), rad, rad), d.brush.Get(), strokeWidth);
  float h = strokeWidth / 2;
  d.mark(r.left - h, r.top - h, r.right + h, r.bottom + h);
}

void Canvas::fillEllipse(PointF centre, float rx, float ry, Color c) {
  Impl& d = *impl_;
  if (rx <= 0 || ry <= 0 || !d.ready(c.a)) return;
  d.setColor(c);
  d.target->FillEllipse(D2D1::Ellipse(D2D1::Point2F(centre.x, centre.y), rx, ry), d.brush.Get());
  d.mark(centre.x - rx, centre.y - ry, centre.x + rx, centre.y + ry);
}

void Canvas::drawEllipse(PointF centre, float rx, float ry, Color c, float strokeWidth) {
  Impl& d = *impl_;
  if (rx <= 0 || ry <= 0 || strokeWidth <= 0 || !d.ready(c.a)) return;
  d.setColor(c);
  d.target->DrawEllipse(D2D1::Ellipse(D2D1::Point2F(centre.x, centre.y), rx, ry), d.brush.Get(), strokeWidth);
  float h = strokeWidth / 2;
  d.mark(centre.x - rx - h, centre.y - ry - h, centre.x + rx + h, centre.y + ry + h);
}

void Canvas::drawLine(PointF a, PointF b, Color c, float strokeWidth) {
  Impl& d = *impl_;
  if (strokeWidth <= 0 || !d.ready(c.a)) return;
  d.setColor(c);
  d.target->DrawLine(D2D1::Point2F(a.x, a.y), D2D1::Point2F(b.x, b.y), d.brush.Get(), strokeWidth);
  float h = strokeWidth / 2;
  d.mark(std::min(a.x, b.x) - h, std::min(a.y, b.y) - h, std::max(a.x, b.x) + h, std::max(a.y, b.y) + h);
}

namespace {
ComPtr<ID2D1PathGeometry> pathOf(std::span<const PointF> points, bool filled, bool closed) {
  ComPtr<ID2D1PathGeometry> path;
  ComPtr<ID2D1GeometrySink> sink;
  if (FAILED(shared().d2d->CreatePathGeometry(&path)) || FAILED(path->Open(&sink))) return nullptr;
  sink->SetFillMode(D2D1_FILL_MODE_WINDING);
  sink->BeginFigure(D2D1::Point2F(points[0].x, points[0].y), filled ? D2D1_FIGURE_BEGIN_FILLED : D2D1_FIGURE_BEGIN_HOLLOW);
  for (size_t i = 1; i < points.size(); ++i) sink->AddLine(D2D1::Point2F(points[i].x, points[i].y));
  sink->EndFigure(closed ? D2D1_FIGURE_END_CLOSED : D2D1_FIGURE_END_OPEN);
  if (FAILED(sink->Close())) return nullptr;
  return path;
}
}  // namespace

void Canvas::fillPolygon(std::span<const PointF> points, Color c) {
  Impl& d = *impl_;
  if (points.size() < 3 || !d.ready(c.a)) return;
  ComPtr<ID2D1PathGeometry> path = pathOf(points, true, true);
  if (!path) return;
  d.setColor(c);
  d.target->FillGeometry(path.Get(), d.brush.Get());
  float x0 = points[0].x, y0 = points[0].y, x1 = x0, y1 = y0;
  for (const PointF& p : points) {
    x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
  }
  d.mark(x0, y0, x1, y1);
}

void Canvas::drawPolyline(std::span<const PointF> points, Color c, float strokeWidth, bool closed) {
  Impl& d = *impl_;
  if (points.size() < 2 || strokeWidth <= 0 || !d.ready(c.a)) return;
  ComPtr<ID2D1PathGeometry> path = pathOf(points, false, closed);
  if (!path) return;
  d.setColor(c);
  d.target->DrawGeometry(path.Get(), d.brush.Get(), strokeWidth);
  float x0 = points[0].x, y0 = points[0].y, x1 = x0, y1 = y0;
  for (const PointF& p : points) {
    x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
  }
  // Mitred joins reach up to half the miter limit (10) times the width past a corner.
  float h = strokeWidth * (points.size() > 2 || closed ? 5.0f : 0.5f);
  d.mark(x0 - h, y0 - h, x1 + h, y1 + h);
}

void Canvas::drawBitmap(const Bitmap& bitmap, const RectF& dest, float opacity) {
  Impl& d = *impl_;
  if (!bitmap.valid() || dest.width() <= 0 || dest.height() <= 0 || !d.ready(opacity)) return;
  Bitmap::Impl& b = *bitmap.impl_;
  const Matrix& t = d.transform;
  double scale = std::sqrt(std::fabs(t.xx * t.yy - t.xy * t.yx));
  int tw = static_cast<int>(std::ceil(dest.width() * scale));
  int th = static_cast<int>(std::ceil(dest.height() * scale));
  bool shrunk = tw > 0 && th > 0 && (tw * 4 < b.width * 3 || th * 4 < b.height * 3);
  ID2D1Bitmap* device = d.deviceBitmap(b, shrunk ? tw : b.width, shrunk ? th : b.height);
  if (!device) return;
  d.target->DrawBitmap(device, toD2d(dest), opacity, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
  d.mark(dest.left, dest.top, dest.right, dest.bottom);
}

void Canvas::blitBitmap(const Bitmap& bitmap, const RectI& dest) {
  Impl& d = *impl_;
  if (!d.target || !bitmap.valid() || dest.w <= 0 || dest.h <= 0) return;
  d.begin();
  Bitmap::Impl& b = *bitmap.impl_;
  ID2D1Bitmap* device = d.deviceBitmap(b, b.width, b.height);
  if (!device) return;
  const D2D1_RECT_F area = D2D1::RectF(dest.x, dest.y, dest.x + dest.w, dest.y + dest.h);
  D2D1_MATRIX_3X2_F drawing;
  d.target->GetTransform(&drawing);
  d.target->SetTransform(D2D1::Matrix3x2F::Identity());
  if (dest.w <= b.width && dest.h <= b.height) {
    d.target->DrawBitmap(device, area, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR,
                         D2D1::RectF(0, 0, dest.w, dest.h));
  } else {
    ComPtr<ID2D1BitmapBrush> tiles;
    if (SUCCEEDED(d.target->CreateBitmapBrush(
            device,
            D2D1::BitmapBrushProperties(D2D1_EXTEND_MODE_WRAP, D2D1_EXTEND_MODE_WRAP,
                                        D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR),
            &tiles))) {
      tiles->SetTransform(D2D1::Matrix3x2F::Translation(dest.x, dest.y));
      d.target->FillRectangle(area, tiles.Get());
    }
  }
  d.target->SetTransform(drawing);
  d.markDevice(dest);
}

void Canvas::drawText(std::string_view text, const TextFormat& format, const RectF& box, Color c) {
  Impl& d = *impl_;
  if (text.empty() || !format.valid() || !d.ready(c.a)) return;
  const LaidText& laid = d.layouts.layOut(text, format.font_, format, box.width(), box.height());
  d.drawLaidText(laid, box.left, box.top, c);
}

std::unique_ptr<TextLayout> Canvas::createTextLayout(std::string_view text, const TextFormat& format,
                                                     float maxWidth, float maxHeight) {
  if (!format.valid()) return nullptr;
  std::unique_ptr<TextLayout> t(new TextLayout());
  t->impl_ = std::make_unique<TextLayout::Impl>();
  t->impl_->laid = layOutText(text, *format.font_, format, maxWidth, maxHeight);
  if (!t->impl_->laid.layout) return nullptr;
  t->text_ = std::string(text);
  t->format_ = format;
  t->boxWidth_ = maxWidth;
  t->boxHeight_ = maxHeight;
  t->width_ = t->impl_->laid.width;
  t->height_ = t->impl_->laid.height;
  return t;
}

void Canvas::drawTextLayout(const TextLayout& layout, PointF origin, Color c) {
  Impl& d = *impl_;
  if (!layout.impl_ || !d.ready(c.a)) return;
  d.drawLaidText(layout.impl_->laid, origin.x, origin.y, c);
}

PointF Canvas::measureText(std::string_view text, const TextFormat& format) {
  if (!format.valid()) return {};
  return textSize(text, *format.font_, format);
}

std::vector<float> Canvas::caretOffsets(std::string_view text, const TextFormat& format) {
  if (!format.valid()) return {0.0f};
  return textCaretOffsets(text, *format.font_, format);
}

int Canvas::unknownGlyphCount(std::string_view text, const TextFormat& format) {
  if (!format.valid()) return -1;
  return textUnknownGlyphs(text, *format.font_);
}

const uint8_t* Canvas::pixels() const {
  impl_->sync();
  return impl_->pixels.empty() ? nullptr : impl_->pixels.data();
}

int Canvas::stride() const { return impl_->width * 4; }

uint32_t Canvas::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  uint32_t v;
  std::memcpy(&v, pixels() + static_cast<size_t>(y) * stride() + x * 4, 4);
  return v;
}

bool Canvas::writePng(const std::string& path) const {
  const uint8_t* data = pixels();
  if (!data) return false;
  std::vector<uint32_t> straight(static_cast<size_t>(width_) * height_);
  for (int y = 0; y < height_; ++y)
    unpremultiplyRow(reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride()),
                     straight.data() + static_cast<size_t>(y) * width_, width_);
  return writeBgraPng(path, reinterpret_cast<const uint8_t*>(straight.data()), width_, height_, width_ * 4);
}

std::vector<RectI> Canvas::dirtyRects() const { return impl_->dirty.rects(); }

bool Canvas::hasDrawing() const { return impl_->dirty.any(); }

ID3D11Texture2D* CanvasBackend::texture(const Canvas& canvas) {
  Canvas::Impl& d = *canvas.impl_;
  if (!d.texture || !d.end()) return nullptr;
  return d.texture.Get();
}

bool writeArgbPng(const std::string& path, const uint32_t* pixels, int width, int height) {
  if (!pixels || width < 1 || height < 1) return false;
  return writeBgraPng(path, reinterpret_cast<const uint8_t*>(pixels), width, height, width * 4);
}

}  // namespace vell
