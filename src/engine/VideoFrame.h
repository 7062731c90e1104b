#pragma once
#include <cstdint>

namespace vell {

// One decoded picture in 32-bit BGRA (B, G, R, A bytes in memory), top row first.
// Only plane 0 is used; its buffer comes from FFmpeg's allocator and is released with
// FFmpeg's free when the record owns it. Records move, they are never copied.
struct VideoFrame {
  uint8_t* data[4] = {nullptr, nullptr, nullptr, nullptr};
  int linesize[4] = {0, 0, 0, 0};  // row strides in bytes; linesize[0] = width * 4
  int width = 0;
  int height = 0;
  double pts = 0.0;  // seconds
  bool ownsBuffer = false;

  VideoFrame() = default;
  ~VideoFrame();
  VideoFrame(const VideoFrame&) = delete;
  VideoFrame& operator=(const VideoFrame&) = delete;
  VideoFrame(VideoFrame&& other) noexcept;
  VideoFrame& operator=(VideoFrame&& other) noexcept;

  // Frees the pixels when owned and empties the record (pts is kept).
  void releasePixels();
  bool hasPixels() const { return data[0] != nullptr && width > 0 && height > 0; }
};

}  // namespace vell
