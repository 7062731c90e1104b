// The Player's window-thread tick: the due picture, the clock kept on the heard sound, a lost device back.
#include <algorithm>
#include <cmath>

#include "engine/Player.h"
#include "platform/AudioDevice.h"
#include "platform/Clock.h"
#include "platform/Log.h"

namespace vell {

namespace {

// Pause before the next attempt to open the sound again, after `failures` failed ones.
uint32_t audioRetryDelayMs(int failures) {
  static const uint32_t kDelays[] = {250, 500, 1000};
  return failures <= 3 ? kDelays[std::max(failures, 1) - 1] : 2000;
}

}  // namespace

bool Player::takeFrame(VideoFrame& slot) {
  std::unique_ptr<VideoFrame> shown;
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    if (preparedConverter_) takeConverter_ = std::move(preparedConverter_);
    if (frameQueue_.empty()) return false;
    double target = lastSeekTarget_.load();
    if (state_.load() == Playing && tickCount() - lastSeekTick_.load() < kSeekSettleMs && target > 0.1) {
      while (!frameQueue_.empty() && frameQueue_.front()->pts < target - kSeekSlack) frameQueue_.pop_front();
      if (frameQueue_.empty()) return false;
    }
    double t = pictureClock();
    double k = std::max(clock_.speed(), 1.0);
    while (frameQueue_.size() >= 2 && frameQueue_.front()->pts < t - 0.15 * k) {
      frameQueue_.pop_front();
      ++droppedFrames_;
    }
    while (!frameQueue_.empty() && frameQueue_.front()->pts <= t + 0.016 * k) {
      if (shown) ++droppedFrames_;
      shown = std::move(frameQueue_.front());
      frameQueue_.pop_front();
    }
  }
  if (!shown) return false;
  queueSpace_.notify_one();
  ++shownFrames_;
  if (!shown->picture && shown->hasPixels()) {  // the first picture, converted on the playback thread
    slot = std::move(*shown);
    return true;
  }
  // Converted outside the lock, into the buffer of the picture it replaces.
  return takeConverter_->convertInto(*shown, slot, shownWidth_.load(), shownHeight_.load());
}

void Player::syncTick() {
  if ((audio_.deviceInvalidated.load() || audioLost_.load()) && state_.load() == Playing) {
    if (!audioLost_.exchange(true)) {
      audioAttempts_ = 0;
      nextAudioAttempt_ = tickCount();
      if (!isLive_.load()) {
        // Hold the position where the sound stopped; the medium goes on from there.
        double p = clock_.read();
        clock_.stopClock();
        clock_.set(p);
      }
    }
    if (static_cast<int32_t>(tickCount() - nextAudioAttempt_) >= 0) recoverAudioDevice();
    return;
  }
  uint32_t d = tickCount() - lastSeekTick_.load();
  if (d < 500) return;  // a seek is settling
  if (d > 800 && positionHold_.load() >= 0) positionHold_.store(-1);

  // Once the last sound has left the ring the picture may still run on (a longer video, an
  // offset): the clock then runs free instead of being held at the end of the sound.
  if (audio_.endOfInput.load() && audio_.ringFill() == 0) return;
  std::lock_guard<std::mutex> lock(audioStartLock_);
  if (!audioStartKnown_) return;
  // The sound the listener hears now, not merely the frames handed to the device.
  double played = audio_.heardSeconds() * clock_.speed();
  if (clock_.isPaused()) {
    if (played > 0.005) {
      clock_.set(played + audioStartPosition_);
      clock_.startClock();
    }
    return;
  }
  if (played < 0.08) return;
  double a = played + audioStartPosition_;
  double c = clock_.read();
  if (d >= 2000 && std::fabs(a - c) <= 0.05) {
    // Integral term: learns the device's rate against the system clock, so the proportional
    // nudges only handle jitter. Real hardware is off by a few per mille; a device timed by
    // sleeps (a null or file output, a remote session) can run several per cent slow, and a
    // term held at the band's edge would leave the picture that far ahead of the sound. Larger
    // errors are events (a starved ring, a stalled device), not a rate, and are not learned.
    double trim = std::clamp(clock_.trim() + (a - c) * 0.05, -0.1, 0.1);
    clock_.setTrim(trim);
  }
  if (auto target = clockCorrection(a, c, d)) clock_.set(*target);
}

std::optional<double> Player::clockCorrection(double a, double c, uint32_t msSinceSeek) {
  double e = a - c;
  if (std::fabs(e) > 0.5) return a;  // too far off to glide: snap
  if (msSinceSeek < 2000 && std::fabs(e) > 0.02) return c + e * 0.04;
  if (msSinceSeek >= 2000 && std::fabs(e) > 0.004) return c + e * 0.06;  // jitter smaller than this stays
  return std::nullopt;
}

void Player::recoverAudioDevice() {
  std::lock_guard<std::recursive_mutex> life(lifecycleLock_);
  if (!audioLost_.load()) return;  // closed meanwhile
  if (audioAttempts_ == 0) debugLog("Recovering from audio device change...\n");
  audio_.deviceInvalidated.store(false);
  audio_.close();
  // A sound server that was restarted is only reached through a new connection.
  if (!restartAudioSystem() || !audio_.init(48000, 2)) {
    audio_.close();
    ++audioAttempts_;
    if (audioAttempts_ == 1) debugLog("Audio recovery failed, retrying while the medium is open\n");
    nextAudioAttempt_ = tickCount() + audioRetryDelayMs(audioAttempts_);
    return;
  }
  if (audioAttempts_ > 0) debugLog("Audio back after %d failed attempts\n", audioAttempts_);
  audioLost_.store(false);
  if (source_.hasAudio()) audioReopenPending_.store(true);  // done by the playback thread
  bool live = isLive_.load();
  bool podcast = podcastRequest_.load();
  audio_.prebufferSeconds.store(live ? 0.3f : podcast ? 0.4f : 0.2f);
  audio_.blockingWrite.store(!live);
  audio_.start();
  continueFrom(clock_.read());
}

}  // namespace vell
