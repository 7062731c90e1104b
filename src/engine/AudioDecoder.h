// The audio decoder and resampler the playback thread feeds.
#pragma once
#include <cstdint>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwrContext;

namespace vell {

struct AudioChunk;

// Decodes the chosen audio stream and resamples it to interleaved float at the output's
// rate and channel count. Playback speed is applied by resampling to rate / speed, so
// speed changes pitch. Not thread-safe: one thread at a time (the Player serialises).
class AudioDecoder {
 public:
  AudioDecoder();
  ~AudioDecoder();
  AudioDecoder(const AudioDecoder&) = delete;
  AudioDecoder& operator=(const AudioDecoder&) = delete;

  bool open(const AVStream* stream, int outputRate, int outputChannels);
  void close();
  void flush();
  bool sendPacket(const AVPacket* packet);
  bool receive(AudioChunk& chunk);
  void setSpeed(double speed);
  // Seconds subtracted from every timestamp, so that the input's first sound is at 0.
  void setStartTime(double seconds) { startTime_ = seconds; }

  bool isOpen() const { return codecContext_ != nullptr; }
  double speed() const { return speed_; }
  int outputRate() const { return outputRate_; }
  int outputChannels() const { return outputChannels_; }
  // The rate the resampler converts to (output rate / speed, clamped to 8000..192000).
  int resamplerRate() const { return resamplerRate_; }
  int resamplerBuilds() const { return resamplerBuilds_; }

 private:
  // Builds for the layout, rate and format of `frame`, or of the codec context when null.
  bool buildResampler(const AVFrame* frame = nullptr);

  AVCodecContext* codecContext_ = nullptr;
  SwrContext* resampler_ = nullptr;
  AVFrame* decodedFrame_ = nullptr;
  int outputRate_ = 48000;
  int outputChannels_ = 2;
  double speed_ = 1.0;
  int resamplerRate_ = 0;
  int resamplerBuilds_ = 0;
  double startTime_ = 0;
  // The input format the resampler was built for: a stream may switch mid-way.
  int inputRate_ = 0;
  int inputFormat_ = -1;
  int inputChannels_ = 0;
  uint64_t inputMask_ = 0;
};

}  // namespace vell
