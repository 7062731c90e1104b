// The subtitle thread: packets in from the playback thread, decoded and drawn into the store.
#include "engine/SubtitleWorker.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/Log.h"

namespace vell {

namespace {

// Packets of a stream kept however old they are, so that a picture track's last display
// (which lasts until the next) is still there when the stream is chosen.
constexpr size_t kAlwaysKept = 8;

}  // namespace

SubtitleWorker::~SubtitleWorker() { close(); }

void SubtitleWorker::open(std::vector<SubtitleSetup> streams, std::shared_ptr<const FontFiles> fonts, int videoWidth,
                          int videoHeight, double startTime) {
  close();
  setups_ = std::move(streams);
  wanted_.clear();
  for (const SubtitleSetup& s : setups_) {
    if (s.stream < 0) continue;
    if (wanted_.size() <= static_cast<size_t>(s.stream)) wanted_.resize(static_cast<size_t>(s.stream) + 1, false);
    wanted_[static_cast<size_t>(s.stream)] = true;
  }
  fonts_ = std::move(fonts);
  videoWidth_ = videoWidth;
  videoHeight_ = videoHeight;
  startTime_ = startTime;
  if (!setups_.empty()) startThread();
}

void SubtitleWorker::close() {
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  started_.store(false);
  for (Item& item : queue_) av_packet_free(&item.packet);
  queue_.clear();
  queuedBytes_ = 0;
  stop_ = false;
  dropLogged_ = false;
  dropKept();
  decoder_.close();
  ass_.dropTrack();  // the library and renderer may serve the next medium
  current_ = -1;
  store_.clear();
  setups_.clear();
  wanted_.clear();
  fonts_.reset();
  selected_.store(-1);
  scriptShown_.store(false);
  lastDrawMs_ = INT64_MIN;
}

void SubtitleWorker::startThread() {
  if (started_.load()) return;
  ass_.setFonts(fonts_);
  thread_ = std::thread([this] { run(); });
  started_.store(true);
}

bool SubtitleWorker::takes(int stream) const {
  return stream >= 0 && static_cast<size_t>(stream) < wanted_.size() && wanted_[static_cast<size_t>(stream)];
}

void SubtitleWorker::post(Item item) {
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    if (item.kind == Item::Seek) {
      // What was read before the seek is of no use after it; choices stay, in order.
      std::erase_if(queue_, [&](Item& i) {
        if (i.kind != Item::Packet) return false;
        queuedBytes_ -= static_cast<size_t>(i.packet->size);
        av_packet_free(&i.packet);
        return true;
      });
    }
    if (item.kind == Item::Packet) {
      const size_t size = static_cast<size_t>(item.packet->size);
      if (queue_.size() >= kMaxQueued || queuedBytes_ + size > kMaxQueuedBytes) {
        if (!dropLogged_) debugLog("Subtitle packets dropped: the subtitle thread is behind\n");
        dropLogged_ = true;
        av_packet_free(&item.packet);
        return;
      }
      queuedBytes_ += size;
    }
    queue_.push_back(std::move(item));
  }
  wake_.notify_one();
}

void SubtitleWorker::push(const AVPacket* packet) {
  if (!packet || !takes(packet->stream_index) || !started_.load()) return;
  AVPacket* copy = av_packet_clone(packet);
  if (!copy) return;
  Item item;
  item.packet = copy;
  post(std::move(item));
}

void SubtitleWorker::seeked() {
  if (!started_.load()) return;
  Item item;
  item.kind = Item::Seek;
  post(std::move(item));
}

void SubtitleWorker::select(int stream) {
  if (stream >= 0 && !takes(stream)) return;
  selected_.store(stream);
  scriptShown_.store(false);
  if (!started_.load()) return;
  Item item;
  item.kind = Item::Select;
  item.stream = stream;
  post(std::move(item));
}

void SubtitleWorker::loadScript(std::string script) {
  selected_.store(-1);
  scriptShown_.store(true);
  startThread();
  Item item;
  item.kind = Item::Script;
  item.script = std::move(script);
  post(std::move(item));
}

void SubtitleWorker::setArea(int width, int height) {
  areaWidth_.store(std::max(width, 0));
  areaHeight_.store(std::max(height, 0));
  wake_.notify_one();
}

void SubtitleWorker::run() {
  for (;;) {
    std::deque<Item> items;
    {
      std::unique_lock<std::mutex> lock(queueLock_);
      // libass's drawing follows the picture's time; without a script a check now and then
      // for what fell behind will do.
      const auto pause = std::chrono::milliseconds(ass_.active() ? 15 : 200);
      wake_.wait_for(lock, pause, [&] { return stop_ || !queue_.empty(); });
      if (stop_) break;
      items.swap(queue_);
      queuedBytes_ = 0;
    }
    for (Item& item : items) {
      handle(item);
      av_packet_free(&item.packet);
    }
    const double now = (clock ? clock() : 0.0) + delay_.load();
    store_.prune(now);
    pruneKept(now);
    drawAss(now);
  }
}

