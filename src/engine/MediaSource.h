#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

struct AVFormatContext;
struct AVPacket;
struct AVStream;
struct AVDictionary;
struct AVIOContext;

namespace vell {

// How a network URL is opened; decided from the URL text and the podcast flag alone.
enum class UrlKind { VideoSiteMedia, Podcast, Radio, Generic };

// The FFmpeg settings one URL kind is opened with.
struct OpenOptions {
  UrlKind kind = UrlKind::Generic;
  int64_t probeSize = 0;
  int64_t maxAnalyzeDurationUs = 0;
  bool noBuffer = false;
  std::string forcedFormat;  // demuxer name, empty = probe
  // Option dictionary entries, in the order they are set.
  std::vector<std::pair<std::string, std::string>> entries;
  std::string entry(const std::string& key) const;
};

UrlKind classifyUrl(const std::string& url, bool podcastRequest);
// The forced demuxer for a non-podcast URL ("mp3", "hls", "aac"), or empty.
std::string forcedInputFormat(const std::string& url, bool podcastRequest);
OpenOptions buildOpenOptions(const std::string& url, bool podcastRequest);
// A URL typed or given by hand is a podcast episode when it names an MP3 file and is not a
// playlist (".m3u8", ".pls").
bool looksLikePodcastEpisode(const std::string& url);
// Station names and song titles come from the server: one line, at most `maxChars` code
// points, cut with an ellipsis.
std::string oneLineTitle(const std::string& text, size_t maxChars = 120);
// Text a station sends (ICY titles and headers) to UTF-8: as UTF-8 when it is valid, else as
// CP949 when that decodes cleanly, else as Windows-1252; character references ("&#45432;",
// "&#xB178;", "&amp;") become the characters they name.
std::string stationText(std::string_view bytes);
// The song title of one ICY metadata block ("StreamTitle='...';StreamUrl='...';"), decoded
// as station text; empty when the block names none.
std::string icyStreamTitle(std::string_view block);

// What is known about the opened input. Written by whoever opens the source; the user
// interface reads it through `info()` without waiting behind a network read.
struct MediaInfo {
  int videoStream = -1;
  int audioStream = -1;
  double duration = 0;  // seconds; 0 when unknown
  double startTime = 0;  // seconds of the input's first timestamp; positions count from it
  int width = 0;
  int height = 0;
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
  bool open(const std::string& url, bool podcastRequest, const std::atomic<bool>* cancel = nullptr);
  // Local file (or any URL) with FFmpeg's defaults and no interrupt callback.
  bool openLocal(const std::string& path);
  void close();

  // 1 = packet read, 0 = end of input or aborted, -1 = any other error.
  int readPacket(AVPacket* packet);
  bool seek(double seconds);

  // Never waits: the reading thread publishes each new song title as the demuxer reports it.
  bool pollStreamTitle(std::string& title);
  bool extractCoverArt(std::vector<uint8_t>& bytes, std::string& mime);

  // Stream pointers stay valid until the next open or close; only the thread that opened
  // the source (or the playback thread it hands over to) may use them.
  AVStream* videoStreamParameters() const;
  AVStream* audioStreamParameters() const;

  void requestAbort() { abortRequested.store(true); }
  // After the reader that was aborted has stopped: later reads may block again.
  void clearAbort() { abortRequested.store(false); }
  bool isOpen() const;

  MediaInfo info() const;
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
  bool analyzeLocked();

  AVFormatContext* formatContext_ = nullptr;
  int titleStream_ = -1;  // the audio stream whose tags name the song (chained Ogg); sourceLock
  mutable std::mutex sourceLock;
  mutable std::mutex infoLock_;  // guards info_ only; never held during I/O
  MediaInfo info_;
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
