// One opened FFmpeg input and what is known about it; every demuxer call runs under its lock.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/Chapters.h"
#include "engine/EarlyOpen.h"
#include "engine/OpenOptions.h"
#include "engine/SubtitleSetup.h"
#include "engine/VideoFrame.h"

struct AVFormatContext;
struct AVPacket;
struct AVStream;
struct AVDictionary;
struct AVIOContext;

namespace vell {

// One audio stream of the input, as the user picks among them.
struct AudioTrack {
  int stream = -1;        // the demuxer's stream index
  std::string language;   // the tag as written ("kor", "eng"); empty when none
  std::string title;
  std::string codec;      // FFmpeg's short codec name ("aac")
  int channels = 0;
  std::string layout;     // FFmpeg's layout name ("stereo", "5.1"); empty when unknown
  bool isDefault = false;
};

// The track to start with: the one marked default, else the first Korean one, else the first.
int defaultAudioTrack(const std::vector<AudioTrack>& tracks);
// The track a remembered choice names: the same stream when its language still agrees, else the
// first of the remembered language; -1 when neither is there.
int rememberedAudioTrack(const std::vector<AudioTrack>& tracks, int stream, const std::string& language);

// What is known about the opened input. Written by whoever opens the source; the user
// interface reads it through `info()` without waiting behind a network read.
struct MediaInfo {
  int videoStream = -1;
  int audioStream = -1;
  double duration = 0;  // seconds; 0 when unknown
  double startTime = 0;  // seconds of the input's first timestamp; positions count from it
  int width = 0;
  int height = 0;
  PictureGeometry geometry;  // how the stored pictures are shown
  double frameRate = 0;
  int sampleRate = 0;
  int channels = 0;
  bool hasVideo = false;
  bool hasAudio = false;
  std::string title, artist, album;
  std::string stationName;
  std::string genre;
  std::string description;
  int bitrateKbps = 0;
  std::string codecName;
  std::vector<AudioTrack> audioTracks;  // every playable audio stream, in stream order
  ChapterList chapters;                 // null when the input has none
  std::vector<SubtitleStream> subtitleStreams;  // every decodable subtitle stream, in stream order
};

// One opened FFmpeg input. Every call into the demuxer happens under `sourceLock`;
// `close` on another thread breaks a blocked network read through the abort flag.
class MediaSource {
 public:
  MediaSource();
  ~MediaSource();
  MediaSource(const MediaSource&) = delete;
  MediaSource& operator=(const MediaSource&) = delete;

  // Network URL with the option set of its kind. `cancel`, when given, aborts the open (not
  // later reads) as soon as it turns true: unlike the abort flag, which every open clears,
  // it cannot be lost to a close that came just before the open.
  // `audioUrl`, when given and not `url` itself, is a second input the sound is taken from
  // (a video site's separate video and audio streams): both are read as one medium, in time
  // order, seek together, and either failing fails the medium.
  bool open(const std::string& url, bool podcastRequest, const std::atomic<bool>* cancel = nullptr,
            const std::string& audioUrl = {});
  // Local file (or any URL) with FFmpeg's defaults and no interrupt callback.
  bool openLocal(const std::string& path);
  // Starts opening a local file on a thread of its own; an openLocal of the same path takes
  // what it opened instead of opening the file again.
  void prepareLocal(const std::string& path);
  void close();

  // 1 = packet read, 0 = end of input or aborted, -1 = any other error. With a second input
  // its streams are numbered after the first's.
  int readPacket(AVPacket* packet);
  bool seek(double seconds);
  // Plays `stream` (one of info().audioTracks) instead of the current audio stream; the
  // demuxer reads it from the next packet on and leaves the old one unread.
  bool selectAudioStream(int stream);

  // Never waits: the reading thread publishes each new song title as the demuxer reports it.
  bool pollStreamTitle(std::string& title);
  // The attached picture (cover art). Never waits: false with `busy` set while the reading
  // thread holds the source or nothing is open yet; false with `busy` clear when there is none.
  bool extractCoverArt(std::vector<uint8_t>& bytes, std::string& mime, bool* busy = nullptr);

  // The decoder's view of every subtitle stream in info().subtitleStreams; any thread.
  std::vector<SubtitleSetup> subtitleSetups() const;
  // Copies of the fonts attached to the input (empty when none). Only before the reading
  // thread starts, or on it: it waits for the demuxer.
  std::shared_ptr<const FontFiles> attachedFonts();

