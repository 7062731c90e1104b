#include "platform/Canvas.h"

#include <windows.h>
#include <d2d1.h>
#include <d3d10.h>
#include <d3d11.h>
#include <dwrite.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

#include "platform/Text.h"
#include "platform/win32/CanvasBackend.h"
#include "platform/win32/WinText.h"

using Microsoft::WRL::ComPtr;

namespace vell {

namespace {

constexpr int kBandRows = 16;          // granularity of the drawn-area bookkeeping
constexpr int kMaxBitmapSide = 16384;  // larger pictures are refused, not allocated
constexpr float kUnbounded = 1.0e6f;   // layout width of text that is placed by hand

// COM for WIC on the calling thread: the program's threads are multithreaded apartments, a
// thread that is already a single-threaded one keeps that.
void ensureCom() {
  thread_local bool done = false;
  if (done) return;
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  done = true;
}

// One Direct2D and one DirectWrite factory for the process, and what is known about fonts.
struct Shared {
  ComPtr<ID2D1Factory> d2d;
  ComPtr<IDWriteFactory> dwrite;
  ComPtr<IDWriteFontCollection> fonts;
  std::mutex lock;  // guards everything below
  ComPtr<ID3D11Device> device;
  bool gpu = false;  // the device is the GPU's, not WARP
  ComPtr<IWICImagingFactory> wic;
  std::map<std::wstring, ComPtr<IDWriteFont>> fontByFamily;  // null: not installed
  std::vector<std::wstring> allFamilies;
  std::unordered_map<uint32_t, int> coverage;  // code point -> index in allFamilies, -1 none
  std::atomic<uint64_t> targets{0};             // render targets made so far (bitmap caches)

  Shared() {
    D2D1_FACTORY_OPTIONS options{D2D1_DEBUG_LEVEL_NONE};
    D2D1CreateFactory(D2D1_FACTORY_TYPE_MULTI_THREADED, __uuidof(ID2D1Factory), &options,
                      reinterpret_cast<void**>(d2d.GetAddressOf()));
    DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                        reinterpret_cast<IUnknown**>(dwrite.GetAddressOf()));
    if (dwrite) dwrite->GetSystemFontCollection(fonts.GetAddressOf(), FALSE);
    if (fonts) {
      for (UINT32 i = 0, n = fonts->GetFontFamilyCount(); i < n; ++i) {
        ComPtr<IDWriteFontFamily> family;
        ComPtr<IDWriteLocalizedStrings> names;
        UINT32 length = 0;
        if (FAILED(fonts->GetFontFamily(i, &family)) || FAILED(family->GetFamilyNames(&names)) ||
            FAILED(names->GetStringLength(0, &length)))
          continue;
        std::wstring name(length + 1, L'\0');
        if (FAILED(names->GetString(0, name.data(), length + 1))) continue;
        name.resize(length);
        allFamilies.push_back(name);
      }
    }
  }

  // The regular face of an installed family, or null. Call with the lock held.
  IDWriteFont* font(const std::wstring& family) {
    auto it = fontByFamily.find(family);
    if (it != fontByFamily.end()) return it->second.Get();
    ComPtr<IDWriteFont> font;
    UINT32 index = 0;
    BOOL exists = FALSE;
    ComPtr<IDWriteFontFamily> fam;
    if (fonts && SUCCEEDED(fonts->FindFamilyName(family.c_str(), &index, &exists)) && exists &&
        SUCCEEDED(fonts->GetFontFamily(index, &fam)))
      fam->GetFirstMatchingFont(DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STRETCH_NORMAL, DWRITE_FONT_STYLE_NORMAL, &font);
    return fontByFamily.emplace(family, font).first->second.Get();
  }

  static bool has(IDWriteFont* font, uint32_t cp) {
    BOOL yes = FALSE;
    return font && SUCCEEDED(font->HasCharacter(cp, &yes)) && yes;
  }

