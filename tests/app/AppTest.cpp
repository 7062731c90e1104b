// The App's own rules: hit test and layout by view, timers, A-B repeat, screenshot, the queue
// and resume, the screen saver, and the key table.
#include <cstdlib>

extern "C" {
#include <libavutil/buffer.h>
}

#include "app/MediaSession.h"
#include "support/DiskAudio.h"
#include "support/Media.h"
#include "AppHarness.h"

namespace vell {
namespace {

using AppCore = test::AppHarness;
[[maybe_unused]] ::testing::Environment* const kDiskAudio = test::addDiskAudioEnvironment("/dev/null");

TEST_F(AppCore, HitTestAndLayoutByView) {
  openWindow(800, 600);
  struct Row {
    bool fullscreen, help;
    int x, y;
    HitCode code;
  } rows[] = {
      {0, 0, 0, 0, HitCode::TopLeft},     {0, 0, 5, 300, HitCode::Left},       {0, 0, 795, 300, HitCode::Right},
      {0, 0, 400, 595, HitCode::Bottom},  {0, 0, 799, 599, HitCode::BottomRight}, {0, 0, 795, 3, HitCode::TopRight},
      {0, 0, 6, 300, HitCode::Caption},   // six pixels in: no longer a border; the idle picture drags
      {0, 0, 400, 10, HitCode::Caption},  {0, 0, 700, 10, HitCode::Client},    // window buttons
      {0, 0, 100, 16, HitCode::Client},   {0, 0, 400, 560, HitCode::Client},   // tabs, control bar
      {1, 0, 0, 300, HitCode::Left},      {1, 0, 400, 10, HitCode::Caption},   // no title band in full screen
      {0, 1, 400, 300, HitCode::Client},  // the help overlay takes clicks
  };
  for (const Row& r : rows) {
    app.fullscreen = r.fullscreen;
    app.helpVisible = r.help;
    EXPECT_EQ(app.nonClientHitTest(r.x, r.y), r.code) << r.x << "," << r.y;
  }
  app.compactView = true;
  app.controlBarSlide = 68;
  EXPECT_EQ(app.computeLayout().topBar, 0);
  EXPECT_EQ(app.computeLayout().controlBarTop, 600);  // bars slid away
  app.window.setSize(480, 40);
  app.controlBarSlide = 0;
  EXPECT_EQ(app.computeLayout().controlBarTop, 20);  // never above the minimum
  EXPECT_EQ(app.computeLayout().buttonsHeight, 20);
}

TEST_F(AppCore, SleepTimerCountsUpAndEnds) {
  EXPECT_EQ(app.sleepMinutesLeft(), -1);
  app.setSleepTimer(15);
  app.sleepDeadline = tickCount() + 899000;
  EXPECT_EQ(app.sleepMinutesLeft(), 15);
  app.sleepDeadline = tickCount() + 59000;
  EXPECT_EQ(app.sleepMinutesLeft(), 1);  // the last minute still shows 1
  app.sleepDeadline = tickCount() - 10;
  EXPECT_EQ(app.sleepMinutesLeft(), 0);
  app.tickWork();  // nothing plays: the timer just ends
  EXPECT_EQ(app.sleepDeadline, 0u);
  app.setSleepTimer(0);
  EXPECT_EQ(app.toastText, "슬립 타이머 해제");
}

TEST_F(AppCore, ScreenshotIsATopDownBmpOfTheFrame) {
  EXPECT_FALSE(app.takeScreenshot());
  EXPECT_EQ(app.toastText, "캡처할 프레임 없음");
  setenv("HOME", dir.path().c_str(), 1);
  setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
  VideoFrame& f = app.frameSlot;  // 3 x 2 with padded rows
  f.width = 3;
  f.height = 2;
  f.linesize[0] = 16;
  f.buffer = av_buffer_alloc(32);
  f.ownsBuffer = true;
  f.data[0] = f.buffer->data;
  for (int i = 0; i < 32; ++i) f.data[0][i] = static_cast<uint8_t>(i);
  ASSERT_TRUE(app.takeScreenshot());
  // Written on a helper thread; its toast comes back as a task.
  for (int i = 0; i < 500 && app.toastText != "스크린샷 저장됨"; ++i) {
    sleepMs(10);
    app.onMessage(kMsgRunTasks);
  }
  EXPECT_EQ(app.toastText, "스크린샷 저장됨");
  std::vector<std::string> files = listDirectory(dir.file("Pictures"));
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].rfind("VellPlayer_", 0), 0u);
  std::string bmp;
  ASSERT_TRUE(readFile(dir.file("Pictures/" + files[0]), bmp));
  ASSERT_EQ(bmp.size(), 54u + 24u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(bmp.substr(22, 4), std::string("\xFE\xFF\xFF\xFF", 4));  // height -2: rows top-down
  std::string pixels;
  for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27})
    pixels += static_cast<char>(i);
  EXPECT_EQ(bmp.substr(54), pixels);  // each row without its padding
}

