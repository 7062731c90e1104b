// The play queue: items, categories, the current item and the queue file.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vell {

// One queue entry. An item with an empty path means "none" (next/previous found nothing).
struct PlaylistItem {
  std::string path;      // local file path; for a stream, its URL
  std::string title;     // display name
  std::string category;  // empty: uncategorised
  double duration = 0.0;
  bool isStream = false;
  std::string streamUrl;  // the URL as added; empty for files

  bool empty() const { return path.empty(); }
};

struct PlaylistCategory {
  std::string name;
  bool collapsed = false;
};

// One line of the playlist panel, computed on demand.
struct PlaylistRow {
  static constexpr int32_t kHeader = 0;
  static constexpr int32_t kItem = 1;
  int32_t kind = kItem;
  int32_t index = 0;  // header: position in the merged name list; item: index in the queue
  std::string text;   // header: category name; item: its category (empty when none)
};

// The play queue: items with optional categories, the current item and the repeat and
// shuffle modes. Indices are 32-bit; calls with an index outside the queue are ignored.
class Playlist {
 public:
  // A non-negative pseudo-random integer; tests install a fixed sequence.
  using RandomSource = std::function<uint32_t()>;

  // Panel and mode state, read and written by the window and the panel.
  int32_t repeatMode = 0;  // 0 none, 1 repeat all, 2 repeat one
  bool shuffle = false;
  int32_t scrollOffset = 0;
  int32_t hoverRow = -1;
  bool visible = false;
  bool pinned = false;

  Playlist();

  void setRandomSource(RandomSource source);

  const std::vector<PlaylistItem>& items() const { return items_; }
  const std::vector<PlaylistCategory>& categories() const { return categories_; }
  int32_t count() const { return static_cast<int32_t>(items_.size()); }
  bool empty() const { return items_.empty(); }
  int32_t currentIndex() const { return currentIndex_; }
  // The first item whose path is exactly `path`, or -1.
  int32_t indexOfPath(std::string_view path) const;

  void addFile(const std::string& path);
  void addStream(const std::string& streamUrl, const std::string& title, const std::string& category);
  void addCategory(const std::string& name);
  void setCategory(int32_t index, const std::string& name);
  void remove(int32_t index);
  void clear();
  void setCurrent(int32_t index);
  void setDuration(int32_t index, double seconds);

  PlaylistItem next();
  PlaylistItem previous();
  // Whether next() would return an item, without moving the current index.
  bool hasNext() const;
  void cycleRepeatMode();
  void toggleShuffle();

  // Category names shown by the panel: stored records first, then names that only items
  // carry, each once.
  std::vector<std::string> mergedCategoryNames() const;
  void toggleCollapsed(int32_t mergedIndex);
  std::vector<PlaylistRow> buildRows() const;
  std::vector<std::string> categoryNames() const;

  // Replaces queue and categories with the file's content. A missing or unreadable file
  // changes nothing and returns false.
  bool load(const std::string& path);
  // Writes the file (temporary file, then rename). An empty queue writes nothing, so the
  // previous file stays; returns whether the file was written.
  bool save(const std::string& path) const;

  // Replaces queue and categories with those read from the file's bytes.
  void parse(std::string_view bytes);
  std::string serialize() const;

  // The title a file item gets: the file name without its last extension.
  static std::string titleFromPath(std::string_view path);

 private:
  int32_t randomBelow(int32_t count);
  const PlaylistCategory* findCategory(std::string_view name) const;

  std::vector<PlaylistItem> items_;
  std::vector<PlaylistCategory> categories_;
  int32_t currentIndex_ = -1;
  RandomSource random_;
};

// "playlist.dat" in the program's directory.
std::string playlistFilePath();

}  // namespace vell
