// The Player's playback thread: reads the input, decodes, queues pictures, fills the sound ring, reconnects.
#include <algorithm>
#include <chrono>
#include <deque>

extern "C" {
#include <libavcodec/packet.h>
#include <libavutil/avutil.h>
}

#include "engine/AudioChunk.h"
#include "engine/Player.h"
#include "platform/Clock.h"
#include "platform/Log.h"

namespace vell {

namespace {

constexpr int kAudioEndRetries = 80;
// Picture packets read ahead while the picture queue is full: while the sound has less than
// this much ahead, and never more packets than this.
constexpr double kSoundAheadSeconds = 1.0;
constexpr size_t kMaxWaitingPackets = 300;
// Pictures wait while the sound has less than this ahead (a video's sound starts with more).
constexpr double kSoundFirstSeconds = 0.3;
// A waiting picture this far behind the clock can no longer be caught up with.
constexpr double kPictureBehindSeconds = 1.0;
// Behind by more than this, pictures are decoded in a hurry (without the pictures nothing
// refers to, and without the loop filter) until they are within the second figure again.
constexpr double kHurryBehindSeconds = 0.25;
constexpr double kHurryDoneSeconds = 0.05;

}  // namespace

void Player::playbackThread() {
  AVPacket* packet = av_packet_alloc();
  LiveReconnect live;
  live.maxFailures = reconnectLimit;
  bool audioSeen = false;
  bool videoDrained = false;  // the decoder's delayed pictures were taken at the end
  int videoIndex = source_.videoStreamIndex();
  int audioIndex = source_.audioStreamIndex();

  // Picture packets read while the picture queue is full. Sound lies between them in the
  // input: reading on keeps the sound ahead of the listener without decoding pictures early.
  std::deque<AVPacket*> waiting;
  auto dropWaiting = [&] {
    for (AVPacket* p : waiting) av_packet_free(&p);
    waiting.clear();
  };
  bool inputEnded = false;
  auto soundAhead = [&](double seconds) {
    double perSecond = static_cast<double>(audio_.sampleRate()) * audio_.channels();
    return static_cast<double>(audio_.ringFill()) >= seconds * perSecond;
  };
  // Pictures wait while the sound is short: a late picture is dropped, while sound that runs
  // dry slows the clock and everything with it. Not the ones a seek decodes its way through
  // (they are never shown, and the sound before the target is dropped anyway).
  auto room = [&] {
    if (audioIndex >= 0 && !inputEnded && !audioLost_.load() && waiting.size() < kMaxWaitingPackets &&
        !videoDecoder_.skipping() && !soundAhead(kSoundFirstSeconds))
      return false;
    return queuedFrames() < static_cast<size_t>(maxQueuedFrames_.load());
  };
  auto feedWaiting = [&] {
    while (!waiting.empty() && running_.load() && seekRequest_.load() < 0 && room()) {
      AVPacket* p = waiting.front();
      waiting.pop_front();
      decodeVideo(p);
      av_packet_free(&p);
    }
  };
  // The window takes pictures as they fall due; a seek, stop or close is noticed within a
  // few milliseconds.
  auto waitForRoom = [&] {
    std::unique_lock<std::mutex> lock(queueLock_);
    if (running_.load() && seekRequest_.load() < 0 && frameQueue_.size() >= static_cast<size_t>(maxQueuedFrames_.load()))
      queueSpace_.wait_for(lock, std::chrono::milliseconds(10));
  };
  auto mayReadOn = [&] {
    if (waiting.empty()) return true;
    if (waiting.size() >= kMaxWaitingPackets || audioIndex < 0 || inputEnded) return false;
    return !soundAhead(kSoundAheadSeconds);
  };
  // When the machine cannot decode the pictures in time, they give way, never the sound: the
  // waiting pictures that are far behind the clock are dropped with every one up to the next
  // key frame, where decoding picks up again. Otherwise the waiting pictures would fill up and
  // stop the reading, and with it the sound.
  bool toKeyFrame = false;
  auto dropPicturesBehind = [&] {
    double at = 0;
    if (waiting.empty() || videoDecoder_.skipping() || clock_.isPaused() ||
        !videoDecoder_.packetTime(waiting.front(), at))
      return;
    const double behind = pictureClock() - at;
    if (behind > kHurryBehindSeconds) videoDecoder_.setHurry(true);
    if (behind < kPictureBehindSeconds) return;
    droppedFrames_ += waiting.size();
    dropWaiting();
    videoDecoder_.flush();
    toKeyFrame = true;
  };

  while (running_.load()) {
    if (int stream = pendingAudioStream_.exchange(-1); stream >= 0 && stream != audioIndex) {
      switchAudioStream(stream, seekRequest_.load() >= 0);
      audioIndex = source_.audioStreamIndex();
    }
    // The request stays until the clock is on its target, so that destination() never reads
    // the old position in between; one that came meanwhile stays for the next turn.
    double target = seekRequest_.load();
    if (target >= 0) {
      dropWaiting();
      toKeyFrame = false;
      inputEnded = false;
      executeSeek(target);
      seekRequest_.compare_exchange_strong(target, -1);
      live.endRetryCount = 0;
      videoDrained = false;
    }
    dropPicturesBehind();
    feedWaiting();
    if (!mayReadOn()) {
      waitForRoom();
      continue;
    }

    int r = source_.readPacket(packet);
    if (r == 1) {
      inputEnded = false;  // a live stream goes on after a reconnection
      live.packetRead();
      reconnecting_.store(false);
      if (packet->stream_index == videoIndex && videoIndex >= 0) {
        if (toKeyFrame && !(packet->flags & AV_PKT_FLAG_KEY)) {
          ++droppedFrames_;
          av_packet_unref(packet);
          continue;
        }
        toKeyFrame = false;
        if (rereadingVideo_) {
          // Read again after an audio switch went back: those up to the last one are had.
          bool byPos = packet->pos >= 0 && lastVideoPos_ >= 0;
          bool byDts = packet->dts != AV_NOPTS_VALUE && lastVideoDts_ != AV_NOPTS_VALUE;
          bool had = byPos ? packet->pos <= lastVideoPos_ : byDts && packet->dts <= lastVideoDts_;
          if (had) {
            av_packet_unref(packet);
            continue;
          }
          rereadingVideo_ = false;
        }
        lastVideoPos_ = packet->pos;
        lastVideoDts_ = packet->dts;
        if (waiting.empty() && room()) {
          decodeVideo(packet);
        } else {
          AVPacket* later = av_packet_alloc();
          if (later) {
            av_packet_move_ref(later, packet);
            waiting.push_back(later);
          }
        }
      } else if (packet->stream_index == audioIndex && audioIndex >= 0) {
        decodeAudio(packet);
        audioSeen = true;
      } else if (subtitles_.takes(packet->stream_index)) {
        subtitles_.push(packet);
      }
      av_packet_unref(packet);
      continue;
    }

    if (r < 0) {
      bool gaveUp = handleReadError(live);
      audioIndex = source_.audioStreamIndex();  // a reconnect may renumber the streams
      videoIndex = source_.videoStreamIndex();
      if (!gaveUp) continue;
    }

    // End of input, or a stop or close broke the read: only the first is an end.
    if (!running_.load() || stopping_.load()) break;
    inputEnded = true;
    if (!waiting.empty()) {  // the last pictures are still to be decoded
      waitForRoom();
      continue;
    }
    if (!isLive_.load()) audio_.endOfInput.store(true);  // what the ring holds is the last sound
    if (videoIndex >= 0) {
      if (!videoDrained) {
        // The decoder still holds the last pictures (frame threading delays them).
        videoDrained = true;
        decodeVideo(nullptr);
      }
      sleepMs(50);
      bool pictureShown = false;
      {
        std::lock_guard<std::mutex> lock(queueLock_);
        pictureShown = frameQueue_.empty();
      }
      if (!pictureShown || seekRequest_.load() >= 0) continue;
      // Sound that outlasts the picture still plays to its end.
      if (audioSeen && !playOutAudio()) continue;
      finishAtEnd();
      continue;
    }
    if (isLive_.load()) {
      handleLiveEnd(live);
      audioIndex = source_.audioStreamIndex();
      videoIndex = source_.videoStreamIndex();
      continue;
    }
    if (!audioSeen && live.endRetryCount < kAudioEndRetries) {
      sleepMs(100);
      ++live.endRetryCount;
      continue;
    }
    if (audioSeen && !playOutAudio()) continue;  // a seek arrived while the tail played
    finishAtEnd();
  }
  dropWaiting();
  av_packet_free(&packet);
}

void Player::finishAtEnd() {
  // A stop or close that came first wins: what they broke off is not an end.
  bool expected = true;
  if (stopping_.load() || !running_.compare_exchange_strong(expected, false)) return;
  rewindOnPlay_.store(true);
  // The clock halts at the end instead of running on past it.
  double p = clock_.read();
  double d = source_.duration();
  clock_.stopClock();
  clock_.set(d > 0 ? std::min(p, d) : p);
  if (onEnded) onEnded();
}

void Player::executeSeek(double target) {
  source_.seek(target);  // a failed seek still moves the clock and the drop rules
  audioSwitching_ = false;
  rereadingVideo_ = false;
  lastVideoPos_ = -1;
  lastVideoDts_ = AV_NOPTS_VALUE;
  videoDecoder_.flush();
  videoDecoder_.setHurry(false);
  videoDecoder_.setSkipBefore(target > 0.1 ? target - kSeekSlack : -1);
  audioDecoder_.flush();
  audio_.flush();
  subtitles_.seeked();
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    frameQueue_.clear();
  }
  clock_.set(target);
  lastSeekTarget_.store(target);
  lastSeekTick_.store(tickCount());
  seekPicturePending_ = true;
  std::lock_guard<std::mutex> lock(audioStartLock_);
  audioStartKnown_ = false;
  audioStartAfterSeek_ = true;
  audioStartFrom_ = target;
}

