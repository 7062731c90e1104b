// The sound sink: a ring the playback thread writes and a render thread drains into the device.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/AudioDevice.h"

namespace vell {

// The sound sink and master clock of the player. The playback thread writes interleaved
// float samples into a 30-second ring; a render thread keeps the device's 100 ms buffer
// topped up from it, applying volume, mute, an 80 ms fade-in after every start or resume
// and a soft gain that sinks while the ring runs dry. The frames handed to the device,
// over the sample rate, are the audio position.
class AudioOutput {
 public:
  static constexpr int kLevelHistorySize = 2048;
  static constexpr int kRingSeconds = 30;
  // Seconds of sound the ring holds from the next init (a video reads its sound only a
  // little ahead of the picture and needs no more than a few).
  std::atomic<int> ringSeconds{kRingSeconds};
  // Milliseconds between the render thread's top-ups of the device (at most a quarter of its
  // buffer). Sound alone can wait longer between them, with fewer wake-ups, than sound a
  // picture is timed by.
  std::atomic<int> renderPollMs{4};

  AudioOutput();
  ~AudioOutput();
  AudioOutput(const AudioOutput&) = delete;
  AudioOutput& operator=(const AudioOutput&) = delete;

  // Opens the default output. Read sampleRate() and channels() afterwards: the device's
  // own rate and channel count may replace the requested ones (more than two channels are
  // cut to stereo whenever the device takes stereo).
  bool init(int requestedSampleRate, int requestedChannels);
  void start();
  void pause();
  void resume();
  // Ends the render thread; a writer blocked in write() returns at once. The device stays open.
  void stop();
  void close();

  // Copies `frames` frames of `sourceChannels` interleaved samples into the ring, mapping
  // channels onto the output's. Blocking writes wait for room while running; non-blocking
  // writes keep what fits and drop the rest.
  void write(const float* samples, int frames, int sourceChannels);
  // Discards everything buffered, the device's own queue included, and restarts the
  // played-frames count.
  void flush();

  double playedSeconds() const;
  // Where the sound leaving the device is now, on the same scale as playedSeconds: the
  // frames the device has taken from its queue, less the period it is still playing, plus
  // the time that period has been playing. Continuous between the device's takes.
  double heardSeconds() const;
  // One RMS value per band over the last 2048 output frames, oldest band first.
  void getLevels(float* out, int bands) const;

  int sampleRate() const { return sampleRate_.load(); }
  int channels() const { return channels_.load(); }
  uint32_t bufferFrames() const { return bufferFrames_.load(); }
  // Samples waiting in the ring and the ring's size in samples (one slot always stays empty).
  size_t ringFill() const;
  size_t ringCapacity() const { return capacity_.load(); }
  bool isRunning() const { return running_.load(); }
  bool isPaused() const { return paused_.load(); }
  float underrunGain() const;
  // Sound already counted in framesPlayed but not yet heard: the device queue plus one
  // device period in flight, in seconds. The clock may subtract it for lip sync.
  double deviceLatencySeconds() const;

  // Test seam: makes the device report that it has been removed.
  void simulateDeviceLoss() { device_.simulateLoss(); }

  // Set by the player (atomic stores).
  std::atomic<float> volume{1.0f};
  std::atomic<bool> muted{false};
  std::atomic<float> prebufferSeconds{0.5f};
  std::atomic<bool> blockingWrite{true};
  // A ring the network starves fades the sound out instead of breaking it off, and the sound
  // comes back once the ring is full again. A local file's ring runs short only while the
  // machine is busy with pictures: its sound stays at full level (false).
  std::atomic<bool> cutGainWhenShort{true};
  // No more samples will come until the next flush or start: the ring running dry is then
  // the end of the sound, not a shortage.
  std::atomic<bool> endOfInput{false};
  // Read by the player; it clears deviceInvalidated when it rebuilds the output.
  std::atomic<uint64_t> framesPlayed{0};
  std::atomic<uint32_t> fadeStartTick{0};
  std::atomic<bool> rebuffering{false};
  std::atomic<bool> deviceInvalidated{false};

 private:
  // Render thread (AudioRenderLoop.cpp).
  void renderLoop();
  void startupFill(uint32_t threadStartTick);
  // Sleeps up to `ms` unless stop() wakes it; false once the output stops running.
  bool sleepWhileRunning(int ms);
  // Fills the device queue up to bufferFrames (deviceMutex_ held); true = log the low-buffer line.
  bool topUpLocked();
  // Prepares `available` frames in deviceBuffer_ from the held frames and the ring; the gain
  // moves `steps` times.
  bool renderChunk(int available, int steps);

  size_t fillLocked() const;
  void stopThread();

  AudioDevice device_;
  std::thread renderThread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> paused_{false};

  std::unique_ptr<float[]> ring_;
  std::atomic<size_t> capacity_{0};  // ring size in samples
  bool ringReady_ = false;            // under ringMutex_: init succeeded
  std::atomic<size_t> writeIndex_{0};
  std::atomic<size_t> readIndex_{0};
  mutable std::mutex ringMutex_;
  std::mutex writeMutex_;    // held by write() throughout and by init() for the ring (before ringMutex_)
  uint64_t flushCount_ = 0;  // under ringMutex_: flushes so far
  std::condition_variable spaceAvailable_;
  float underrunGain_ = 1.0f;  // under ringMutex_
  uint32_t lastLowLogTick_ = 0;  // under ringMutex_
  bool lowLogged_ = false;       // under ringMutex_
  // Filling after a start or flush is not a shortage: the ring counts as short only once it
  // has reached the low mark, or when the fill has taken too long (under ringMutex_).
  bool primed_ = false;
  uint32_t fillStartTick_ = 0;

  std::atomic<int> sampleRate_{48000};
  std::atomic<int> channels_{2};
  std::atomic<uint32_t> bufferFrames_{0};
  std::atomic<int> periodFrames_{0};

  // Everything the render thread hands to the device, and the pause/resume calls that
  // must not interleave with it, sit under deviceMutex_ (taken before ringMutex_).
  mutable std::mutex deviceMutex_;
  std::vector<float> deviceBuffer_;  // one 100 ms buffer, filled then queued
  std::vector<float> recent_;        // the last bufferFrames frames queued, at unity gain
  size_t recentPos_ = 0;             // frame slot of recent_ written next
  std::vector<float> held_;          // frames taken back from the device queue at pause
  size_t heldFrames_ = 0;
  size_t heldPos_ = 0;
  bool deviceStarted_ = false;       // the start-up fill is over and resume may unpause
  int queuedAfterTopUp_ = 0;         // the device queue as the last top-up left it
  uint64_t fadeFrames_ = 0;          // frames of sound since the last start or resume
  float lastGain_ = -1.0f;           // gain at the end of the previous buffer; < 0 = none
  std::condition_variable wake_;     // lets stop() cut the render thread's sleeps short
  // When the device last took frames from its queue (under deviceMutex_).
  mutable int64_t lastTaken_ = 0;
  mutable double lastTakeTime_ = 0;
  void noteDeviceTakeLocked(int queued) const;

  mutable std::mutex levelMutex_;
  float levelHistory_[kLevelHistorySize];
  int levelPos_ = 0;
};

}  // namespace vell
