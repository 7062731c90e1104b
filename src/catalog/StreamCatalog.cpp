// Building, searching and changing the catalogue; window thread.
#include "catalog/StreamCatalog.h"

#include <algorithm>
#include <utility>

#include "platform/Files.h"
#include "platform/Text.h"

namespace vell {

namespace {

void collectGenres(const std::vector<StreamEntry>& list, std::vector<std::string>& genres) {
  genres.clear();
  for (const StreamEntry& e : list) {
    if (std::find(genres.begin(), genres.end(), e.genre) == genres.end()) genres.push_back(e.genre);
  }
}

std::vector<const StreamEntry*> byGenre(const std::vector<StreamEntry>& list, std::string_view genre) {
  std::vector<const StreamEntry*> out;
  for (const StreamEntry& e : list) {
    if (e.genre == genre) out.push_back(&e);
  }
  return out;
}

std::vector<const StreamEntry*> search(const std::vector<StreamEntry>& list, std::string_view query) {
  std::vector<const StreamEntry*> out;
  std::string q = asciiLower(query);
  for (const StreamEntry& e : list) {
    if (q.empty() || contains(asciiLower(e.name), q) || contains(asciiLower(e.genre), q) ||
        contains(asciiLower(e.description), q))
      out.push_back(&e);
  }
  return out;
}

}  // namespace

StreamCatalog::StreamCatalog(std::string directory) : directory_(directory), userDirectory_(std::move(directory)) {}

StreamCatalog::StreamCatalog(std::string builtinDirectory, std::string userDirectory)
    : directory_(std::move(builtinDirectory)), userDirectory_(std::move(userDirectory)) {}

std::string StreamCatalog::builtinPath() const { return directory_ + "/" + kBuiltinFileName; }
std::string StreamCatalog::userPath() const { return userDirectory_ + "/" + kUserFileName; }

void StreamCatalog::load() {
  std::string builtinBytes, userBytes;
  if (!readFile(builtinPath(), builtinBytes)) builtinBytes.clear();
  if (!readFile(userPath(), userBytes)) userBytes.clear();
  loadFromText(builtinBytes, userBytes);
}

void StreamCatalog::loadFromText(std::string_view builtinBytes, std::string_view userBytes) {
  builtins_ = parseBuiltinCatalog(builtinBytes);
  UserCatalog user = parseUserCatalog(userBytes);
  hiddenIds_ = std::move(user.hiddenIds);
  overrides_ = std::move(user.overrides);
  rebuild(user.additions);
}

// Built-ins, then the user's additions, each in its list by type; the edits are applied,
// hidden built-ins dropped and the genre lists collected again.
void StreamCatalog::rebuild(const std::vector<StreamEntry>& additions) {
  radioStreams_.clear();
  podcastStreams_.clear();
  for (const std::vector<StreamEntry>* source : {&std::as_const(builtins_), &additions}) {
    for (const StreamEntry& e : *source) (isPodcastType(e.type) ? podcastStreams_ : radioStreams_).push_back(e);
  }

  // An edit replaces the first built-in of each list with its id. It never lands on a
  // user entry: that would turn the user's own stream into a built-in that is not saved.
  for (const StreamEntry& o : overrides_) {
    for (std::vector<StreamEntry>* list : {&radioStreams_, &podcastStreams_}) {
      auto it = std::find_if(list->begin(), list->end(),
                             [&](const StreamEntry& e) { return !e.isUser && e.id == o.id; });
      if (it == list->end()) continue;
      *it = o;
      it->isUser = false;
      it->isModified = true;
    }
  }

  auto hidden = [&](const StreamEntry& e) {
    return !e.isUser && std::find(hiddenIds_.begin(), hiddenIds_.end(), e.id) != hiddenIds_.end();
  };
  std::erase_if(radioStreams_, hidden);
  std::erase_if(podcastStreams_, hidden);

  collectGenres(radioStreams_, radioGenres_);
  collectGenres(podcastStreams_, podcastGenres_);
}

UserCatalog StreamCatalog::userState() const {
  UserCatalog user;
  user.hiddenIds = hiddenIds_;
  user.overrides = overrides_;
  for (const std::vector<StreamEntry>* list : {&radioStreams_, &podcastStreams_}) {
    for (const StreamEntry& e : *list) {
      if (e.isUser) user.additions.push_back(e);
    }
  }
  return user;
}

std::string StreamCatalog::userFileText() const { return formatUserCatalog(userState()); }

bool StreamCatalog::save() const { return writeFileAtomic(userPath(), userFileText()); }

bool StreamCatalog::commit() {
  if (save()) {
    load();
    return true;
  }
  // The file keeps its old content; rebuilding from it would throw the change away.
  UserCatalog user = userState();
  rebuild(user.additions);
  return false;
}

bool StreamCatalog::addUserStream(const StreamEntry& entry) {
  StreamEntry copy = entry;
  copy.isUser = true;
  (isPodcastType(copy.type) ? podcastStreams_ : radioStreams_).push_back(std::move(copy));
  return commit();
}

bool StreamCatalog::editBuiltin(const std::string& id, const StreamEntry& entry) {
  auto it = std::find_if(overrides_.begin(), overrides_.end(), [&](const StreamEntry& o) { return o.id == id; });
  StreamEntry copy = entry;
  copy.id = id;
  if (it != overrides_.end()) {
    *it = std::move(copy);
  } else {
    overrides_.push_back(std::move(copy));
  }
  return commit();
}

bool StreamCatalog::deleteUserStream(const std::string& id) {
  auto match = [&](const StreamEntry& e) { return e.isUser && e.id == id; };
  std::erase_if(radioStreams_, match);
  std::erase_if(podcastStreams_, match);
  return commit();
}

bool StreamCatalog::hideBuiltin(const std::string& id) {
  if (std::find(hiddenIds_.begin(), hiddenIds_.end(), id) != hiddenIds_.end()) return true;
  hiddenIds_.push_back(id);
  return commit();
}

bool StreamCatalog::restoreBuiltin(const std::string& id) {
  std::erase(hiddenIds_, id);
  std::erase_if(overrides_, [&](const StreamEntry& o) { return o.id == id; });
  return commit();
}

bool StreamCatalog::backUpUserFile() const {
  std::string bytes;
  if (!fileExists(userPath())) return true;
  return readFile(userPath(), bytes) && writeFileAtomic(userPath() + kBackupSuffix, bytes);
}

int StreamCatalog::kindOfBuiltin(std::string_view id) const {
  for (const StreamEntry& e : builtins_) {
    if (e.id == id) return isPodcastType(e.type) ? 1 : 0;
  }
  return -1;
}

bool StreamCatalog::reset(bool podcasts) {
  // Without the copy nothing is dropped: the user's own entries are not ours to lose.
  if (!backUpUserFile()) return false;
  const int kind = podcasts ? 1 : 0;
  std::erase_if(hiddenIds_, [&](const std::string& id) { return kindOfBuiltin(id) == kind; });
  std::erase_if(overrides_, [&](const StreamEntry& o) {
    int k = kindOfBuiltin(o.id);
    return (k >= 0 ? k : isPodcastType(o.type) ? 1 : 0) == kind;
  });
  std::erase_if(podcasts ? podcastStreams_ : radioStreams_, [](const StreamEntry& e) { return e.isUser; });
  return commit();
}

bool StreamCatalog::resetAll() {
  if (!backUpUserFile()) return false;
  removeFile(userPath());
  hiddenIds_.clear();
  overrides_.clear();
  load();
  return !fileExists(userPath());
}

const StreamEntry* StreamCatalog::findById(std::string_view id) const {
  for (const std::vector<StreamEntry>* list : {&radioStreams_, &podcastStreams_}) {
    for (const StreamEntry& e : *list) {
      if (e.id == id) return &e;
    }
  }
  return nullptr;
}

std::vector<const StreamEntry*> StreamCatalog::radioByGenre(std::string_view genre) const {
  return byGenre(radioStreams_, genre);
}
std::vector<const StreamEntry*> StreamCatalog::podcastsByGenre(std::string_view genre) const {
  return byGenre(podcastStreams_, genre);
}
std::vector<const StreamEntry*> StreamCatalog::searchRadio(std::string_view query) const {
  return search(radioStreams_, query);
}
std::vector<const StreamEntry*> StreamCatalog::searchPodcasts(std::string_view query) const {
  return search(podcastStreams_, query);
}

std::string StreamCatalog::newUserId(uint32_t tick) const {
  for (;;) {
    std::string id = "user_" + std::to_string(tick);
    if (!findById(id)) return id;
    ++tick;
  }
}

int32_t streamTypeForUrl(std::string_view url, bool podcast) {
  if (contains(url, ".m3u8")) return RADIO_HLS;
  if (contains(url, ".pls")) return RADIO_PLS;
  return podcast ? PODCAST_RSS : RADIO_MP3;
}

}  // namespace vell