  // An installed family that draws `cp`, preferring the usual Korean faces; null for none.
  const std::wstring* anyFamilyFor(uint32_t cp) {
    auto it = coverage.find(cp);
    if (it == coverage.end()) {
      int found = -1;
      static const wchar_t* const preferred[] = {L"Malgun Gothic", L"NanumGothic", L"NanumBarunGothic",
                                                 L"Noto Sans CJK KR", L"Gulim", L"Segoe UI Symbol",
                                                 L"Arial Unicode MS"};
      for (const wchar_t* name : preferred) {
        auto at = std::find(allFamilies.begin(), allFamilies.end(), name);
        if (at != allFamilies.end() && has(font(*at), cp)) {
          found = static_cast<int>(at - allFamilies.begin());
          break;
        }
      }
      for (size_t i = 0; found < 0 && i < allFamilies.size(); ++i)
        if (has(font(allFamilies[i]), cp)) found = static_cast<int>(i);
      it = coverage.emplace(cp, found).first;
    }
    return it->second < 0 ? nullptr : &allFamilies[it->second];
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

// Characters that take no glyph of their own.
bool ignorable(uint32_t cp) {
  return cp < 0x20 || cp == 0x7F || (cp >= 0x200B && cp <= 0x200F) || (cp >= 0xFE00 && cp <= 0xFE0F) || cp == 0xFEFF;
}

// UTF-8 to UTF-16 for DirectWrite: bad bytes become U+FFFD, NUL characters are dropped.
// `starts` receives the UTF-16 index where each code point begins.
std::wstring toWide(std::string_view text, std::vector<uint32_t>* starts = nullptr) {
  std::wstring out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    size_t n = utf8SequenceLength(text, i);
    uint32_t cp = 0xFFFD;
    if (n == 0) {
      n = 1;
    } else {
      const auto* b = reinterpret_cast<const unsigned char*>(text.data() + i);
      if (n == 1) cp = b[0];
      else if (n == 2) cp = ((b[0] & 0x1Fu) << 6) | (b[1] & 0x3Fu);
      else if (n == 3) cp = ((b[0] & 0x0Fu) << 12) | ((b[1] & 0x3Fu) << 6) | (b[2] & 0x3Fu);
      else cp = ((b[0] & 0x07u) << 18) | ((b[1] & 0x3Fu) << 12) | ((b[2] & 0x3Fu) << 6) | (b[3] & 0x3Fu);
    }
    i += n;
    if (cp == 0) continue;
    if (starts) starts->push_back(static_cast<uint32_t>(out.size()));
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(cp));
    }
  }
  return out;
}

uint32_t codePointAt(const std::wstring& s, size_t i, size_t& units) {
  uint32_t c = s[i];
  units = 1;
  if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
    units = 2;
    return 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
  }
  return c;
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
  IWICImagingFactory* wic = s.imaging();
  if (!wic || !data || width < 1 || height < 1) return false;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  std::wstring name = win::widePath(path);
  if (FAILED(wic->CreateStream(&stream)) || FAILED(stream->InitializeFromFilename(name.c_str(), GENERIC_WRITE)) ||
      FAILED(wic->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) ||
      FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize(width, height)))
    return false;
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  if (FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat32bppBGRA) return false;
  return SUCCEEDED(frame->WritePixels(height, stride, static_cast<UINT>(stride) * height, const_cast<BYTE*>(data))) &&
         SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Text formats and layouts

struct FontSpec {
  std::wstring family;                    // the first family of the list that is installed
  std::vector<std::wstring> alternatives;  // the other installed ones, in the list's order
  IDWriteFont* regular = nullptr;          // the family's regular face (owned by the cache)
  ComPtr<IDWriteTextFormat> format;

  // The family to draw `cp` with: null for the format's own, else another installed one.
  const std::wstring* familyFor(uint32_t cp, bool& missing) const {
    missing = false;
    if (ignorable(cp) || Shared::has(regular, cp)) return nullptr;
    Shared& s = shared();
    std::lock_guard<std::mutex> guard(s.lock);
    for (const std::wstring& alt : alternatives)
      if (Shared::has(s.font(alt), cp)) return &alt;
    const std::wstring* any = s.anyFamilyFor(cp);
    missing = any == nullptr;
    return any;
  }
};

