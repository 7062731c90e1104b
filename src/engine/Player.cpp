// The Player's life cycle: open, play, pause, stop, close, seek and speed; window and connection threads.
#include "engine/Player.h"

#include <algorithm>
#include <cmath>

#include "platform/AudioDevice.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/Text.h"

namespace vell {

Player::Player() {
  subtitles_.clock = [this] { return position(); };
}

Player::~Player() {
  close();
  // The callbacks go last, after the members they might have reached.
}

std::string Player::url() const {
  std::lock_guard<std::mutex> lock(urlLock_);
  return url_;
}

size_t Player::queuedFrames() const {
  std::lock_guard<std::mutex> lock(queueLock_);
  return frameQueue_.size();
}

void Player::setState(int state) {
  // Caller holds stateLock_.
  state_.store(state);
  if (onStateChanged) onStateChanged();
}

bool Player::openFile(const std::string& path) {
  std::lock_guard<std::recursive_mutex> life(lifecycleLock_);
  close();
  if (!source_.openLocal(path)) return false;
  audio_.cutGainWhenShort.store(false);
  std::string title = source_.info().title;
  if (!openDecodersAndOutput(false, false, title.empty() ? displayName(path) : title)) return false;
  openSubtitles();
  resetForNewMedium();
  if (onOpened) onOpened();
  return true;
}

bool Player::openUrl(const std::string& url, bool podcastRequest, const std::atomic<bool>* cancel,
                     const std::string& title, const std::string& audioUrl) {
  std::lock_guard<std::recursive_mutex> life(lifecycleLock_);
  close();
  if (!source_.open(url, podcastRequest, cancel, audioUrl)) return false;
  audio_.cutGainWhenShort.store(true);
  {
    std::lock_guard<std::mutex> lock(urlLock_);
    url_ = url;
    audioUrl_ = audioUrl;
  }
  podcastRequest_.store(podcastRequest);
  bool live = !podcastRequest && source_.duration() <= 0;
  isLive_.store(live);
  MediaInfo info = source_.info();
  std::string name = !title.empty() ? title : !info.stationName.empty() ? info.stationName : info.title;
  if (!openDecodersAndOutput(true, live, name.empty() ? displayName(url) : name)) return false;
  openSubtitles();
  resetForNewMedium();
  if (onOpened) onOpened();
  return true;
}

bool Player::openDecodersAndOutput(bool logLines, bool live, const std::string& title) {
  const double start = source_.info().startTime;
  convertFirstPicture_ = source_.hasVideo();
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    preparedConverter_.reset();
  }
  if (source_.hasVideo()) {
    // A medium whose picture cannot be decoded still plays its sound.
    if (!videoDecoder_.open(source_.videoStreamParameters(), true))
      videoDecoder_.open(source_.videoStreamParameters(), false);
    videoDecoder_.setStartTime(start);
    if (logLines)
      debugLog("Video: %s %dx%d\n", videoDecoder_.codecName().c_str(), videoDecoder_.width(), videoDecoder_.height());
  }
  if (source_.hasAudio()) {
    describeAudioStream(title, source_.hasVideo());
    audio_.ringSeconds.store(source_.hasVideo() ? 4 : AudioOutput::kRingSeconds);
    audio_.renderPollMs.store(source_.hasVideo() ? 4 : 20);
    if (!audio_.init(48000, 2)) {
      if (logLines) debugLog("AudioOutput::init FAILED\n");
      return false;
    }
    if (logLines) {
      MediaInfo info = source_.info();
      debugLog("Audio: src=%dHz/%dch -> out=%dHz/%dch\n", info.sampleRate, info.channels, audio_.sampleRate(),
               audio_.channels());
    }
    if (!audioDecoder_.open(source_.audioStreamParameters(), audio_.sampleRate(), audio_.channels())) {
      if (logLines) debugLog("AudioDecoder::open FAILED\n");
      return false;
    }
    audioDecoder_.setStartTime(start);
  }
  // A video's sound starts once the first pictures are decoded too, so that they are on time.
  audio_.prebufferSeconds.store(live ? 0.3f : source_.hasVideo() ? 0.5f : 0.2f);
  audio_.blockingWrite.store(!live);
  return true;
}

void Player::openSubtitles() {
  MediaInfo info = source_.info();
  std::vector<SubtitleSetup> setups = source_.subtitleSetups();
  std::shared_ptr<const FontFiles> fonts = setups.empty() ? nullptr : source_.attachedFonts();
  subtitles_.open(std::move(setups), std::move(fonts), info.width, info.height, info.startTime);
  const int first = defaultSubtitleStream(info.subtitleStreams);
  subtitles_.select(first >= 0 ? info.subtitleStreams[static_cast<size_t>(first)].stream : -1);
}

