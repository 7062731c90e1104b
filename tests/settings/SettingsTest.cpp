#include <gtest/gtest.h>

#include "platform/Text.h"
#include "settings/Settings.h"
#include "support/TempDir.h"

namespace vell {
namespace {

const std::string kBom = "\xEF\xBB\xBF";

std::string defaultFile() {
  return kBom +
         "windowX=100\nwindowY=100\nwindowW=1280\nwindowH=720\nmaximized=0\nvolume=0.80\nmuted=0\n"
         "speed=1.00\nshowPlaylist=0\nalwaysOnTop=0\ncompactView=0\nwheelAction=0\nwheelSeekDelta=3.00\n"
         "opacity=1.00\nsubtitleSize=22.00\nsubtitleVisible=1\nsubtitleColor=0\nsubtitleDelay=0.00\n"
         "aspectRatio=0\n";
}

Settings parsed(const std::string& bytes) {
  Settings s;
  s.parse(bytes);
  return s;
}

TEST(Settings, SaveWritesTheExactFormat) {
  Settings s;
  EXPECT_EQ(s.serialize(), defaultFile());

  s.windowX = -5;
  s.volume = 0.456f;
  s.subtitleDelay = -1.5;
  s.recent = {"/m/두번째.mkv", "http://radio/a"};
  s.lastPodcastUrl = "https://feed/x.xml";
  s.lastPodcastName = "팟캐스트";
  std::string expected = defaultFile();
  expected.replace(expected.find("windowX=100"), 11, "windowX=-5");
  expected.replace(expected.find("volume=0.80"), 11, "volume=0.46");
  expected.replace(expected.find("subtitleDelay=0.00"), 18, "subtitleDelay=-1.50");
  expected += "recent=/m/두번째.mkv\nrecent=http://radio/a\nlastPodcastUrl=https://feed/x.xml\n"
              "lastPodcastName=팟캐스트\n";
  EXPECT_EQ(s.serialize(), expected);

  // Only the name: the URL line is left out, not written empty.
  s.lastPodcastUrl.clear();
  EXPECT_EQ(s.serialize().find("lastPodcastUrl"), std::string::npos);
}

TEST(Settings, EveryFieldSurvivesSaveAndLoad) {
  test::TempDir dir;
  Settings s;
  s.windowX = -40;
  s.windowY = 2000;
  s.windowW = 800;
  s.windowH = 450;
  s.maximized = true;
  s.volume = 0.333f;
  s.muted = true;
  s.speed = 1.25;
  s.showPlaylist = true;
  s.alwaysOnTop = true;
  s.compactView = true;
  s.wheelAction = 1;
  s.wheelSeekDelta = 10;
  s.opacity = 0.7f;
  s.subtitleSize = 30;
  s.subtitleVisible = false;
  s.subtitleColor = 3;
  s.subtitleDelay = 2.5;
  s.aspectRatio = 2;
  s.recent = {"/영화/가나다.mkv", "http://x/y?a=b=c", "C:\\tab\there.mp3"};
  s.lastPodcastUrl = "https://feed/한글";
  s.lastPodcastName = "이름 = 값";
  std::string path = dir.file("vell_player.ini");
  ASSERT_TRUE(s.save(path));

  Settings r;
  ASSERT_TRUE(r.load(path));
  // Every field above differs from its default, and the format is pinned down above.
  EXPECT_EQ(r.serialize(), s.serialize());
  EXPECT_FLOAT_EQ(r.volume, 0.33f);
  // Loading again does not pile up the recent list.
  ASSERT_TRUE(r.load(path));
  EXPECT_EQ(r.recent.size(), 3u);
}

TEST(Settings, MissingFileKeepsDefaults) {
  test::TempDir dir;
  Settings s;
  EXPECT_FALSE(s.load(dir.file("none.ini")));
  EXPECT_EQ(s.serialize(), defaultFile());
}

TEST(Settings, MalformedLinesAreSkippedOneByOne) {
  Settings s = parsed(kBom +
                      "maximized=yes\nmuted=1 \nvolume=abc\nwindowX=12abc\nwindowY=  -7\n"
                      "windowW=99999999999\nwindowH=-2147483648\nspeed=nan\nopacity=inf\n"
                      "wheelSeekDelta=+5e0x\nsubtitleSize=1e40\nno separator here\nWindowX=5\n"
                      "unknown=1\n=3\nsubtitleVisible=\naspectRatio=3\r\nsubtitleColor=2\r\r\n");
  EXPECT_FALSE(s.maximized);
  EXPECT_FALSE(s.muted);  // only exactly "1" is true
  EXPECT_FLOAT_EQ(s.volume, 0.8f);
  EXPECT_EQ(s.windowX, 12);
  EXPECT_EQ(s.windowY, -7);
  EXPECT_EQ(s.windowW, 1280);  // out of range
  EXPECT_EQ(s.windowH, INT32_MIN);
  EXPECT_DOUBLE_EQ(s.speed, 1.0);  // not a number: kept
  EXPECT_FLOAT_EQ(s.opacity, 1.0f);
  EXPECT_DOUBLE_EQ(s.wheelSeekDelta, 5.0);
  EXPECT_FLOAT_EQ(s.subtitleSize, 22.0f);  // beyond float
  EXPECT_FALSE(s.subtitleVisible);
  EXPECT_EQ(s.aspectRatio, 3);     // CR LF accepted
  EXPECT_EQ(s.subtitleColor, 2);   // the CR left after one is removed is trailing text
}

TEST(Settings, FileWithoutMarkIsReadAsCp949AndLosesPodcastFields) {
  std::string legacy;
  ASSERT_TRUE(utf8ToCp949("windowX=7\nrecent=D:\\영화\\한글.avi\nlastPodcastUrl=http://a\n"
                          "lastPodcastName=방송\nvolume=0.5\n",
                          legacy));
  // A byte that is not CP949 spoils only its own line.
  legacy += "recent=bad\xFF\xFF\nwindowY=9\n";
  Settings s = parsed(legacy);
  EXPECT_EQ(s.windowX, 7);
  EXPECT_EQ(s.windowY, 9);
  EXPECT_FLOAT_EQ(s.volume, 0.5f);
  EXPECT_EQ(s.recent, std::vector<std::string>{"D:\\영화\\한글.avi"});
  EXPECT_EQ(s.lastPodcastUrl, "");
  EXPECT_EQ(s.lastPodcastName, "");
}

TEST(Settings, ControlCharactersAreCleanedAfterLoading) {
  Settings s = parsed(kBom +
                      "recent=a\nrecent=b\x01x\nrecent=tab\tok\nrecent=c1\xC2\x85x\nrecent=del\x7F\nrecent=z\n"
                      "lastPodcastUrl=http://p\nlastPodcastName=name\x1F\n");
  EXPECT_EQ(s.recent, (std::vector<std::string>{"a", "tab\tok", "z"}));
  EXPECT_EQ(s.lastPodcastUrl, "");
  EXPECT_EQ(s.lastPodcastName, "");

  Settings kept = parsed(kBom + "lastPodcastUrl=http://p\nlastPodcastName=좋은 방송\nrecent=ok\nrecent=\xC3\x28\nwindowX=3\n");
  EXPECT_EQ(kept.lastPodcastUrl, "http://p");
  EXPECT_EQ(kept.lastPodcastName, "좋은 방송");
  EXPECT_EQ(kept.recent, std::vector<std::string>{"ok"});  // an invalid UTF-8 line is skipped alone
  EXPECT_EQ(kept.windowX, 3);
}

TEST(Settings, AddRecentKeepsFifteenNewestWithoutDuplicates) {
  Settings s;
  for (int i = 1; i <= 16; ++i) s.addRecent("/f" + std::to_string(i));
  ASSERT_EQ(s.recent.size(), 15u);
  EXPECT_EQ(s.recent.front(), "/f16");
  EXPECT_EQ(s.recent.back(), "/f2");  // /f1 dropped
  s.addRecent("/f9");
  EXPECT_EQ(s.recent.size(), 15u);
  EXPECT_EQ(s.recent.front(), "/f9");
  EXPECT_EQ(std::count(s.recent.begin(), s.recent.end(), "/f9"), 1);
  s.addRecent("/F9");  // case-sensitive: a different entry
  EXPECT_EQ(s.recent[0], "/F9");
  EXPECT_EQ(s.recent[1], "/f9");
  s.addRecent("");
  EXPECT_EQ(s.recent[0], "/F9");
}

TEST(Settings, LineBreaksInValuesNeverSplitALine) {
  Settings s;
  s.recent = {"/ok.mkv", "/evil\nwindowX=5.mkv", "/cr\r.mkv"};
  s.lastPodcastName = "첫 줄\r\n둘째 줄\nwindowY=9";
  s.lastPodcastUrl = "http://a\nb";
  std::string bytes = s.serialize();
  Settings r = parsed(bytes);
  EXPECT_EQ(r.windowX, 100);
  EXPECT_EQ(r.windowY, 100);
  EXPECT_EQ(r.recent, std::vector<std::string>{"/ok.mkv"});
  EXPECT_EQ(r.lastPodcastName, "첫 줄 둘째 줄 windowY=9");
  EXPECT_EQ(r.lastPodcastUrl, "");
  // 19 fields, one recent entry, the name: nothing else.
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 21);
}
}  // namespace
}  // namespace vell