TEST_F(AppCore, AbPointsAndARepeatThatJumpsOncePerPass) {
  app.setPointB();
  EXPECT_EQ(app.pointA, 0.0);  // B before A: the repeat runs from the start
  app.setPointA();
  EXPECT_EQ(app.toastText, "A 지점 해제");
  EXPECT_LT(app.pointA, 0);
  app.clearAB();
  EXPECT_LT(app.pointB, 0);

  app.openPath(test::sineMp3(4.0));
  ASSERT_EQ(app.player.state(), Player::Playing);
  app.pointA = 0.2;
  app.pointB = 0.7;
  int jumps = 0;
  bool wasLatched = false;
  double maxPosition = 0;
  for (uint32_t start = tickCount(); tickCount() - start < 2600;) {
    app.tickWork();
    app.abTick();
    if (app.abJumpLatch && !wasLatched) ++jumps;
    wasLatched = app.abJumpLatch;
    maxPosition = std::max(maxPosition, app.player.position());
    sleepMs(16);
  }
  // About one pass every half second (plus the time a seek takes to settle), never a jump per paint.
  EXPECT_GE(jumps, 2);
  EXPECT_LE(jumps, 5);
  EXPECT_LT(maxPosition, 1.5);
  app.player.close();
}

TEST_F(AppCore, OpeningFilesDroppingThemAndTheQueue) {
  std::string a = test::sineMp3(1.0, 440), b = test::sineMp3(1.0, 660);
  app.playlist.addFile(a);
  app.playlist.addFile(b);
  app.openPath(b);  // already queued: the queue stays, its entry becomes current
  EXPECT_EQ(app.playlist.count(), 2);
  EXPECT_EQ(app.playlist.currentIndex(), 1);
  EXPECT_EQ(app.historyKey, b);
  EXPECT_EQ(settings().recent.front(), b);
  app.onMessage(kMsgMediumEnded);  // repeat off, at the last: nothing follows
  EXPECT_EQ(app.playlist.currentIndex(), 1);
  app.playItem(0);
  app.onMessage(kMsgMediumEnded);  // stale: the player has not ended
  EXPECT_EQ(app.playlist.currentIndex(), 0);
  for (uint32_t t0 = tickCount(); !app.player.ended() && tickCount() - t0 < 4000;) {
    app.player.syncTick();
    sleepMs(16);
  }
  app.onMessage(kMsgMediumEnded);
  EXPECT_EQ(app.currentPath, b);

  app.openPath(test::sineMp3(2.0, 550));  // not queued: the queue becomes this one file
  EXPECT_EQ(app.playlist.count(), 1);
  app.onDropFiles({a, dir.write("notes.txt", "x"), b}, 10, 10);  // media files only, the first plays
  EXPECT_EQ(app.playlist.count(), 2);
  EXPECT_EQ(app.currentPath, a);
  app.player.close();
}

TEST_F(AppCore, ResumeFromHistoryWithinLimits) {
  std::string file = test::sineMp3(10.0);
  app.history.update(file, 4.5, 10.0);
  app.openPath(file);
  EXPECT_EQ(app.toastText, "0:04부터 이어보기");
  for (int i = 0; i < 20; ++i) {
    app.tickWork();
    sleepMs(16);
  }
  EXPECT_NEAR(app.player.position(), 4.5, 0.6);
  for (double at : {9.6, 1.5}) {  // 96 % and the first seconds: from the start, silently
    app.toastText.clear();
    app.history.update(file, at, 10.0);
    app.openPath(file);
    EXPECT_EQ(app.toastText, "") << at;
  }
  app.player.close();
}

// The desktop may blank the screen unless a picture is moving; the bus shows the same state.
TEST_F(AppCore, ScreenSaverAndMediaStatusFollowPlayback) {
  openWindow(320, 240);
  app.mediaSession = std::make_unique<MediaSession>(app);
  app.openPath(test::h264AacMp4(3.0));
  tickFor(400);
  EXPECT_FALSE(app.window.screenSaverAllowed());
  MediaStatus s = app.mediaSession->status();
  EXPECT_EQ(s.state, MediaStatus::Playing);
  EXPECT_NEAR(s.lengthUs, 3000000, 100000);
  EXPECT_TRUE(s.canSeek);
  EXPECT_EQ(s.url.rfind("file:///", 0), 0u);
  app.player.togglePause();
  tickFor(400);
  EXPECT_TRUE(app.window.screenSaverAllowed());
  EXPECT_EQ(app.mediaSession->status().state, MediaStatus::Paused);
  app.openPath(test::sineMp3(3.0));
  tickFor(400);
  EXPECT_TRUE(app.window.screenSaverAllowed());  // sound alone lets it run
  EXPECT_GT(app.mediaSession->status().trackId, s.trackId);
}

