// The playback engine's one object: its public face and the state its threads share.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "audio/AudioOutput.h"
#include "engine/AudioDecoder.h"
#include "engine/FrameConverter.h"
#include "engine/LiveReconnect.h"
#include "engine/MediaSource.h"
#include "engine/PlaybackClock.h"
#include "engine/SubtitleWorker.h"
#include "engine/VideoDecoder.h"
#include "engine/VideoFrame.h"

struct AVPacket;

namespace vell {

struct AudioChunk;

// The playback engine: one input, its decoders and the audio output, the playback thread
// that feeds them, and the clock that decides which video frame is due. The window drives
// it, takes the due frame on every repaint and calls syncTick, which keeps the clock on the
// sound the device has really played.
class Player {
 public:
  enum State { Stopped = 0, Playing = 1, Paused = 2 };
  // Decoded pictures waiting to be shown at normal speed: enough to ride out a slow one,
  // few enough to keep their memory small. Above 1080p a picture is 12 MB and more: three.
  static constexpr int kQueuedFrames = 5;
  static constexpr int kQueuedLargeFrames = 3;

  Player();
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // Installed once by the application before anything opens.
  std::function<void()> onOpened;        // end of every successful open
  std::function<void()> onEnded;         // playback thread: the input played to its end
  std::function<void()> onStateChanged;  // inside the state lock
  std::function<void()> onSeekPicture;   // playback thread: the first picture after a seek is queued

  bool openFile(const std::string& path);
  // Starts opening a local file ahead of its openFile (see MediaSource::prepareLocal).
  void prepareFile(const std::string& path) { source_.prepareLocal(path); }
  // `cancel`, when given, aborts the open as soon as it turns true. `title` names the sound
  // in the desktop's sound settings (else the station's own name, or the URL's). `audioUrl`:
  // a separate stream the sound comes from (see MediaSource::open).
  bool openUrl(const std::string& url, bool podcastRequest, const std::atomic<bool>* cancel = nullptr,
               const std::string& title = "", const std::string& audioUrl = "");
  void close();

  void play();
  void pause();
  void togglePause();
  void stop();

  void seekTo(double seconds);
  void seekBy(double deltaSeconds);
  double position() const;
  // Where playback is headed: a seek's target until the playback thread has made it, else position().
  double destination() const;
  double duration() const { return source_.duration(); }

  void setSpeed(double speed);
  double speed() const { return clock_.speed(); }
  void setVolume(float volume);
  float volume() const { return audio_.volume.load(); }
  void setMuted(bool muted);
  bool muted() const { return audio_.muted.load(); }
  void adjustSyncOffset(int stepMs);
  void setSyncOffset(int ms);
  int syncOffsetMs() const { return syncOffsetMs_.load(); }

  // Window thread, once per repaint while playing: converts the newest due picture into
  // `slot`, at the size set by setShownSize.
  bool takeFrame(VideoFrame& slot);
  // Window thread, once per repaint while playing: clock correction and device recovery.
  void syncTick();
  // Window thread: the size pictures are shown at (0 = their own). Larger ones are scaled
  // down to it as they are converted, which costs less than converting them whole and
  // scaling them on screen.
  void setShownSize(int width, int height) {
    shownWidth_ = width;
    shownHeight_ = height;
  }

  // The input's audio streams and the one chosen (an index into them; -1 without sound).
  std::vector<AudioTrack> audioTracks() const { return source_.info().audioTracks; }
  int currentAudioTrack() const;
  // Any thread: plays another of audioTracks() from the position heard now, in sync and
  // without a seek of the picture; the playback thread makes the change. Choosing the
  // current track does nothing. Before play (or after the end) it applies at once.
  bool selectAudioTrack(int index);

