// A medium's chapters: read from the demuxer once per open, and the steps N and B take through them.
#include "engine/Chapters.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

#include <algorithm>
#include <cmath>

#include "engine/StationText.h"

namespace vell {

ChapterList readChapters(const AVFormatContext* ctx, double startTime, double duration) {
  if (!ctx || ctx->nb_chapters == 0 || !ctx->chapters) return nullptr;
  auto seconds = [](int64_t t, AVRational base) {
    return t == AV_NOPTS_VALUE || base.num <= 0 || base.den <= 0 ? NAN : static_cast<double>(t) * av_q2d(base);
  };
  std::vector<Chapter> list;
  list.reserve(std::min<size_t>(ctx->nb_chapters, kMaxChapters));
  for (unsigned i = 0; i < ctx->nb_chapters && list.size() < kMaxChapters; ++i) {
    const AVChapter* ch = ctx->chapters[i];
    if (!ch) continue;
    Chapter c;
    c.start = seconds(ch->start, ch->time_base) - startTime;
    c.end = seconds(ch->end, ch->time_base) - startTime;
    if (!std::isfinite(c.start)) continue;
    if (!std::isfinite(c.end)) c.end = duration > 0 ? duration : c.start;  // open-ended: to the end
    if (c.end < c.start || (duration > 0 && c.start >= duration)) continue;
    // The first one may begin a hair before the first timestamp.
    c.start = std::max(c.start, 0.0);
    c.end = std::max(c.end, c.start);
    if (duration > 0) c.end = std::min(c.end, duration);
    // "title" in any case: dictionary look-ups ignore it unless told otherwise.
    if (const AVDictionaryEntry* e = av_dict_get(ch->metadata, "title", nullptr, 0); e && e->value[0])
      c.title = oneLineTitle(e->value, 80);
    list.push_back(std::move(c));
  }
  if (list.empty()) return nullptr;
  std::stable_sort(list.begin(), list.end(), [](const Chapter& a, const Chapter& b) { return a.start < b.start; });
  // An MP4 may list one both in its chapter track and in its Nero list.
  list.erase(std::unique(list.begin(), list.end(),
                         [](const Chapter& a, const Chapter& b) { return a.start == b.start && a.title == b.title; }),
             list.end());
  return std::make_shared<const std::vector<Chapter>>(std::move(list));
}

int chapterAt(const std::vector<Chapter>& chapters, double position) {
  auto after = std::upper_bound(chapters.begin(), chapters.end(), position,
                                [](double p, const Chapter& c) { return p < c.start; });
  return static_cast<int>(after - chapters.begin()) - 1;
}

ChapterStep chapterStep(const std::vector<Chapter>& chapters, double position, bool forward) {
  if (chapters.empty()) return {};
  const int last = static_cast<int>(chapters.size()) - 1;
  const int current = chapterAt(chapters, position + kChapterLanding);
  if (forward) {
    if (current < 0) return {0, true};
    return current < last ? ChapterStep{current + 1, true} : ChapterStep{current, false};
  }
  if (current < 0) return {0, false};
  if (position - chapters[current].start > kChapterRestart) return {current, true};
  return current > 0 ? ChapterStep{current - 1, true} : ChapterStep{0, false};
}

}  // namespace vell
