#include <gtest/gtest.h>

#include <deque>

#include "platform/Text.h"
#include "playlist/Playlist.h"
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
  // next()/previous() as the index they picked, -1 for "none".
  int next() {
    bool had = p.hasNext();
    PlaylistItem item = p.next();
    EXPECT_EQ(had, !item.empty()) << "hasNext disagrees with next";
    return item.empty() ? -1 : p.indexOfPath(item.path);
  }
  int previous() {
    PlaylistItem item = p.previous();
    return item.empty() ? -1 : p.indexOfPath(item.path);
  }
};

TEST(Playlist, FileTitleIsTheNameWithoutItsLastExtension) {
  EXPECT_EQ(Playlist::titleFromPath("/a/b/a.b.mp3"), "a.b");
  EXPECT_EQ(Playlist::titleFromPath("C:\\음악\\노래.flac"), "노래");
  EXPECT_EQ(Playlist::titleFromPath("/x/.mp3"), "");
  EXPECT_EQ(Playlist::titleFromPath("noext"), "noext");
  Playlist p;
  p.addFile("/x/y/movie.final.mkv");
  p.addFile("");
  ASSERT_EQ(p.count(), 1);
  const PlaylistItem& it = p.items()[0];
  EXPECT_EQ(it.title, "movie.final");
  EXPECT_FALSE(it.isStream);
  EXPECT_EQ(it.streamUrl, "");
  EXPECT_EQ(p.currentIndex(), -1);
}

TEST(Playlist, NextWithoutShuffle) {
  Fixture f(3);
  EXPECT_EQ(f.next(), 0);  // nothing current: the first item
  EXPECT_EQ(f.next(), 1);
  EXPECT_EQ(f.next(), 2);
  EXPECT_EQ(f.next(), -1);  // end, repeat off
  EXPECT_EQ(f.p.currentIndex(), 2);
  f.p.repeatMode = 1;
  EXPECT_EQ(f.next(), 0);  // repeat all wraps
  f.p.repeatMode = 2;
  EXPECT_EQ(f.next(), 0);  // repeat one holds
  EXPECT_EQ(f.p.currentIndex(), 0);

  Fixture one(1);
  EXPECT_EQ(one.next(), 0);
  EXPECT_EQ(one.next(), -1);
  one.p.repeatMode = 1;
  EXPECT_EQ(one.next(), 0);

  Fixture none(0);
  EXPECT_EQ(none.next(), -1);
  EXPECT_EQ(none.previous(), -1);
  EXPECT_EQ(none.p.currentIndex(), -1);
}

TEST(Playlist, NextWithShuffle) {
  Fixture f(4);
  f.p.shuffle = true;
  f.p.setCurrent(2);
  f.randoms = {7, 2, 6, 9};
  EXPECT_EQ(f.next(), 3);  // 7 % 4
  EXPECT_EQ(f.next(), 2);  // 2 % 4
  EXPECT_EQ(f.next(), 3);  // 6 % 4 = 2 is current: moves on to 3
  f.randoms = {3};
  EXPECT_EQ(f.next(), 0);  // 3 is current: wraps to 0
  f.p.repeatMode = 1;
  f.randoms = {1};
  EXPECT_EQ(f.next(), 1);
  f.p.repeatMode = 2;  // repeat one wins over shuffle
  f.randoms = {3};
  EXPECT_EQ(f.next(), 1);

  Fixture one(1);
  one.p.shuffle = true;
  one.p.setCurrent(0);
  EXPECT_EQ(one.next(), 0);  // no other item to move to
}

TEST(Playlist, PreviousUnderEveryMode) {
  Fixture f(3);
  f.p.setCurrent(1);
  EXPECT_EQ(f.previous(), 0);
  EXPECT_EQ(f.previous(), -1);
  EXPECT_EQ(f.p.currentIndex(), 0);
  f.p.repeatMode = 2;
  EXPECT_EQ(f.previous(), -1);  // repeat one does not wrap backwards
  f.p.repeatMode = 1;
  EXPECT_EQ(f.previous(), 2);
  f.p.shuffle = true;
  f.randoms = {5, 2};
  EXPECT_EQ(f.previous(), 2);  // 5 % 3: the current item may come again
  f.p.repeatMode = 2;
  EXPECT_EQ(f.previous(), 2);

  Fixture g(3);  // out of range current counts as the first item
  EXPECT_EQ(g.previous(), -1);
  EXPECT_EQ(g.p.currentIndex(), 0);
}

