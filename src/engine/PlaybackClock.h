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
  double speed() const;
  bool isPaused() const;

 private:
  mutable std::mutex lock_;
  double basePosition_ = 0;
  double baseTime_ = 0;
  double rate_ = 1;
  double speed_ = 1;
  bool paused_ = true;
};

}  // namespace vell
