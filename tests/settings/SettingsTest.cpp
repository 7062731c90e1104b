// Tests of the settings file: its format, malformed lines, ranges, recent files, saves.
#include <gtest/gtest.h>

#include "platform/Text.h"
#include "settings/Settings.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace vell {
namespace {

const std::string kBom = "\xEF\xBB\xBF";

Settings parsed(const std::string& bytes) {
  Settings s;
  s.parse(bytes);
  return s;
}

// Files written by earlier versions must keep loading: the format is pinned byte for byte.
TEST(Settings, FileFormatRoundTripAndLineBreaksInValues) {
  test::TempDir dir;
  std::string path = dir.file("vell_player.ini");
  Settings s;
  EXPECT_FALSE(s.load(path));
  EXPECT_EQ(s.serialize(), Settings().serialize());  // a missing file keeps the defaults
  // Every field away from its default, in the order it is written.
  const std::string custom =
      kBom + "windowX=-40\nwindowY=2000\nwindowW=800\nwindowH=450\nmaximized=1\nvolume=0.33\nmuted=1\n"
             "speed=1.25\nshowPlaylist=1\nalwaysOnTop=1\ncompactView=1\nwheelAction=1\nwheelSeekDelta=10.00\n"
             "opacity=0.70\nsubtitleSize=30.00\nsubtitleVisible=0\nsubtitleColor=3\nsubtitleDelay=-2.50\n"
             "aspectRatio=2\nrecent=/영화/가나다.mkv\nrecent=http://x/y?a=b=c\nrecent=C:\\tab\there.mp3\n"
             "lastPodcastUrl=https://feed/한글\nlastPodcastName=이름 = 값\n";
  ASSERT_TRUE(parsed(custom).save(path));
  ASSERT_TRUE(s.load(path) && s.load(path));  // loading again does not pile up the recent list
  EXPECT_EQ(dir.read("vell_player.ini"), custom);
  EXPECT_EQ(s.serialize(), custom);
  s.lastPodcastUrl.clear();  // only the name: the URL line is left out, not written empty
  EXPECT_EQ(s.serialize().find("lastPodcastUrl"), std::string::npos);
  // A line break in a value would forge a line of its own when the file is read back.
  Settings broken, expected;
  broken.recent = {"/ok.mkv", "/evil\nwindowX=5.mkv", "/cr\r.mkv"};
  broken.lastPodcastName = "첫 줄\r\n둘째 줄\nwindowY=9";
  broken.lastPodcastUrl = "http://a\nb";
  expected.recent = {"/ok.mkv"};
  expected.lastPodcastName = "첫 줄 둘째 줄 windowY=9";
  EXPECT_EQ(parsed(broken.serialize()).serialize(), expected.serialize());
}

TEST(Settings, MalformedLinesAreSkippedOneByOneAndValuesKeptInRange) {
  Settings s = parsed(kBom +
                      "maximized=yes\nmuted=1 \nvolume=abc\nwindowX=12abc\nwindowY=  -7\n"
                      "windowW=99999999999\nwindowH=-2147483648\nspeed=nan\nopacity=inf\n"
                      "wheelSeekDelta=+5e0x\nsubtitleSize=1e40\nno separator here\nWindowX=5\n"
                      "unknown=1\n=3\nsubtitleVisible=\naspectRatio=3\r\nsubtitleColor=2\r\r\n");
  // Leading digits and spaces read; only exactly "1" is true; CR LF is accepted, but the CR
  // left after one is removed is trailing text.
  Settings expected = parsed(kBom + "windowX=12\nwindowY=-7\nwindowH=-2147483648\nwheelSeekDelta=5\n"
                                    "subtitleVisible=0\naspectRatio=3\nsubtitleColor=2\n");
  EXPECT_EQ(s.serialize(), expected.serialize());
  // A value outside what the program offers is read as the nearest value it does offer.
  const std::pair<const char*, const char*> cases[] = {
      {"opacity=0", "opacity=0.50"},         {"opacity=3", "opacity=1.00"},     {"volume=-2", "volume=0.00"},
      {"volume=9", "volume=1.00"},           {"wheelAction=7", "wheelAction=1"}, {"wheelSeekDelta=0", "wheelSeekDelta=1.00"},
      {"wheelSeekDelta=900", "wheelSeekDelta=10.00"}, {"subtitleColor=-4", "subtitleColor=0"},
      {"aspectRatio=12", "aspectRatio=3"}};
  for (const auto& [line, saved] : cases)
    EXPECT_TRUE(contains(parsed(kBom + line + "\n").serialize(), std::string("\n") + saved + "\n")) << line;
}

TEST(Settings, LoadingCleansLegacyAndUnsafeText) {
  // A file without the mark is read as CP949 and loses the podcast fields; a byte that is
  // not CP949 spoils its line only.
  std::string legacy;
  ASSERT_TRUE(utf8ToCp949("windowX=7\nrecent=D:\\영화\\한글.avi\nlastPodcastUrl=http://a\nlastPodcastName=방송\n",
                          legacy));
  Settings old = parsed(legacy + "recent=bad\xFF\xFF\nwindowY=9\n");
  EXPECT_EQ(std::to_string(old.windowX) + std::to_string(old.windowY) + old.lastPodcastUrl + old.lastPodcastName, "79");
  EXPECT_EQ(old.recent, std::vector<std::string>{"D:\\영화\\한글.avi"});

  Settings s = parsed(kBom +
                      "recent=a\nrecent=b\x01x\nrecent=tab\tok\nrecent=c1\xC2\x85x\nrecent=del\x7F\nrecent=z\n"
                      "lastPodcastUrl=http://p\nlastPodcastName=name\x1F\n");
  EXPECT_EQ(s.recent, (std::vector<std::string>{"a", "tab\tok", "z"}));
  EXPECT_EQ(s.lastPodcastUrl + s.lastPodcastName, "");  // the pair goes together

  Settings kept = parsed(kBom + "lastPodcastUrl=http://p\nlastPodcastName=좋은 방송\nrecent=ok\nrecent=\xC3\x28\n");
  EXPECT_EQ(kept.lastPodcastName, "좋은 방송");
  EXPECT_EQ(kept.recent, std::vector<std::string>{"ok"});  // an invalid UTF-8 line is skipped alone
}

TEST(Settings, AddRecentKeepsFifteenNewestWithoutDuplicates) {
  Settings s;
  for (int i = 1; i <= 16; ++i) s.addRecent("/f" + std::to_string(i));
  for (const char* path : {"/f9", "/F9", ""}) s.addRecent(path);  // case-sensitive; an empty path is ignored
  ASSERT_EQ(s.recent.size(), 15u);
  EXPECT_EQ(s.recent[0] + s.recent[1] + s.recent[2] + s.recent.back(), "/F9/f9/f16/f3");  // /f1, /f2 dropped
  EXPECT_EQ(std::count(s.recent.begin(), s.recent.end(), "/f9"), 1);
}

TEST(SettingsCrash, SavesSurviveAFullDiskAndKills) {
  test::TempDir dir;
  std::string path = dir.file("vell_player.ini");
  Settings v[2];
  for (int i = 0; i < 30; ++i) v[i % 2].recent.push_back("/" + std::to_string(i) + std::string(3000, 'x'));
  test::expectCrashSafeSaves(path, [&](bool b) { return v[b].save(path); }, 4096);
}

}  // namespace
}  // namespace vell
