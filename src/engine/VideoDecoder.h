#pragma once
#include <atomic>
#include <cstddef>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct AVBufferRef;
struct AVBufferPool;
struct SwsContext;

namespace vell {

struct VideoFrame;

// Decodes the chosen video stream (hardware device first when allowed) and converts every
// picture to BGRA at its own size.
class VideoDecoder {
 public:
  VideoDecoder();
  ~VideoDecoder();
  VideoDecoder(const VideoDecoder&) = delete;
  VideoDecoder& operator=(const VideoDecoder&) = delete;

  bool open(const AVStream* stream, bool allowHardware);
  void close();
  void flush();
  bool sendPacket(const AVPacket* packet);
  // Fills `frame` with the next converted picture; false when none is ready.
  bool receiveFrame(VideoFrame& frame);
  // Seconds subtracted from every timestamp, so that the input's first frame is at 0.
  void setStartTime(double seconds) { startTime_ = seconds; }
  // While a seek decodes its way to the target: pictures before `seconds` are dropped
  // without being converted, and the ones no other picture refers to are not even decoded.
  // A negative time ends it.
  void setSkipBefore(double seconds) { skipBefore_ = seconds; }
  bool skipping() const { return skipBefore_ >= 0; }

  // The size pictures are shown at (any thread; 0 = their own). Larger pictures are scaled
  // down to it while they are converted, which costs less than converting them whole and
  // scaling them on screen, and they take less memory while they wait.
  void setShownSize(int width, int height) {
    shownWidth_.store(width);
    shownHeight_.store(height);
  }

  bool isOpen() const { return codecContext_ != nullptr; }
  bool usesHardware() const { return hardwareDevice_ != nullptr; }
  int width() const { return width_; }
  int height() const { return height_; }
  // How many times a scaler was (re)made since open; a size change costs exactly one.
  int scalerBuilds() const { return scalerBuilds_; }

 private:
  // The decoded picture's time in seconds from the input's start; false without one.
  bool framePts(double& seconds) const;

  AVCodecContext* codecContext_ = nullptr;
  AVFrame* decodedFrame_ = nullptr;
  AVFrame* transferFrame_ = nullptr;
  SwsContext* scaler_ = nullptr;
  AVBufferRef* hardwareDevice_ = nullptr;
  AVBufferPool* framePool_ = nullptr;  // BGRA buffers of framePoolBytes_ each
  size_t framePoolBytes_ = 0;
  int width_ = 0;
  int height_ = 0;
  int scalerWidth_ = 0;
  int scalerHeight_ = 0;
  int scalerFormat_ = -1;
  int scalerOutWidth_ = 0;
  int scalerOutHeight_ = 0;
  std::atomic<int> shownWidth_{0};
  std::atomic<int> shownHeight_{0};
  int scalerBuilds_ = 0;
  double startTime_ = 0;
  bool tooLargeLogged_ = false;
  double frameDuration_ = 0.04;  // from the stream's frame rate
  double lastPts_ = -1;          // of the previous picture; < 0 = none yet
  double skipBefore_ = -1;
};

}  // namespace vell
