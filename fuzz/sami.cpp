// SAMI reader over raw file bytes (CP949 included): cues are UTF-8, non-empty and in time
// order, and lookups never fail.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/Text.h"
#include "subtitles/SubtitleTrack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text = vell::SubtitleTrack::decodeText(std::string_view(reinterpret_cast<const char*>(data), size));
  vell::SubtitleTrack t;
  t.parseSami(text);
  const auto& cues = t.cues();
  for (size_t i = 0; i < cues.size(); ++i) {
    if (cues[i].text.empty() || !vell::isValidUtf8(cues[i].text)) abort();
    if (i > 0 && cues[i].start < cues[i - 1].start) abort();  // the look-up needs time order
  }
  for (double pos : {-1.0, 0.0, 0.5, 5.0, 1e9}) t.textAt(pos);
  return 0;
}
