// Moving, releasing and converting a decoded picture's buffer.
#include "engine/VideoFrame.h"

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/frame.h>
}

#include <utility>

#include "engine/FrameConverter.h"

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
  if (!picture) return false;
  VideoFrame source;
  source.picture = av_frame_clone(picture);
  if (!source.picture) return false;
  source.pts = pts;
  FrameConverter converter;  // at the picture's own size
  if (!converter.convert(source, 0, 0)) return false;
  whole = std::move(source);
  return true;
}

}  // namespace vell
