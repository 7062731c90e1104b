// Converting and scaling a decoded picture to BGRA with a cached scaler; whichever thread owns the converter.
#include "engine/FrameConverter.h"

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
#include <libavutil/macros.h>
#include <libswscale/swscale.h>
}

#include <cstdint>

#include "engine/VideoFrame.h"

namespace vell {

namespace {

constexpr int kRowAlign = 64;
constexpr size_t kTailPadding = 64;

// The scaler writes whole SIMD blocks past the end of short rows: rows are aligned and the
// buffer has a tail to spare, or narrow pictures overrun it.
int rowStride(int width) { return FFALIGN(width * 4, kRowAlign); }
size_t bufferBytes(int width, int height) { return static_cast<size_t>(rowStride(width)) * height + kTailPadding; }

}  // namespace

FrameConverter::~FrameConverter() {
  reset();
  av_buffer_pool_uninit(&pool_);  // buffers still held by frames are freed when released
}

void FrameConverter::reset() {
  sws_freeContext(scaler_);
  scaler_ = nullptr;
  scalerWidth_ = scalerHeight_ = 0;
  scalerFormat_ = -1;
  scalerOutWidth_ = scalerOutHeight_ = 0;
  scalerBuilds_ = 0;
}

bool FrameConverter::prepare(const AVFrame* source, int shownWidth, int shownHeight, int& outWidth, int& outHeight) {
  if (!source || source->width < 1 || source->height < 1) return false;
  // Scaled only down, and only when that saves a good part of the pixels.
  outWidth = source->width;
  outHeight = source->height;
  if (shownWidth > 0 && shownHeight > 0 && shownWidth <= source->width && shownHeight <= source->height &&
      static_cast<int64_t>(shownWidth) * shownHeight * 5 < static_cast<int64_t>(source->width) * source->height * 4) {
    outWidth = shownWidth;
    outHeight = shownHeight;
  }
  if (source->width != scalerWidth_ || source->height != scalerHeight_ || source->format != scalerFormat_ ||
      outWidth != scalerOutWidth_ || outHeight != scalerOutHeight_) {
    scaler_ = sws_getCachedContext(scaler_, source->width, source->height, static_cast<AVPixelFormat>(source->format),
                                   outWidth, outHeight, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    scalerWidth_ = source->width;
    scalerHeight_ = source->height;
    scalerFormat_ = source->format;
    scalerOutWidth_ = outWidth;
    scalerOutHeight_ = outHeight;
    ++scalerBuilds_;
  }
  return scaler_ != nullptr;
}

bool FrameConverter::convert(VideoFrame& frame, int shownWidth, int shownHeight) {
  VideoFrame out;
  if (!convertInto(frame, out, shownWidth, shownHeight)) {
    frame.releasePixels();
    return false;
  }
  frame = std::move(out);
  return true;
}

bool FrameConverter::convertInto(VideoFrame& frame, VideoFrame& slot, int shownWidth, int shownHeight) {
  AVFrame* source = frame.picture;
  int outWidth = 0, outHeight = 0;
  if (!prepare(source, shownWidth, shownHeight, outWidth, outHeight)) return false;

  const size_t bytes = bufferBytes(outWidth, outHeight);
  AVBufferRef* buffer = nullptr;
  if (slot.ownsBuffer && slot.buffer && av_buffer_is_writable(slot.buffer) && slot.buffer->size >= bytes) {
    buffer = slot.buffer;  // the picture shown so far is replaced in place
    slot.buffer = nullptr;
  } else {
    if (!pool_ || poolBytes_ != bytes) {
      av_buffer_pool_uninit(&pool_);
      pool_ = av_buffer_pool_init(bytes, nullptr);
      poolBytes_ = bytes;
    }
    buffer = pool_ ? av_buffer_pool_get(pool_) : nullptr;
    if (!buffer) return false;
  }
  slot.releasePixels();
  slot.buffer = buffer;
  slot.ownsBuffer = true;
  slot.data[0] = buffer->data;
  slot.linesize[0] = rowStride(outWidth);
  slot.width = outWidth;
  slot.height = outHeight;
  slot.pts = frame.pts;
  slot.geometry = frame.geometry;
  sws_scale(scaler_, source->data, source->linesize, 0, source->height, slot.data, slot.linesize);
  const bool scaled = outWidth != source->width || outHeight != source->height;
  slot.sourceWidth = scaled ? source->width : 0;
  slot.sourceHeight = scaled ? source->height : 0;
  if (scaled) {
    slot.picture = frame.picture;
    frame.picture = nullptr;
  }
  frame.releasePixels();
  return true;
}

}  // namespace vell