void SubtitleWorker::handle(Item& item) {
  switch (item.kind) {
    case Item::Packet:
      if (item.packet->stream_index == current_) decode(item.packet);
      keep(item.packet);
      item.packet = nullptr;
      break;
    case Item::Seek:
      decoder_.flush();
      store_.clearBitmaps();
      dropKept();  // read again from the new place
      break;
    case Item::Select:
      switchTo(item.stream);
      break;
    case Item::Script:
      switchTo(-1);
      if (!ass_.loadScript(item.script)) debugLog("Subtitle script holds no event\n");
      assChanged_ = true;
      break;
  }
}

const SubtitleSetup* SubtitleWorker::setupOf(int stream) const {
  for (const SubtitleSetup& s : setups_)
    if (s.stream == stream) return &s;
  return nullptr;
}

double SubtitleWorker::timeBase(int stream) const {
  const SubtitleSetup* s = setupOf(stream);
  return s && s->timeBaseNum > 0 && s->timeBaseDen > 0 ? static_cast<double>(s->timeBaseNum) / s->timeBaseDen : 0.001;
}

double SubtitleWorker::seconds(int64_t stamp, int stream) const {
  return static_cast<double>(stamp) * timeBase(stream) - startTime_;
}

void SubtitleWorker::switchTo(int stream) {
  decoder_.close();
  ass_.dropTrack();
  store_.clear();
  current_ = -1;
  assChanged_ = true;
  const SubtitleSetup* s = setupOf(stream);
  if (!s) return;
  current_ = stream;
  currentKind_ = s->kind;
  if (s->kind == SubtitleKind::Ass) {
    const AVCodecParameters* par = s->params.get();
    ass_.startTrack(par && par->extradata_size > 0 ? par->extradata : nullptr,
                    par && par->extradata_size > 0 ? static_cast<size_t>(par->extradata_size) : 0);
  } else if (!decoder_.open(*s, videoWidth_, videoHeight_, startTime_)) {
    debugLog("Subtitle stream %d cannot be decoded\n", stream);
    current_ = -1;
    return;
  }
  // What was read of it lately: the line due now shows at once.
  auto it = kept_.find(stream);
  if (it != kept_.end())
    for (const AVPacket* p : it->second) decode(p);
}

void SubtitleWorker::decode(const AVPacket* packet) {
  if (currentKind_ != SubtitleKind::Ass) {
    decoder_.decode(packet, store_);
    return;
  }
  const int64_t stamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
  if (stamp == AV_NOPTS_VALUE || !packet->data) return;
  const double start = seconds(stamp, packet->stream_index);
  const double length =
      packet->duration > 0 ? static_cast<double>(packet->duration) * timeBase(packet->stream_index) : 0.0;
  ass_.addEvent(packet->data, static_cast<size_t>(packet->size), std::llround(start * 1000),
                std::llround(length * 1000));
  assChanged_ = true;
}

void SubtitleWorker::keep(AVPacket* packet) {
  const int stream = packet->stream_index;
  kept_[stream].push_back(packet);
  size_t& bytes = keptBytes_[stream];
  bytes += static_cast<size_t>(packet->size);
  std::deque<AVPacket*>& ring = kept_[stream];
  while (ring.size() > kAlwaysKept && bytes > kReplayBytes) {
    bytes -= static_cast<size_t>(ring.front()->size);
    av_packet_free(&ring.front());
    ring.pop_front();
  }
}

void SubtitleWorker::pruneKept(double now) {
  for (auto& [stream, ring] : kept_) {
    size_t& bytes = keptBytes_[stream];
    while (ring.size() > kAlwaysKept) {
      const AVPacket* p = ring.front();
      const int64_t stamp = p->pts != AV_NOPTS_VALUE ? p->pts : p->dts;
      const double end = stamp == AV_NOPTS_VALUE ? -1e300 : seconds(stamp + std::max<int64_t>(p->duration, 0), stream);
      if (end >= now - kReplaySeconds) break;
      bytes -= static_cast<size_t>(p->size);
      av_packet_free(&ring.front());
      ring.pop_front();
    }
  }
}

void SubtitleWorker::dropKept() {
  for (auto& [stream, ring] : kept_)
    for (AVPacket*& p : ring) av_packet_free(&p);
  kept_.clear();
  keptBytes_.clear();
}

void SubtitleWorker::drawAss(double now) {
  if (!ass_.active()) return;
  const int width = areaWidth_.load(), height = areaHeight_.load();
  if (width < 1 || height < 1) return;
  const int64_t ms = std::llround(now * 1000);
  // Paused on the same picture at the same size: libass would draw the same again.
  if (ms == lastDrawMs_ && width == lastDrawWidth_ && height == lastDrawHeight_ && !assChanged_) return;
  lastDrawMs_ = ms;
  lastDrawWidth_ = width;
  lastDrawHeight_ = height;
  assChanged_ = false;
  // A picture shown turned a quarter stands on its side: its stored size is turned with it.
  int storageWidth = videoWidth_, storageHeight = videoHeight_;
  if ((width < height) != (storageWidth < storageHeight)) std::swap(storageWidth, storageHeight);
  if (auto picture = ass_.render(ms, width, height, storageWidth, storageHeight)) store_.setAss(std::move(picture));
}

}  // namespace vell
