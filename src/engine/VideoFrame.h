// One decoded picture and the FFmpeg buffer it holds.
#pragma once
#include <cstdint>

struct AVBufferRef;
struct AVFrame;
struct AVStream;

namespace vell {

// Pictures larger than this on either side are refused: one would take gigabytes.
constexpr int kMaxPictureSide = 8192;

// How a file asks its stored pictures to be shown: the shape of their pixels and a turn.
struct PictureGeometry {
  int sarNum = 0, sarDen = 0;  // a pixel's width to its height; 0 or invalid = square
  int rotation = 0;            // degrees clockwise: 0, 90, 180 or 270
  bool mirrored = false;       // mirrored left to right before the turn
  bool operator==(const PictureGeometry&) const = default;

  // The width a stored picture of `width` x `height` takes once its pixels are square (the
  // height stays).
  int squareWidth(int width) const;
  // The size it is shown at: square pixels, and sides swapped by a quarter turn.
  void shownSize(int width, int height, int& shownWidth, int& shownHeight) const {
    shownWidth = squareWidth(width);
    shownHeight = height;
    if (rotation % 180 != 0) {
      shownWidth = height;
      shownHeight = squareWidth(width);
    }
  }
};

// The stream's geometry: its sample aspect ratio and its display matrix (square and unturned
// without them).
PictureGeometry streamGeometry(const AVStream* stream);
// `geometry` with the frame's own sample aspect ratio, when it has a valid one.
PictureGeometry frameGeometry(const AVFrame* frame, PictureGeometry geometry);

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
  PictureGeometry geometry;
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
  // The shape it is shown in before any turn: its own size with square pixels.
  int shapeWidth() const { return geometry.squareWidth(sourceWidth > 0 ? sourceWidth : width); }
  int shapeHeight() const { return sourceHeight > 0 ? sourceHeight : height; }
  // A scaled-down record converted again at the picture's own size into `whole`; false when
  // it was not scaled (its own pixels are whole) or the conversion failed.
  bool convertWhole(VideoFrame& whole) const;
};

}  // namespace vell