bool Player::selectSubtitleStream(int stream) {
  if (stream >= 0 && !subtitles_.takes(stream)) return false;
  subtitles_.select(stream);
  return true;
}

int Player::queueDepth() const {
  const bool large =
      source_.hasVideo() && static_cast<int64_t>(videoDecoder_.width()) * videoDecoder_.height() > 1920 * 1088;
  return large ? kQueuedLargeFrames : kQueuedFrames;
}

void Player::resetForNewMedium() {
  clock_.reset();
  positionHold_.store(-1);
  lastSeekTarget_.store(0);
  seekRequest_.store(-1);
  lastSeekTick_.store(0);
  pendingSpeed_.store(-1);
  pendingAudioStream_.store(-1);
  audioReopenPending_.store(false);
  rewindOnPlay_.store(false);
  audioLost_.store(false);
  maxQueuedFrames_.store(queueDepth());
  droppedFrames_.store(0);
  shownFrames_.store(0);
  std::lock_guard<std::mutex> lock(audioStartLock_);
  audioStartPosition_ = 0;
  audioStartKnown_ = false;
  audioStartAfterSeek_ = false;
  audioStartFrom_ = -1;
}

void Player::startThread() {
  stopping_.store(false);
  running_.store(true);
  thread_ = std::thread([this] { playbackThread(); });
}

void Player::joinThread() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void Player::play() {
  std::lock_guard<std::recursive_mutex> life(lifecycleLock_);
  bool restart = false;
  {
    std::lock_guard<std::mutex> lock(stateLock_);
    int s = state_.load();
    if (s == Stopped || (s == Playing && !running_.load())) {
      // From stopped, or again after the input played to its end.
      restart = true;
    } else if (s == Paused) {
      // Without a device a medium that waits for it stays where the sound stopped.
      if (!audioLost_.load() || isLive_.load()) clock_.startClock();
      audio_.resume();
      setState(Playing);
      return;
    } else {
      setState(Playing);
      return;
    }
  }
  if (!restart) return;
  if (!source_.hasVideo() && !source_.hasAudio()) {
    std::lock_guard<std::mutex> lock(stateLock_);
    setState(state_.load());
    return;
  }
  joinThread();  // a thread that ended by itself
  std::lock_guard<std::mutex> lock(stateLock_);
  // A medium that was stopped or ran out starts again from its beginning; the input is
  // rewound by a seek so that picture, sound and clock agree.
  if (rewindOnPlay_.exchange(false) && !isLive_.load() && seekRequest_.load() < 0) seekRequest_.store(0.0);
  clock_.set(0);
  if (!source_.hasAudio()) clock_.startClock();
  audio_.start();
  startThread();
  setState(Playing);
}

void Player::pause() {
  std::lock_guard<std::recursive_mutex> life(lifecycleLock_);
  std::lock_guard<std::mutex> lock(stateLock_);
  if (state_.load() != Playing) return;
  double p = clock_.read();
  clock_.stopClock();
  clock_.set(p);
  audio_.pause();
  setState(Paused);
}

void Player::togglePause() {
  std::lock_guard<std::recursive_mutex> life(lifecycleLock_);
  int s = state_.load();
  if (s == Stopped && !source_.hasVideo() && !source_.hasAudio()) return;
  if (s == Playing && running_.load())
    pause();
  else
    play();
}

void Player::stop() {
  std::lock_guard<std::recursive_mutex> life(lifecycleLock_);
  // A read blocked on a silent server would hold the window for the whole read time-out:
  // break it, and let later reads block again once the thread is gone.
  bool wasRunning = thread_.joinable();
  stopping_.store(true);
  running_.store(false);
  if (wasRunning) source_.requestAbort();
  audio_.stop();
  joinThread();
  if (wasRunning) source_.clearAbort();
  clock_.stopClock();
  clock_.set(0);
  positionHold_.store(-1);
  rewindOnPlay_.store(true);
  std::lock_guard<std::mutex> lock(stateLock_);
  setState(Stopped);
}

void Player::close() {
  // A blocked network read returns at once, even while another thread holds the player.
  source_.requestAbort();
  std::lock_guard<std::recursive_mutex> life(lifecycleLock_);
  source_.requestAbort();
  stopping_.store(true);
  running_.store(false);
  audio_.stop();
  joinThread();
  clock_.stopClock();
  clock_.set(0);
  positionHold_.store(-1);
  {
    std::lock_guard<std::mutex> lock(stateLock_);
    setState(Stopped);
  }
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    frameQueue_.clear();
  }
  audio_.close();
  subtitles_.close();
  videoDecoder_.close();
  audioDecoder_.close();
  source_.close();
  clock_.reset();
  positionHold_.store(-1);
  {
    std::lock_guard<std::mutex> lock(urlLock_);
    url_.clear();
    audioUrl_.clear();
  }
  podcastRequest_.store(false);
  isLive_.store(false);
  reconnecting_.store(false);
  audioLost_.store(false);  // nothing left to bring the sound back for
  std::lock_guard<std::mutex> lock(stateLock_);
  state_.store(Stopped);
}

