#include <gtest/gtest.h>


#include <algorithm>
#include <cmath>
#include <random>
#include <thread>

#include "history/PodcastHistory.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace vell {
namespace {

const std::string kHeader = "# Vell Player podcast history\n";

struct FakeClock {
  uint64_t now = 1000;
  PodcastHistory::Clock fn() {
    return [this] { return now; };
  }
};

TEST(History, UpdateRules) {
  PodcastHistory h;
  FakeClock clock;
  h.setClock(clock.fn());
  h.update("a", 0.3, 100);
  h.update("a", std::nan(""), 100);
  h.update("a", INFINITY, 100);
  h.update("", 50, 100);
  EXPECT_EQ(h.size(), 0u);

  h.update("a", 0.5, 100);
  EXPECT_DOUBLE_EQ(h.position("a"), 0.5);
  clock.now = 2000;
  h.update("a", 40, 0);  // unknown length keeps the known one
  h.update("a", 50, std::nan(""));
  HistoryRecord r;
  ASSERT_TRUE(h.find("a", r));
  EXPECT_DOUBLE_EQ(r.position, 50);
  EXPECT_DOUBLE_EQ(r.duration, 100);
  EXPECT_EQ(r.lastUpdated, 2000u);
  EXPECT_DOUBLE_EQ(h.position("missing"), 0.0);
}

TEST(History, ProgressAndFinished) {
  PodcastHistory h;
  h.update("none", 10, 0);
  h.update("half", 30, 60);
  h.update("over", 120, 60);
  h.update("near", 91, 100);
  h.update("edge", 90, 100);
  EXPECT_FLOAT_EQ(h.progress("missing"), 0.0f);
  EXPECT_FLOAT_EQ(h.progress("none"), 0.0f);
  EXPECT_FALSE(h.isFinished("none"));
  EXPECT_FLOAT_EQ(h.progress("half"), 0.5f);
  EXPECT_FLOAT_EQ(h.progress("over"), 1.0f);
  EXPECT_TRUE(h.isFinished("over"));
  EXPECT_TRUE(h.isFinished("near"));
  EXPECT_FALSE(h.isFinished("edge"));
}

TEST(History, SaveWritesTheExactFormatNewestFirst) {
  test::TempDir dir;
  PodcastHistory h;
  FakeClock clock;
  h.setClock(clock.fn());
  h.update("/m/영화.mkv", 75.25, 5400);
  clock.now = 5000;
  h.update("https://pod/ep1.mp3?x=1", 12.06, 0);
  std::string path = dir.file("podcast_history.ini");
  ASSERT_TRUE(h.save(path));
  EXPECT_EQ(dir.read("podcast_history.ini"),
            kHeader + "https://pod/ep1.mp3?x=1|12.1|0.0|5000\n/m/영화.mkv|75.2|5400.0|1000\n");
}

TEST(History, RecordsSurviveSaveAndLoadIncludingLongAndOddKeys) {
  test::TempDir dir;
  PodcastHistory h;
  FakeClock clock;
  h.setClock(clock.fn());
  // Far longer than a 512-byte line, with Hangul and a "|" in the file name.
  std::string longKey = "/미디어/" + std::string(900, 'k') + "/노래 | 가수.mp3";
  h.update(longKey, 100.04, 200.06);
  h.update("plain", 3.0, 0);
  h.update("bad\nforged|99.0|100.0|1", 5, 0);  // a line break would forge a record: not written
  std::string path = dir.file("podcast_history.ini");
  ASSERT_TRUE(h.save(path));

  PodcastHistory r;
  ASSERT_TRUE(r.load(path));
  EXPECT_EQ(r.size(), 2u);
  HistoryRecord rec;
  ASSERT_TRUE(r.find(longKey, rec));
  EXPECT_DOUBLE_EQ(rec.position, 100.0);
  EXPECT_DOUBLE_EQ(rec.duration, 200.1);
  EXPECT_EQ(rec.lastUpdated, 1000u);
  EXPECT_DOUBLE_EQ(r.position("plain"), 3.0);
  EXPECT_DOUBLE_EQ(r.position("forged"), 0.0);
  // Saving what was loaded gives the same bytes.
  ASSERT_TRUE(r.save(dir.file("again.ini")));
  EXPECT_EQ(dir.read("again.ini"), dir.read("podcast_history.ini"));
}

TEST(History, MalformedLinesAreSkipped) {
  PodcastHistory h;
  h.update("stale", 9, 9);
  h.parse(kHeader +
          "a|10.0|0.0|5\n"
          "two|10.0|5\n"
          "half|0.5|10|1\n"
          "|5|5|5\n"
          "\n"
          "#c|5|5|5\n"
          "crlf|7.5|60|3\r\n"
          "junk|x|y|z\n"
          "neg|6|-4|-9\n"
          "dup|1|1|1\n"
          "dup|2|2|2\n");
  EXPECT_EQ(h.size(), 4u);  // a, crlf, neg, dup; "junk" reads position 0 and is dropped
  EXPECT_DOUBLE_EQ(h.position("stale"), 0.0);
  EXPECT_DOUBLE_EQ(h.position("a"), 10.0);
  EXPECT_FLOAT_EQ(h.progress("a"), 0.0f);
  EXPECT_FALSE(h.isFinished("a"));
  EXPECT_DOUBLE_EQ(h.position("two"), 0.0);
  EXPECT_DOUBLE_EQ(h.position("half"), 0.0);
  EXPECT_DOUBLE_EQ(h.position("crlf"), 7.5);
  EXPECT_DOUBLE_EQ(h.position("dup"), 2.0);
  HistoryRecord r;
  ASSERT_TRUE(h.find("neg", r));
  EXPECT_EQ(r.lastUpdated, 0u);
  EXPECT_FLOAT_EQ(h.progress("neg"), 0.0f);
}

TEST(History, LoadKeepsTheNewest200) {
  test::TempDir dir;
  std::vector<int> stamps(250);
  for (int i = 0; i < 250; ++i) stamps[i] = i + 1;
  std::shuffle(stamps.begin(), stamps.end(), std::mt19937(7));
  std::string file = kHeader;
  for (int s : stamps) file += "/k" + std::to_string(s) + "|10.0|100.0|" + std::to_string(s) + "\n";
  std::string path = dir.write("podcast_history.ini", file);

  PodcastHistory h;
  ASSERT_TRUE(h.load(path));
  EXPECT_EQ(h.size(), 200u);
  EXPECT_DOUBLE_EQ(h.position("/k50"), 0.0);
  EXPECT_DOUBLE_EQ(h.position("/k51"), 10.0);
  EXPECT_DOUBLE_EQ(h.position("/k250"), 10.0);
  ASSERT_TRUE(h.save(path));
  std::string saved = dir.read("podcast_history.ini");
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 201);
  EXPECT_TRUE(startsWith(saved, kHeader + "/k250|"));
}