TEST(Playlist, RemoveAdjustsTheCurrentIndex) {
  auto afterRemove = [](int current, int removed) {
    Fixture f(5);
    f.p.setCurrent(current);
    f.p.remove(removed);
    return f.p.currentIndex();
  };
  EXPECT_EQ(afterRemove(4, 4), -1);  // the current entry, last or not: none current
  EXPECT_EQ(afterRemove(2, 2), -1);
  EXPECT_EQ(afterRemove(3, 1), 2);
  EXPECT_EQ(afterRemove(1, 3), 1);
  EXPECT_EQ(afterRemove(0, 0), -1);

  Fixture f(5);
  f.p.setCurrent(2);
  f.p.remove(5);
  f.p.remove(-1);
  EXPECT_EQ(f.p.count(), 5);
  f.p.setCurrent(9);  // ignored
  EXPECT_EQ(f.p.currentIndex(), 2);
  f.p.remove(1);
  EXPECT_EQ(f.p.items()[1].path, "/m/2.mp3");

  Fixture single(1);
  single.p.setCurrent(0);
  single.p.remove(0);
  EXPECT_EQ(single.p.currentIndex(), -1);
  EXPECT_TRUE(single.p.empty());
}

TEST(Playlist, ClearKeepsCategoriesAndDurationNeedsAPositiveValue) {
  Fixture f(2);
  f.p.addCategory("음악");
  f.p.setDuration(0, 0);
  f.p.setDuration(0, -3);
  f.p.setDuration(7, 5);
  EXPECT_EQ(f.p.items()[0].duration, 0.0);
  f.p.setDuration(1, 12.5);
  EXPECT_EQ(f.p.items()[1].duration, 12.5);
  f.p.setCurrent(1);
  f.p.scrollOffset = 40;
  f.p.clear();
  EXPECT_TRUE(f.p.empty());
  EXPECT_EQ(f.p.currentIndex(), -1);
  EXPECT_EQ(f.p.scrollOffset, 0);
  EXPECT_EQ(f.p.categoryNames(), std::vector<std::string>{"음악"});
}

std::string rowsText(const Playlist& p) {
  std::string out;
  for (const PlaylistRow& r : p.buildRows()) {
    out += (r.kind == PlaylistRow::kHeader ? "H" : "I") + std::to_string(r.index) + ":" + r.text + " ";
  }
  return out;
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
  EXPECT_EQ(p.categoryNames(), (std::vector<std::string>{"빈", "영화"}));
  EXPECT_EQ(p.mergedCategoryNames(), (std::vector<std::string>{"빈", "영화", "라디오"}));
  EXPECT_EQ(rowsText(p), "I1: H1:영화 I3:영화 H2:라디오 I0:라디오 I2:라디오 ");

  // "라디오" exists only on items: the first toggle adds a collapsed record.
  p.toggleCollapsed(2);
  EXPECT_EQ(p.categoryNames(), (std::vector<std::string>{"빈", "영화", "라디오"}));
  EXPECT_TRUE(p.categories()[2].collapsed);
  EXPECT_EQ(rowsText(p), "I1: H1:영화 I3:영화 H2:라디오 ");
  p.toggleCollapsed(2);
  EXPECT_EQ(rowsText(p), "I1: H1:영화 I3:영화 H2:라디오 I0:라디오 I2:라디오 ");
  p.toggleCollapsed(3);
  p.toggleCollapsed(-1);
  EXPECT_EQ(p.categories().size(), 3u);

  // Moving an item out of its category.
  p.setCategory(3, "");
  EXPECT_EQ(rowsText(p), "I1: I3: H2:라디오 I0:라디오 I2:라디오 ");
  const PlaylistItem& s = p.items()[0];
  EXPECT_TRUE(s.isStream);
  EXPECT_EQ(s.path, "http://r/1");
  EXPECT_EQ(s.streamUrl, "http://r/1");
}

TEST(Playlist, DuplicateRecordsFromAFileShowTheirItemsOnce) {
  Playlist p;
  p.parse("CATEGORY:A|1\nCATEGORY:A|0\nITEM:0|A||t|/x.mp3\n");
  EXPECT_EQ(p.categoryNames(), (std::vector<std::string>{"A", "A"}));
  EXPECT_EQ(rowsText(p), "H0:A ");  // the first record decides: collapsed
  p.toggleCollapsed(0);
  EXPECT_EQ(rowsText(p), "H0:A I0:A ");
}

TEST(Playlist, SaveWritesTheExactFormat) {
  test::TempDir dir;
  Playlist p;
  p.addCategory("뉴스");
  p.addCategory("접힘");
  p.toggleCollapsed(1);
  p.addFile("/음악/노래.mp3");
  p.addStream("http://a/live?x=1", "방송 1", "뉴스");
  p.setDuration(0, 100);
  ASSERT_TRUE(p.save(dir.file("playlist.dat")));
  EXPECT_EQ(dir.read("playlist.dat"),
            "CATEGORY:뉴스|0\nCATEGORY:접힘|1\nITEM:0|||노래|/음악/노래.mp3\n"
            "ITEM:1|뉴스|http://a/live?x=1|방송 1|http://a/live?x=1\n");
}

