// Tests of the podcast history: update rules, the file, malformed lines and crash-safe saves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <thread>

#include "history/PodcastHistory.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace vell {
namespace {

const std::string kHeader = "# Vell Player podcast history\n";

TEST(History, UpdateRulesProgressAndFinished) {
  PodcastHistory h;
  uint64_t now = 1000;
  h.setClock([&] { return now; });
  for (double bad : {0.3, double(NAN), double(INFINITY)}) h.update("a", bad, 100);
  h.update("", 50, 100);
  EXPECT_EQ(h.size(), 0u);
  h.update("a", 0.5, 100);
  now = 2000;
  h.update("a", 40, 0);  // an unknown length keeps the known one
  h.update("a", 50, NAN);
  for (auto [key, position, duration] : {std::tuple{"none", 10, 0}, {"half", 30, 60}, {"over", 120, 60},
                                         {"near", 91, 100}, {"edge", 90, 100}})
    h.update(key, position, duration);
  EXPECT_EQ(h.serialize().substr(kHeader.size(), 18), "a|50.0|100.0|2000\n");
  std::string shown;  // progress, and "F" for a finished one
  for (const char* key : {"none", "half", "over", "near", "edge", "missing"})
    shown += std::to_string(h.progress(key)).substr(0, 4) + (h.isFinished(key) ? "F " : " ");
  EXPECT_EQ(shown, "0.00 0.50 1.00F 0.91F 0.90 0.00 ");
}

TEST(History, FileFormatAndRoundTrip) {
  test::TempDir dir;
  PodcastHistory h;
  uint64_t now = 1000;
  h.setClock([&] { return now; });
  h.update("/m/영화.mkv", 75.25, 5400);
  h.setAudioTrack("/m/영화.mkv", 2, "eng");  // the audio track chosen follows the stamp
  // Far longer than a 512-byte line, with Hangul and a "|" in the file name.
  std::string longKey = "/미디어/" + std::string(900, 'k') + "/노래 | 가수.mp3";
  h.update(longKey, 100.04, 200.06);
  // The subtitle track chosen: a file's name with the field's and line's marks escaped.
  h.setSubtitleTrack(longKey, {SubtitlePick::File, -1, "", "노래 | 가수;100%.ko.srt"});
  h.setSubtitleTrack("/m/영화.mkv", {SubtitlePick::Stream, 3, "kor", ""});
  now = 5000;
  h.update("https://pod/ep1.mp3?x=1", 12.06, 0);
  h.update("bad\nforged|99.0|100.0|1", 5, 0);  // a line break would forge a record: not written
  std::string path = dir.file("podcast_history.ini");
  ASSERT_TRUE(h.save(path));
  const std::string file = kHeader + "https://pod/ep1.mp3?x=1|12.1|0.0|5000\n" +
                           "/m/영화.mkv|75.2|5400.0|1000;audio=2:eng;sub=3:kor\n" + longKey +
                           "|100.0|200.1|1000;sub=file:노래 %7C 가수%3B100%25.ko.srt\n";
  EXPECT_EQ(dir.read("podcast_history.ini"), file);
  PodcastHistory r;
  ASSERT_TRUE(r.load(path));
  EXPECT_EQ(r.serialize(), file);
  HistoryRecord back;
  ASSERT_TRUE(r.find(longKey, back));
  EXPECT_EQ(back.subtitle.file, "노래 | 가수;100%.ko.srt");
  EXPECT_FALSE(r.load(dir.file("missing.ini")));
  EXPECT_EQ(r.size(), 0u);  // a missing file empties the history
}

TEST(History, LoadingSkipsMalformedLinesAndKeepsTheNewest200) {
  PodcastHistory h;
  h.update("stale", 9, 9);
  h.parse(kHeader + "a|10.0|0.0|5\ntwo|10.0|5\nhalf|0.5|10|1\n|5|5|5\n\n#c|5|5|5\ncrlf|7.5|60|3\r\n"
                    "junk|x|y|z\nneg|6|-4|-9\ndup|1|1|1\ndup|2|2|2\n"
                    "t1|5|5|5;audio=x:eng;audio=3:k-r;audio=99999:a;other=1;sub=x;sub=file:;sub=file:a%2\n"
                    "t2|5|5|6;later=1;audio=1:jpn;sub=none\n");
  // "junk" reads position 0 and is dropped; a stamp that is not a number reads 0.
  // Tracks that are not a stream number and a tag of letters (or a whole file name) are ignored, as
  // are unknown parts.
  EXPECT_EQ(h.serialize(), kHeader + "t2|5.0|5.0|6;audio=1:jpn;sub=none\na|10.0|0.0|5\nt1|5.0|5.0|5\ncrlf|7.5|60.0|3\n"
                                     "dup|2.0|2.0|2\nneg|6.0|-4.0|0\n");
  EXPECT_FLOAT_EQ(h.progress("neg"), 0.0f);

  std::vector<int> stamps(250);
  for (int i = 0; i < 250; ++i) stamps[i] = i + 1;
  std::shuffle(stamps.begin(), stamps.end(), std::mt19937(7));
  std::string file = kHeader;
  for (int s : stamps) file += "/k" + std::to_string(s) + "|10.0|100.0|" + std::to_string(s) + "\n";
  h.parse(file);
  EXPECT_EQ(h.size(), 200u);
  EXPECT_DOUBLE_EQ(h.position("/k50") + h.position("/k51") + h.position("/k250"), 20.0);  // not /k50
}

TEST(History, StampsAreWallClockAndConcurrentUseIsSafe) {
  test::TempDir dir;
  PodcastHistory h;
  h.update("x", 5, 0);
  HistoryRecord r;
  ASSERT_TRUE(h.find("x", r));
  EXPECT_GT(r.lastUpdated, 1600000000000ull);  // after 2020: wall clock, not ticks
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
  ASSERT_TRUE(h.save(dir.file("h.ini")));
  ASSERT_TRUE(h.load(dir.file("h.ini")));
  EXPECT_EQ(h.size(), 151u);
}

TEST(HistoryCrash, SavesSurviveAFullDiskAndKills) {
  test::TempDir dir;
  std::string path = dir.file("podcast_history.ini");
  PodcastHistory v[2];
  for (int i = 0; i < 6000; ++i) v[i % 2].update("/" + std::to_string(i), 10.0 + i, 1000);
  test::expectCrashSafeSaves(path, [&](bool b) { return v[b].save(path); }, 8192);
}

}  // namespace
}  // namespace vell