void Player::decodeVideo(AVPacket* packet) {
  videoDecoder_.sendPacket(packet);
  VideoFrame frame;
  while (videoDecoder_.receivePicture(frame)) {
    videoDecoder_.setSkipBefore(-1);  // the target is reached: every picture from here is shown
    droppedFrames_ += videoDecoder_.takeSkippedPictures();
    if (!clock_.isPaused()) {
      const double behind = pictureClock() - frame.pts;
      if (behind > kHurryBehindSeconds) videoDecoder_.setHurry(true);
      if (behind < kHurryDoneSeconds) videoDecoder_.setHurry(false);
    }
    double target = lastSeekTarget_.load();
    if (tickCount() - lastSeekTick_.load() < kSeekSettleMs && target > 0.1 && frame.pts < target - kSeekSlack) {
      frame.releasePixels();
      continue;
    }
    std::unique_ptr<FrameConverter> prepared = convertFirstPicture_ ? convertFirstPicture(frame) : nullptr;
    auto record = std::make_unique<VideoFrame>(std::move(frame));
    {
      std::lock_guard<std::mutex> lock(queueLock_);
      frameQueue_.push_back(std::move(record));
      if (prepared) preparedConverter_ = std::move(prepared);
    }
    if (seekPicturePending_) {
      seekPicturePending_ = false;
      if (onSeekPicture) onSeekPicture();
    }
  }
}