TextFormat TextFormat::create(std::string_view families, int weight, float size, TextAlign align,
                              ParagraphAlign paragraph, bool wrap) {
  TextFormat f;
  Shared& s = shared();
  if (!(size > 0) || !s.dwrite) return f;
  auto spec = std::make_shared<FontSpec>();
  {
    std::lock_guard<std::mutex> guard(s.lock);
    // DirectWrite draws nothing at all for a family it lacks, so the list is resolved here.
    size_t start = 0;
    while (start <= families.size()) {
      size_t comma = std::min(families.find(',', start), families.size());
      std::string_view name = families.substr(start, comma - start);
      while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
      while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
      std::wstring wide = toWide(name);
      if (!wide.empty() && s.font(wide)) {
        if (spec->family.empty()) spec->family = wide;
        else spec->alternatives.push_back(wide);
      }
      start = comma + 1;
    }
    if (spec->family.empty()) {
      for (const wchar_t* name : {L"Segoe UI", L"Malgun Gothic", L"NanumGothic", L"Arial", L"Tahoma"})
        if (s.font(name)) {
          spec->family = name;
          break;
        }
      if (spec->family.empty() && !s.allFamilies.empty()) spec->family = s.allFamilies.front();
    }
    if (!spec->family.empty()) spec->regular = s.font(spec->family);
  }
  if (FAILED(s.dwrite->CreateTextFormat(spec->family.empty() ? L"Segoe UI" : spec->family.c_str(), nullptr,
                                        static_cast<DWRITE_FONT_WEIGHT>(std::clamp(weight, 1, 999)),
                                        DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL, size, L"",
                                        &spec->format)))
    return f;
  f.font_ = std::move(spec);
  f.size_ = size;
  f.weight_ = weight;
  f.align_ = align;
  f.paragraph_ = paragraph;
  f.wrap_ = wrap;
  return f;
}

namespace {

// A laid-out text and where it goes relative to its box's top-left corner.
struct Laid {
  ComPtr<IDWriteTextLayout> layout;
  float dx = 0;                   // added to the box's left edge
  float left = 0, top = 0;        // the text's logical box, relative to where it is drawn
  float width = 0, height = 0;
};

// Lays `wide` out in `format` for a box `boxWidth` x `boxHeight` (either may be 0).
Laid layOut(const std::wstring& wide, const FontSpec& font, const TextFormat& format, float boxWidth, float boxHeight) {
  Laid out;
  bool wraps = format.wraps() && boxWidth > 0;
  bool trims = !wraps && format.ellipsis() && boxWidth > 0;
  bool byHand = !wraps && !trims;  // one line placed in the box by its measured width
  float maxWidth = byHand ? kUnbounded : boxWidth;
  if (FAILED(shared().dwrite->CreateTextLayout(wide.c_str(), static_cast<UINT32>(wide.size()), font.format.Get(),
                                               maxWidth, std::max(0.0f, boxHeight), &out.layout)))
    return Laid{};
  IDWriteTextLayout* l = out.layout.Get();
  l->SetWordWrapping(wraps ? DWRITE_WORD_WRAPPING_WRAP : DWRITE_WORD_WRAPPING_NO_WRAP);
  l->SetParagraphAlignment(format.paragraph() == ParagraphAlign::Center   ? DWRITE_PARAGRAPH_ALIGNMENT_CENTER
                           : format.paragraph() == ParagraphAlign::Bottom ? DWRITE_PARAGRAPH_ALIGNMENT_FAR
                                                                          : DWRITE_PARAGRAPH_ALIGNMENT_NEAR);
  DWRITE_TEXT_ALIGNMENT align = format.align() == TextAlign::Center     ? DWRITE_TEXT_ALIGNMENT_CENTER
                                : format.align() == TextAlign::Trailing ? DWRITE_TEXT_ALIGNMENT_TRAILING
                                                                        : DWRITE_TEXT_ALIGNMENT_LEADING;
  l->SetTextAlignment(byHand ? DWRITE_TEXT_ALIGNMENT_LEADING : align);
  if (trims) {
    ComPtr<IDWriteInlineObject> sign;
    if (SUCCEEDED(shared().dwrite->CreateEllipsisTrimmingSign(l, &sign))) {
      DWRITE_TRIMMING trimming{DWRITE_TRIMMING_GRANULARITY_CHARACTER, 0, 0};
      l->SetTrimming(&trimming, sign.Get());
    }
  }
  // Characters the format's family lacks (Hangul in a Latin face) go to a family that has them.
  const std::wstring* runFamily = nullptr;
  UINT32 runStart = 0;
  auto endRun = [&](UINT32 at) {
    if (runFamily && at > runStart) l->SetFontFamilyName(runFamily->c_str(), DWRITE_TEXT_RANGE{runStart, at - runStart});
  };
  for (size_t i = 0; i < wide.size();) {
    size_t units;
    uint32_t cp = codePointAt(wide, i, units);
    bool missing;
    const std::wstring* family = font.familyFor(cp, missing);
    if (ignorable(cp) || cp == ' ') family = runFamily;  // spaces stay with their neighbours
    if (family != runFamily) {
      endRun(static_cast<UINT32>(i));
      runFamily = family;
      runStart = static_cast<UINT32>(i);
    }
    i += units;
  }
  endRun(static_cast<UINT32>(wide.size()));
  DWRITE_TEXT_METRICS m{};
  l->GetMetrics(&m);
  if (byHand) {
    // Lines align among themselves within the widest one; the block sits in the box by hand.
    l->SetMaxWidth(m.widthIncludingTrailingWhitespace);
    l->SetTextAlignment(align);
    float w = m.widthIncludingTrailingWhitespace;
    out.dx = format.align() == TextAlign::Center ? (boxWidth - w) / 2 : format.align() == TextAlign::Trailing ? boxWidth - w : 0;
    l->GetMetrics(&m);
  }
  out.left = out.dx + m.left;
  out.top = m.top;
  out.width = m.widthIncludingTrailingWhitespace;
  out.height = m.height;
  return out;
}

}  // namespace

