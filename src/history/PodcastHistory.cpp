// Recording, reading and saving the episode history; any thread, under its lock.
#include "history/PodcastHistory.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/TextLines.h"

namespace vell {

namespace {

constexpr std::string_view kHeader = "# Vell Player podcast history";
constexpr size_t kMaxFileBytes = 64u << 20;

uint64_t wallClockMs() {
  using namespace std::chrono;
  auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  return ms > 0 ? static_cast<uint64_t>(ms) : 0;
}

double numberOrZero(std::string_view text) {
  double v = 0.0;
  return parseDouble(text, v) ? v : 0.0;
}

// Newest first; the key breaks ties so that files and cuts do not depend on hashing.
bool newerFirst(const std::pair<std::string, HistoryRecord>& a, const std::pair<std::string, HistoryRecord>& b) {
  if (a.second.lastUpdated != b.second.lastUpdated) return a.second.lastUpdated > b.second.lastUpdated;
  return a.first < b.first;
}

// A language tag as files carry them: a few ASCII letters (anything else is not kept).
bool plainLanguage(std::string_view s) {
  return s.size() <= 8 && std::all_of(s.begin(), s.end(), [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

// "STREAM:LANGUAGE" of a chosen track; false when it does not read.
bool parseStreamPart(std::string_view part, int& stream, std::string& language) {
  size_t colon = part.find(':');
  uint64_t number = 0;
  std::string_view tag = colon == std::string_view::npos ? std::string_view() : part.substr(colon + 1);
  if (!parseUint64(part.substr(0, colon), number) || number > 4096 || !plainLanguage(tag)) return false;
  stream = static_cast<int>(number);
  language = std::string(tag);
  return true;
}

// A file name within the line: the characters that end a field or a line as %XX.
std::string escapeName(std::string_view name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '%' || c == ';' || c == '|' || u < 0x20 || u == 0x7F) {
      out.push_back('%');
      out.push_back(kHex[u >> 4]);
      out.push_back(kHex[u & 15]);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

bool unescapeName(std::string_view text, std::string& out) {
  auto hex = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
  };
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size() || hex(text[i + 1]) < 0 || hex(text[i + 2]) < 0) return false;
    out.push_back(static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2])));
    i += 2;
  }
  return !out.empty();
}

bool parseSubtitlePart(std::string_view part, SubtitlePick& pick) {
  SubtitlePick p;
  if (part == "none") {
    p.kind = SubtitlePick::None;
  } else if (part.substr(0, 5) == "file:") {
    p.kind = SubtitlePick::File;
    if (!unescapeName(part.substr(5), p.file)) return false;
  } else {
    p.kind = SubtitlePick::Stream;
    if (!parseStreamPart(part, p.stream, p.language)) return false;
  }
  pick = std::move(p);
  return true;
}

// The stamp field and what may follow it: ";audio=STREAM:LANGUAGE", ";sub=...". Unknown or bad
// parts are ignored.
void parseStampField(std::string_view field, HistoryRecord& r) {
  size_t semi = field.find(';');
  if (!parseUint64(field.substr(0, semi), r.lastUpdated)) r.lastUpdated = 0;
  while (semi != std::string_view::npos) {
    field.remove_prefix(semi + 1);
    semi = field.find(';');
    std::string_view part = field.substr(0, semi);
    if (part.substr(0, 6) == "audio=") {
      int stream = -1;
      std::string language;
      if (!parseStreamPart(part.substr(6), stream, language)) continue;
      r.audioStream = stream;
      r.audioLanguage = std::move(language);
    } else if (part.substr(0, 4) == "sub=") {
      parseSubtitlePart(part.substr(4), r.subtitle);
    }
  }
}

std::string subtitlePart(const SubtitlePick& p) {
  switch (p.kind) {
    case SubtitlePick::None: return ";sub=none";
    case SubtitlePick::Stream: return ";sub=" + std::to_string(p.stream) + ":" + p.language;
    case SubtitlePick::File: return ";sub=file:" + escapeName(p.file);
    case SubtitlePick::Unset: break;
  }
  return std::string();
}

}  // namespace

PodcastHistory::PodcastHistory() : clock_(wallClockMs) {}

void PodcastHistory::setClock(Clock clock) {
  std::lock_guard lock(mutex_);
  clock_ = clock ? std::move(clock) : Clock(wallClockMs);
}

void PodcastHistory::parse(std::string_view bytes) {
  std::lock_guard lock(mutex_);
  records_.clear();
  for (std::string_view line : splitLines(bytes)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    // The three number fields are taken from the right, so a key that itself holds a "|"
    // (a file name can) still reads back whole.
    size_t third = line.rfind('|');
    if (third == std::string_view::npos || third == 0) continue;
    size_t second = line.rfind('|', third - 1);
    if (second == std::string_view::npos || second == 0) continue;
    size_t first = line.rfind('|', second - 1);
    if (first == std::string_view::npos) continue;
    std::string_view key = line.substr(0, first);
    HistoryRecord r;
    r.position = numberOrZero(line.substr(first + 1, second - first - 1));
    r.duration = numberOrZero(line.substr(second + 1, third - second - 1));
    parseStampField(line.substr(third + 1), r);
    if (key.empty() || !(r.position > 0.5)) continue;
    records_[std::string(key)] = r;
  }
  if (records_.size() > kMaxLoaded) {
    std::vector<std::pair<std::string, HistoryRecord>> all(records_.begin(), records_.end());
    std::partial_sort(all.begin(), all.begin() + kMaxLoaded, all.end(), newerFirst);
    records_.clear();
    for (size_t i = 0; i < kMaxLoaded; ++i) records_.emplace(std::move(all[i].first), all[i].second);
  }
}

