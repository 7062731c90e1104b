// The media clock: a base position running at the playback speed; any thread, under its lock.
#pragma once
#include <mutex>

namespace vell {

// Media time = base position + (now - base time) x rate, unless paused.
// The rate equals the user's playback speed.
class PlaybackClock {
 public:
  PlaybackClock();

  double read() const;
  void set(double position);   // paused state unchanged
  void stopClock();            // freezes the current reading
  void startClock();           // runs on from the frozen reading
  void reset();                // 0, rate 1, paused
  // Changes the rate without a jump in the reading.
  void setSpeed(double speed);
  // A sound device runs by its own crystal, a little faster or slower than the system
  // clock: the rate is the speed times (1 + trim), so the clock keeps pace with the device
  // instead of drifting away between corrections. Kept across speed changes.
  void setTrim(double trim);
  double trim() const;
  double speed() const;
  bool isPaused() const;

 private:
  mutable std::mutex lock_;
  double basePosition_ = 0;
  double baseTime_ = 0;
  double rate_ = 1;
  double speed_ = 1;
  double trim_ = 0;
  bool paused_ = true;
};

}  // namespace vell