struct TextLayout::Impl {
  Laid laid;
};

TextLayout::~TextLayout() = default;

// ---------------------------------------------------------------------------------------
// Bitmap

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
    RectI device;  // what may be drawn on inside it
  };
  std::vector<Clip> clips;

  // Drawn since the last clear (dirtyRects), and since the last read-back.
  std::vector<int> bandMin, bandMax, readMin, readMax;

  // Layouts of recent drawText calls, so labels drawn every frame are not laid out again.
  struct Key {
    std::string text;
    std::shared_ptr<const FontSpec> font;  // held, so its address cannot be reused
    float w, h;
    int flags;
    bool operator==(const Key& o) const {
      return font == o.font && w == o.w && h == o.h && flags == o.flags && text == o.text;
    }
  };
  struct KeyHash {
    size_t operator()(const Key& k) const {
      return std::hash<std::string>()(k.text) ^ (std::hash<const void*>()(k.font.get()) * 31) ^
             std::hash<float>()(k.w) * 7 ^ std::hash<float>()(k.h) * 13 ^ static_cast<size_t>(k.flags);
    }
  };
  std::unordered_map<Key, Laid, KeyHash> layouts;

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
    ComPtr<ID3D11Device> current;
    {
      Shared& s = shared();
      std::lock_guard<std::mutex> guard(s.lock);
      current = s.device;
    }
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
    int n = (height + kBandRows - 1) / kBandRows;
    bandMin.assign(n, INT_MAX);
    bandMax.assign(n, INT_MIN);
    readMin = bandMin;
    readMax = bandMax;
  }

  static std::vector<RectI> rectsOf(const std::vector<int>& mins, const std::vector<int>& maxs, int height) {
    std::vector<RectI> out;
    int n = static_cast<int>(mins.size());
    for (int b = 0; b < n;) {
      if (mins[b] >= maxs[b]) {
        ++b;
        continue;
      }
      int first = b, minX = mins[b], maxX = maxs[b];
      while (b + 1 < n && mins[b + 1] < maxs[b + 1]) {
        ++b;
        minX = std::min(minX, mins[b]);
        maxX = std::max(maxX, maxs[b]);
      }
      int y0 = first * kBandRows;
      int y1 = std::min(height, (b + 1) * kBandRows);
      out.push_back(RectI{minX, y0, maxX - minX, y1 - y0});
      ++b;
    }
    return out;
  }

  RectI clipBox() const { return clips.empty() ? RectI{0, 0, width, height} : clips.back().device; }

  // Device box of a user-space box through the current transform, grown to whole pixels.
  RectI deviceBox(double x0, double y0, double x1, double y1, int grow) const {
    double xs[4] = {x0, x1, x0, x1}, ys[4] = {y0, y0, y1, y1};
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    for (int i = 0; i < 4; ++i) {
      PointF p = transform.apply(PointF{static_cast<float>(xs[i]), static_cast<float>(ys[i])});
      minX = std::min<double>(minX, p.x);
      maxX = std::max<double>(maxX, p.x);
      minY = std::min<double>(minY, p.y);
      maxY = std::max<double>(maxY, p.y);
    }
    if (!(maxX > minX) || !(maxY > minY)) return RectI{};
    RectI limit = clipBox();
    int ix0 = std::max<double>(limit.x, std::floor(std::max(minX, -1e9)) - grow);
    int iy0 = std::max<double>(limit.y, std::floor(std::max(minY, -1e9)) - grow);
    int ix1 = std::min<double>(limit.x + limit.w, std::ceil(std::min(maxX, 1e9)) + grow);
    int iy1 = std::min<double>(limit.y + limit.h, std::ceil(std::min(maxY, 1e9)) + grow);
    if (ix1 <= ix0 || iy1 <= iy0) return RectI{};
    return RectI{ix0, iy0, ix1 - ix0, iy1 - iy0};
  }

  // Marks a user-space box (through the transform and within the clip) as drawn on.
  void mark(double x0, double y0, double x1, double y1) {
    RectI r = deviceBox(x0, y0, x1, y1, 1);
    if (r.w <= 0) return;
    for (int b = r.y / kBandRows; b <= (r.y + r.h - 1) / kBandRows && b < static_cast<int>(bandMin.size()); ++b) {
      bandMin[b] = std::min(bandMin[b], r.x);
      bandMax[b] = std::max(bandMax[b], r.x + r.w);
      readMin[b] = std::min(readMin[b], r.x);
      readMax[b] = std::max(readMax[b], r.x + r.w);
    }
    unread = true;
  }

  // Brings the CPU copy up to date with what was drawn.
  void sync() {
    if (!target || (!drawing && !unread)) return;
    unread = false;
    if (!end()) return;
    std::vector<RectI> rects = rectsOf(readMin, readMax, height);
    readMin.assign(readMin.size(), INT_MAX);
    readMax.assign(readMax.size(), INT_MIN);
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

  const Laid& laidOut(std::string_view text, const TextFormat& format, float w, float h) {
    int flags = static_cast<int>(format.align()) | static_cast<int>(format.paragraph()) << 2 |
                (format.wraps() ? 16 : 0) | (format.ellipsis() ? 32 : 0);
    Key key{std::string(text), format.font_, w, h, flags};
    auto it = layouts.find(key);
    if (it != layouts.end()) return it->second;
    if (layouts.size() >= 512) layouts.clear();
    return layouts.emplace(std::move(key), layOut(toWide(text), *format.font_, format, w, h)).first->second;
  }

  void drawLaid(const Laid& laid, float left, float top, Color c) {
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
  Impl::Clip c{toD2d(box), d.transform, d.deviceBox(box.left, box.top, box.right, box.bottom, 1)};
  if (d.drawing) d.target->PushAxisAlignedClip(c.rect, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
  d.clips.push_back(c);
}

void Canvas::popClip() {
  Impl& d = *impl_;
  if (!d.target || d.clips.empty()) return;
  if (d.drawing) d.target->PopAxisAlignedClip();
  d.clips.pop_back();
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
  int bw = shrunk ? tw : b.width, bh = shrunk ? th : b.height;
  if (!b.device || b.deviceTarget != d.targetId || b.deviceW != bw || b.deviceH != bh) {
    b.device.Reset();
    std::vector<uint8_t> small;
    if (shrunk) small = shrink(b.data.data(), b.width, b.height, bw, bh);
    const uint8_t* src = shrunk ? small.data() : b.data.data();
    D2D1_BITMAP_PROPERTIES props =
        D2D1::BitmapProperties(D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), 96, 96);
    if (FAILED(d.target->CreateBitmap(D2D1::SizeU(bw, bh), src, bw * 4, &props, &b.device))) return;
    b.deviceTarget = d.targetId;
    b.deviceW = bw;
    b.deviceH = bh;
  }
  d.target->DrawBitmap(b.device.Get(), toD2d(dest), opacity, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
  d.mark(dest.left, dest.top, dest.right, dest.bottom);
}

void Canvas::drawText(std::string_view text, const TextFormat& format, const RectF& box, Color c) {
  Impl& d = *impl_;
  if (text.empty() || !format.valid() || !d.ready(c.a)) return;
  const Laid& laid = d.laidOut(text, format, box.width(), box.height());
  d.drawLaid(laid, box.left, box.top, c);
}

std::unique_ptr<TextLayout> Canvas::createTextLayout(std::string_view text, const TextFormat& format,
                                                     float maxWidth, float maxHeight) {
  if (!format.valid()) return nullptr;
  std::unique_ptr<TextLayout> t(new TextLayout());
  t->impl_ = std::make_unique<TextLayout::Impl>();
  t->impl_->laid = layOut(toWide(text), *format.font_, format, maxWidth, maxHeight);
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
  d.drawLaid(layout.impl_->laid, origin.x, origin.y, c);
}

PointF Canvas::measureText(std::string_view text, const TextFormat& format) {
  if (!format.valid()) return {};
  Laid laid = layOut(toWide(text), *format.font_, format.withEllipsis(false).withAlign(TextAlign::Leading), 0, 0);
  return PointF{laid.width, laid.height};
}

std::vector<float> Canvas::caretOffsets(std::string_view text, const TextFormat& format) {
  std::vector<float> out{0.0f};
  if (!format.valid()) return out;
  std::vector<uint32_t> starts;
  std::wstring wide = toWide(text, &starts);
  if (wide.empty()) return out;
  Laid laid = layOut(wide, *format.font_, format.withEllipsis(false).withAlign(TextAlign::Leading), 0, 0);
  if (!laid.layout) return out;
  // From the clusters' advances (wine has no caret hit-testing); a code point inside a
  // cluster gets its share of the cluster's width.
  UINT32 count = 0;
  laid.layout->GetClusterMetrics(nullptr, 0, &count);
  std::vector<DWRITE_CLUSTER_METRICS> clusters(count);
  if (count == 0 || FAILED(laid.layout->GetClusterMetrics(clusters.data(), count, &count))) return out;
  std::vector<float> atUnit(wide.size() + 1, 0.0f);
  float x = 0;
  UINT32 unit = 0;
  for (const DWRITE_CLUSTER_METRICS& c : clusters) {
    for (UINT32 i = 0; i < c.length && unit + i < wide.size(); ++i) atUnit[unit + i] = x + c.width * i / c.length;
    unit += c.length;
    x += c.width;
  }
  for (size_t i = 1; i < starts.size(); ++i) out.push_back(atUnit[starts[i]]);
  out.push_back(laid.width);
  return out;
}

int Canvas::unknownGlyphCount(std::string_view text, const TextFormat& format) {
  if (!format.valid()) return -1;
  std::wstring wide = toWide(text);
  int unknown = 0;
  for (size_t i = 0; i < wide.size();) {
    size_t units;
    bool missing;
    format.font_->familyFor(codePointAt(wide, i, units), missing);
    unknown += missing;
    i += units;
  }
  return unknown;
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

std::vector<RectI> Canvas::dirtyRects() const { return Impl::rectsOf(impl_->bandMin, impl_->bandMax, height_); }

bool Canvas::hasDrawing() const {
  for (size_t b = 0; b < impl_->bandMin.size(); ++b)
    if (impl_->bandMin[b] < impl_->bandMax[b]) return true;
  return false;
}

// ---------------------------------------------------------------------------------------

namespace {

ComPtr<ID3D11Device> makeSharedDevice(D3D_DRIVER_TYPE type) {
  const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_1, D3D_FEATURE_LEVEL_10_0};
  ComPtr<ID3D11Device> device;
  if (FAILED(D3D11CreateDevice(nullptr, type, nullptr, D3D11_CREATE_DEVICE_BGRA_SUPPORT, levels, 3, D3D11_SDK_VERSION,
                               &device, nullptr, nullptr)))
    return nullptr;
  // Canvases and the presenter share the immediate context, maybe from several threads.
  ComPtr<ID3D10Multithread> multithread;
  if (SUCCEEDED(device.As(&multithread))) multithread->SetMultithreadProtected(TRUE);
  return device;
}

}  // namespace

// One device for every canvas: making one costs about a second under wine.
Microsoft::WRL::ComPtr<ID3D11Device> CanvasBackend::device(bool* gpu) {
  Shared& s = shared();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!s.device || s.device->GetDeviceRemovedReason() != S_OK) {
    s.device = makeSharedDevice(D3D_DRIVER_TYPE_HARDWARE);
    s.gpu = s.device != nullptr;
    if (!s.device) s.device = makeSharedDevice(D3D_DRIVER_TYPE_WARP);
  }
  if (gpu) *gpu = s.device && s.gpu;
  return s.device;
}

bool CanvasBackend::returnToGpu() {
  Shared& s = shared();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.device && s.gpu && s.device->GetDeviceRemovedReason() == S_OK) return true;
  ComPtr<ID3D11Device> device = makeSharedDevice(D3D_DRIVER_TYPE_HARDWARE);
  if (!device) return false;
  s.device = device;  // canvases and the presenter still drawing with the old one keep it alive
  s.gpu = true;
  return true;
}

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