std::unique_ptr<FrameConverter> Player::convertFirstPicture(VideoFrame& frame) {
  convertFirstPicture_ = false;
  const int width = shownWidth_.load(), height = shownHeight_.load();
  if (width < 1 || height < 1) return nullptr;  // the size is not known yet: the window thread converts
  auto converter = std::make_unique<FrameConverter>();
  VideoFrame converted;
  if (!converter->convertInto(frame, converted, width, height)) return nullptr;
  frame = std::move(converted);
  return converter;
}

bool Player::openAudioDecoder() {
  audioDecoder_.close();
  if (!audioDecoder_.open(source_.audioStreamParameters(), audio_.sampleRate(), audio_.channels())) return false;
  audioDecoder_.setStartTime(source_.info().startTime);
  audioDecoder_.setSpeed(clock_.speed());
  return true;
}

void Player::switchAudioStream(int stream, bool seekFollows) {
  if (!source_.selectAudioStream(stream)) return;
  openAudioDecoder();
  if (seekFollows) return;  // the seek starts the new stream at its target
  // The ring holds the old stream's sound ahead of the listener, and the input has been read
  // that far: the new stream is read again from where the listener is. A live stream cannot
  // go back; its new sound starts with the next packets.
  audio_.flush();
  audioSwitching_ = true;
  {
    std::lock_guard<std::mutex> lock(audioStartLock_);
    audioStartKnown_ = false;
  }
  if (isLive_.load() || source_.duration() <= 0) return;
  double heard = std::max(clock_.read() - 0.1, 0.0);  // the key frame before it has the packets needed
  if (source_.seek(heard)) rereadingVideo_ = lastVideoPos_ >= 0 || lastVideoDts_ != AV_NOPTS_VALUE;
}