  // The input's chapters; null when it has none.
  ChapterList chapters() const { return source_.chapters(); }
  // The input's subtitle streams and the one shown (its stream index; -1 for none). The one
  // marked default or forced shows first, else a Korean one, else none.
  std::vector<SubtitleStream> subtitleStreams() const { return source_.info().subtitleStreams; }
  int currentSubtitleStream() const { return subtitles_.selected(); }
  // Any thread: shows another of subtitleStreams() (by stream index; -1 for none), from the
  // line due now; decoded on the subtitle thread.
  bool selectSubtitleStream(int stream);
  // Any thread: shows a whole ASS script (a file beside the film) instead of any stream, until
  // a stream is chosen or the medium closes.
  void showSubtitleScript(std::string script) { subtitles_.loadScript(std::move(script)); }
  bool subtitleScriptShown() const { return subtitles_.scriptShown(); }
  // Window thread: the size the picture is shown at in pixels (0 while subtitles are not drawn),
  // and the user's subtitle delay; libass draws for them.
  void setSubtitleArea(int width, int height) { subtitles_.setArea(width, height); }
  void setSubtitleDelay(double seconds) { subtitles_.setDelay(seconds); }
  // What the chosen stream or script shows at `t` (the position plus the delay).
  SubtitleFrame subtitleFrameAt(double t) const { return subtitles_.frameAt(t); }
  const SubtitleWorker& subtitleWorker() const { return subtitles_; }

  int state() const { return state_.load(); }
  bool isLive() const { return isLive_.load(); }
  bool podcastRequest() const { return podcastRequest_.load(); }
  bool reconnecting() const { return reconnecting_.load(); }
  std::string url() const;
  bool hasVideo() const { return source_.hasVideo(); }
  bool hasAudio() const { return source_.hasAudio(); }
  // True once the input played to its end (never after a stop or close) and the playback
  // thread has finished.
  bool ended() const { return state_.load() == Playing && !running_.load(); }
  int maxQueuedFrames() const { return maxQueuedFrames_.load(); }
  size_t queuedFrames() const;
  // Decoded pictures that were never shown because a later one was already due.
  uint64_t droppedFrames() const { return droppedFrames_.load(); }
  // Pictures handed to the window since the medium was opened.
  uint64_t shownFrames() const { return shownFrames_.load(); }

  MediaSource& source() { return source_; }
  const MediaSource& source() const { return source_; }
  AudioOutput& audioOutput() { return audio_; }
  const AudioOutput& audioOutput() const { return audio_; }

  // Where the clock should go, given the audio position `a`, the clock reading `c` and the
  // time since the last seek; empty when it is close enough to leave alone.
  static std::optional<double> clockCorrection(double a, double c, uint32_t msSinceSeek);

  // Test seams: how the playback thread waits between reconnection attempts, and after how
  // many failed attempts in a row a live stream is given up.
  std::function<void(int ms)> reconnectSleep = nullptr;
  int reconnectLimit = LiveReconnect::kMaxFailures;

 private:
  bool openDecodersAndOutput(bool logLines, bool live, const std::string& title);
  // The subtitle thread gets the new medium's streams and fonts; the first stream is chosen.
  void openSubtitles();
  void resetForNewMedium();
  int queueDepth() const;  // pictures waiting at normal speed, for this medium's picture size
  // The time the picture due now has: the clock less the user's picture offset.
  double pictureClock() const { return clock_.read() - syncOffsetMs_.load() * 0.001; }
  void startThread();
  void joinThread();
  void setState(int state);
  // After the sound buffered ahead was dropped (speed change, new device): go on from `heard`.
  void continueFrom(double heard);

  // Pictures before a seek's target (less the slack) are dropped for this long after it: the
  // demuxer lands on the key frame before the target.
  static constexpr uint32_t kSeekSettleMs = 2000;
  static constexpr double kSeekSlack = 0.05;

  // Playback thread (PlaybackLoop.cpp).
  void playbackThread();
  void executeSeek(double target);
  void decodeVideo(AVPacket* packet);
  // The first picture at the shown size, with the converter that made it (null: left to the
  // window thread).
  std::unique_ptr<FrameConverter> convertFirstPicture(VideoFrame& frame);
  void decodeAudio(AVPacket* packet);
  void applyPendingAudioChanges();
  // Opens the decoder for the chosen stream at the output's format and the current speed.
  bool openAudioDecoder();
  // The switch to another audio stream: the demuxer goes back to the heard position for the
  // new stream's packets, skipping the picture packets it had already read.
  void switchAudioStream(int stream, bool seekFollows);
  // The first chunk of the new stream after a switch, cut or led in with silence to start
  // where the listener is; false when it all lies before that.
  bool startSwitchedSound(AudioChunk& chunk);
  // True when the input should be treated as ended.
  bool handleReadError(LiveReconnect& live);
  void handleLiveEnd(LiveReconnect& live);
  bool playOutAudio();
  // Stops the thread at a real end of input and reports it; nothing when stop or close came first.
  void finishAtEnd();
  bool reconnect();
  void pauseBetweenAttempts(int ms);

