// Moving, releasing and converting a decoded picture's buffer.
#include "engine/VideoFrame.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/buffer.h>
#include <libavutil/display.h>
#include <libavutil/frame.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <utility>

#include "engine/FrameConverter.h"

namespace vell {

namespace {

bool validRatio(AVRational r) { return r.num > 0 && r.den > 0 && r.num <= 1000 * r.den && r.den <= 1000 * r.num; }

}  // namespace

int PictureGeometry::squareWidth(int width) const {
  if (sarNum <= 0 || sarDen <= 0 || sarNum == sarDen) return width;
  const int64_t w = (static_cast<int64_t>(width) * sarNum + sarDen / 2) / sarDen;
  return static_cast<int>(std::clamp<int64_t>(w, 1, 4 * kMaxPictureSide));
}

PictureGeometry streamGeometry(const AVStream* stream) {
  PictureGeometry g;
  if (!stream) return g;
  AVRational sar = stream->sample_aspect_ratio;
  if (!validRatio(sar) && stream->codecpar) sar = stream->codecpar->sample_aspect_ratio;
  if (validRatio(sar)) {
    g.sarNum = sar.num;
    g.sarDen = sar.den;
  }
  size_t size = 0;
  const uint8_t* data = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
  if (!data || size < 9 * sizeof(int32_t)) return g;
  int32_t m[9];
  std::memcpy(m, data, sizeof m);
  // A negative determinant is a mirror. Taken off first (the picture's columns reversed),
  // what is left is a pure turn.
  const double det = static_cast<double>(m[0]) * m[4] - static_cast<double>(m[1]) * m[3];
  if (det < 0) {
    g.mirrored = true;
    m[0] = -m[0];
    m[1] = -m[1];
  }
  const double ccw = av_display_rotation_get(m);
  if (!std::isfinite(ccw)) return g;
  // Only quarter turns: the nearest one.
  const int quarter = static_cast<int>(std::lround(-ccw / 90.0));
  g.rotation = ((quarter % 4) + 4) % 4 * 90;
  return g;
}

PictureGeometry frameGeometry(const AVFrame* frame, PictureGeometry geometry) {
  if (frame && validRatio(frame->sample_aspect_ratio)) {
    geometry.sarNum = frame->sample_aspect_ratio.num;
    geometry.sarDen = frame->sample_aspect_ratio.den;
  }
  return geometry;
}

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
  geometry = other.geometry;
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
  geometry = {};
  ownsBuffer = false;
}

bool VideoFrame::convertWhole(VideoFrame& whole) const {
  if (!picture) return false;
  VideoFrame source;
  source.picture = av_frame_clone(picture);
  if (!source.picture) return false;
  source.pts = pts;
  source.geometry = geometry;
  FrameConverter converter;  // at the picture's own size
  if (!converter.convert(source, 0, 0)) return false;
  whole = std::move(source);
  return true;
}

}  // namespace vell
