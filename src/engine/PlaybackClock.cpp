// The media clock's arithmetic; any thread, under its lock.
#include "engine/PlaybackClock.h"

#include "platform/Clock.h"

namespace vell {

PlaybackClock::PlaybackClock() { reset(); }

double PlaybackClock::read() const {
  std::lock_guard<std::mutex> lock(lock_);
  if (paused_) return basePosition_;
  return basePosition_ + (monotonicSeconds() - baseTime_) * rate_;
}

void PlaybackClock::set(double position) {
  std::lock_guard<std::mutex> lock(lock_);
  basePosition_ = position;
  baseTime_ = monotonicSeconds();
}

void PlaybackClock::stopClock() {
  std::lock_guard<std::mutex> lock(lock_);
  if (!paused_) basePosition_ += (monotonicSeconds() - baseTime_) * rate_;
  paused_ = true;
}

void PlaybackClock::startClock() {
  std::lock_guard<std::mutex> lock(lock_);
  if (paused_) baseTime_ = monotonicSeconds();
  paused_ = false;
}

void PlaybackClock::reset() {
  std::lock_guard<std::mutex> lock(lock_);
  basePosition_ = 0;
  rate_ = 1;
  speed_ = 1;
  trim_ = 0;
  baseTime_ = monotonicSeconds();
  paused_ = true;
}

void PlaybackClock::setSpeed(double speed) {
  std::lock_guard<std::mutex> lock(lock_);
  double now = monotonicSeconds();
  if (!paused_) basePosition_ += (now - baseTime_) * rate_;
  baseTime_ = now;
  speed_ = speed;
  rate_ = speed * (1 + trim_);
}

void PlaybackClock::setTrim(double trim) {
  std::lock_guard<std::mutex> lock(lock_);
  double now = monotonicSeconds();
  if (!paused_) basePosition_ += (now - baseTime_) * rate_;
  baseTime_ = now;
  trim_ = trim;
  rate_ = speed_ * (1 + trim_);
}

double PlaybackClock::trim() const {
  std::lock_guard<std::mutex> lock(lock_);
  return trim_;
}

double PlaybackClock::speed() const {
  std::lock_guard<std::mutex> lock(lock_);
  return speed_;
}

bool PlaybackClock::isPaused() const {
  std::lock_guard<std::mutex> lock(lock_);
  return paused_;
}

}  // namespace vell