void Player::applyPendingAudioChanges() {
  if (audioReopenPending_.exchange(false)) {
    // The device came back with its own format: resample for it, at the current speed.
    openAudioDecoder();
  }
  double speed = pendingSpeed_.exchange(-1);
  if (speed > 0) audioDecoder_.setSpeed(speed);
}

void Player::decodeAudio(AVPacket* packet) {
  // A medium that can wait for a lost device does, instead of decoding its sound into nothing.
  while (audioLost_.load() && !isLive_.load() && running_.load() && seekRequest_.load() < 0) sleepMs(10);
  applyPendingAudioChanges();
  audioDecoder_.sendPacket(packet);
  AudioChunk chunk;
  while (audioDecoder_.receive(chunk)) {
    if (chunk.samples.empty()) continue;
    double target = lastSeekTarget_.load();
    if (target > 0.5 && chunk.pts > 0 && chunk.pts < target - kSeekSlack) continue;
    if (audioSwitching_ && !startSwitchedSound(chunk)) continue;
    audio_.write(chunk.samples.data(), static_cast<int>(chunk.samples.size() / chunk.channels), chunk.channels);
    std::lock_guard<std::mutex> lock(audioStartLock_);
    if (!audioStartKnown_) {
      // After a seek the sound starts at the target; after a speed change or a new device
      // where the listener was; otherwise at the chunk's own time.
      if (audioStartAfterSeek_ && target > 0.1)
        audioStartPosition_ = target;
      else
        audioStartPosition_ = audioStartFrom_ >= 0 ? audioStartFrom_ : std::max(chunk.pts, 0.0);
      audioStartKnown_ = true;
      audioStartAfterSeek_ = false;
      audioStartFrom_ = -1;
    }
  }
}

bool Player::startSwitchedSound(AudioChunk& chunk) {
  // The new stream's first sound goes to the device at the position the listener will be at
  // when it is heard: what lies before is dropped, a gap up to it is silence. The clock runs
  // on meanwhile and the sound takes it over from there.
  const double speed = clock_.speed();
  const double rate = chunk.sampleRate > 0 ? chunk.sampleRate : audio_.sampleRate();
  const size_t ch = static_cast<size_t>(std::max(chunk.channels, 1));
  const size_t frames = chunk.samples.size() / ch;
  double at = clock_.read() + audio_.deviceLatencySeconds() * speed;
  if (chunk.pts + frames * speed / rate <= at) return false;
  long long skip = std::llround((at - chunk.pts) * rate / speed);
  if (skip > 0) {
    chunk.samples.erase(chunk.samples.begin(), chunk.samples.begin() + static_cast<std::ptrdiff_t>(skip * ch));
  } else if (skip >= -static_cast<long long>(rate)) {
    chunk.samples.insert(chunk.samples.begin(), static_cast<size_t>(-skip) * ch, 0.0f);
  } else {
    at = chunk.pts;  // far ahead (a live stream read on): the sound takes the clock there
  }
  audioSwitching_ = false;
  std::lock_guard<std::mutex> lock(audioStartLock_);
  audioStartPosition_ = at;
  audioStartKnown_ = true;
  audioStartAfterSeek_ = false;
  audioStartFrom_ = -1;
  return !chunk.samples.empty();
}

