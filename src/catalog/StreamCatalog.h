// The stream browser's stations and podcasts: the built-in list and the user's changes to it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/StreamCatalogFile.h"
#include "catalog/StreamEntry.h"

namespace vell {

// The radio stations and podcasts of the stream browser. Built-ins come from streams.ini
// (never written); everything the user changes lives in streams_user.ini beside it, so a
// full reset is deleting that file. Window thread only.
//
// Look-ups return pointers into the two lists; every changing operation rebuilds the
// lists and invalidates them.
class StreamCatalog {
 public:
  static constexpr const char* kBuiltinFileName = "streams.ini";
  static constexpr const char* kUserFileName = "streams_user.ini";

  // `directory` holds both files.
  explicit StreamCatalog(std::string directory);
  // The built-ins are read from `builtinDirectory`, the user's file lives in `userDirectory`.
  StreamCatalog(std::string builtinDirectory, std::string userDirectory);

  std::string builtinPath() const;
  std::string userPath() const;

  // Rebuilds the catalogue from both files; missing files contribute nothing.
  void load();
  // The same rebuild from the files' contents (used by load, and by the fuzzer).
  void loadFromText(std::string_view builtinBytes, std::string_view userBytes);
  // Writes streams_user.ini in one piece. False when it could not be written; the old
  // file is then left as it was.
  bool save() const;
  // The content save() writes: the header, the hidden ids, the edits, then the user's
  // own entries (radio first).
  std::string userFileText() const;

  // The changing operations save and then reload from the files. They return false when
  // the user file could not be written; the change then still holds in memory for the
  // rest of the session (and reaches the file with the next successful save).
  bool addUserStream(const StreamEntry& entry);
  bool editBuiltin(const std::string& id, const StreamEntry& entry);
  bool deleteUserStream(const std::string& id);
  bool hideBuiltin(const std::string& id);
  bool restoreBuiltin(const std::string& id);
  // Deletes the user file and rebuilds from the built-ins alone. False when the file could
  // not be deleted (the catalogue is then rebuilt from it as it still stands).
  bool resetAll();
  // Drops the user's additions, edits and hidden entries of one kind (radio or podcasts),
  // keeping the other kind's. False when the file could not be written.
  bool reset(bool podcasts);
  // Every reset first keeps the user file as it stood in streams_user.ini.bak (one copy).
  static constexpr const char* kBackupSuffix = ".bak";

  // First entry with that id, radio first; null when there is none.
  const StreamEntry* findById(std::string_view id) const;
  std::vector<const StreamEntry*> radioByGenre(std::string_view genre) const;
  std::vector<const StreamEntry*> podcastsByGenre(std::string_view genre) const;
  // Entries whose name, genre or description contains the query, compared with ASCII
  // letters lower-cased (other characters, Hangul included, match exactly). An empty
  // query matches everything.
  std::vector<const StreamEntry*> searchRadio(std::string_view query) const;
  std::vector<const StreamEntry*> searchPodcasts(std::string_view query) const;

  // "user_" and the tick count, stepped past any id already in the catalogue so that two
  // entries added within the same millisecond never share an id.
  std::string newUserId(uint32_t tick) const;

  const std::vector<StreamEntry>& radioStreams() const { return radioStreams_; }
  const std::vector<StreamEntry>& podcastStreams() const { return podcastStreams_; }
  const std::vector<std::string>& radioGenres() const { return radioGenres_; }
  const std::vector<std::string>& podcastGenres() const { return podcastGenres_; }
  const std::vector<std::string>& hiddenIds() const { return hiddenIds_; }
  const std::vector<StreamEntry>& overrides() const { return overrides_; }

 private:
  void rebuild(const std::vector<StreamEntry>& additions);
  bool commit();
  UserCatalog userState() const;
  bool backUpUserFile() const;
  // 1 when the built-in with that id is a podcast, 0 a radio station, -1 no such built-in.
  int kindOfBuiltin(std::string_view id) const;

  std::string directory_;
  std::string userDirectory_;
  std::vector<StreamEntry> builtins_;  // streams.ini as last read, before edits and hides

  std::vector<StreamEntry> radioStreams_;
  std::vector<StreamEntry> podcastStreams_;
  std::vector<std::string> radioGenres_;
  std::vector<std::string> podcastGenres_;
  std::vector<std::string> hiddenIds_;
  std::vector<StreamEntry> overrides_;
};

// The type a newly added stream gets from its URL: ".m3u8" anywhere is HLS, else ".pls"
// is a PLS playlist, else an RSS feed when a podcast is added and a direct stream otherwise.
int32_t streamTypeForUrl(std::string_view url, bool podcast);

}  // namespace vell
