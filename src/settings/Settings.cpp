// Reading and writing the settings file, line by line.
#include "settings/Settings.h"

#include <algorithm>

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Text.h"
#include "platform/TextLines.h"

namespace vell {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
// Far more than any real settings file; a bigger file is not ours.
constexpr size_t kMaxFileBytes = 4u << 20;

// Reads one "key=value" line; false when the key is unknown or the value does not convert
// (the field then keeps its value).
bool applyLine(Settings& s, std::string_view key, std::string_view value) {
  auto flag = [&](bool& field) {
    field = value == "1";
    return true;
  };
  if (key == "windowX") return parseInt32(value, s.windowX);
  if (key == "windowY") return parseInt32(value, s.windowY);
  if (key == "windowW") return parseInt32(value, s.windowW);
  if (key == "windowH") return parseInt32(value, s.windowH);
  if (key == "maximized") return flag(s.maximized);
  if (key == "volume") return parseFloat(value, s.volume);
  if (key == "muted") return flag(s.muted);
  if (key == "speed") return parseDouble(value, s.speed);
  if (key == "showPlaylist") return flag(s.showPlaylist);
  if (key == "alwaysOnTop") return flag(s.alwaysOnTop);
  if (key == "compactView") return flag(s.compactView);
  if (key == "wheelAction") return parseInt32(value, s.wheelAction);
  if (key == "wheelSeekDelta") return parseDouble(value, s.wheelSeekDelta);
  if (key == "opacity") return parseFloat(value, s.opacity);
  if (key == "subtitleSize") return parseFloat(value, s.subtitleSize);
  if (key == "subtitleVisible") return flag(s.subtitleVisible);
  if (key == "subtitleColor") return parseInt32(value, s.subtitleColor);
  if (key == "subtitleDelay") return parseDouble(value, s.subtitleDelay);
  if (key == "aspectRatio") return parseInt32(value, s.aspectRatio);
  if (key == "recent") {
    s.recent.emplace_back(value);
    return true;
  }
  if (key == "lastPodcastUrl") {
    s.lastPodcastUrl = value;
    return true;
  }
  if (key == "lastPodcastName") {
    s.lastPodcastName = value;
    return true;
  }
  return false;
}

void appendLine(std::string& out, std::string_view key, std::string_view value) {
  out.append(key);
  out.push_back('=');
  out.append(value);
  out.push_back('\n');
}

}  // namespace

void Settings::addRecent(const std::string& path) {
  if (path.empty()) return;
  recent.erase(std::remove(recent.begin(), recent.end(), path), recent.end());
  recent.insert(recent.begin(), path);
  if (recent.size() > kMaxRecent) recent.resize(kMaxRecent);
}

void Settings::parse(std::string_view bytes) {
  bool marked = startsWith(bytes, kBom);
  if (marked) bytes.remove_prefix(kBom.size());
  recent.clear();
  for (std::string_view raw : splitLines(bytes)) {
    // Without the mark the file is in the legacy Korean code page. Each line is converted
    // on its own, so one undecodable line costs only that line.
    std::string line;
    if (marked) {
      if (!isValidUtf8(raw)) continue;
      line = raw;
    } else if (!cp949ToUtf8(raw, line)) {
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    applyLine(*this, std::string_view(line).substr(0, eq), std::string_view(line).substr(eq + 1));
  }
  // Only values the program itself offers: opacity=0 would hide the window for good.
  opacity = std::clamp(opacity, 0.5f, 1.0f);
  volume = std::clamp(volume, 0.0f, 1.0f);
  wheelAction = std::clamp(wheelAction, 0, 1);
  wheelSeekDelta = std::clamp(wheelSeekDelta, 1.0, 10.0);
  subtitleColor = std::clamp(subtitleColor, 0, 3);
  aspectRatio = std::clamp(aspectRatio, 0, 3);
  // A file without the mark was not written by this program: its podcast fields cannot be
  // trusted to be in the right encoding.
  if (!marked || hasControlChar(lastPodcastName)) {
    lastPodcastUrl.clear();
    lastPodcastName.clear();
  }
  recent.erase(std::remove_if(recent.begin(), recent.end(), [](const std::string& r) { return hasControlChar(r); }),
               recent.end());
}

bool Settings::load(const std::string& path) {
  std::string bytes;
  if (!readFileLimited(path, kMaxFileBytes, bytes)) return false;
  parse(bytes);
  return true;
}

std::string Settings::serialize() const {
  std::string out(kBom);
  auto integer = [&](std::string_view key, int32_t v) { appendLine(out, key, std::to_string(v)); };
  auto real = [&](std::string_view key, double v) { appendLine(out, key, formatFixed(v, 2)); };
  auto flag = [&](std::string_view key, bool v) { appendLine(out, key, v ? "1" : "0"); };
  integer("windowX", windowX);
  integer("windowY", windowY);
  integer("windowW", windowW);
  integer("windowH", windowH);
  flag("maximized", maximized);
  real("volume", volume);
  flag("muted", muted);
  real("speed", speed);
  flag("showPlaylist", showPlaylist);
  flag("alwaysOnTop", alwaysOnTop);
  flag("compactView", compactView);
  integer("wheelAction", wheelAction);
  real("wheelSeekDelta", wheelSeekDelta);
  real("opacity", opacity);
  real("subtitleSize", subtitleSize);
  flag("subtitleVisible", subtitleVisible);
  integer("subtitleColor", subtitleColor);
  real("subtitleDelay", subtitleDelay);
  integer("aspectRatio", aspectRatio);
  // A line break inside a value would split its line and could even forge another key.
  // A path or URL holding one cannot be written faithfully, so it is left out; a display
  // name keeps its words on one line.
  for (const std::string& r : recent) {
    if (!hasLineBreak(r)) appendLine(out, "recent", r);
  }
  if (!lastPodcastUrl.empty() && !hasLineBreak(lastPodcastUrl)) appendLine(out, "lastPodcastUrl", lastPodcastUrl);
  if (!lastPodcastName.empty()) appendLine(out, "lastPodcastName", flattenLineBreaks(lastPodcastName));
  return out;
}

bool Settings::save(const std::string& path) const {
  if (!writeFileAtomic(path, serialize())) {
    debugLog("Settings save failed");
    return false;
  }
  return true;
}

Settings& settings() {
  static Settings instance;
  return instance;
}

std::string settingsFilePath() { return pathBesideExecutable("vell_player.ini"); }

}  // namespace vell
