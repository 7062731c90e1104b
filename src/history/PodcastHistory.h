// Where each podcast episode was left off: positions, lengths and the history file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vell {

// The subtitle track the user chose for an item: none, an embedded stream (by its index and
// language, for when the numbering no longer fits) or a file (its name beside the medium, or its
// whole path when it lies elsewhere).
struct SubtitlePick {
  enum Kind { Unset, None, Stream, File };
  Kind kind = Unset;
  int stream = -1;
  std::string language;
  std::string file;
  bool operator==(const SubtitlePick&) const = default;
};

// Resume position and length of one played item.
struct HistoryRecord {
  double position = 0.0;     // seconds played
  double duration = 0.0;     // seconds; 0 while unknown
  uint64_t lastUpdated = 0;  // milliseconds, from the history's clock
  // The audio track the user chose: its stream index, and its language for when the
  // numbering no longer fits; -1 and empty when none was chosen.
  int audioStream = -1;
  std::string audioLanguage;
  SubtitlePick subtitle;
};

// Where each file or episode was left, keyed by the UTF-8 path or URL that was opened.
// Kept in "podcast_history.ini". Every operation is safe from any thread.
class PodcastHistory {
 public:
  static constexpr size_t kMaxLoaded = 200;
  // The stamp stored in lastUpdated. Wall-clock milliseconds by default, so that records
  // keep their order across restarts of the computer.
  using Clock = std::function<uint64_t()>;

  PodcastHistory();
  PodcastHistory(const PodcastHistory&) = delete;
  PodcastHistory& operator=(const PodcastHistory&) = delete;

  void setClock(Clock clock);

  // Replaces the records with the file's. A missing or unreadable file leaves the history
  // empty and returns false.
  bool load(const std::string& path);
  // Writes every record (temporary file, then rename). False when nothing was written.
  bool save(const std::string& path) const;

  // Replaces the records with those of the file's bytes, keeping the newest 200.
  void parse(std::string_view bytes);
  // The file's bytes: the header line, then one "key|position|duration|stamp" line per
  // record, newest first; a chosen audio track follows the stamp as ";audio=STREAM:LANGUAGE",
  // a chosen subtitle track as ";sub=none", ";sub=STREAM:LANGUAGE" or ";sub=file:NAME" (the
  // name with "%", ";", "|" and control characters written as %XX).
  std::string serialize() const;

  // Records a position; ignored for an empty key or a position under 0.5 s. A duration
  // of 0 (unknown) keeps the one stored earlier.
  void update(const std::string& key, double position, double duration);
  // The item played to its end: its position becomes its length, so no resume applies
  // and it still counts as finished. Without a known length the record goes.
  void finish(const std::string& key, double duration);
  // Remembers the audio track chosen for the item (a stream index under 0 forgets it).
  void setAudioTrack(const std::string& key, int stream, const std::string& language);
  // Remembers the subtitle track chosen for the item (Unset forgets it).
  void setSubtitleTrack(const std::string& key, const SubtitlePick& pick);
  double position(const std::string& key) const;
  // position / duration within [0, 1]; 0 without a record or a known duration.
  float progress(const std::string& key) const;
  bool isFinished(const std::string& key) const;

  bool find(const std::string& key, HistoryRecord& out) const;
  size_t size() const;
  void clear();

 private:
  std::string serializeLocked() const;

  mutable std::mutex mutex_;
  // Serialises writers of the file without holding mutex_ during disk I/O.
  mutable std::mutex saveMutex_;
  std::unordered_map<std::string, HistoryRecord> records_;
  Clock clock_;
};

// "podcast_history.ini" in the program's directory.
std::string historyFilePath();

}  // namespace vell
