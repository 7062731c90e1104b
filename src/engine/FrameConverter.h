// Decoded pictures to BGRA at the size they are shown at; one converter per thread.
#pragma once
#include <cstddef>

struct AVBufferPool;
struct AVFrame;
struct SwsContext;

namespace vell {

struct VideoFrame;

// The plain format of swscale's deprecated full-range ("J") ones, which set `fullRange`.
int plainPixelFormat(int format, bool& fullRange);

// Turns a decoded picture into BGRA, scaled down to the size it is shown at when that saves a
// good part of the pixels, with the colour matrix and range the picture says it has. One
// converter per thread: it caches its scalers and its buffers.
class FrameConverter {
 public:
  FrameConverter() = default;
  ~FrameConverter();
  FrameConverter(const FrameConverter&) = delete;
  FrameConverter& operator=(const FrameConverter&) = delete;

  // Converts `frame.picture` into `frame`'s pixels, shown at `shownWidth` x `shownHeight`
  // (0 = the picture's own size). A scaled record keeps its picture (a screenshot has the
  // film's own size); a whole one lets it go. False, with the pixels released, on failure.
  bool convert(VideoFrame& frame, int shownWidth, int shownHeight);
  // Like convert, but into `slot`, reusing its pixel buffer when nothing else holds it: the
  // picture the window shows is replaced in place instead of taking a second buffer.
  bool convertInto(VideoFrame& frame, VideoFrame& slot, int shownWidth, int shownHeight);
  // How many times a scaler was (re)made; a size change costs exactly one.
  int scalerBuilds() const { return scalerBuilds_; }
  void reset();

 private:
  bool prepare(const AVFrame* source, int shownWidth, int shownHeight, int& outWidth, int& outHeight);
  // `colorspace` is swscale's name of the picture's matrix.
  bool buildScalers(const AVFrame* source, int outWidth, int outHeight, int colorspace);
  void dropScalers();

  // One step straight to BGRA, or two: scaling the planes (and bringing deep colour to 8 bits)
  // into `planes_`, then the unscaled YUV-to-BGRA step, which has fast SIMD paths that the
  // scaled one lacks.
  SwsContext* scaler_ = nullptr;
  SwsContext* toBgra_ = nullptr;
  AVFrame* planes_ = nullptr;
  AVBufferPool* pool_ = nullptr;  // buffers of poolBytes_ each
  size_t poolBytes_ = 0;
  int scalerWidth_ = 0;
  int scalerHeight_ = 0;
  int scalerFormat_ = -1;
  int scalerOutWidth_ = 0;
  int scalerOutHeight_ = 0;
  int scalerColorspace_ = -1;
  int scalerRange_ = -1;
  int scalerBuilds_ = 0;
};

}  // namespace vell