void Player::seekTo(double t) {
  double d = source_.duration();
  seekRequest_.store(d >= t ? std::max(t, 0.0) : d);
  queueSpace_.notify_all();  // a decoder waiting for room goes to the seek at once
  // A seek after the end plays on from the new position.
  if (ended()) play();
}

void Player::seekBy(double delta) {
  uint32_t now = tickCount();
  double base = seekRequest_.load();
  if (base < 0) {
    double hold = positionHold_.load();
    base = (hold >= 0 && now - positionHoldTick_.load() < 2000) ? hold : clock_.read();
  }
  double t = base + delta;
  double d = source_.duration();
  double target = d >= t ? std::max(t, 0.0) : d;
  seekRequest_.store(target);
  queueSpace_.notify_all();
  positionHold_.store(target);
  positionHoldTick_.store(now);
  if (ended()) play();
}

double Player::position() const {
  double hold = positionHold_.load();
  double p = (hold >= 0 && tickCount() - positionHoldTick_.load() < 600) ? hold : clock_.read();
  // A finite medium never reads past its end.
  double d = source_.duration();
  return d > 0 ? std::min(p, d) : p;
}

double Player::destination() const {
  const double pending = seekRequest_.load();
  return pending >= 0 ? pending : position();
}

void Player::setSpeed(double speed) {
  std::lock_guard<std::recursive_mutex> life(lifecycleLock_);
  speed = std::clamp(speed, 0.1, 4.0);
  double heard = clock_.read();
  clock_.setSpeed(speed);
  // The playback thread rebuilds its resampler before the next audio packet.
  pendingSpeed_.store(speed);
  maxQueuedFrames_.store(std::min(48, static_cast<int>(std::max(speed, 1.0) * queueDepth())));
  continueFrom(heard);
}

void Player::continueFrom(double heard) {
  // The ring holds up to 30 s decoded at the old speed or for the old device. Dropping it
  // and taking the next chunk's time would jump the position that far ahead: a seekable
  // medium is read again from the heard position instead; a live one goes on from it. (A
  // stopped or ended medium has nothing buffered worth keeping.)
  double d = source_.duration();
  if (!isLive_.load() && d > 0 && running_.load()) {
    double expected = -1;
    seekRequest_.compare_exchange_strong(expected, std::clamp(heard, 0.0, d));  // a pending seek moves anyway
  } else {
    audio_.flush();
  }
  std::lock_guard<std::mutex> lock(audioStartLock_);
  audioStartKnown_ = false;
  audioStartFrom_ = std::max(heard, 0.0);
}

int Player::currentAudioTrack() const {
  int stream = pendingAudioStream_.load();
  if (stream < 0) stream = source_.audioStreamIndex();
  std::vector<AudioTrack> tracks = audioTracks();
  for (size_t i = 0; i < tracks.size(); ++i)
    if (tracks[i].stream == stream) return static_cast<int>(i);
  return -1;
}

bool Player::selectAudioTrack(int index) {
  std::lock_guard<std::recursive_mutex> life(lifecycleLock_);
  std::vector<AudioTrack> tracks = audioTracks();
  if (index < 0 || index >= static_cast<int>(tracks.size())) return false;
  if (index == currentAudioTrack()) return true;
  const int stream = tracks[index].stream;
  if (running_.load()) {
    pendingAudioStream_.store(stream);
    queueSpace_.notify_all();  // a reader waiting for room makes the change at once
    return true;
  }
  // No playback thread: the next play starts with the new stream (from the top or a seek).
  joinThread();
  pendingAudioStream_.store(-1);
  if (!source_.selectAudioStream(stream)) return false;
  return openAudioDecoder();
}

void Player::setVolume(float volume) { audio_.volume.store(std::clamp(volume, 0.0f, 1.0f)); }

void Player::setMuted(bool muted) { audio_.muted.store(muted); }

void Player::adjustSyncOffset(int stepMs) {
  int cur = syncOffsetMs_.load();
  while (!syncOffsetMs_.compare_exchange_weak(cur, std::clamp(cur + stepMs, -5000, 5000))) {
  }
}

void Player::setSyncOffset(int ms) { syncOffsetMs_.store(std::clamp(ms, -5000, 5000)); }

}  // namespace vell
