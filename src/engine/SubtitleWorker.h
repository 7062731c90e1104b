// The subtitle thread: decodes the chosen subtitle stream (or a script) and draws libass's events.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/AssRenderer.h"
#include "engine/SubtitleDecoder.h"
#include "engine/SubtitleSetup.h"
#include "engine/SubtitleStore.h"

struct AVPacket;

namespace vell {

// The subtitle thread. The playback thread hands it every subtitle packet it reads; this thread
// decodes the chosen stream (FFmpeg's decoders for text and pictures, libass for ASS), keeps a
// little of every stream so that another one chosen while playing shows the line due at once,
// draws libass's events at the size the picture is shown for the moment it is at, and leaves
// it all in the store, which the window reads. Nothing here touches the input.
class SubtitleWorker {
 public:
  // Recent packets of every stream kept behind the playhead, and the bytes they may take.
  static constexpr double kReplaySeconds = 30.0;
  static constexpr size_t kReplayBytes = size_t{4} << 20;
  // Packets waiting for the thread; past these the newest are dropped.
  static constexpr size_t kMaxQueued = 512;
  static constexpr size_t kMaxQueuedBytes = size_t{32} << 20;

  SubtitleWorker() = default;
  ~SubtitleWorker();
  SubtitleWorker(const SubtitleWorker&) = delete;
  SubtitleWorker& operator=(const SubtitleWorker&) = delete;

  // Where the picture is, in media seconds; set once by the owner, called on the thread.
  std::function<double()> clock;

  // A new medium (before its packets are read): its subtitle streams, the fonts attached to it,
  // the picture's stored size and the input's start time. Nothing is chosen yet.
  void open(std::vector<SubtitleSetup> streams, std::shared_ptr<const FontFiles> fonts, int videoWidth, int videoHeight,
            double startTime);
  // Stops the thread and forgets the medium (after the playback thread has stopped).
  void close();

  // Playback thread: whether a packet of `stream` is wanted, and the packet itself (referenced).
  bool takes(int stream) const;
  void push(const AVPacket* packet);
  // Playback thread: the input moved; what was queued before is dropped.
  void seeked();

  // Any thread: shows `stream` (one of the setups; -1 for none) instead of what showed.
  void select(int stream);
  int selected() const { return selected_.load(); }
  // Any thread: shows a whole ASS script (a file beside the film) instead of any stream.
  void loadScript(std::string script);
  bool scriptShown() const { return scriptShown_.load(); }
  // Any thread: the size the picture is shown at in pixels (0 while nothing is drawn), and the
  // user's delay (subtitles are looked up at the picture's time plus it).
  void setArea(int width, int height);
  void setDelay(double seconds) { delay_.store(seconds); }

  const SubtitleStore& store() const { return store_; }
  // What shows at `t` (the picture's time plus the delay).
  SubtitleFrame frameAt(double t) const { return store_.at(t); }

 private:
  struct Item {
    enum Kind { Packet, Seek, Select, Script } kind = Packet;
    AVPacket* packet = nullptr;
    int stream = -1;
    std::string script;
  };
  void post(Item item);
  void startThread();
  void run();
  void handle(Item& item);
  void decode(const AVPacket* packet);
  void switchTo(int stream);
  void keep(AVPacket* packet);
  void pruneKept(double now);
  void dropKept();
  void drawAss(double now);
  double timeBase(int stream) const;
  // A packet time of `stream` in media seconds.
  double seconds(int64_t stamp, int stream) const;
  const SubtitleSetup* setupOf(int stream) const;

  SubtitleStore store_;
  std::thread thread_;
  // Whether the thread runs: read by every thread, while only open, close and loadScript start
  // and stop it.
  std::atomic<bool> started_{false};
  // Guards the queue, its bytes and the stop flag.
  mutable std::mutex queueLock_;
  std::condition_variable wake_;
  std::deque<Item> queue_;
  size_t queuedBytes_ = 0;
  bool stop_ = false;
  bool dropLogged_ = false;

  // Written by open and close only, while neither this thread nor the playback thread runs.
  std::vector<SubtitleSetup> setups_;
  std::vector<bool> wanted_;  // by stream index
  std::shared_ptr<const FontFiles> fonts_;
  int videoWidth_ = 0, videoHeight_ = 0;
  double startTime_ = 0;

  std::atomic<int> selected_{-1};
  std::atomic<bool> scriptShown_{false};
  std::atomic<int> areaWidth_{0}, areaHeight_{0};
  std::atomic<double> delay_{0};

  // This thread only.
  SubtitleDecoder decoder_;
  AssRenderer ass_;
  int current_ = -1;
  SubtitleKind currentKind_ = SubtitleKind::Text;
  std::map<int, std::deque<AVPacket*>> kept_;
  std::map<int, size_t> keptBytes_;
  int64_t lastDrawMs_ = INT64_MIN;
  int lastDrawWidth_ = 0, lastDrawHeight_ = 0;
  bool assChanged_ = false;
};

}  // namespace vell
