// WebVTT reader over raw file bytes: cues are UTF-8, sorted, never end before they start, and
// lookups never fail.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/Text.h"
#include "subtitles/SubtitleTrack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text = vell::SubtitleTrack::decodeText(std::string_view(reinterpret_cast<const char*>(data), size));
  vell::SubtitleTrack t;
  t.parseVtt(text);
  const auto& cues = t.cues();
  for (size_t i = 0; i < cues.size(); ++i) {
    if (cues[i].text.empty() || !vell::isValidUtf8(cues[i].text) || cues[i].end < cues[i].start) abort();
    if (i > 0 && cues[i].start < cues[i - 1].start) abort();
  }
  for (double pos : {-1.0, 0.0, 1.5, 61.0, 3600.0, 1e12}) t.textAt(pos);
  vell::SubtitleTrack::parseVttTime(text);
  return 0;
}