  // Window thread (PlayerTick.cpp, with takeFrame and syncTick): opens the sound again after
  // the device went away; on failure the next attempt follows after a back-off, for as long
  // as the medium is open.
  void recoverAudioDevice();

  MediaSource source_;
  SubtitleWorker subtitles_;
  VideoDecoder videoDecoder_;
  AudioDecoder audioDecoder_;
  AudioOutput audio_;
  PlaybackClock clock_;

  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};  // stop or close is waiting for the thread
  std::atomic<int> state_{Stopped};
  std::mutex stateLock_;
  // Open, close, play, pause, stop and speed changes may come from the window and the
  // connection thread: one at a time. The playback thread never takes it.
  std::recursive_mutex lifecycleLock_;

  // Decoded pictures wait unconverted: only the ones shown are converted, on the window
  // thread at the size they are shown at, into the one buffer the window draws from.
  std::deque<std::unique_ptr<VideoFrame>> frameQueue_;
  std::unique_ptr<FrameConverter> takeConverter_ = std::make_unique<FrameConverter>();  // window thread only
  // The first picture of a medium is converted on the playback thread while the window thread
  // makes its first paint; the converter, built for the shown size, waits here (under
  // queueLock_) until the window thread takes it as its own.
  bool convertFirstPicture_ = false;  // set at open, then playback thread only
  std::unique_ptr<FrameConverter> preparedConverter_;
  std::atomic<int> shownWidth_{0};
  std::atomic<int> shownHeight_{0};
  mutable std::mutex queueLock_;
  std::condition_variable queueSpace_;  // a picture was taken or the queue emptied
  std::atomic<int> maxQueuedFrames_{kQueuedFrames};
  std::atomic<uint64_t> droppedFrames_{0};
  std::atomic<uint64_t> shownFrames_{0};

  std::atomic<double> seekRequest_{-1};
  std::atomic<int> pendingAudioStream_{-1};
  // Playback thread: the new stream's sound starts where the listener is when it arrives.
  bool audioSwitching_ = false;
  // Playback thread: the last picture packet read, and whether packets up to it are being
  // read again (after an audio switch went back in the input).
  int64_t lastVideoPos_ = -1;
  int64_t lastVideoDts_ = INT64_MIN;  // none
  bool rereadingVideo_ = false;
  std::atomic<double> lastSeekTarget_{0};
  bool seekPicturePending_ = false;  // playback thread only
  std::atomic<uint32_t> lastSeekTick_{0};
  std::atomic<double> positionHold_{-1};
  std::atomic<uint32_t> positionHoldTick_{0};

  std::mutex audioStartLock_;
  double audioStartPosition_ = 0;  // media time at which the played-frames count was 0
  bool audioStartKnown_ = false;
  bool audioStartAfterSeek_ = false;  // the next audio start belongs to a seek
  double audioStartFrom_ = -1;        // else, when set: the position the listener heard last

  mutable std::mutex urlLock_;
  std::string url_;
  std::string audioUrl_;  // urlLock_; empty when the sound is in url_'s input
  std::atomic<bool> podcastRequest_{false};
  std::atomic<bool> isLive_{false};
  std::atomic<bool> reconnecting_{false};
  std::atomic<int> syncOffsetMs_{0};

  // Decoder work belongs to the playback thread; other threads leave requests here.
  std::atomic<double> pendingSpeed_{-1};
  std::atomic<bool> audioReopenPending_{false};
  // Set when the medium was stopped or ran to its end: the next play starts from the top.
  std::atomic<bool> rewindOnPlay_{false};
  // The sound device went away and is not back yet. A medium that can wait for it does:
  // its clock holds and its sound is not read ahead.
  std::atomic<bool> audioLost_{false};
  int audioAttempts_ = 0;          // window thread: failed attempts since the loss
  uint32_t nextAudioAttempt_ = 0;  // window thread: tick of the next attempt
};

}  // namespace vell
