// The audio output's owner side: device set-up, start/pause/stop, ring writes, clock readings, levels.
#include "audio/AudioOutput.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/Clock.h"
#include "platform/Log.h"

namespace vell {

AudioOutput::AudioOutput() { std::fill(std::begin(levelHistory_), std::end(levelHistory_), 0.0f); }

AudioOutput::~AudioOutput() { close(); }

bool AudioOutput::init(int requestedSampleRate, int requestedChannels) {
  close();
  {
    // Until this succeeds the ring does not match the format: writers must keep out.
    std::lock_guard<std::mutex> lock(ringMutex_);
    ringReady_ = false;
  }
  deviceInvalidated.store(false);
  sampleRate_.store(requestedSampleRate);
  channels_.store(requestedChannels);
  if (requestedSampleRate < 1 || requestedChannels < 1) return false;

  std::lock_guard<std::mutex> dev(deviceMutex_);
  // First learn the device's own format, then settle on stereo when it has more channels.
  AudioFormat format;
  if (!device_.open(requestedSampleRate, requestedChannels, true, format)) return false;
  if (format.channels > 2) {
    AudioFormat stereo;
    int deviceChannels = format.channels;
    if (device_.open(format.sampleRate, 2, false, stereo)) {
      format = stereo;
    } else if (!device_.open(format.sampleRate, deviceChannels, false, format)) {
      return false;
    }
  }
  const int rate = format.sampleRate;
  const int ch = format.channels;
  // 100 ms, and never less than two device periods: the device may take two in a row.
  const uint32_t bufferFrames = static_cast<uint32_t>(std::max({1, rate / 10, 2 * format.periodFrames + rate / 50}));
  sampleRate_.store(rate);
  channels_.store(ch);
  bufferFrames_.store(bufferFrames);
  periodFrames_.store(format.periodFrames);

  deviceBuffer_.assign(static_cast<size_t>(bufferFrames) * ch, 0.0f);
  recent_.assign(static_cast<size_t>(bufferFrames) * ch, 0.0f);
  held_.assign(static_cast<size_t>(bufferFrames) * ch * 2, 0.0f);
  recentPos_ = 0;
  heldFrames_ = heldPos_ = 0;
  deviceStarted_ = false;
  queuedAfterTopUp_ = 0;
  {
    // close() has sent any writer home; none may be copying into a ring about to change.
    std::lock_guard<std::mutex> writer(writeMutex_);
    std::lock_guard<std::mutex> lock(ringMutex_);
    // Left uninitialised: only written slots are ever read, and untouched pages cost
    // nothing until the ring first fills, which keeps opening a medium quick.
    size_t capacity = static_cast<size_t>(rate) * ch * std::clamp(ringSeconds.load(), 1, kRingSeconds);
    if (capacity != capacity_.load()) {
      ring_.reset();
      capacity_.store(0);
      ring_.reset(new (std::nothrow) float[capacity]);
      if (!ring_) {
        device_.close();
        return false;
      }
      capacity_.store(capacity);
    }
    writeIndex_.store(0);
    readIndex_.store(0);
    ++flushCount_;
    framesPlayed.store(0);
    underrunGain_ = 1.0f;
    rebuffering.store(false);
    ringReady_ = true;
  }
  debugLog("AudioOutput: %dHz %dch, %s buf=%u frames, ring=%.1fs\n", rate, ch, audioDriverName().c_str(), bufferFrames,
           static_cast<double>(capacity_.load()) / (static_cast<double>(rate) * ch));
  return true;
}

void AudioOutput::start() {
  if (!device_.isOpen() || running_.load()) return;
  if (renderThread_.joinable()) renderThread_.join();
  framesPlayed.store(0);
  running_.store(true);
  paused_.store(false);
  fadeStartTick.store(tickCount());
  {
    std::lock_guard<std::mutex> dev(deviceMutex_);
    fadeFrames_ = 0;
    lastGain_ = -1.0f;
    deviceStarted_ = false;
  }
  endOfInput.store(false);
  {
    std::lock_guard<std::mutex> lock(ringMutex_);
    underrunGain_ = 1.0f;
    primed_ = false;
    fillStartTick_ = tickCount();
  }
  // The start-up fill counts from here, not from whenever its thread first runs.
  rebuffering.store(true);
  renderThread_ = std::thread([this] { renderLoop(); });
}

void AudioOutput::pause() {
  paused_.store(true);
  std::lock_guard<std::mutex> dev(deviceMutex_);
  device_.pause();
  // Whatever still waits in the device queue would otherwise play at full level before the
  // fade-in on resume; take it back and hand it out again after the resume.
  int queued = device_.queuedFrames();
  if (queued <= 0 || recent_.empty()) return;
  device_.clearQueue();
  queuedAfterTopUp_ = 0;
  const size_t ch = static_cast<size_t>(channels_.load());
  const size_t recentFrames = recent_.size() / ch;
  const size_t heldCapacity = held_.size() / ch;
  size_t back = std::min(static_cast<size_t>(queued), recentFrames);
  size_t remaining = heldFrames_ - heldPos_;
  if (back + remaining > heldCapacity) remaining = heldCapacity - back;
  std::memmove(held_.data() + back * ch, held_.data() + heldPos_ * ch, remaining * ch * sizeof(float));
  size_t from = (recentPos_ + recentFrames - back) % recentFrames;
  for (size_t i = 0; i < back; ++i) {
    std::memcpy(held_.data() + i * ch, recent_.data() + ((from + i) % recentFrames) * ch, ch * sizeof(float));
  }
  heldPos_ = 0;
  heldFrames_ = back + remaining;
}

void AudioOutput::resume() {
  std::lock_guard<std::mutex> dev(deviceMutex_);
  // The fade restarts before the render thread may hand out the first frame again.
  fadeStartTick.store(tickCount());
  fadeFrames_ = 0;
  lastGain_ = -1.0f;
  paused_.store(false);
  if (running_.load() && deviceStarted_) device_.resume();
}

void AudioOutput::stopThread() {
  running_.store(false);
  {
    // Taking each lock once makes sure no waiter is between its check and its wait.
    std::lock_guard<std::mutex> lock(ringMutex_);
  }
  spaceAvailable_.notify_all();
  {
    std::lock_guard<std::mutex> dev(deviceMutex_);
  }
  wake_.notify_all();
  if (renderThread_.joinable() && renderThread_.get_id() != std::this_thread::get_id()) renderThread_.join();
}

void AudioOutput::stop() {
  stopThread();
  std::lock_guard<std::mutex> dev(deviceMutex_);
  device_.pause();
  // A later start begins with its own fade; nothing stale may play before it.
  device_.clearQueue();
  queuedAfterTopUp_ = 0;
  heldFrames_ = heldPos_ = 0;
  deviceStarted_ = false;
}

void AudioOutput::close() {
  stop();
  std::lock_guard<std::mutex> dev(deviceMutex_);
  device_.close();
}

size_t AudioOutput::fillLocked() const {
  size_t cap = capacity_.load();
  if (cap == 0) return 0;
  return (writeIndex_.load() + cap - readIndex_.load()) % cap;
}

size_t AudioOutput::ringFill() const {
  size_t cap = capacity_.load();
  if (cap == 0) return 0;
  size_t r = readIndex_.load();
  size_t w = writeIndex_.load();
  return (w + cap - r) % cap;
}

void AudioOutput::write(const float* samples, int frames, int sourceChannels) {
  if (!samples || frames < 1 || sourceChannels < 1) return;
  // One writer at a time, and the ring stays where it is while it copies.
  std::lock_guard<std::mutex> writer(writeMutex_);
  std::unique_lock<std::mutex> lock(ringMutex_);
  if (!ringReady_) return;
  const size_t ch = static_cast<size_t>(channels_.load());
  const size_t src = static_cast<size_t>(sourceChannels);
  const size_t cap = capacity_.load();
  const size_t ringFrames = (cap - 1) / ch;  // whole frames the ring can ever hold
  const bool blocking = blockingWrite.load();
  size_t left = static_cast<size_t>(frames);

  while (left > 0) {
    if (blocking) {
      // A write larger than the whole ring goes in ring-sized pieces instead of waiting forever.
      size_t wanted = std::min(left, ringFrames) * ch;
      while (running_.load()) {
        if (paused_.load()) {
          spaceAvailable_.wait_for(lock, std::chrono::milliseconds(50));
        } else if (cap - fillLocked() - 1 >= wanted) {
          break;
        } else {
          spaceAvailable_.wait_for(lock, std::chrono::milliseconds(20));
        }
      }
      if (!running_.load()) return;
    }
    // Whole frames only, so that the channels never shift.
    size_t fit = std::min((cap - fillLocked() - 1) / ch, left);
    if (fit == 0) return;
    size_t w = writeIndex_.load();
    const uint64_t flushes = flushCount_;
    // The copy runs outside the lock: the render thread never reads past writeIndex_, and the
    // first pass over fresh ring pages may fault them in slowly on a busy machine, which must
    // not hold up the sound already buffered.
    lock.unlock();
    if (src == ch) {
      size_t n = fit * ch;
      size_t first = std::min(n, cap - w);
      std::memcpy(ring_.get() + w, samples, first * sizeof(float));
      if (n > first) std::memcpy(ring_.get(), samples + first, (n - first) * sizeof(float));
      w = (w + n) % cap;
    } else {
      // Extra source channels are dropped; fewer are repeated (mono goes to every channel).
      for (size_t f = 0; f < fit; ++f) {
        const float* in = samples + f * src;
        float* out = ring_.get() + w;
        for (size_t k = 0; k < ch; ++k) out[k] = in[src > ch ? k : k % src];
        w += ch;
        if (w >= cap) w = 0;
      }
    }
    lock.lock();
    // A flush meanwhile made these samples stale: they are left unpublished.
    if (flushCount_ == flushes) writeIndex_.store(w);
    samples += fit * src;
    left -= fit;
    if (!blocking) break;
  }
}

void AudioOutput::flush() {
  std::lock_guard<std::mutex> dev(deviceMutex_);
  heldFrames_ = heldPos_ = 0;
  // What the device still queues is as stale as the ring: after a seek or a speed change it
  // would play 100 ms of the old sound.
  device_.clearQueue();
  queuedAfterTopUp_ = 0;
  endOfInput.store(false);
  {
    std::lock_guard<std::mutex> lock(ringMutex_);
    readIndex_.store(writeIndex_.load());
    ++flushCount_;
    framesPlayed.store(0);
    underrunGain_ = 1.0f;
    rebuffering.store(false);
    primed_ = false;
    fillStartTick_ = tickCount();
  }
  spaceAvailable_.notify_all();
}

double AudioOutput::playedSeconds() const {
  int rate = sampleRate_.load();
  return rate > 0 ? static_cast<double>(framesPlayed.load()) / rate : 0.0;
}

void AudioOutput::noteDeviceTakeLocked(int queued) const {
  int64_t taken = static_cast<int64_t>(framesPlayed.load()) - queued;
  if (taken != lastTaken_) {
    // Growing: the device took a period just now. Shrinking: a flush or padded silence.
    lastTaken_ = taken;
    lastTakeTime_ = monotonicSeconds();
  }
}

double AudioOutput::heardSeconds() const {
  int rate = sampleRate_.load();
  if (rate <= 0) return 0.0;
  std::lock_guard<std::mutex> dev(deviceMutex_);
  int queued = device_.queuedFrames();
  if (queued < 0) return 0.0;
  noteDeviceTakeLocked(queued);
  double period = static_cast<double>(periodFrames_.load()) / rate;
  double playing = std::clamp(monotonicSeconds() - lastTakeTime_, 0.0, period);
  return std::max(0.0, static_cast<double>(lastTaken_) / rate - period + playing);
}

float AudioOutput::underrunGain() const {
  std::lock_guard<std::mutex> lock(ringMutex_);
  return underrunGain_;
}

double AudioOutput::deviceLatencySeconds() const {
  int rate = sampleRate_.load();
  std::lock_guard<std::mutex> dev(deviceMutex_);
  int queued = device_.queuedFrames();
  if (rate <= 0 || queued < 0) return 0.0;
  return static_cast<double>(queued + periodFrames_.load()) / rate;
}

void AudioOutput::getLevels(float* out, int bands) const {
  if (!out || bands < 1) return;
  const int n = kLevelHistorySize / bands;
  std::lock_guard<std::mutex> lock(levelMutex_);
  for (int b = 0; b < bands; ++b) {
    if (n < 1) {
      out[b] = 0.0f;
      continue;
    }
    double sum = 0.0;
    int pos = (levelPos_ + b * n) % kLevelHistorySize;
    for (int i = 0; i < n; ++i) {
      double v = levelHistory_[pos];
      sum += v * v;
      if (++pos == kLevelHistorySize) pos = 0;
    }
    out[b] = static_cast<float>(std::sqrt(sum / n));
  }
}

}  // namespace vell
