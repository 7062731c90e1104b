// SAMI reader over raw file bytes (CP949 included): cues are UTF-8 and non-empty, each ends
// where the next record starts, and lookups never fail.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/Text.h"
#include "subtitles/SubtitleTrack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text = vell::SubtitleTrack::decodeText(std::string_view(reinterpret_cast<const char*>(data), size));
  vell::SubtitleTrack t;
  t.parseSami(text);
  for (const vell::SubtitleCue& cue : t.cues()) {
    if (cue.text.empty() || !vell::isValidUtf8(cue.text)) abort();
  }
  for (double pos : {-1.0, 0.0, 0.5, 5.0, 1e9}) t.textAt(pos);
  return 0;
}
