// The presenter: placing the picture, redrawing only what changed, and decoding cover art.
#include <cstdio>
#include "render/Renderer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/FrameConverter.h"
#include "engine/VideoFrame.h"
#include "platform/Window.h"

namespace vell {

const char* aspectModeName(int mode) {
  static const char* const kNames[] = {"원본", "16:9", "4:3", "채우기"};
  return kNames[std::clamp(mode, 0, 3)];
}

VideoPlacement computeVideoPlacement(int frameWidth, int frameHeight, const RectF& dest, int aspectMode,
                                     int rotation, bool flipH, bool flipV) {
  VideoPlacement p;
  double W = dest.width(), H = dest.height();
  if (frameWidth < 1 || frameHeight < 1 || !(W > 0) || !(H > 0)) return p;
  int rot = ((rotation % 360) + 360) % 360;
  bool quarter = rot == 90 || rot == 270;
  double sw = quarter ? frameHeight : frameWidth;
  double sh = quarter ? frameWidth : frameHeight;
  double a = sw / sh;
  if (aspectMode == kAspect16x9) a = 16.0 / 9.0;
  if (aspectMode == kAspect4x3) a = 4.0 / 3.0;
  double x = dest.left, y = dest.top, w = W, h = H;
  if (aspectMode != kAspectFill) {
    if (a > W / H) {
      w = W;
      h = W / a;
      y = dest.top + (H - h) / 2;
    } else {
      w = a * H;
      h = H;
      x = dest.left + (W - w) / 2;
    }
  }
  double cx = x + w / 2, cy = y + h / 2;
  p.visible = true;
  p.x = float(x);
  p.y = float(y);
  p.w = float(w);
  p.h = float(h);
  p.cx = float(cx);
  p.cy = float(cy);
  p.rotation = rot;
  p.flipH = flipH;
  p.flipV = flipV;
  if (quarter)
    p.drawRect = RectF{float(cx - h / 2), float(cy - w / 2), float(cx + h / 2), float(cy + w / 2)};
  else
    p.drawRect = RectF{float(x), float(y), float(x + w), float(y + h)};
  return p;
}

void addFileTurn(const PictureGeometry& file, int& rotation, bool& flipH, bool& flipV) {
  // One mirror before a turn reverses it; both mirrors are a half turn and reverse nothing.
  const int fileTurn = flipH != flipV ? -file.rotation : file.rotation;
  rotation = ((rotation + fileTurn) % 360 + 360) % 360;
  flipH = flipH != file.mirrored;
}

namespace {

// Where the samples of one output line come from: the two source pixels about it and the
// weight of the second.
struct Tap {
  int a = 0, b = 0;
  float t = 0;
};

std::vector<Tap> taps(int source, int shown) {
  std::vector<Tap> out(static_cast<size_t>(shown));
  for (int i = 0; i < shown; ++i) {
    const double at = std::clamp((i + 0.5) * source / shown - 0.5, 0.0, double(source - 1));
    Tap& t = out[static_cast<size_t>(i)];
    t.a = static_cast<int>(at);
    t.b = std::min(t.a + 1, source - 1);
    t.t = static_cast<float>(at - t.a);
  }
  return out;
}

}  // namespace

bool shownPicture(const VideoFrame& frame, int rotation, bool flipH, bool flipV, std::vector<uint32_t>& out,
                  int& width, int& height) {
  out.clear();
  width = height = 0;
  if (!frame.hasPixels()) return false;
  addFileTurn(frame.geometry, rotation, flipH, flipV);
  const int sw = std::max(frame.shapeWidth(), frame.width), sh = std::max(frame.shapeHeight(), frame.height);
  const bool quarter = rotation % 180 != 0;
  width = quarter ? sh : sw;
  height = quarter ? sw : sh;
  const std::vector<Tap> cols = taps(frame.width, sw), rows = taps(frame.height, sh);
  out.resize(static_cast<size_t>(width) * height);
  auto at = [&](int x, int y) {
    return frame.data[0] + static_cast<size_t>(y) * frame.linesize[0] + static_cast<size_t>(x) * 4;
  };
  for (int oy = 0; oy < height; ++oy) {
    for (int ox = 0; ox < width; ++ox) {
      // Back through the turn (clockwise, after the flips) to the picture before it.
      int x = ox, y = oy;
      if (rotation == 90) x = oy, y = sh - 1 - ox;
      if (rotation == 180) x = sw - 1 - ox, y = sh - 1 - oy;
      if (rotation == 270) x = sw - 1 - oy, y = ox;
      if (flipH) x = sw - 1 - x;
      if (flipV) y = sh - 1 - y;
      const Tap& c = cols[static_cast<size_t>(x)];
      const Tap& r = rows[static_cast<size_t>(y)];
      uint32_t pixel = 0;
      for (int k = 0; k < 4; ++k) {
        const float top = at(c.a, r.a)[k] + (at(c.b, r.a)[k] - at(c.a, r.a)[k]) * c.t;
        const float bottom = at(c.a, r.b)[k] + (at(c.b, r.b)[k] - at(c.a, r.b)[k]) * c.t;
        pixel |= static_cast<uint32_t>(std::lround(top + (bottom - top) * r.t)) << (8 * k);
      }
      out[static_cast<size_t>(oy) * width + ox] = pixel;
    }
  }
  return true;
}

VideoPlacement snapToPixels(const VideoPlacement& in) {
  VideoPlacement p = in;
  if (!p.visible) return p;
  float x0 = std::round(in.x), y0 = std::round(in.y);
  float x1 = std::round(in.x + in.w), y1 = std::round(in.y + in.h);
  p.x = x0;
  p.y = y0;
  p.w = x1 - x0;
  p.h = y1 - y0;
  p.cx = x0 + p.w / 2;
  p.cy = y0 + p.h / 2;
  if (p.rotation == 90 || p.rotation == 270)
    p.drawRect = RectF{p.cx - p.h / 2, p.cy - p.w / 2, p.cx + p.h / 2, p.cy + p.w / 2};
  else
    p.drawRect = RectF{x0, y0, x1, y1};
  p.visible = p.w > 0 && p.h > 0;
  return p;
}

bool Renderer::initialize(Window& window, const std::string& driver) {
  int w = 0, h = 0;
  window.size(w, h);
  if (w <= 0) w = 1280;
  if (h <= 0) h = 720;
  if (!device_.create(window, driver)) return false;
  if (!canvas_.resize(w, h)) {
    device_.destroy();
    return false;
  }
  width_ = w;
  height_ = h;
  return true;
}

void Renderer::resize(int width, int height) {
  if (width <= 0 || height < 1 || !device_.ready()) return;
  width_ = width;
  height_ = height;
  canvas_.resize(width, height);
  wholeNext_ = true;
}

void Renderer::setScale(float scale) {
  if (scale == canvas_.scale()) return;
  canvas_.setScale(scale);
  wholeNext_ = true;
}

void Renderer::beginScene() {
  if (!ready()) return;
  device_.clear(kBackgroundR, kBackgroundG, kBackgroundB);
  canvas_.clear();
}

bool Renderer::uploadFrame(const VideoFrame& frame) {
  if (!device_.ready() || !frame.hasPixels()) return false;
  return device_.uploadVideo(frame.data[0], frame.linesize[0], frame.width, frame.height);
}

void Renderer::drawVideo(const VideoFrame& frame, int left, int top, int right, int bottom, int aspectMode,
                         int rotation, bool flipH, bool flipV, bool frameChanged) {
  if (!frame.hasPixels() || !device_.ready()) return;
  if (right - left <= 0 || bottom - top <= 0) return;
  if ((frameChanged || !device_.hasVideoTexture(frame.width, frame.height)) && !uploadFrame(frame)) return;
  addFileTurn(frame.geometry, rotation, flipH, flipV);
  VideoPlacement p = computeVideoPlacement(frame.shapeWidth(), frame.shapeHeight(),
                                           RectF{float(left), float(top), float(right), float(bottom)}, aspectMode,
                                           rotation, flipH, flipV);
  if (!p.visible) return;
  p = snapToPixels(p);
  device_.drawVideo(p.drawRect.left, p.drawRect.top, p.drawRect.width(), p.drawRect.height(), p.rotation, p.flipH,
                    p.flipV);
}

void Renderer::endScene() {
  if (ready()) device_.drawOverlay(canvas_);
}

void Renderer::present() { device_.present(); }

namespace {

RectI boundingBox(const std::vector<RectI>& rects) {
  if (rects.empty()) return {};
  int x0 = rects[0].x, y0 = rects[0].y, x1 = x0 + rects[0].w, y1 = y0 + rects[0].h;
  for (const RectI& r : rects) {
    x0 = std::min(x0, r.x);
    y0 = std::min(y0, r.y);
    x1 = std::max(x1, r.x + r.w);
    y1 = std::max(y1, r.y + r.h);
  }
  return RectI{x0, y0, x1 - x0, y1 - y0};
}

// Bands of rows where two canvases of the same size differ, each as wide as its
// differences; bands closer than a few rows are joined. Only the columns either canvas drew
// on (`drawn` and `drawnBefore`) are compared: elsewhere both are empty.
std::vector<RectI> changedBands(const uint8_t* now, const uint8_t* before, int stride, int height,
                                const std::vector<RectI>& drawn, const std::vector<RectI>& drawnBefore) {
  constexpr int kJoinRows = 8;
  std::vector<std::pair<int, int>> columns(static_cast<size_t>(height), {0, 0});
  for (const auto* list : {&drawn, &drawnBefore}) {
    for (const RectI& r : *list) {
      for (int y = std::max(r.y, 0); y < std::min(r.y + r.h, height); ++y) {
        auto& c = columns[static_cast<size_t>(y)];
        c = c.second > c.first ? std::make_pair(std::min(c.first, r.x), std::max(c.second, r.x + r.w))
                               : std::make_pair(r.x, r.x + r.w);
      }
    }
  }
  std::vector<RectI> bands;
  int bandTop = -1, lastRow = -1, minX = 0, maxX = 0;
  for (int y = 0; y < height; ++y) {
    const auto [x0, x1] = columns[static_cast<size_t>(y)];
    if (x1 <= x0) continue;
    const auto* a = reinterpret_cast<const uint32_t*>(now + static_cast<size_t>(y) * stride);
    const auto* b = reinterpret_cast<const uint32_t*>(before + static_cast<size_t>(y) * stride);
    if (std::memcmp(a + x0, b + x0, static_cast<size_t>(x1 - x0) * 4) == 0) continue;
    int left = x0, right = x1;
    while (a[left] == b[left]) ++left;
    while (a[right - 1] == b[right - 1]) --right;
    if (bandTop >= 0 && y - lastRow > kJoinRows) {
      bands.push_back(RectI{minX, bandTop, maxX - minX, lastRow + 1 - bandTop});
      bandTop = -1;
    }
    if (bandTop < 0) {
      bandTop = y;
      minX = left;
      maxX = right;
    }
    minX = std::min(minX, left);
    maxX = std::max(maxX, right);
    lastRow = y;
  }
  if (bandTop >= 0) bands.push_back(RectI{minX, bandTop, maxX - minX, lastRow + 1 - bandTop});
  return bands;
}

}  // namespace

bool Renderer::composeScene(const VideoDraw* video, const RectI* canvasChangedOnlyIn) {
  if (!ready()) return false;
  const int W = canvas_.width(), H = canvas_.height(), stride = canvas_.stride();
  const size_t bytes = static_cast<size_t>(stride) * H;
  ShownVideo now;
  if (video && video->frame && video->frame->hasPixels() && video->right > video->left && video->bottom > video->top) {
    now = ShownVideo{true,           video->left,     video->top,   video->right,
                     video->bottom,  video->frame->shapeWidth(), video->frame->shapeHeight(), video->aspectMode,
                     video->rotation, video->flipH,   video->flipV};
    addFileTurn(video->frame->geometry, now.rotation, now.flipH, now.flipV);
  }

  // Where the picture goes; an upright or upside-down one covers its rectangle whole.
  VideoPlacement p;
  if (now.shown) {
    const VideoFrame& f = *video->frame;
    p = snapToPixels(computeVideoPlacement(f.shapeWidth(), f.shapeHeight(),
                                           RectF{float(now.left), float(now.top), float(now.right), float(now.bottom)},
                                           now.aspectMode, now.rotation, now.flipH, now.flipV));
  }
  RectI opaque;
  const bool covers = now.shown && p.visible && p.rotation % 180 == 0;
  if (covers) {
    const int x0 = static_cast<int>(std::ceil(p.drawRect.left)), y0 = static_cast<int>(std::ceil(p.drawRect.top));
    opaque = RectI{x0, y0, static_cast<int>(std::floor(p.drawRect.right)) - x0,
                   static_cast<int>(std::floor(p.drawRect.bottom)) - y0};
  }

  std::vector<RectI> drawn = canvas_.dirtyRects();
  std::vector<RectI> areas;
  // Where the canvas itself changed: only there does the kept copy need updating (a new
  // picture under an unchanged canvas leaves the copy as it is).
  std::vector<RectI> canvasChanged;
  if (wholeNext_ || !device_.keepsPresentedPixels() || lastCanvas_.size() != bytes) {
    areas.push_back(RectI{0, 0, W, H});
    canvasChanged = areas;
  } else {
    if (canvasChangedOnlyIn) {
      const std::vector<RectI> only{*canvasChangedOnlyIn};
      areas = changedBands(canvas_.pixels(), lastCanvas_.data(), stride, H, only, only);
    } else {
      areas = changedBands(canvas_.pixels(), lastCanvas_.data(), stride, H, drawn, lastDrawn_);
    }
    canvasChanged = areas;
    if (now != lastVideo_) {
      for (const ShownVideo* v : {&lastVideo_, &now})
        if (v->shown) areas.push_back(RectI{v->left, v->top, v->right - v->left, v->bottom - v->top});
    } else if (now.shown && video->frameChanged) {
      // A new picture in the same place: the bars around it are as they were.
      areas.push_back(covers ? opaque : RectI{now.left, now.top, now.right - now.left, now.bottom - now.top});
    }
    // A few rectangles at most: past that one box costs less than the overhead of many.
    if (areas.size() > 4) areas = {boundingBox(areas)};
    for (RectI& a : areas) {
      int x1 = std::min(a.x + a.w, W), y1 = std::min(a.y + a.h, H);
      a.x = std::max(a.x, 0);
      a.y = std::max(a.y, 0);
      a.w = x1 - a.x;
      a.h = y1 - a.y;
    }
    std::erase_if(areas, [](const RectI& a) { return a.w <= 0 || a.h <= 0; });
  }
  if (areas.empty()) return false;

  if (now.shown) {
    const VideoFrame& f = *video->frame;
    if ((video->frameChanged || !device_.hasVideoTexture(f.width, f.height)) && !uploadFrame(f)) now.shown = false;
  }
  shownVideoWidth_ = now.shown && p.visible ? static_cast<int>(p.drawRect.width()) : 0;
  shownVideoHeight_ = now.shown && p.visible ? static_cast<int>(p.drawRect.height()) : 0;
  for (const RectI& a : areas) {
    device_.beginArea(a, kBackgroundR, kBackgroundG, kBackgroundB, covers && now.shown ? &opaque : nullptr);
    if (now.shown && p.visible)
      device_.drawVideo(p.drawRect.left, p.drawRect.top, p.drawRect.width(), p.drawRect.height(), p.rotation, p.flipH,
                        p.flipV);
    device_.drawOverlay(canvas_, &a);
  }
  device_.endArea();
  lastVideo_ = now;
  if (!device_.keepsPresentedPixels()) return true;  // drawn whole every time: no copy to keep

  // Outside the areas the old copy already equals the canvas.
  if (lastCanvas_.size() != bytes && !lastCanvas_.allocate(bytes)) return true;  // compared whole next time
  for (const RectI& a : canvasChanged) {
    for (int y = a.y; y < a.y + a.h; ++y) {
      size_t at = static_cast<size_t>(y) * stride + static_cast<size_t>(a.x) * 4;
      std::memcpy(lastCanvas_.data() + at, canvas_.pixels() + at, static_cast<size_t>(a.w) * 4);
    }
  }
  lastDrawn_ = std::move(drawn);
  wholeNext_ = false;
  return true;
}

// ---------------------------------------------------------------------------------------
// Cover art

namespace {

constexpr size_t kMaxImageBytes = 32u << 20;
constexpr int64_t kMaxImagePixels = 40'000'000;

AVCodecID sniffImage(const uint8_t* d, size_t n, std::string_view mime) {
  if (n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) return AV_CODEC_ID_MJPEG;
  if (n >= 8 && std::memcmp(d, "\x89PNG\r\n\x1a\n", 8) == 0) return AV_CODEC_ID_PNG;
  if (n >= 6 && (std::memcmp(d, "GIF87a", 6) == 0 || std::memcmp(d, "GIF89a", 6) == 0)) return AV_CODEC_ID_GIF;
  if (n >= 2 && d[0] == 'B' && d[1] == 'M') return AV_CODEC_ID_BMP;
  if (n >= 12 && std::memcmp(d, "RIFF", 4) == 0 && std::memcmp(d + 8, "WEBP", 4) == 0) return AV_CODEC_ID_WEBP;
  if (mime == "image/jpeg" || mime == "image/jpg") return AV_CODEC_ID_MJPEG;
  if (mime == "image/png") return AV_CODEC_ID_PNG;
  return AV_CODEC_ID_NONE;
}

bool convertFrame(const AVFrame* frame, Bitmap& out) {
  int w = frame->width, h = frame->height;
  if (w < 1 || h < 1 || int64_t(w) * h > kMaxImagePixels) return false;
  bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
  const auto src = static_cast<AVPixelFormat>(plainPixelFormat(frame->format, fullRange));
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame->format));
  if (!desc) return false;
  bool alpha = (desc->flags & AV_PIX_FMT_FLAG_ALPHA) != 0 || frame->format == AV_PIX_FMT_PAL8;
  SwsContext* sws = sws_getContext(w, h, src, w, h, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!sws) return false;
  if (fullRange) {
    int* invTable = nullptr;
    int* table = nullptr;
    int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
    if (sws_getColorspaceDetails(sws, &invTable, &srcRange, &table, &dstRange, &brightness, &contrast,
                                 &saturation) >= 0)
      sws_setColorspaceDetails(sws, invTable, 1, table, dstRange, brightness, contrast, saturation);
  }
  if (!out.create(w, h)) {
    sws_freeContext(sws);
    return false;
  }
  // swscale writes whole SIMD blocks: a row of a width that is no multiple of 16 runs past its
  // end, and the last one past the buffer. It writes into padded rows; the bitmap gets copies.
  const int padded = (w * 4 + 63) & ~63;
  std::vector<uint8_t> rowsOut(static_cast<size_t>(padded) * h + 64);
  uint8_t* dst[4] = {rowsOut.data(), nullptr, nullptr, nullptr};
  int dstStride[4] = {padded, 0, 0, 0};
  int rows = sws_scale(sws, frame->data, frame->linesize, 0, h, dst, dstStride);
  sws_freeContext(sws);
  if (rows != h) {
    out.create(0, 0);
    return false;
  }
  for (int y = 0; y < h; ++y)
    std::memcpy(out.pixels() + static_cast<size_t>(y) * out.stride(), rowsOut.data() + static_cast<size_t>(y) * padded,
                static_cast<size_t>(w) * 4);
  // The canvas draws premultiplied pixels.
  for (int y = 0; y < h; ++y) {
    uint8_t* p = out.pixels() + static_cast<size_t>(y) * out.stride();
    for (int x = 0; x < w; ++x, p += 4) {
      if (!alpha) {
        p[3] = 255;
        continue;
      }
      unsigned a = p[3];
      if (a == 255) continue;
      p[0] = static_cast<uint8_t>((p[0] * a + 127) / 255);
      p[1] = static_cast<uint8_t>((p[1] * a + 127) / 255);
      p[2] = static_cast<uint8_t>((p[2] * a + 127) / 255);
    }
  }
  out.commit();
  return true;
}

}  // namespace

bool decodeImage(const uint8_t* data, size_t size, Bitmap& out, std::string_view mimeType) {
  out.create(0, 0);
  if (!data || size < 8 || size > kMaxImageBytes) return false;
  AVCodecID id = sniffImage(data, size, mimeType);
  if (id == AV_CODEC_ID_NONE) return false;
  const AVCodec* codec = avcodec_find_decoder(id);
  if (!codec) return false;
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  bool ok = false;
  if (ctx && pkt && frame) {
    ctx->thread_count = 1;
    ctx->max_pixels = kMaxImagePixels;
    if (avcodec_open2(ctx, codec, nullptr) >= 0 && av_new_packet(pkt, static_cast<int>(size)) >= 0) {
      std::memcpy(pkt->data, data, size);
      pkt->flags |= AV_PKT_FLAG_KEY;
      if (avcodec_send_packet(ctx, pkt) >= 0) {
        avcodec_send_packet(ctx, nullptr);  // drain: single-image decoders may hold the frame
        if (avcodec_receive_frame(ctx, frame) >= 0) ok = convertFrame(frame, out);
      }
    }
  }
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&ctx);
  if (!ok) out.create(0, 0);
  return ok;
}

}  // namespace vell
