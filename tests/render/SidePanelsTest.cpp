// The side panels of a 1000 x 700 window, at (680, 32)-(1000, 632). The stream browser's list
// starts at y 102 (130 with the search box), rows 36 high, episodes 30; the settings panel has
// a 36-pixel header, then sections 28 high and rows 36, the first 8 lower.
#include <gtest/gtest.h>

#include <set>

#include "Scenes.h"
#include "browser/StreamBrowser.h"
#include "render/SettingsPanel.h"

namespace vell::test {
namespace {

const RectF kPanel{680, 32, 1000, 632};

bool bluish(uint32_t c) { return (c & 0xFF) > ((c >> 16) & 0xFF) + 30; }
// A 1-wide outline on a whole-pixel edge covers half of the pixels on both sides of it, or
// all of those on one side where shapes are drawn without antialiasing.
bool bluishEdge(const Drawn& d, int x, int y) { return bluish(d.at(x - 1, y)) || bluish(d.at(x, y)); }

// Two radio genres (3 + `extra` stations and 2) and two podcasts.
std::string catalogueText(int extra = 0) {
  std::string t =
      "RADIO_MP3|r1|Alpha FM|Seoul|desc one|http://alpha.example:8000/live\n"
      "RADIO_MP3|r2|Beta FM|Seoul|desc two|http://beta.example/live\n"
      "RADIO_MP3|r3|Gamma|Seoul||http://gamma.example/live\n"
      "RADIO_MP3|r4|Delta 라디오|News|뉴스|http://delta.example/live\n"
      "RADIO_MP3|r5|Epsilon|News||http://epsilon.example/live\n"
      "PODCAST_RSS|p1|First Cast|Talk|talk|http://feeds.example/1.xml\n"
      "PODCAST_RSS|p2|Second Cast|Talk|talk|http://feeds.example/2.xml\n";
  for (int i = 0; i < extra; ++i)
    t += "RADIO_MP3|x" + std::to_string(i) + "|Extra " + std::to_string(i) + "|Seoul||http://x.example/\n";
  return t;
}

TEST(StreamBrowser, RadioListEpisodesSpinnerAndAddButton) {
  StreamCatalog catalog{"/nonexistent-dir"};
  catalog.loadFromText(catalogueText(), "");
  PodcastHistory history;
  StreamBrowser b;
  b.catalogue = &catalog;
  b.history = &history;
  Drawn d;
  d.canvas.resize(1000, 700);
  auto draw = [&](const RectF& panel = kPanel) {
    d.canvas.clear();
    b.rebuildRows();
    b.draw(d.canvas, d.res, panel, 1000);
  };
  b.currentStreamId = "r2";
  b.hoverRow = 1;  // Alpha FM
  draw();
  // Genre header 102..138, hovered row 138..174, current row 174..210 with its accent bar.
  const uint32_t accent = d.at(681, 40), panel = d.at(800, 212), header = d.at(800, 104);
  EXPECT_EQ(std::set<uint32_t>({accent, panel, header, d.at(800, 140), d.at(800, 176)}).size(), 5u);
  EXPECT_EQ(d.at(700, 98), accent);  // the radio tab's underline
  EXPECT_EQ(d.at(682, 180), accent);
  b.searchFocused = true;  // the search box pushes the list 28 lower
  draw();
  EXPECT_EQ(d.at(800, 132), header);
  EXPECT_EQ(d.at(682, 208), accent);
  // Episodes 174..204 (finished: a dot), 204..234 (half: its bar filled from below), 234..264 (playing).
  b.mode = 1;
  b.searchFocused = false;
  b.expandedPodcast = "p1";
  b.episodes = {{"done", "2024", "http://e/0.mp3"}, {"half", "", "http://e/1.mp3"}, {"now", "", "http://e/2.mp3"}};
  history.update("http://e/0.mp3", 95, 100);
  history.update("http://e/1.mp3", 50, 100);
  b.currentEpisodeUrl = "http://e/2.mp3";
  draw();
  EXPECT_EQ(d.at(852, 98), accent);  // the podcast tab's underline
  for (auto [y, lit] : {std::pair{189, true}, {226, true}, {211, false}, {268, false}})
    EXPECT_EQ(d.at(696, y) == accent, lit) << y;
  EXPECT_EQ(d.at(681, 240), accent);
  b.expandedPodcast = "p2";  // loading: a spinner about (840, 228), then the add button from 272
  b.episodes.clear();
  b.loading = true;
  draw();
  bool spokes = false;
  for (int y = 217; y <= 239; ++y)
    for (int x = 829; x <= 851; ++x) spokes |= bluish(d.at(x, y));
  EXPECT_TRUE(spokes);
  EXPECT_FALSE(bluish(d.at(840, 228)));  // hollow centre
  EXPECT_TRUE(bluishEdge(d, 790, 287));  // the button's left edge
  // No search matches: only the add button, at 136..166, needing 36 pixels below the 4-pixel gap.
  b.mode = 0;
  b.searchText = "zzz";
  for (auto [bottom, shown] : {std::pair{170.0f, true}, {169.0f, false}}) {
    draw(RectF{680, 32, 1000, bottom});
    EXPECT_EQ(bluishEdge(d, 790, 150), shown) << bottom;
  }
}

TEST(StreamBrowser, HitTestTable) {
  StreamCatalog catalog{"/nonexistent-dir"};
  catalog.loadFromText(catalogueText(20), "");  // Seoul: 23 stations, News: 2 -> 27 rows
  StreamBrowser b;
  b.catalogue = &catalog;
  // Outside, the close mark, the tabs, header, station, scrolled (clamped to 27 - 15), the search box and
  // its clear mark, a search result, the add band.
  struct Case { int scroll; const char* search; float x, y; int code, hover; } const cases[] = {
      {0, "", 679, 300, kBrowserNothing, -1},     {0, "", 990, 40, kBrowserClose, -1},
      {0, "", 839, 80, kBrowserRadioTab, -1},     {0, "", 840, 99, kBrowserPodcastTab, -1},
      {0, "", 800, 102, kBrowserNothing, 0},      {0, "", 800, 173, kBrowserEntry, 1},
      {99, "", 800, 110, kBrowserEntry, 12},      {0, "Delta", 800, 131, kBrowserEntry, 0},
      {0, "Delta", 800, 110, kBrowserSearch, -1}, {0, "Delta", 990, 110, kBrowserSearchClear, -1},
      {0, "Delta", 800, 170, kBrowserAdd, -1},    {0, "Delta", 800, 168, kBrowserNothing, -1},
  };
  for (const Case& c : cases) {
    b.searchText = c.search;
    b.rebuildRows();
    b.scroll = c.scroll;
    b.hoverRow = 77;
    EXPECT_EQ(b.hitTest(c.x, c.y, kPanel), c.code) << c.search << " " << c.x << "," << c.y;
    EXPECT_EQ(b.hoverRow, c.hover) << c.search << " " << c.x << "," << c.y;
  }
  b.searchText.clear();
  b.rebuildRows();
  b.scroll = 0;
  EXPECT_EQ(b.entryAt(800, 150, kPanel)->id, "r1");
  EXPECT_EQ(b.entryAt(800, 110, kPanel), nullptr);  // a header has no entry
  b.mode = 1;  // a tab switch rebuilds on the next hit test, with nothing else changed
  EXPECT_EQ(b.hitTest(800, 140, kPanel), kBrowserEntry);
  EXPECT_EQ(b.rows[b.pointedRow].entry->id, "p1");
  b.mode = 0;
  b.hitTest(800, 140, kPanel);
  catalog.loadFromText(catalogueText(), "");  // the lists replaced under the rows: rebuilt before use
  EXPECT_EQ(b.entryAt(800, 150, kPanel)->id, "r1");
  EXPECT_EQ(b.rows.size(), 7u);
}

TEST(StreamBrowser, EpisodeTextCutAndHostWarmup) {
  // "2024-05-01" + 2 spaces + 28 characters = 40 code points (Hangul is 3 bytes each); one more is cut.
  PodcastEpisode e{"가나다라마바사아자차카타파하가나다라마바사아자차카타파하", "2024-05-01", "u"};
  EXPECT_EQ(StreamBrowser::cutEpisodeText(StreamBrowser::episodeText(e)), StreamBrowser::episodeText(e));
  e.title += "X";
  const std::string text = StreamBrowser::episodeText(e);
  EXPECT_EQ(StreamBrowser::cutEpisodeText(text), text.substr(0, 10 + 2 + 26 * 3) + "..");
  EXPECT_EQ(urlHost("http://alpha.example:8000/live"), "alpha.example");
  EXPECT_EQ(urlHost("program-id"), "");
  HostWarmup w;
  EXPECT_TRUE(w.warm("localhost"));
  EXPECT_FALSE(w.warm("localhost"));  // once per host
  EXPECT_TRUE(w.seen("localhost"));
  EXPECT_FALSE(w.warm(std::string(256, 'a')));
  EXPECT_FALSE(w.seen(std::string(256, 'a')));
}

TEST(SettingsPanel, DrawClampsTheScrollAndKeepsTheBarInsideItsTrack) {
  Drawn d;
  d.canvas.resize(1000, 800);
  SettingsPanelView view;
  auto green = [&](int x, int y) { return (d.canvas.pixel(x, y) >> 8) & 0xFF; };  // the thumb is the greenest
  auto draw = [&](float bottom, int scroll) {
    d.canvas.clear();
    view.scroll = scroll;
    return drawSettingsPanel(d.canvas, d.res, RectF{680, 32, 1000, bottom}, view);
  };
  EXPECT_EQ(draw(632, 5000), 84);
  // No row past the last one, nor in the gap before the first.
  EXPECT_EQ(settingsRowAt(32, 2000, 0, 692) + settingsRowAt(32, 2000, 0, 70), -2);
  EXPECT_GT(green(998, 620), 80);  // the thumb at the bottom of the track
  EXPECT_EQ(draw(632, 0), 0);
  EXPECT_LT(green(998, 620), 60);
  EXPECT_EQ(draw(716, 30), 0);  // 684 high: never scrolls, and has no bar
  EXPECT_LT(green(998, 75), 60);
  draw(82, 0);  // a track of 10 pixels (70..80): the thumb stays on it
  EXPECT_GT(green(998, 75), 80);
  for (int y = 80; y < 100; ++y) EXPECT_LT(green(998, y), 60) << y;
  view.selected = 2;  // the selected row is filled; the row below it is not
  draw(716, 0);
  EXPECT_GT(green(686, 158), green(686, 194));
}

}  // namespace
}  // namespace vell::test
