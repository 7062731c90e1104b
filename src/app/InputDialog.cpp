// The input dialog's text rules: how a field's text is read, a stream's default name, what
// the clipboard may prefill and when an opened URL counts as a podcast.
#include "app/InputDialog.h"

#include "app/App.h"
#include "platform/Clock.h"
#include "platform/Text.h"
#include "platform/VirtualKeys.h"
#include "render/OverlayLayout.h"
#include "settings/Settings.h"

namespace vell {

std::string readFieldText(std::string_view text) {
  std::string s = utf8Prefix(text, TextEdit::kMaxCodePoints);
  size_t end = s.find_last_not_of(" \t\r\n");
  if (end == std::string::npos) return {};
  size_t begin = s.find_first_not_of(" \t");
  return s.substr(begin, end + 1 - begin);
}

std::string defaultStreamName(std::string_view url) {
  size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return "사용자 스트림";
  std::string_view rest = url.substr(scheme + 3);
  return std::string(rest.substr(0, rest.find_first_of("/:?")));
}

bool clipboardPrefills(std::string_view text) {
  return contains(text, "http") || contains(text, "rtsp") || contains(text, "rtmp");
}

bool openUrlPodcastFlag(std::string_view url) {
  if (contains(url, ".m3u8") || contains(url, ".pls")) return false;
  return contains(url, ".mp3");
}

}  // namespace vell