// Lets the device play what the ring still holds before the end is reported. The ring can
// be far ahead of the sound (it holds up to 30 s), so a fixed pause would cut the tail off.
// False when a seek arrived meanwhile: playback goes on from there.
bool Player::playOutAudio() {
  uint32_t start = tickCount();
  const double latency = 0.15;  // the device's own buffer after the ring is empty
  uint32_t emptySince = 0;
  audio_.endOfInput.store(true);  // the ring running dry now is the end, not a shortage
  while (running_.load()) {
    if (seekRequest_.load() >= 0 || pendingAudioStream_.load() >= 0) return false;
    if (audioLost_.load()) {  // the tail plays once the device is back
      emptySince = 0;
      sleepMs(10);
      continue;
    }
    uint32_t now = tickCount();
    if (audio_.ringFill() == 0 || !audio_.isRunning()) {
      if (emptySince == 0) emptySince = now;
      if (now - emptySince >= latency * 1000 && now - start >= 500) break;
    } else {
      emptySince = 0;
    }
    // Far from the end a check now and then will do.
    const double perSecond = static_cast<double>(audio_.sampleRate()) * audio_.channels();
    sleepMs(static_cast<double>(audio_.ringFill()) > perSecond ? 25 : 10);
  }
  return true;
}

void Player::pauseBetweenAttempts(int ms) {
  if (reconnectSleep) {
    reconnectSleep(ms);
    return;
  }
  // Sleep in small steps so that a stop does not wait for the whole back-off.
  for (int waited = 0; waited < ms && running_.load(); waited += 10) sleepMs(std::min(10, ms - waited));
}

bool Player::reconnect() {
  std::string address, audioAddress;
  {
    std::lock_guard<std::mutex> lock(urlLock_);
    address = url_;
    audioAddress = audioUrl_;
  }
  if (address.empty()) return false;
  source_.close();
  audioDecoder_.close();
  if (!source_.open(address, podcastRequest_.load(), &stopping_, audioAddress)) return false;
  if (!source_.hasAudio()) return false;
  if (!audioDecoder_.open(source_.audioStreamParameters(), audio_.sampleRate(), audio_.channels())) return false;
  audioDecoder_.setStartTime(source_.info().startTime);
  audioDecoder_.setSpeed(clock_.speed());
  return true;
}

bool Player::handleReadError(LiveReconnect& live) {
  bool liveInput = isLive_.load();
  if (live.readError(tickCount(), liveInput)) {
    debugLog("Live stream errors - forcing reconnect\n");
    reconnecting_.store(true);
    if (int pause = live.reopenPauseMs(tickCount()); pause > 0) pauseBetweenAttempts(pause);
    if (reconnect()) {
      reconnecting_.store(false);
      live.reconnected(tickCount());
    } else {
      ++live.failureCount;
      pauseBetweenAttempts(LiveReconnect::errorBackoffMs(live.failureCount));
    }
    return false;
  }
  if (!liveInput && live.finiteInputGaveUp()) return true;
  sleepMs(20);
  return false;
}

void Player::handleLiveEnd(LiveReconnect& live) {
  debugLog("Live stream EOF - reconnecting...\n");
  reconnecting_.store(true);
  if (int pause = live.reopenPauseMs(tickCount()); pause > 0)
    pauseBetweenAttempts(pause);
  else
    sleepMs(50);
  if (live.failureCount < live.maxFailures && running_.load()) {
    if (reconnect()) {
      debugLog("Live stream reconnected\n");
      reconnecting_.store(false);
      live.reconnected(tickCount());
    } else {
      ++live.failureCount;
      pauseBetweenAttempts(LiveReconnect::endBackoffMs(live.failureCount));
    }
    return;
  }
  reconnecting_.store(false);  // given up: no longer reconnecting
  finishAtEnd();
}

}  // namespace vell
