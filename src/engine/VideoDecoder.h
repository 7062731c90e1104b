// The video decoder the playback thread feeds, hardware device first.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/FrameConverter.h"
#include "engine/VideoFrame.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct AVBufferRef;

namespace vell {

struct VideoFrame;

// Decodes the chosen video stream (hardware device first when allowed); pictures come out as
// they were decoded (in main memory) or converted to BGRA at their own size.
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
  // A packet's time in seconds from the input's start, as its picture's; false without one.
  bool packetTime(const AVPacket* packet, double& seconds) const;
  // Fills `frame` with the next decoded picture (`frame.picture`, no pixels yet); false when
  // none is ready. Pictures too large to show are refused here, before any conversion.
  bool receivePicture(VideoFrame& frame);
  // The same, converted to BGRA at the picture's own size.
  bool receiveFrame(VideoFrame& frame);
  // Seconds subtracted from every timestamp, so that the input's first frame is at 0.
  void setStartTime(double seconds) { startTime_ = seconds; }
  // While a seek decodes its way to the target: pictures before `seconds` are dropped
  // without being converted, and the ones no other picture refers to are not even decoded.
  // A negative time ends it.
  void setSkipBefore(double seconds) { skipBefore_ = seconds; }
  bool skipping() const { return skipBefore_ >= 0; }
  // Pictures that fall behind: the ones no other picture refers to are not decoded and the
  // rest skip their loop filter (a little blockier, until the next key frame, instead of a
  // picture frozen while the decoder catches up).
  void setHurry(bool on) { hurry_ = on; }
  // Pictures left out in a hurry since the last call, told by the gaps in the times.
  int takeSkippedPictures();

  bool isOpen() const { return codecContext_ != nullptr; }
  bool usesHardware() const { return hardwareDevice_ != nullptr; }
  // Whether the first picture came in the device's memory (false without a device).
  bool decodedOnDevice() const { return decodedOnDevice_; }
  int width() const { return width_; }
  int height() const { return height_; }
  std::string codecName() const;  // the decoder's name ("h264", "libdav1d"); empty when closed
  // How many times a scaler was (re)made since open; a size change costs exactly one.
  int scalerBuilds() const { return converter_.scalerBuilds(); }

 private:
  // The decoded picture's time in seconds from the input's start; false without one.
  bool framePts(double& seconds) const;
  // The first picture of a medium through a decoder of its own, without the delay of frame
  // threads and reordering (several pictures' worth): the window shows it while the main
  // decoder fills its pipeline, whose copy of it is then dropped.
  void openQuickStart(const AVStream* stream);
  void quickStart(const AVPacket* packet);
  void dropQuickStart();

  AVCodecContext* codecContext_ = nullptr;
  AVFrame* decodedFrame_ = nullptr;
  AVCodecContext* quickContext_ = nullptr;  // until the first packet
  AVFrame* quickFrame_ = nullptr;           // the first picture, until it is taken
  int64_t quickTimestamp_ = 0;              // its timestamp: the main decoder's copy is dropped
  bool quickGiven_ = false;
  AVBufferRef* hardwareDevice_ = nullptr;
  int hardwareType_ = 0;        // the device's AVHWDeviceType
  bool checkHardware_ = false;  // the first picture tells whether the device decodes
  bool decodedOnDevice_ = false;
  FrameConverter converter_;
  int width_ = 0;
  int height_ = 0;
  PictureGeometry geometry_;  // the stream's; a picture's own aspect ratio overrides it
  double startTime_ = 0;
  bool tooLargeLogged_ = false;
  double frameDuration_ = 0.04;  // from the stream's frame rate
  double lastPts_ = -1;          // of the previous picture; < 0 = none yet
  double skipBefore_ = -1;
  bool hurry_ = false;
  int skippedPictures_ = 0;
};

}  // namespace vell
