// The play queue's moves (next, previous, shuffle), its rows and its file; window thread.
#include "playlist/Playlist.h"

#include <memory>
#include <random>
#include <unordered_map>
#include <unordered_set>

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Text.h"
#include "platform/TextLines.h"

namespace vell {

namespace {

constexpr std::string_view kCategoryTag = "CATEGORY:";
constexpr std::string_view kItemTag = "ITEM:";
constexpr size_t kMaxFileBytes = 64u << 20;
// U+FF5C FULLWIDTH VERTICAL LINE: looks like "|" in a title but is not the separator.
constexpr std::string_view kBarLookalike = "\xEF\xBD\x9C";

Playlist::RandomSource defaultRandom() {
  auto engine = std::make_shared<std::mt19937>(std::random_device{}());
  return [engine] { return static_cast<uint32_t>((*engine)()); };
}

// The file has no escaping. A display text keeps its words: line breaks become spaces and
// "|" its look-alike, applied the same way to a category's record and to its items.
std::string storableText(std::string_view text) {
  if (text.find_first_of("\r\n|") == std::string_view::npos) return std::string(text);
  return replaceAll(flattenLineBreaks(text), "|", kBarLookalike);
}

// A path or URL must come back byte for byte or not at all. In a URL "|" can be written
// percent-encoded, which servers read as the same address; a file path holding "|" or a
// line break has no faithful form in this file.
bool storableLocator(std::string_view locator, bool isUrl, std::string& out) {
  if (hasLineBreak(locator)) return false;
  if (locator.find('|') == std::string_view::npos) {
    out = locator;
    return true;
  }
  if (!isUrl) return false;
  out = replaceAll(locator, "|", "%7C");
  return true;
}

}  // namespace

Playlist::Playlist() : random_(defaultRandom()) {}

void Playlist::setRandomSource(RandomSource source) { random_ = source ? std::move(source) : defaultRandom(); }

int32_t Playlist::randomBelow(int32_t count) { return static_cast<int32_t>(random_() % static_cast<uint32_t>(count)); }

std::string Playlist::titleFromPath(std::string_view path) {
  std::string name = displayName(path);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  return repairUtf8(name);
}

int32_t Playlist::indexOfPath(std::string_view path) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].path == path) return static_cast<int32_t>(i);
  }
  return -1;
}

void Playlist::addFile(const std::string& path) {
  if (path.empty()) return;
  PlaylistItem item;
  item.path = path;
  item.title = titleFromPath(path);
  items_.push_back(std::move(item));
}

void Playlist::addStream(const std::string& streamUrl, const std::string& title, const std::string& category) {
  if (streamUrl.empty()) return;
  PlaylistItem item;
  item.path = streamUrl;
  item.title = title;
  item.category = category;
  item.isStream = true;
  item.streamUrl = streamUrl;
  items_.push_back(std::move(item));
}

void Playlist::addCategory(const std::string& name) {
  // An empty name is "uncategorised", never a category of its own.
  if (name.empty() || findCategory(name)) return;
  categories_.push_back({name, false});
}

void Playlist::setCategory(int32_t index, const std::string& name) {
  if (index < 0 || index >= count()) return;
  items_[static_cast<size_t>(index)].category = name;
  if (!name.empty()) addCategory(name);
}

void Playlist::remove(int32_t index) {
  if (index < 0 || index >= count()) return;
  items_.erase(items_.begin() + index);
  // The current entry stays current: an earlier removal shifts its index with it.
  if (currentIndex_ == index)
    currentIndex_ = -1;
  else if (currentIndex_ > index)
    --currentIndex_;
}

void Playlist::clear() {
  items_.clear();
  currentIndex_ = -1;
  scrollOffset = 0;
}

void Playlist::setCurrent(int32_t index) {
  if (index < 0 || index >= count()) return;
  currentIndex_ = index;
}

