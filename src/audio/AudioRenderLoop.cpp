// The audio render thread: fills the device from the ring with volume, fade-in and the underrun gain.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "audio/AudioOutput.h"
#include "platform/Clock.h"
#include "platform/Log.h"

namespace vell {
namespace {

constexpr double kFadeSeconds = 0.080;
constexpr float kUnderrunDecay = 0.92f;
constexpr float kUnderrunFloor = 0.01f;
constexpr float kUnderrunRecover = 0.045f;      // while the ring is between the marks
constexpr float kUnderrunRecoverFast = 0.15f;   // once a full second is buffered
constexpr uint32_t kLowLogIntervalMs = 2000;
constexpr double kLowMarkSeconds = 0.3;
// A ring this full is full again: below the second the player keeps ahead of a picture, so
// that a ring fed as usual always reaches it.
constexpr double kFullMarkSeconds = 0.75;
constexpr uint32_t kFillGraceMs = 1000;
constexpr int kRenderPollMs = 4;
constexpr int kStartupPollMs = 8;

}  // namespace

bool AudioOutput::sleepWhileRunning(int ms) {
  std::unique_lock<std::mutex> dev(deviceMutex_);
  wake_.wait_for(dev, std::chrono::milliseconds(ms), [this] { return !running_.load(); });
  return running_.load();
}

void AudioOutput::startupFill(uint32_t threadStartTick) {
  const double perSecond = static_cast<double>(sampleRate_.load()) * channels_.load();
  double prebuffer = prebufferSeconds.load();
  if (!(prebuffer > 0.0)) prebuffer = 0.0;
  const double target = std::min(prebuffer * perSecond, 8.0 * perSecond);
  const uint32_t softMs = static_cast<uint32_t>(std::clamp(prebuffer * 2000.0, 800.0, 5000.0));
  const uint32_t hardMs = std::min(2 * softMs, 10000u);
  const double minimumFill = std::max(std::floor(perSecond / 12.0), target / 4.0);

  while (running_.load()) {
    if (paused_.load()) break;
    double fill = static_cast<double>(ringFill());
    if (fill >= target) break;
    uint32_t elapsed = tickCount() - threadStartTick;
    if (elapsed > softMs && fill >= minimumFill) break;
    if (elapsed > hardMs) break;
    sleepWhileRunning(kStartupPollMs);
  }
  rebuffering.store(false);
}

void AudioOutput::renderLoop() {
  startupFill(tickCount());
  bool logLow = false;
  {
    // The first buffer goes in before the device starts, so it never opens on a gap.
    std::lock_guard<std::mutex> dev(deviceMutex_);
    deviceStarted_ = true;
    if (running_.load() && !paused_.load()) {
      logLow = topUpLocked();
      device_.resume();
    }
  }
  spaceAvailable_.notify_all();
  if (logLow) debugLog("Buffer low — rebuffering\n");

  const int quarterMs = std::max(1, static_cast<int>(bufferFrames_.load() * 250LL / std::max(1, sampleRate_.load())));
  const int pollMs = std::clamp(renderPollMs.load(), 1, std::max(kRenderPollMs, quarterMs));
  while (running_.load()) {
    std::unique_lock<std::mutex> dev(deviceMutex_);
    wake_.wait_for(dev, std::chrono::milliseconds(pollMs), [this] { return !running_.load(); });
    if (!running_.load()) break;
    if (device_.lost()) {
      dev.unlock();
      debugLog("Audio device invalidated\n");
      deviceInvalidated.store(true);
      return;  // running stays set until the owner closes and rebuilds the output
    }
    if (paused_.load()) continue;
    logLow = topUpLocked();
    dev.unlock();
    spaceAvailable_.notify_all();
    if (logLow) debugLog("Buffer low — rebuffering\n");
  }
}

bool AudioOutput::topUpLocked() {
  int queued = device_.queuedFrames();
  if (queued < 0) return false;
  noteDeviceTakeLocked(queued);
  const uint32_t bufferFrames = bufferFrames_.load();
  // The queue plays the role of the device buffer: never more than 100 ms ahead.
  if (static_cast<uint32_t>(queued) >= bufferFrames) return false;
  int available = static_cast<int>(bufferFrames) - queued;
  // The gain moves in steps of 10 ms of sound the device took since the last top-up, so that
  // it sinks and recovers at the same pace whatever the device's period.
  const int taken = std::max(0, queuedAfterTopUp_ - queued);
  const int steps = std::max(1, static_cast<int>(std::lround(taken * 100.0 / sampleRate_.load())));
  bool logLow = renderChunk(available, steps);
  device_.queue(deviceBuffer_.data(), available);
  queuedAfterTopUp_ = static_cast<int>(bufferFrames);
  return logLow;
}

bool AudioOutput::renderChunk(int available, int steps) {
  const size_t ch = static_cast<size_t>(channels_.load());
  const size_t avail = static_cast<size_t>(available);
  const double fadeFrames = kFadeSeconds * sampleRate_.load();
  const size_t recentFrames = recent_.size() / ch;
  float* out = deviceBuffer_.data();
  bool logLow = false;

  auto remember = [&](const float* frame) {
    if (frame) {
      std::memcpy(recent_.data() + recentPos_ * ch, frame, ch * sizeof(float));
    } else {
      std::fill_n(recent_.data() + recentPos_ * ch, ch, 0.0f);
    }
    if (++recentPos_ == recentFrames) recentPos_ = 0;
  };

  const size_t fromHeld = std::min(heldFrames_ - heldPos_, avail);

  std::lock_guard<std::mutex> lock(ringMutex_);
  const float base = muted.load() ? 0.0f : volume.load();
  const size_t cap = capacity_.load();
  const size_t fill = fillLocked();
  const double perSecond = static_cast<double>(sampleRate_.load()) * ch;
  const size_t frames = std::min(fill / ch, avail - fromHeld);

  // The gain follows the fill measured before this drain.
  const bool low = static_cast<double>(fill) < kLowMarkSeconds * perSecond;
  if (!low) primed_ = true;
  // A low ring is a shortage unless it is still filling after a start or flush, or the
  // input has ended and the ring is simply playing out.
  const bool shortage =
      low && !endOfInput.load() && (primed_ || tickCount() - fillStartTick_ >= kFillGraceMs);
  if (low) {
    if (cutGainWhenShort.load()) underrunGain_ *= std::pow(kUnderrunDecay, static_cast<float>(steps));
    if (underrunGain_ < kUnderrunFloor) underrunGain_ = 0.0f;
    if (shortage && !rebuffering.load()) {
      rebuffering.store(true);
      uint32_t now = tickCount();
      if (!lowLogged_ || now - lastLowLogTick_ >= kLowLogIntervalMs) {
        logLow = true;
        lowLogged_ = true;
        lastLowLogTick_ = now;
      }
    }
  } else if (static_cast<double>(fill) >= kFullMarkSeconds * perSecond) {
    underrunGain_ = std::min(1.0f, underrunGain_ + kUnderrunRecoverFast * static_cast<float>(steps));
    rebuffering.store(false);
  } else {
    for (int i = 0; i < steps && underrunGain_ < 0.5f; ++i) underrunGain_ += kUnderrunRecover;
  }

  // Gain changes glide across the buffer instead of stepping at its start; the fade-in
  // follows the frames themselves, so the first 80 ms of sound rise along sqrt(t / 80 ms).
  const float target = base * underrunGain_;
  const float from = lastGain_ < 0.0f ? target : lastGain_;
  const size_t sound = fromHeld + frames;
  auto gainAt = [&](size_t i) {
    double g = from + (target - from) * static_cast<double>(i + 1) / static_cast<double>(sound);
    double k = static_cast<double>(fadeFrames_ + i);
    if (k < fadeFrames) g *= std::sqrt(k / fadeFrames);
    return static_cast<float>(g);
  };

  for (size_t i = 0; i < fromHeld; ++i) {
    const float* frame = held_.data() + (heldPos_ + i) * ch;
    float g = gainAt(i);
    for (size_t k = 0; k < ch; ++k) out[i * ch + k] = frame[k] * g;
    remember(frame);
  }
  heldPos_ += fromHeld;
  if (heldPos_ == heldFrames_) heldPos_ = heldFrames_ = 0;

  size_t r = readIndex_.load();
  if (frames > 0) {
    std::lock_guard<std::mutex> levels(levelMutex_);
    for (size_t j = 0; j < frames; ++j) {
      const float* frame = ring_.get() + r;
      const size_t i = fromHeld + j;
      float g = gainAt(i);
      for (size_t k = 0; k < ch; ++k) out[i * ch + k] = frame[k] * g;
      // The meter shows the signal before volume, except when the output is all but silent.
      float mono = ch >= 2 ? (frame[0] + frame[1]) * 0.5f : frame[0];
      levelHistory_[levelPos_] = g > 0.01f ? mono : mono * g;
      if (++levelPos_ == kLevelHistorySize) levelPos_ = 0;
      remember(frame);
      r += ch;
      if (r >= cap) r = 0;
    }
  }
  std::fill(out + sound * ch, out + avail * ch, 0.0f);
  for (size_t i = sound; i < avail; ++i) remember(nullptr);

  readIndex_.store(r);
  framesPlayed.fetch_add(frames);
  fadeFrames_ += sound;
  lastGain_ = target;
  return logLow;
}

}  // namespace vell
