#include "engine/VideoFrame.h"

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
#include <libavutil/macros.h>
#include <libswscale/swscale.h>
}

#include <utility>

namespace vell {

VideoFrame::~VideoFrame() { releasePixels(); }

VideoFrame::VideoFrame(VideoFrame&& other) noexcept { *this = std::move(other); }

VideoFrame& VideoFrame::operator=(VideoFrame&& other) noexcept {
  if (this == &other) return *this;
  releasePixels();
  for (int i = 0; i < 4; ++i) {
    data[i] = other.data[i];
    linesize[i] = other.linesize[i];
    other.data[i] = nullptr;
    other.linesize[i] = 0;
  }
  width = other.width;
  height = other.height;
  sourceWidth = other.sourceWidth;
  sourceHeight = other.sourceHeight;
  pts = other.pts;
  ownsBuffer = other.ownsBuffer;
  buffer = other.buffer;
  picture = other.picture;
  other.picture = nullptr;
  other.width = other.height = 0;
  other.sourceWidth = other.sourceHeight = 0;
  other.ownsBuffer = false;
  other.buffer = nullptr;
  return *this;
}

void VideoFrame::releasePixels() {
  if (ownsBuffer) av_buffer_unref(&buffer);
  buffer = nullptr;
  av_frame_free(&picture);
  for (int i = 0; i < 4; ++i) {
    data[i] = nullptr;
    linesize[i] = 0;
  }
  width = height = 0;
  sourceWidth = sourceHeight = 0;
  ownsBuffer = false;
}

bool VideoFrame::convertWhole(VideoFrame& whole) const {
  if (!picture || picture->width < 1 || picture->height < 1) return false;
  SwsContext* scaler = sws_getContext(picture->width, picture->height, static_cast<AVPixelFormat>(picture->format),
                                      picture->width, picture->height, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr,
                                      nullptr);
  if (!scaler) return false;
  whole.releasePixels();
  const int stride = FFALIGN(picture->width * 4, 64);
  whole.buffer = av_buffer_alloc(static_cast<size_t>(stride) * picture->height + 64);  // the scaler's tail
  if (whole.buffer) {
    whole.ownsBuffer = true;
    whole.data[0] = whole.buffer->data;
    whole.linesize[0] = stride;
    whole.width = picture->width;
    whole.height = picture->height;
    whole.pts = pts;
    sws_scale(scaler, picture->data, picture->linesize, 0, picture->height, whole.data, whole.linesize);
  }
  sws_freeContext(scaler);
  return whole.buffer != nullptr;
}

}  // namespace vell
