// The subtitle thread's hand-over to the window: events by time, bounded, under one lock.
#include "engine/SubtitleStore.h"

#include <algorithm>
#include <atomic>
#include <limits>

namespace vell {

uint64_t nextSubtitleSerial() {
  static std::atomic<uint64_t> last{0};
  return ++last;
}

namespace {

constexpr double kOpen = std::numeric_limits<double>::infinity();

}  // namespace

void SubtitleStore::addText(double start, double end, std::string text) {
  if (text.empty() || !(start == start)) return;
  std::lock_guard<std::mutex> lock(lock_);
  for (TextEvent& e : texts_) {
    if (e.start == start && e.text == text) return;
    if (e.end == kOpen && e.start < start) e.end = start;
  }
  auto at =
      std::upper_bound(texts_.begin(), texts_.end(), start, [](double s, const TextEvent& e) { return s < e.start; });
  texts_.insert(at, TextEvent{start, end > start ? end : kOpen, std::move(text)});
  enforceCapsLocked();
}

void SubtitleStore::addBitmaps(std::shared_ptr<SubtitleBitmaps> event) {
  if (!event || !(event->start == event->start)) return;
  const double start = event->start;
  std::lock_guard<std::mutex> lock(lock_);
  for (BitmapEvent& e : bitmaps_)
    if (e.end == kOpen && e.pictures->start < start) e.end = start;
  // The same display read again (an audio switch reads the input again) replaces the first.
  auto same =
      std::find_if(bitmaps_.begin(), bitmaps_.end(), [&](const BitmapEvent& e) { return e.pictures->start == start; });
  if (same != bitmaps_.end()) {
    bitmapBytes_ -= same->pictures->bytes();
    bitmaps_.erase(same);
  }
  if (event->rects.empty()) return;
  const double end = event->end > start ? event->end : kOpen;
  bitmapBytes_ += event->bytes();
  auto at = std::upper_bound(bitmaps_.begin(), bitmaps_.end(), start,
                             [](double s, const BitmapEvent& e) { return s < e.pictures->start; });
  bitmaps_.insert(at, BitmapEvent{std::move(event), end});
  enforceCapsLocked();
}

void SubtitleStore::setAss(std::shared_ptr<const AssPicture> picture) {
  std::lock_guard<std::mutex> lock(lock_);
  ass_ = std::move(picture);
}

void SubtitleStore::enforceCapsLocked() {
  if (texts_.size() > kMaxTextEvents) texts_.erase(texts_.begin(), texts_.end() - kMaxTextEvents);
  while (!bitmaps_.empty() && (bitmaps_.size() > kMaxBitmapEvents || bitmapBytes_ > kMaxBitmapBytes)) {
    bitmapBytes_ -= bitmaps_.front().pictures->bytes();
    bitmaps_.erase(bitmaps_.begin());
  }
}

void SubtitleStore::prune(double now) {
  std::lock_guard<std::mutex> lock(lock_);
  std::erase_if(texts_, [&](const TextEvent& e) { return e.end < now - kKeepTextBehind; });
  std::erase_if(bitmaps_, [&](const BitmapEvent& e) {
    if (e.end >= now - kKeepBitmapsBehind) return false;
    bitmapBytes_ -= e.pictures->bytes();
    return true;
  });
}

void SubtitleStore::clearBitmaps() {
  std::lock_guard<std::mutex> lock(lock_);
  bitmaps_.clear();
  bitmapBytes_ = 0;
}

void SubtitleStore::clear() {
  std::lock_guard<std::mutex> lock(lock_);
  texts_.clear();
  bitmaps_.clear();
  bitmapBytes_ = 0;
  ass_.reset();
}

SubtitleFrame SubtitleStore::at(double t) const {
  SubtitleFrame f;
  std::lock_guard<std::mutex> lock(lock_);
  for (const TextEvent& e : texts_) {
    if (e.start > t) break;
    if (t >= e.end) continue;
    if (!f.text.empty()) f.text.push_back('\n');
    f.text += e.text;
  }
  for (auto it = bitmaps_.rbegin(); it != bitmaps_.rend(); ++it) {
    if (it->pictures->start > t) continue;
    if (t < it->end) f.bitmaps = it->pictures;
    break;
  }
  f.ass = ass_;
  return f;
}

size_t SubtitleStore::textEvents() const {
  std::lock_guard<std::mutex> lock(lock_);
  return texts_.size();
}

size_t SubtitleStore::bitmapEvents() const {
  std::lock_guard<std::mutex> lock(lock_);
  return bitmaps_.size();
}

}  // namespace vell