TEST(Playlist, EverythingSurvivesSaveAndLoad) {
  test::TempDir dir;
  Playlist p;
  p.addCategory("한국 라디오");
  p.addStream("https://s/한글?a=b", "채널 = 하나", "한국 라디오");
  p.addFile("/home/사용자/비디오/영화 (2020).mkv");
  p.setCategory(1, "영화");
  p.addFile("relative name.ogg");
  p.toggleCollapsed(0);
  std::string path = dir.file("playlist.dat");
  ASSERT_TRUE(p.save(path));

  Playlist r;
  r.addFile("/old.mp3");
  r.setCurrent(0);
  r.scrollOffset = 99;
  ASSERT_TRUE(r.load(path));
  EXPECT_EQ(r.currentIndex(), -1);
  EXPECT_EQ(r.scrollOffset, 0);
  // Every field and the categories' collapsed flags go into the file, whose format is pinned above.
  ASSERT_EQ(r.count(), 3);
  EXPECT_TRUE(r.items()[0].isStream);
  EXPECT_TRUE(r.categories()[0].collapsed);
  EXPECT_EQ(r.serialize(), p.serialize());
}

TEST(Playlist, LoadingMalformedLines) {
  Playlist p;
  p.parse("\xEF\xBB\xBF" "CATEGORY:bom|0\n"
          "CATEGORY:nobar\n"
          "CATEGORY:one|1\n"
          "CATEGORY:yes|yes\n"
          "CATEGORY:eleven|11\r\n"
          "ITEM:0|c|u|four bars|/p4\n"
          "ITEM:0|c|u|three bars\n"
          "ITEM:1|c|u|t|/p6|dropped|too\n"
          "ITEM:2|c|u|t|/p5|\n"
          "ITEM:0|c|u|t|\n"
          "ITEM:0|||crlf|/crlf\r\n"
          "item:0|c|u|t|/lower\n"
          "garbage\n");
  ASSERT_EQ(p.categories().size(), 3u);
  EXPECT_EQ(p.categories()[0].name, "one");
  EXPECT_TRUE(p.categories()[0].collapsed);
  EXPECT_FALSE(p.categories()[1].collapsed);
  EXPECT_FALSE(p.categories()[2].collapsed);
  EXPECT_EQ(p.categories()[2].name, "eleven");
  ASSERT_EQ(p.count(), 4);
  EXPECT_EQ(p.items()[0].path, "/p4");
  EXPECT_EQ(p.items()[0].title, "four bars");
  EXPECT_EQ(p.items()[1].path, "/p6");
  EXPECT_TRUE(p.items()[1].isStream);
  EXPECT_FALSE(p.items()[2].isStream);  // only exactly "1"
  EXPECT_EQ(p.items()[3].path, "/crlf");
  EXPECT_EQ(p.items()[3].category, "");
}

TEST(Playlist, EmptyQueueAndMissingFileChangeNothing) {
  test::TempDir dir;
  std::string path = dir.write("playlist.dat", "ITEM:0|||old|/old.mp3\n");
  Playlist p;
  p.addCategory("only a category");
  EXPECT_FALSE(p.save(path));
  EXPECT_EQ(dir.read("playlist.dat"), "ITEM:0|||old|/old.mp3\n");

  p.addFile("/kept.mp3");
  EXPECT_FALSE(p.load(dir.file("missing.dat")));
  EXPECT_EQ(p.count(), 1);
  EXPECT_EQ(p.categories().size(), 1u);
}

TEST(Playlist, SeparatorsAndLineBreaksInFieldsNeverShiftTheFormat) {
  Playlist p;
  p.addStream("http://a/b?q=x|y", "제목 | 부제\r\n둘째 줄", "A|B");
  p.addCategory("A|B");
  p.addFile("/m/song | artist.mp3");  // no faithful form: left out of the file
  p.addFile("/m/new\nline.mp3");
  p.addFile("/m/fine.mp3");
  std::string bytes = p.serialize();
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 3);

  Playlist r;
  r.parse(bytes);
  ASSERT_EQ(r.count(), 2);
  const PlaylistItem& s = r.items()[0];
  EXPECT_EQ(s.streamUrl, "http://a/b?q=x%7Cy");
  EXPECT_EQ(s.path, "http://a/b?q=x%7Cy");
  EXPECT_EQ(s.title, "제목 ｜ 부제 둘째 줄");
  EXPECT_EQ(s.category, "A｜B");
  EXPECT_EQ(r.categoryNames(), std::vector<std::string>{"A｜B"});
  EXPECT_EQ(r.items()[1].path, "/m/fine.mp3");
  EXPECT_EQ(rowsText(r), "I1: H0:A｜B I0:A｜B ");
}

}  // namespace
}  // namespace vell
