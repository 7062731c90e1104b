// A medium's chapters (a lecture's parts, a concert's pieces) and the rules for moving between them.
#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct AVFormatContext;

namespace vell {

struct Chapter {
  double start = 0;   // seconds, on the player's position scale
  double end = 0;
  std::string title;  // empty when the file names none
};

// Read once per open and never changed: every paint copies the media info, this only shares it.
using ChapterList = std::shared_ptr<const std::vector<Chapter>>;

// A corrupt file may claim any number of them.
inline constexpr size_t kMaxChapters = 1000;

// The input's chapters, with times counted from `startTime` (seconds) like positions: sorted by
// start, those ending before they start or starting at or past `duration` (when known) left out,
// at most kMaxChapters. Null when there are none.
ChapterList readChapters(const AVFormatContext* ctx, double startTime, double duration);

// The chapter playing at `position`: the last one started by then; -1 before the first.
int chapterAt(const std::vector<Chapter>& chapters, double position);

// A seek lands a little before its target now and then: within this many seconds of a
// chapter's start, the chapter just jumped to counts as the one playing.
inline constexpr double kChapterLanding = 0.3;

// Where N (forward) or B goes from `position`. Forward: the next chapter; from the last one,
// nowhere. Back: the current chapter's start when more than kChapterRestart seconds into it,
// else the previous chapter; from the first one's first seconds, nowhere. `seek` is false when
// the position stays; `index` is then the chapter it is in.
inline constexpr double kChapterRestart = 5.0;
struct ChapterStep {
  int index = -1;
  bool seek = false;
};
ChapterStep chapterStep(const std::vector<Chapter>& chapters, double position, bool forward);

}  // namespace vell