  // Stream pointers stay valid until the next open or close; only the thread that opened
  // the source (or the playback thread it hands over to) may use them.
  AVStream* videoStreamParameters() const;
  AVStream* audioStreamParameters() const;

  void requestAbort() { abortRequested.store(true); }
  // After the reader that was aborted has stopped: later reads may block again.
  void clearAbort() { abortRequested.store(false); }
  bool isOpen() const;

  MediaInfo info() const;
  ChapterList chapters() const;
  double duration() const;
  bool hasVideo() const;
  bool hasAudio() const;
  int videoStreamIndex() const;
  int audioStreamIndex() const;

  std::atomic<bool> abortRequested{false};

  // Every open, with its probe, must be done within this time; a server that trickles
  // bytes or never answers cannot hold the connection longer.
  static constexpr int kOpenDeadlineMs = 15000;
  std::atomic<int> openDeadlineMs{kOpenDeadlineMs};
  // An earlier end for the opens that follow (0 = none), set by whoever bounds a whole
  // connection attempt that may open more than once; a tick count.
  void setConnectDeadline(uint32_t tick) { connectDeadline_.store(tick); }
  // Nested opens (playlists, segments) one open may make before it is given up, and the
  // bytes it may read: a self-referencing or endless playlist must fail, not grow.
  static constexpr int kMaxNestedOpens = 64;
  static constexpr int64_t kMaxOpenBytes = 64 * 1024 * 1024;
  static constexpr int64_t kMaxPlaylistBytes = 4 * 1024 * 1024;

 private:
  static int interruptCallback(void* opaque);
  static int ioOpen(AVFormatContext* s, AVIOContext** pb, const char* url, int flags, AVDictionary** options);
  static void reopenAtRedirectTarget(AVFormatContext* s, AVIOContext** pb, const char* url, int flags,
                                     AVDictionary** options);
  static int ioClose(AVFormatContext* s, struct AVIOContext* pb);
  bool openBudgetSpent();
  // Every read: publishes a title the demuxer reported since; `opening` publishes the first.
  void publishTitleLocked(bool opening);
  void closeLocked();
  void setContextLocked(AVFormatContext* ctx);
  // Reads what the input holds; `probed`: its streams were probed already (an early open).
  bool analyzeLocked(bool probed = false);
  AVFormatContext* openInputLocked(const std::string& url, const OpenOptions& options);
  bool addAudioInputLocked(AVFormatContext* ctx);
  AVStream* streamLocked(int index) const;  // either input's, by the numbering above
  int readInterleavedLocked(AVPacket* packet);
  void dropReadAheadLocked();

  EarlyOpen early_;  // a local file being opened ahead of openLocal
  AVFormatContext* formatContext_ = nullptr;
  // The second input, whose sound is played (null when there is one); its stream numbers
  // start at audioOffset_. Each input has one packet read ahead, so that they are handed
  // out in time order. Both pointers change with both locks held.
  AVFormatContext* audioContext_ = nullptr;
  int audioOffset_ = 0;
  AVPacket* ahead_[2] = {nullptr, nullptr};
  bool ended_[2] = {false, false};
  int titleStream_ = -1;  // the audio stream whose tags name the song (chained Ogg); sourceLock
  mutable std::mutex sourceLock;
  mutable std::mutex infoLock_;  // guards info_ only; never held during I/O
  MediaInfo info_;
  std::vector<SubtitleSetup> subtitleSetups_;  // infoLock_
  std::atomic<const std::atomic<bool>*> cancel_{nullptr};
  // The open in progress: its end, its nested opens and the inputs they hold.
  struct OpenGuard {
    bool active = false;
    uint32_t deadline = 0;
    int opens = 0;
    std::vector<AVIOContext*> inputs;
    AVFormatContext* context = nullptr;
  };
  std::mutex guardLock_;
  OpenGuard guard_;
  std::atomic<uint32_t> connectDeadline_{0};
  int (*defaultIoOpen_)(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) = nullptr;
  int (*defaultIoClose_)(AVFormatContext*, AVIOContext*) = nullptr;
  // Published by the reading thread, read by the window: never behind the demuxer lock.
  mutable std::mutex titleLock_;
  std::string publishedTitle_;
  std::string lastStreamTitle_;
};

}  // namespace vell
