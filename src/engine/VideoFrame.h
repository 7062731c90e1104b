// One decoded picture and the FFmpeg buffer it holds.
#pragma once
#include <cstdint>

struct AVBufferRef;
struct AVFrame;

namespace vell {

// Pictures larger than this on either side are refused: one would take gigabytes.
constexpr int kMaxPictureSide = 8192;

// One decoded picture in 32-bit BGRA (B, G, R, A bytes in memory), top row first.
// Only plane 0 is used. An owning record holds a reference to an FFmpeg buffer (usually
// from the decoder's pool, so a steady stream reuses a few buffers instead of mapping fresh
// memory for every picture); releasing the record gives the buffer back.
// Records move, they are never copied.
struct VideoFrame {
  uint8_t* data[4] = {nullptr, nullptr, nullptr, nullptr};
  int linesize[4] = {0, 0, 0, 0};  // row strides in bytes; linesize[0] >= width * 4
  int width = 0;
  int height = 0;
  // The picture's own size when its pixels were scaled down to the size it is shown at
  // (0 = not scaled): its shape on screen follows this, not the pixels.
  int sourceWidth = 0;
  int sourceHeight = 0;
  double pts = 0.0;  // seconds
  bool ownsBuffer = false;
  AVBufferRef* buffer = nullptr;  // the reference that keeps data[0] alive when owned
  // The decoded picture itself (a reference, not a copy): while the record waits to be
  // converted, and after a conversion that scaled it down, so that a screenshot can still
  // have the film's own size.
  AVFrame* picture = nullptr;

  VideoFrame() = default;
  ~VideoFrame();
  VideoFrame(const VideoFrame&) = delete;
  VideoFrame& operator=(const VideoFrame&) = delete;
  VideoFrame(VideoFrame&& other) noexcept;
  VideoFrame& operator=(VideoFrame&& other) noexcept;

  // Frees the pixels when owned and empties the record (pts is kept).
  void releasePixels();
  bool hasPixels() const { return data[0] != nullptr && width > 0 && height > 0; }
  int shapeWidth() const { return sourceWidth > 0 ? sourceWidth : width; }
  int shapeHeight() const { return sourceHeight > 0 ? sourceHeight : height; }
  // A scaled-down record converted again at the picture's own size into `whole`; false when
  // it was not scaled (its own pixels are whole) or the conversion failed.
  bool convertWhole(VideoFrame& whole) const;
};

}  // namespace vell
