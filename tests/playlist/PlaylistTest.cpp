// Tests of the playlist: next and previous, edits, rows, the file and crash-safe saves.
#include <gtest/gtest.h>

#include <deque>

#include "playlist/Playlist.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace vell {
namespace {

// A queue of n file items "/m/0.mp3" ... with a scripted random source.
struct Fixture {
  Playlist p;
  std::deque<uint32_t> randoms;
  explicit Fixture(int n) {
    for (int i = 0; i < n; ++i) p.addFile("/m/" + std::to_string(i) + ".mp3");
    p.setRandomSource([this] {
      uint32_t r = randoms.empty() ? 0 : randoms.front();
      if (!randoms.empty()) randoms.pop_front();
      return r;
    });
  }
  // Steps 'n' (next) and 'p' (previous) as the indices they picked, '-' for none.
  std::string walk(const std::string& steps) {
    std::string out;
    for (char step : steps) {
      bool had = p.hasNext();
      PlaylistItem item = step == 'n' ? p.next() : p.previous();
      EXPECT_TRUE(step == 'p' || had == !item.empty()) << "hasNext disagrees with next";
      out += item.empty() ? "-" : std::to_string(p.indexOfPath(item.path));
    }
    return out;
  }
};

std::string rowsText(const Playlist& p) {
  std::string out;
  for (const PlaylistRow& r : p.buildRows())
    out += (r.kind == PlaylistRow::kHeader ? "H" : "I") + std::to_string(r.index) + ":" + r.text + " ";
  return out;
}

TEST(Playlist, NextAndPreviousUnderEveryMode) {
  struct Case {
    int items, current, repeat;  // repeat: 0 off, 1 all, 2 one
    bool shuffle;
    std::deque<uint32_t> randoms;
    const char *steps, *picked;
  } cases[] = {
      {3, -1, 0, false, {}, "nnnnp", "012-1"},  // nothing current: the first; the end holds
      {3, 2, 1, false, {}, "n", "0"},           // repeat all wraps
      {3, 0, 2, false, {}, "nn", "00"},         // repeat one holds
      {1, -1, 0, false, {}, "nn", "0-"},       {1, -1, 1, false, {}, "nn", "00"},     {0, -1, 1, false, {}, "np", "--"},
      {4, 2, 0, true, {7, 2, 6}, "nnn", "323"},  // a pick of the current item moves on
      {4, 3, 0, true, {3}, "n", "0"},            // ... wrapping to the first
      {4, 0, 1, true, {1}, "n", "1"},   {4, 1, 2, true, {3}, "n", "1"},  // repeat one wins over shuffle
      {1, 0, 0, true, {}, "n", "0"},   // no other item to move to
      {3, 1, 0, false, {}, "ppn", "0-1"}, {3, 0, 1, false, {}, "p", "2"},
      {3, 0, 2, false, {}, "p", "-"},  // repeat one does not wrap backwards
      {3, 2, 1, true, {5}, "p", "2"},     // the current item may come again
      {3, -1, 0, false, {}, "pn", "-1"},  // no current item counts as the first
  };
  for (const Case& c : cases) {
    Fixture f(c.items);
    f.p.setCurrent(c.current);
    f.p.repeatMode = c.repeat;
    f.p.shuffle = c.shuffle;
    f.randoms = c.randoms;
    EXPECT_EQ(f.walk(c.steps), c.picked) << c.items << " items from " << c.current << ", repeat " << c.repeat
                                         << (c.shuffle ? ", shuffled" : "");
  }
}

TEST(Playlist, EditsKeepTheCurrentItemAndCategories) {
  // current / count after removing one of n items: an earlier removal moves the current item
  // up with it (the current last item too), the removed current item leaves none current,
  // indices outside the queue change nothing.
  std::string after;
  for (auto [n, current, removed] : {std::tuple{5, 4, 4}, {5, 2, 2}, {5, 3, 1}, {5, 1, 3}, {5, 0, 0}, {5, 2, 5},
                                     {5, 2, -1}, {1, 0, 0}, {3, 2, 0}}) {
    Fixture f(n);
    f.p.setCurrent(current);
    f.p.setCurrent(9);
    f.p.remove(removed);
    after += std::to_string(f.p.currentIndex()) + "/" + std::to_string(f.p.count()) + " ";
  }
  EXPECT_EQ(after, "-1/4 -1/4 2/4 1/4 -1/4 2/5 2/5 -1/0 1/2 ");

  Fixture f(2);
  f.p.addCategory("음악");
  for (double bad : {0.0, -3.0}) f.p.setDuration(0, bad);
  f.p.setDuration(7, 5);
  f.p.setDuration(1, 12.5);
  EXPECT_EQ(f.p.items()[0].duration + f.p.items()[1].duration, 12.5);
  f.p.setCurrent(1);
  f.p.scrollOffset = 40;
  f.p.clear();  // the categories stay
  EXPECT_EQ(f.p.count() + f.p.currentIndex() + f.p.scrollOffset, -1);
  EXPECT_EQ(f.p.categoryNames(), std::vector<std::string>{"음악"});
}

TEST(Playlist, RowsCategoriesAndCollapsing) {
  Playlist p;
  p.addCategory("빈");  // a record without items: no header
  p.addStream("http://r/1", "R1", "라디오");
  p.addFile("/m/a.mp3");
  p.addStream("http://r/2", "R2", "라디오");
  p.addFile("/m/b.mp3");
  p.setCategory(3, "영화");
  p.setCategory(9, "무시");
  p.addCategory("빈");
  p.addCategory("");
  EXPECT_EQ(p.mergedCategoryNames(), (std::vector<std::string>{"빈", "영화", "라디오"}));
  const std::string all = "I1: H1:영화 I3:영화 H2:라디오 I0:라디오 I2:라디오 ";
  EXPECT_EQ(rowsText(p), all);
  // "라디오" exists only on items: the first toggle adds a collapsed record.
  p.toggleCollapsed(2);
  EXPECT_EQ(p.categoryNames(), (std::vector<std::string>{"빈", "영화", "라디오"}));
  EXPECT_EQ(rowsText(p), "I1: H1:영화 I3:영화 H2:라디오 ");
  for (int k : {2, 3, -1}) p.toggleCollapsed(k);
  EXPECT_EQ(rowsText(p), all);
  EXPECT_EQ(p.categories().size(), 3u);
  p.setCategory(3, "");  // out of its category
  EXPECT_EQ(rowsText(p), "I1: I3: H2:라디오 I0:라디오 I2:라디오 ");

  // The same record twice in a file: its items show once, the first record decides.
  p.parse("CATEGORY:A|1\nCATEGORY:A|0\nITEM:0|A||t|/x.mp3\n");
  EXPECT_EQ(rowsText(p), "H0:A ");
  p.toggleCollapsed(0);
  EXPECT_EQ(rowsText(p), "H0:A I0:A ");
}

TEST(Playlist, FileFormatRoundTripSeparatorsInFieldsAndMalformedLines) {
  test::TempDir dir;
  std::string path = dir.write("playlist.dat", "ITEM:0|||old|/old.mp3\n");
  Playlist p;
  p.addCategory("뉴스");
  p.addCategory("접힘");
  EXPECT_FALSE(p.save(path));  // an empty queue leaves the file alone
  p.toggleCollapsed(1);
  p.addFile("/음악/a.b.mp3");  // the title drops the last extension only
  p.addFile("");
  p.addStream("http://a/live?x=1", "방송 1", "뉴스");
  p.addFile("C:\\음악\\노래.flac");
  p.setCategory(2, "영화");
  p.addFile("/x/.mp3");
  p.addFile("noext");
  p.setDuration(0, 100);
  EXPECT_EQ(dir.read("playlist.dat"), "ITEM:0|||old|/old.mp3\n");
  ASSERT_TRUE(p.save(path));
  EXPECT_EQ(dir.read("playlist.dat"),
            "CATEGORY:뉴스|0\nCATEGORY:접힘|1\nCATEGORY:영화|0\nITEM:0|||a.b|/음악/a.b.mp3\n"
            "ITEM:1|뉴스|http://a/live?x=1|방송 1|http://a/live?x=1\nITEM:0|영화||노래|C:\\음악\\노래.flac\n"
            "ITEM:0||||/x/.mp3\nITEM:0|||noext|noext\n");

  Playlist r;
  r.addFile("/old.mp3");
  r.setCurrent(0);
  r.scrollOffset = 99;
  EXPECT_FALSE(r.load(dir.file("missing.dat")));
  EXPECT_EQ(r.currentIndex(), 0);  // a missing file changes nothing
  ASSERT_TRUE(r.load(path));
  EXPECT_EQ(r.currentIndex() + r.scrollOffset, -1);
  EXPECT_TRUE(r.items()[1].isStream);
  EXPECT_EQ(r.serialize(), p.serialize());

  // A separator or a line break inside a field would shift the fields or forge a line.
  Playlist odd;
  odd.addStream("http://a/b?q=x|y", "제목 | 부제\r\n둘째 줄", "A|B");
  odd.addCategory("A|B");
  odd.addFile("/m/song | artist.mp3");  // no faithful form: left out of the file
  odd.addFile("/m/new\nline.mp3");
  odd.addFile("/m/fine.mp3");
  r.parse(odd.serialize());
  EXPECT_EQ(r.serialize(),
            "CATEGORY:A｜B|0\nITEM:1|A｜B|http://a/b?q=x%7Cy|제목 ｜ 부제 둘째 줄|http://a/b?q=x%7Cy\n"
            "ITEM:0|||fine|/m/fine.mp3\n");
  EXPECT_EQ(rowsText(r), "I1: H0:A｜B I0:A｜B ");
  // Malformed lines are skipped one by one.
  p.parse("\xEF\xBB\xBF" "CATEGORY:bom|0\nCATEGORY:nobar\nCATEGORY:one|1\nCATEGORY:yes|yes\nCATEGORY:eleven|11\r\n"
          "ITEM:0|c|u|four bars|/p4\n"
          "ITEM:0|c|u|three bars\n"
          "ITEM:1|c|u|t|/p6|dropped|too\n"
          "ITEM:2|c|u|t|/p5|\n"  // only exactly "1" is a stream
          "ITEM:0|c|u|t|\n"
          "ITEM:0|||crlf|/crlf\r\n"
          "item:0|c|u|t|/lower\ngarbage\n");
  EXPECT_EQ(p.serialize(),
            "CATEGORY:one|1\nCATEGORY:yes|0\nCATEGORY:eleven|0\nITEM:0|c|u|four bars|/p4\nITEM:1|c|u|t|/p6\n"
            "ITEM:0|c|u|t|/p5\nITEM:0|||crlf|/crlf\n");
}

// Long paths make a big file that is quick to format, so a save is mostly writing.
TEST(PlaylistCrash, SavesSurviveAFullDiskAndKills) {
  test::TempDir dir;
  std::string path = dir.file("playlist.dat");
  Playlist v[2];
  for (int i = 0; i < 100; ++i) v[i % 2].addFile("/미디어/" + std::string(40000, 'd') + "/" + std::to_string(i) + ".mp3");
  test::expectCrashSafeSaves(path, [&](bool b) { return v[b].save(path); }, 16384);
}

}  // namespace
}  // namespace vell