struct KeyTable : test::AppHarness {
  bool press(int k, bool ctrl = false, bool shift = false, bool alt = false) {
    return app.keyboard.onKey(k, ctrl, shift, alt);
  }
};

TEST_F(KeyTable, KeysLeftToTheSystem) {
  for (int k : std::initializer_list<int>{'O', 'T', 'Z', 'L', 'J', 'G', 'A', 'S', 'D', vk::OemComma, vk::OemPeriod, vk::Oem2})
    EXPECT_FALSE(press(k, true)) << k;
  EXPECT_FALSE(press(vk::Return, false, false, true));  // Alt+Enter
  EXPECT_FALSE(press(vk::F1 + 3, false, false, true));  // Alt+F4
  EXPECT_FALSE(press('K'));
  EXPECT_TRUE(press(vk::Escape));  // consumed even with nothing to close
  EXPECT_TRUE(press(vk::Up, true));  // volume keys take Ctrl too
}

TEST_F(KeyTable, SeekStepsAndTheRepeatLimit) {
  struct Row {
    int key;
    bool ctrl, shift, alt;
    const char* toast;
  } rows[] = {{vk::Right, 1, 1, 0, "▶ 10.0초"},  // Shift wins over Ctrl
              {vk::Left, 1, 0, 1, "◀ 0.5초"},    // Alt before Ctrl
              {vk::Left, 0, 0, 0, "◀ 3.0초"},
              {vk::Right, 1, 0, 0, "▶ 0.1초"}};
  for (const Row& r : rows) {
    app.keyboard.lastSeekTick = tickCount() - 201;
    ASSERT_TRUE(press(r.key, r.ctrl, r.shift, r.alt));
    EXPECT_EQ(app.toastText, r.toast);
  }
  app.toastText.clear();
  EXPECT_TRUE(press(vk::Right));  // within 200 ms: consumed, nothing happens
  EXPECT_EQ(app.toastText, "");
}

TEST_F(KeyTable, EachKeyChangesItsStateAndSaysSo) {
  app.player.setVolume(0.8f);
  struct Row {
    int key;
    bool ctrl, shift;
    const char* toast;
  } rows[] = {
      {vk::Up, 0, 0, "볼륨: 82%"},  {vk::Up, 0, 0, "볼륨: 84%"},     {'M', 0, 0, "음소거 ON"},
      {'M', 0, 0, "음소거 OFF"},    {'Z', 0, 0, "속도: 1.0x"},      // at 1.0 with nothing remembered
      {'C', 0, 0, "속도: 1.1x"},   {'C', 0, 0, "속도: 1.2x"},      {'Z', 0, 0, "속도: 1.0x"},
      {'Z', 0, 0, "속도: 1.2x"},   {'X', 0, 0, "속도: 1.1x"},      {vk::Oem7, 0, 0, "오디오 싱크: +50 ms"},
      {vk::Oem1, 0, 1, "오디오 싱크: +40 ms"},                      {vk::Oem1, 1, 0, "오디오 싱크: +0 ms"},
      {vk::OemPeriod, 0, 0, "자막 딜레이: +0.5초"},                 {vk::OemPeriod, 0, 0, "자막 딜레이: +1.0초"},
      {vk::OemComma, 0, 0, "자막 딜레이: +0.5초"},                  {vk::Oem2, 0, 0, "자막 딜레이 초기화"},
      {'Q', 0, 0, "회전: 270°"},    {'E', 0, 0, "회전: 0°"},        {'E', 0, 0, "회전: 90°"},
      {'S', 0, 0, "회전: 180°"},    {'W', 0, 0, "회전: 0°"},        {'D', 0, 0, "회전: 90°"},
      {'A', 0, 0, "회전: 270°"},    {'H', 0, 0, "좌우 반전 ON"},     {'V', 0, 0, "상하 반전 ON"},
      {'L', 0, 0, "전체 반복"},     {'L', 0, 0, "한곡 반복"},        {'L', 0, 0, "반복 해제"},
      {'J', 0, 0, "셔플 ON"},       {'G', 0, 0, "자막 OFF"},
  };
  for (const Row& r : rows) {
    press(r.key, r.ctrl, r.shift);
    EXPECT_EQ(app.toastText, r.toast) << r.key;
  }
  EXPECT_EQ(settings().subtitleDelay, 0.0);
  for (int i = 0; i < 120; ++i) press(vk::Oem7);
  EXPECT_EQ(app.player.syncOffsetMs(), 5000);  // the offset stops at 5 s
}

TEST_F(KeyTable, EscapeClosesTheTopLayerFirst) {
  app.helpVisible = app.quickOpenVisible = true;
  press(vk::Escape);
  EXPECT_FALSE(app.helpVisible);
  EXPECT_TRUE(app.quickOpenVisible);
  press(vk::Escape);
  EXPECT_FALSE(app.quickOpenVisible);
  press(vk::F1);
  EXPECT_TRUE(app.helpVisible);
}

}  // namespace
}  // namespace vell