TEST(History, MissingFileEmptiesTheHistoryAndStampsAreWallClock) {
  test::TempDir dir;
  PodcastHistory h;
  h.update("x", 5, 0);
  EXPECT_FALSE(h.load(dir.file("missing.ini")));
  EXPECT_EQ(h.size(), 0u);

  h.update("x", 5, 0);
  HistoryRecord r;
  ASSERT_TRUE(h.find("x", r));
  EXPECT_GT(r.lastUpdated, 1600000000000ull);  // the default stamp is after 2020: wall clock, not ticks
}

TEST(History, ConcurrentUpdatesAndSaves) {
  test::TempDir dir;
  PodcastHistory h;
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 300; ++i) {
        h.update("/t" + std::to_string(t) + "/" + std::to_string(i % 50), 1.0 + i, 500);
        h.progress("/t0/1");
        if (i % 100 == 0) h.save(dir.file("h.ini"));
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(h.size(), 150u);
  ASSERT_TRUE(h.save(dir.file("h.ini")));
  PodcastHistory r;
  ASSERT_TRUE(r.load(dir.file("h.ini")));
  EXPECT_EQ(r.size(), 150u);
}

PodcastHistory* filled(PodcastHistory& h, const std::string& tag, int n) {
  h.setClock([] { return 77u; });
  for (int i = 0; i < n; ++i) h.update("/" + tag + "/" + std::to_string(i), 10.0 + i, 1000);
  return &h;
}

TEST(HistoryCrash, FullDiskAndKilledSavesKeepAWholeFile) {
  test::TempDir dir;
  std::string path = dir.file("podcast_history.ini");
  PodcastHistory a, b;
  filled(a, "A", 3000);
  filled(b, "B", 3000);
  ASSERT_TRUE(a.save(path));
  std::string before = dir.read("podcast_history.ini");

  EXPECT_EQ(test::runWithFileSizeLimit([&] { return b.save(path) ? 1 : 0; }, 8192), 0);
  EXPECT_EQ(dir.read("podcast_history.ini"), before);

  test::SaveKiller killer([&] { a.save(path); }, [&] { b.save(path); });
  for (int round = 0; round < 13; ++round) {
    killer.killRound(round);
    std::string text = dir.read("podcast_history.ini");
    EXPECT_TRUE(text == a.serialize() || text == b.serialize()) << "round " << round;
  }
}

}  // namespace
}  // namespace vell