void Playlist::setDuration(int32_t index, double seconds) {
  if (index < 0 || index >= count() || !(seconds > 0)) return;
  items_[static_cast<size_t>(index)].duration = seconds;
}

PlaylistItem Playlist::next() {
  int32_t n = count();
  if (n == 0) return {};
  bool noCurrent = currentIndex_ < 0 || currentIndex_ >= n;
  if (noCurrent) currentIndex_ = 0;
  if (repeatMode == 2) return items_[static_cast<size_t>(currentIndex_)];
  if (shuffle) {
    int32_t r = randomBelow(n);
    // Never the same item twice in a row when there is another one.
    if (r == currentIndex_ && n > 1) r = (r + 1) % n;
    currentIndex_ = r;
    return items_[static_cast<size_t>(r)];
  }
  // With nothing current (a freshly loaded queue, or the current item was removed) the
  // first item is next, not the second.
  int32_t candidate = noCurrent ? 0 : currentIndex_ + 1;
  if (candidate >= n) {
    if (repeatMode != 1) return {};
    candidate = 0;
  }
  currentIndex_ = candidate;
  return items_[static_cast<size_t>(candidate)];
}

bool Playlist::hasNext() const {
  int32_t n = count();
  if (n == 0) return false;
  if (repeatMode == 2 || shuffle || repeatMode == 1) return true;
  if (currentIndex_ < 0 || currentIndex_ >= n) return true;
  return currentIndex_ + 1 < n;
}

PlaylistItem Playlist::previous() {
  int32_t n = count();
  if (n == 0) return {};
  if (currentIndex_ < 0 || currentIndex_ >= n) currentIndex_ = 0;
  if (shuffle) {
    currentIndex_ = randomBelow(n);
    return items_[static_cast<size_t>(currentIndex_)];
  }
  int32_t candidate = currentIndex_ - 1;
  if (candidate < 0) {
    if (repeatMode != 1) return {};
    candidate = n - 1;
  }
  currentIndex_ = candidate;
  return items_[static_cast<size_t>(candidate)];
}

void Playlist::cycleRepeatMode() { repeatMode = repeatMode == 0 ? 1 : repeatMode == 1 ? 2 : 0; }

void Playlist::toggleShuffle() { shuffle = !shuffle; }

