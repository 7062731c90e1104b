#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVPacket;
struct AVStream;
struct AVDictionary;

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

  // Non-blocking: false at once when the demuxer is busy.
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

 private:
  static int interruptCallback(void* opaque);
  void closeLocked();
  void setContextLocked(AVFormatContext* ctx);
  bool analyzeLocked();

  AVFormatContext* formatContext_ = nullptr;
  mutable std::mutex sourceLock;
  mutable std::mutex infoLock_;  // guards info_ only; never held during I/O
  MediaInfo info_;
  std::atomic<const std::atomic<bool>*> cancel_{nullptr};
  std::string lastStreamTitle_;
};

}  // namespace vell
