// Subtitle commands (open, delay, size, show) and their settings; window thread.
#include "subtitles/SubtitleState.h"

#include <algorithm>
#include <cmath>

#include "platform/Text.h"
#include "platform/TextLines.h"
#include "settings/Settings.h"

namespace vell {

namespace {

std::string signedOneDecimal(double value) {
  std::string out(1, std::signbit(value) ? '-' : '+');
  out += formatFixed(std::fabs(value), 1);
  return out;
}

}  // namespace

float sanitizeSubtitleSize(float size) {
  return size >= SubtitleState::kMinSize && size <= SubtitleState::kMaxSize ? size : SubtitleState::kDefaultSize;
}

void SubtitleState::applySettings(const Settings& s) {
  if (s.subtitleDelay != 0.0) track.setDelay(s.subtitleDelay);
  visible = s.subtitleVisible;
  size = sanitizeSubtitleSize(s.subtitleSize);
}

void SubtitleState::storeSettings(Settings& s) const {
  s.subtitleSize = size;
  s.subtitleVisible = visible;
}

SubtitleMessage SubtitleState::shiftDelay(double step, Settings& s) {
  track.setDelay(track.delay() + step);
  s.subtitleDelay = track.delay();
  return {"자막 딜레이: " + signedOneDecimal(track.delay()) + "초", 1000};
}

SubtitleMessage SubtitleState::resetDelay(Settings& s) {
  track.setDelay(0.0);
  s.subtitleDelay = 0.0;
  return {"자막 딜레이 초기화", 800};
}

SubtitleMessage SubtitleState::changeSize(float step) {
  size = std::clamp(sanitizeSubtitleSize(size) + step, kMinSize, kMaxSize);
  return {"자막 크기: " + formatFixed(size, 0) + "pt", 800};
}

SubtitleMessage SubtitleState::toggleVisible() {
  visible = !visible;
  return {visible ? "자막 ON" : "자막 OFF", 800};
}

std::string SubtitleState::textAt(double position) const {
  if (!visible || track.empty()) return std::string();
  return track.textAt(position);
}

}  // namespace vell