const PlaylistCategory* Playlist::findCategory(std::string_view name) const {
  for (const PlaylistCategory& c : categories_) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

std::vector<std::string> Playlist::mergedCategoryNames() const {
  std::vector<std::string> names;
  std::unordered_set<std::string_view> seen;
  // A file may hold the same record twice; listing it twice would show its items twice.
  for (const PlaylistCategory& c : categories_) {
    if (seen.insert(c.name).second) names.push_back(c.name);
  }
  for (const PlaylistItem& item : items_) {
    if (!item.category.empty() && seen.insert(item.category).second) names.push_back(item.category);
  }
  return names;
}

void Playlist::toggleCollapsed(int32_t mergedIndex) {
  std::vector<std::string> names = mergedCategoryNames();
  if (mergedIndex < 0 || mergedIndex >= static_cast<int32_t>(names.size())) return;
  const std::string& name = names[static_cast<size_t>(mergedIndex)];
  for (PlaylistCategory& c : categories_) {
    if (c.name == name) {
      c.collapsed = !c.collapsed;
      return;
    }
  }
  categories_.push_back({name, true});
}

std::vector<PlaylistRow> Playlist::buildRows() const {
  std::vector<PlaylistRow> rows;
  rows.reserve(items_.size() + categories_.size());
  std::unordered_map<std::string_view, std::vector<int32_t>> byCategory;
  for (size_t i = 0; i < items_.size(); ++i) {
    const PlaylistItem& item = items_[i];
    if (item.category.empty())
      rows.push_back({PlaylistRow::kItem, static_cast<int32_t>(i), std::string()});
    else
      byCategory[item.category].push_back(static_cast<int32_t>(i));
  }
  std::vector<std::string> names = mergedCategoryNames();
  for (size_t k = 0; k < names.size(); ++k) {
    const std::string& name = names[k];
    auto it = byCategory.find(name);
    if (name.empty() || it == byCategory.end()) continue;
    rows.push_back({PlaylistRow::kHeader, static_cast<int32_t>(k), name});
    const PlaylistCategory* record = findCategory(name);
    if (record && record->collapsed) continue;
    for (int32_t i : it->second) rows.push_back({PlaylistRow::kItem, i, name});
  }
  return rows;
}

std::vector<std::string> Playlist::categoryNames() const {
  std::vector<std::string> names;
  names.reserve(categories_.size());
  for (const PlaylistCategory& c : categories_) names.push_back(c.name);
  return names;
}

void Playlist::parse(std::string_view bytes) {
  items_.clear();
  categories_.clear();
  currentIndex_ = -1;
  scrollOffset = 0;
  for (std::string_view line : splitLines(bytes)) {
    if (startsWith(line, kCategoryTag)) {
      std::string_view rest = line.substr(kCategoryTag.size());
      size_t bar = rest.find('|');
      if (bar == std::string_view::npos) continue;
      categories_.push_back({repairUtf8(rest.substr(0, bar)), rest.substr(bar + 1) == "1"});
    } else if (startsWith(line, kItemTag)) {
      std::string_view rest = line.substr(kItemTag.size());
      std::string_view pieces[5];
      size_t found = 0;
      size_t start = 0;
      while (found < 5) {
        size_t bar = rest.find('|', start);
        if (bar == std::string_view::npos) {
          // Fewer than five separators: what follows the last one is the final piece.
          pieces[found++] = rest.substr(start);
          break;
        }
        pieces[found++] = rest.substr(start, bar - start);
        start = bar + 1;
      }
      // An item without a path could never be played and would read as "no item".
      if (found < 5 || pieces[4].empty()) continue;
      PlaylistItem item;
      item.isStream = pieces[0] == "1";
      item.category = repairUtf8(pieces[1]);
      item.streamUrl = pieces[2];
      item.title = repairUtf8(pieces[3]);
      // Paths stay as bytes: a file whose name is not UTF-8 must still open.
      item.path = pieces[4];
      items_.push_back(std::move(item));
    }
  }
}

bool Playlist::load(const std::string& path) {
  std::string bytes;
  if (!readFileLimited(path, kMaxFileBytes, bytes)) return false;
  parse(bytes);
  return true;
}

std::string Playlist::serialize() const {
  std::string out;
  size_t estimate = 0;
  for (const PlaylistItem& item : items_)
    estimate += 10 + item.category.size() + item.streamUrl.size() + item.title.size() + item.path.size();
  out.reserve(estimate);
  for (const PlaylistCategory& c : categories_) {
    out.append(kCategoryTag);
    out.append(storableText(c.name));
    out.append(c.collapsed ? "|1\n" : "|0\n");
  }
  for (const PlaylistItem& item : items_) {
    std::string url, path;
    if (!storableLocator(item.streamUrl, true, url) || !storableLocator(item.path, item.isStream, path)) {
      debugLog("Playlist item not saved: its path cannot be stored");
      continue;
    }
    out.append(kItemTag);
    out.append(item.isStream ? "1" : "0");
    out.push_back('|');
    out.append(storableText(item.category));
    out.push_back('|');
    out.append(url);
    out.push_back('|');
    out.append(storableText(item.title));
    out.push_back('|');
    out.append(path);
    out.push_back('\n');
  }
  return out;
}

bool Playlist::save(const std::string& path) const {
  if (items_.empty()) return false;
  if (!writeFileAtomic(path, serialize())) {
    debugLog("Playlist save failed");
    return false;
  }
  return true;
}

std::string playlistFilePath() { return pathBesideExecutable("playlist.dat"); }

}  // namespace vell
