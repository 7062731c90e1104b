// The subtitles of the chosen track, decoded on the subtitle thread and read by the window.
#pragma once
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/SubtitleImage.h"

namespace vell {

// What the subtitle thread decoded for the chosen track: text events, bitmap events and libass's
// latest drawing. Memory stays bounded: events well behind the playhead go, and past the caps
// the oldest go first (libass keeps its own events). One lock guards everything here; it is
// held only to copy pointers and strings in or out, never while decoding or drawing.
class SubtitleStore {
 public:
  static constexpr size_t kMaxTextEvents = 2000;
  static constexpr size_t kMaxBitmapEvents = 32;
  static constexpr size_t kMaxBitmapBytes = size_t{160} << 20;  // a few full 4K pictures
  static constexpr double kKeepTextBehind = 60.0;
  static constexpr double kKeepBitmapsBehind = 5.0;

  // An event that lasts from `start` to `end` (seconds); an `end` not after `start` lasts until
  // the next event begins. The same text at the same start again (read twice) is kept once.
  void addText(double start, double end, std::string text);
  // A bitmap event; one without rectangles only ends the one before it.
  void addBitmaps(std::shared_ptr<SubtitleBitmaps> event);
  void setAss(std::shared_ptr<const AssPicture> picture);

  // Drops the events that ended long before `now`, then the oldest beyond the caps.
  void prune(double now);
  void clearBitmaps();
  void clear();

  // What shows at `t`: every text event due (in start order, one per line), the bitmap event
  // due, and libass's drawing.
  SubtitleFrame at(double t) const;
  size_t textEvents() const;
  size_t bitmapEvents() const;

 private:
  struct TextEvent {
    double start, end;
    std::string text;
  };
  struct BitmapEvent {
    std::shared_ptr<const SubtitleBitmaps> pictures;
    double end;  // the event's, or the start of the one after it
  };
  void enforceCapsLocked();

  mutable std::mutex lock_;
  std::vector<TextEvent> texts_;      // by start
  std::vector<BitmapEvent> bitmaps_;  // by start
  size_t bitmapBytes_ = 0;
  std::shared_ptr<const AssPicture> ass_;
};

}  // namespace vell
