// Converting and scaling a decoded picture to BGRA with cached scalers; whichever thread owns the converter.
#include "engine/FrameConverter.h"

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
#include <libavutil/macros.h>
#include <libavutil/pixdesc.h>
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

// Pictures with chroma at half size both ways (nearly every film) go through 8-bit 4:2:0
// planes when they are scaled or deeper than 8 bits: the scaled step to BGRA is two to three
// times slower than scaling the planes and converting them unscaled. Others go in one step.
bool viaPlanes(AVPixelFormat format, bool scaled) {
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
  if (!d || (d->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_ALPHA | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL)) ||
      d->nb_components < 3 || d->log2_chroma_w != 1 || d->log2_chroma_h != 1)
    return false;
  return scaled || format != AV_PIX_FMT_YUV420P;
}

// The matrix a picture's colours were made with; when it does not say, high definition is
// taken as BT.709 and smaller pictures as BT.601, as they are made.
int swsColorspace(const AVFrame* f) {
  switch (f->colorspace) {
    case AVCOL_SPC_BT709: return SWS_CS_ITU709;
    case AVCOL_SPC_FCC: return SWS_CS_FCC;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M: return SWS_CS_ITU601;
    case AVCOL_SPC_SMPTE240M: return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL: return SWS_CS_BT2020;
    default: return f->width >= 1280 || f->height > 576 ? SWS_CS_ITU709 : SWS_CS_ITU601;
  }
}

// Source matrix and range on the step that makes BGRA (always full range out).
void setColours(SwsContext* toBgra, int colorspace, bool fullRange) {
  const int* matrix = sws_getCoefficients(colorspace);
  sws_setColorspaceDetails(toBgra, matrix, fullRange ? 1 : 0, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16,
                           1 << 16);
}

}  // namespace

int plainPixelFormat(int format, bool& fullRange) {
  switch (format) {
    case AV_PIX_FMT_YUVJ420P: fullRange = true; return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P: fullRange = true; return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P: fullRange = true; return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P: fullRange = true; return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P: fullRange = true; return AV_PIX_FMT_YUV411P;
    default: return format;
  }
}

FrameConverter::~FrameConverter() {
  reset();
  av_buffer_pool_uninit(&pool_);  // buffers still held by frames are freed when released
}

void FrameConverter::dropScalers() {
  sws_freeContext(scaler_);
  sws_freeContext(toBgra_);
  scaler_ = toBgra_ = nullptr;
  av_frame_free(&planes_);
}

void FrameConverter::reset() {
  dropScalers();
  scalerWidth_ = scalerHeight_ = 0;
  scalerFormat_ = scalerColorspace_ = scalerRange_ = -1;
  scalerOutWidth_ = scalerOutHeight_ = 0;
  scalerBuilds_ = 0;
}

bool FrameConverter::buildScalers(const AVFrame* source, int outWidth, int outHeight, int colorspace) {
  dropScalers();
  bool fullRange = source->color_range == AVCOL_RANGE_JPEG;
  const auto format = static_cast<AVPixelFormat>(plainPixelFormat(source->format, fullRange));
  const bool scaled = outWidth != source->width || outHeight != source->height;
  if (!viaPlanes(format, scaled)) {
    scaler_ = sws_getContext(source->width, source->height, format, outWidth, outHeight, AV_PIX_FMT_BGRA,
                             SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (scaler_) setColours(scaler_, colorspace, fullRange);
    return scaler_ != nullptr;
  }
  // The planes keep the source's range and matrix: only the last step turns them into colours.
  planes_ = av_frame_alloc();
  if (!planes_) return false;
  planes_->format = AV_PIX_FMT_YUV420P;
  planes_->width = outWidth;
  planes_->height = outHeight;
  if (av_frame_get_buffer(planes_, kRowAlign) < 0) return false;
  scaler_ = sws_getContext(source->width, source->height, format, outWidth, outHeight, AV_PIX_FMT_YUV420P,
                           SWS_BILINEAR, nullptr, nullptr, nullptr);
  toBgra_ = sws_getContext(outWidth, outHeight, AV_PIX_FMT_YUV420P, outWidth, outHeight, AV_PIX_FMT_BGRA, SWS_POINT,
                           nullptr, nullptr, nullptr);
  if (!scaler_ || !toBgra_) return false;
  const int range = fullRange ? 1 : 0;
  sws_setColorspaceDetails(scaler_, sws_getCoefficients(colorspace), range, sws_getCoefficients(colorspace), range, 0,
                           1 << 16, 1 << 16);
  setColours(toBgra_, colorspace, fullRange);
  return true;
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
  const int range = source->color_range == AVCOL_RANGE_JPEG ? 1 : 0;
  const int colorspace = swsColorspace(source);
  if (source->width != scalerWidth_ || source->height != scalerHeight_ || source->format != scalerFormat_ ||
      outWidth != scalerOutWidth_ || outHeight != scalerOutHeight_ || colorspace != scalerColorspace_ ||
      range != scalerRange_) {
    const bool built = buildScalers(source, outWidth, outHeight, colorspace);
    scalerWidth_ = source->width;
    scalerHeight_ = source->height;
    scalerFormat_ = source->format;
    scalerOutWidth_ = outWidth;
    scalerOutHeight_ = outHeight;
    scalerColorspace_ = colorspace;
    scalerRange_ = range;
    ++scalerBuilds_;
    if (!built) dropScalers();
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
  if (toBgra_) {
    sws_scale(scaler_, source->data, source->linesize, 0, source->height, planes_->data, planes_->linesize);
    sws_scale(toBgra_, planes_->data, planes_->linesize, 0, outHeight, slot.data, slot.linesize);
  } else {
    sws_scale(scaler_, source->data, source->linesize, 0, source->height, slot.data, slot.linesize);
  }
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
