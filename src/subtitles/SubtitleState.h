// The App's subtitle state: the track, its delay, size and visibility, and the messages commands show.
#pragma once
#include <cstdint>
#include <string>

#include <vector>

#include "subtitles/SubtitleChoice.h"
#include "subtitles/SubtitleTrack.h"

namespace vell {

struct Settings;

// An on-screen message that a subtitle command asks the window to show.
struct SubtitleMessage {
  std::string text;
  uint32_t durationMs = 0;
};

// The App's subtitle state: the tracks the medium offers and the one shown, the loaded plain
// text file, whether subtitles are shown and their size, and the commands of the keys and menus.
// The delay lives in the track (it applies to every kind) and is mirrored into the settings'
// subtitleDelay whenever it changes.
class SubtitleState {
 public:
  static constexpr float kMinSize = 16.0f;
  static constexpr float kMaxSize = 48.0f;
  static constexpr float kDefaultSize = 22.0f;
  static constexpr double kDelayStep = 0.5;
  static constexpr float kSizeStep = 2.0f;

  SubtitleTrack track;  // the cues of a plain text file shown (empty otherwise)
  bool visible = true;
  float size = kDefaultSize;
  // The medium's streams, then the files beside it (or chosen), and the one shown (-1 none).
  std::vector<SubtitleOption> options;
  int current = -1;

  // Start-up: a stored non-zero delay, the visible flag and the size (22 when outside 16..48).
  void applySettings(const Settings& s);
  // Window destruction: size and visibility back into the record.
  void storeSettings(Settings& s) const;

  SubtitleMessage delayLater(Settings& s) { return shiftDelay(kDelayStep, s); }
  SubtitleMessage delayEarlier(Settings& s) { return shiftDelay(-kDelayStep, s); }
  SubtitleMessage shiftDelay(double step, Settings& s);
  SubtitleMessage resetDelay(Settings& s);
  // The caller rebuilds the subtitle text format at the new size.
  SubtitleMessage sizeUp() { return changeSize(kSizeStep); }
  SubtitleMessage sizeDown() { return changeSize(-kSizeStep); }
  SubtitleMessage changeSize(float step);
  SubtitleMessage toggleVisible();

  // What the paint routine draws at the displayed position (empty when hidden or no cues).
  std::string textAt(double position) const;
};

// A stored size outside 16..48, or not a number, becomes the default 22.
float sanitizeSubtitleSize(float size);

}  // namespace vell