bool PodcastHistory::load(const std::string& path) {
  std::string bytes;
  if (!readFileLimited(path, kMaxFileBytes, bytes)) {
    clear();
    return false;
  }
  parse(bytes);
  return true;
}

std::string PodcastHistory::serializeLocked() const {
  std::vector<std::pair<std::string, HistoryRecord>> all(records_.begin(), records_.end());
  std::sort(all.begin(), all.end(), newerFirst);
  std::string out(kHeader);
  out.push_back('\n');
  for (const auto& [key, r] : all) {
    // A key with a line break cannot be one line of the file; such a record stays in
    // memory for this session only.
    if (hasLineBreak(key)) continue;
    out.append(key);
    out.push_back('|');
    out.append(formatFixed(r.position, 1));
    out.push_back('|');
    out.append(formatFixed(r.duration, 1));
    out.push_back('|');
    out.append(std::to_string(r.lastUpdated));
    if (r.audioStream >= 0) out.append(";audio=" + std::to_string(r.audioStream) + ":" + r.audioLanguage);
    out.append(subtitlePart(r.subtitle));
    out.push_back('\n');
  }
  return out;
}

std::string PodcastHistory::serialize() const {
  std::lock_guard lock(mutex_);
  return serializeLocked();
}

bool PodcastHistory::save(const std::string& path) const {
  std::lock_guard saveLock(saveMutex_);
  std::string bytes = serialize();
  if (!writeFileAtomic(path, bytes)) {
    debugLog("History save failed");
    return false;
  }
  return true;
}

void PodcastHistory::update(const std::string& key, double position, double duration) {
  if (key.empty() || !std::isfinite(position) || position < 0.5) return;
  std::lock_guard lock(mutex_);
  HistoryRecord& r = records_[key];
  r.position = position;
  if (std::isfinite(duration) && duration > 0) r.duration = duration;
  r.lastUpdated = clock_();
}

void PodcastHistory::finish(const std::string& key, double duration) {
  std::lock_guard lock(mutex_);
  auto it = records_.find(key);
  if (std::isfinite(duration) && duration > 0) {
    HistoryRecord& r = it == records_.end() ? records_[key] : it->second;
    r.position = r.duration = duration;
    r.lastUpdated = clock_();
  } else if (it != records_.end()) {
    records_.erase(it);
  }
}

void PodcastHistory::setAudioTrack(const std::string& key, int stream, const std::string& language) {
  if (key.empty()) return;
  std::lock_guard lock(mutex_);
  auto it = records_.find(key);
  if (it == records_.end() && stream < 0) return;
  HistoryRecord& r = it == records_.end() ? records_[key] : it->second;
  r.audioStream = stream < 0 ? -1 : stream;
  r.audioLanguage = stream >= 0 && plainLanguage(language) ? language : std::string();
  if (it == records_.end()) r.lastUpdated = clock_();
}

void PodcastHistory::setSubtitleTrack(const std::string& key, const SubtitlePick& pick) {
  if (key.empty()) return;
  SubtitlePick kept = pick;
  if (kept.kind == SubtitlePick::Stream && (kept.stream < 0 || !plainLanguage(kept.language))) kept = SubtitlePick{};
  if (kept.kind == SubtitlePick::File && (kept.file.empty() || hasLineBreak(kept.file))) kept = SubtitlePick{};
  std::lock_guard lock(mutex_);
  auto it = records_.find(key);
  if (it == records_.end() && kept.kind == SubtitlePick::Unset) return;
  HistoryRecord& r = it == records_.end() ? records_[key] : it->second;
  r.subtitle = std::move(kept);
  if (it == records_.end()) r.lastUpdated = clock_();
}

double PodcastHistory::position(const std::string& key) const {
  std::lock_guard lock(mutex_);
  auto it = records_.find(key);
  return it == records_.end() ? 0.0 : it->second.position;
}

float PodcastHistory::progress(const std::string& key) const {
  std::lock_guard lock(mutex_);
  auto it = records_.find(key);
  if (it == records_.end() || !(it->second.duration > 0)) return 0.0f;
  double p = it->second.position / it->second.duration;
  return static_cast<float>(std::clamp(p, 0.0, 1.0));
}

bool PodcastHistory::isFinished(const std::string& key) const { return progress(key) > 0.9f; }

bool PodcastHistory::find(const std::string& key, HistoryRecord& out) const {
  std::lock_guard lock(mutex_);
  auto it = records_.find(key);
  if (it == records_.end()) return false;
  out = it->second;
  return true;
}

size_t PodcastHistory::size() const {
  std::lock_guard lock(mutex_);
  return records_.size();
}

void PodcastHistory::clear() {
  std::lock_guard lock(mutex_);
  records_.clear();
}

std::string historyFilePath() { return pathBesideExecutable("podcast_history.ini"); }

}  // namespace vell
