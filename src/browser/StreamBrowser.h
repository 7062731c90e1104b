// The stream browser: the radio and podcast side panel with its search.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/FeedParse.h"
#include "catalog/StreamCatalog.h"
#include "catalog/StreamEntry.h"
#include "history/PodcastHistory.h"
#include "platform/Canvas.h"
#include "platform/HostWarmup.h"
#include "render/UiResources.h"

namespace vell {

// One line of the browser's list.
struct BrowserRow {
  enum Kind : int { Header = 0, Entry = 1, Episode = 2 };
  int kind = Header;
  const StreamEntry* entry = nullptr;  // catalogue entry of an Entry row
  int index = -1;                      // episode index of an Episode row
  std::string text;
};

// What a point of the panel is (hitTest).
enum BrowserHit : int {
  kBrowserNothing = 0,
  kBrowserClose = 1,
  kBrowserRadioTab = 2,
  kBrowserPodcastTab = 3,
  kBrowserAdd = 4,
  kBrowserEntry = 5,
  kBrowserEpisode = 6,
  kBrowserSearch = 7,       // the search box (shown while searching)
  kBrowserSearchClear = 8,  // its clear mark, shown while it holds text
};

// The radio and podcast side panel: the flat row list built from the catalogue, its
// drawing and hit test. The window's input handlers change the fields and call
// rebuildRows; window thread only.
class StreamBrowser {
 public:
  static constexpr float kHeaderHeight = 36;
  static constexpr float kTabsBottom = 68;
  static constexpr float kListTop = 70;       // below the tabs
  static constexpr float kSearchHeight = 28;  // the search box pushes the list down by this
  static constexpr float kRowHeight = 36;
  static constexpr float kEpisodeHeight = 30;
  static constexpr float kSpinnerHeight = 56;

  bool open = false;
  int mode = 0;  // 0 radio, 1 podcast
  int scroll = 0;
  int hoverRow = -1;
  // Id of the podcast whose episodes are listed (empty: none). Kept by id, because the
  // catalogue's lists are rebuilt whenever the user changes them.
  std::string expandedPodcast;
  std::vector<PodcastEpisode> episodes;
  bool loading = false;
  const PodcastHistory* history = nullptr;
  std::string currentEpisodeUrl;
  std::string searchText;
  bool searchFocused = false;  // the search has the keyboard: typed characters go to it
  const StreamCatalog* catalogue = nullptr;
  std::string currentStreamId;
  std::vector<BrowserRow> rows;
  int rowsMode = -1;

  std::string composition;  // input-method text still being composed
  int pointedRow = -1;      // entry row under the last hit test that returned kBrowserEntry
  int pointedEpisode = -1;  // episode index under the last hit test that returned kBrowserEpisode

  void rebuildRows();
  // Rebuilds when the mode differs from the rows' mode or the catalogue's lists were
  // replaced since the rows were built (their entry pointers would be stale).
  void ensureRows();

  void draw(Canvas& c, const UiResources& r, const RectF& panel, uint32_t tick);
  // Code of the point (BrowserHit); sets the hover row and the pointed entry or episode.
  int hitTest(float x, float y, const RectF& panel);
  // The catalogue entry of the row under the point (selecting it, as hitTest does), or null.
  const StreamEntry* entryAt(float x, float y, const RectF& panel);
  // The episode under the point, or null.
  const PodcastEpisode* episodeAt(float x, float y, const RectF& panel);

  bool searchShown() const { return searchFocused || !searchText.empty() || !composition.empty(); }
  float listTop(const RectF& panel) const { return panel.top + kListTop + (searchShown() ? kSearchHeight : 0); }
  // max(1, 1 + list height / 36) rows fit; the scroll index is kept within 0..rows - that.
  int visibleRows(const RectF& panel) const;
  void clampScroll(const RectF& panel);

  // Search typing. Each returns true when the search text changed (the rows are then
  // rebuilt and the scroll returns to the top).
  bool typeText(std::string_view text);
  bool backspace();
  bool clearSearch();

  // Starts the background host look-up for the entry under the hover row, once per host.
  bool warmHost(const StreamEntry& entry);
  const HostWarmup& warmup() const { return warmup_; }

  // "date  title", or the title alone without a date.
  static std::string episodeText(const PodcastEpisode& e);
  // Longer than 40 code points: the first 38 and "..".
  static std::string cutEpisodeText(std::string_view text);

 private:
  struct Placed {
    int row;
    float top, bottom;
  };
  // Rows from the scroll index down to the panel bottom; `end` is the y after the last row
  // when every row fits, else a value at or past the bottom.
  std::vector<Placed> place(const RectF& panel, float& end) const;
  // Top of the add button's band below the rows (after the spinner when loading).
  float addBandTop(const RectF& panel, float end) const;
  bool catalogueChanged() const;

  const void* radioData_ = nullptr;
  const void* podcastData_ = nullptr;
  size_t radioCount_ = 0, podcastCount_ = 0;
  HostWarmup warmup_;
};

}  // namespace vell
