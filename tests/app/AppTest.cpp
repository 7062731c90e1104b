#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

extern "C" {
#include <libavutil/buffer.h>
}

#include "app/App.h"
#include "app/MediaSession.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "settings/Settings.h"
#include "support/DiskAudio.h"
#include "support/Media.h"
#include "AppHarness.h"

namespace vell {
namespace {

struct AppFixture : test::AppHarness {};

TEST_F(AppFixture, NonClientHitTestBordersAndCaption) {
  openWindow(800, 600);
  EXPECT_EQ(app.nonClientHitTest(0, 0), HitCode::TopLeft);
  EXPECT_EQ(app.nonClientHitTest(5, 300), HitCode::Left);
  EXPECT_EQ(app.nonClientHitTest(795, 300), HitCode::Right);
  EXPECT_EQ(app.nonClientHitTest(400, 595), HitCode::Bottom);
  EXPECT_EQ(app.nonClientHitTest(799, 599), HitCode::BottomRight);
  EXPECT_EQ(app.nonClientHitTest(795, 3), HitCode::TopRight);
  // Six pixels in is no longer a border: idle window, so it drags.
  EXPECT_EQ(app.nonClientHitTest(6, 300), HitCode::Caption);
  EXPECT_EQ(app.nonClientHitTest(400, 10), HitCode::Caption);
  EXPECT_EQ(app.nonClientHitTest(700, 10), HitCode::Client);  // window buttons
  EXPECT_EQ(app.nonClientHitTest(100, 16), HitCode::Client);  // radio/podcast tabs
  EXPECT_EQ(app.nonClientHitTest(400, 560), HitCode::Client);  // control bar
  app.fullscreen = true;
  EXPECT_EQ(app.nonClientHitTest(0, 300), HitCode::Left);  // borders in every view
  EXPECT_EQ(app.nonClientHitTest(400, 10), HitCode::Caption);  // no title band in full screen
  app.fullscreen = false;
  app.helpVisible = true;
  EXPECT_EQ(app.nonClientHitTest(400, 300), HitCode::Client);
}

TEST_F(AppFixture, ClientLayoutByViewMode) {
  openWindow(1000, 700);
  ClientLayout l = app.computeLayout();
  EXPECT_EQ(l.topBar, 32);
  EXPECT_EQ(l.controlBarTop, 632);
  EXPECT_EQ(l.seekBarY, 634);
  EXPECT_EQ(l.buttonsY, 646);
  EXPECT_EQ(l.sidePanelWidth, 0);
  app.compactView = true;
  app.controlBarSlide = 68;
  l = app.computeLayout();
  EXPECT_EQ(l.topBar, 0);
  EXPECT_EQ(l.controlBarTop, 700);  // bars slid away
  app.window.setSize(480, 40);
  app.controlBarSlide = 0;
  l = app.computeLayout();
  EXPECT_EQ(l.controlBarTop, 20);  // never above the minimum
  EXPECT_EQ(l.buttonsHeight, 20);
}

TEST_F(AppFixture, SleepTimerArithmetic) {
  EXPECT_EQ(app.sleepMinutesLeft(), -1);
  app.setSleepTimer(15);
  EXPECT_EQ(app.toastText, "슬립 타이머: 15분 후 정지");
  app.sleepDeadline = tickCount() + 899000;
  EXPECT_EQ(app.sleepMinutesLeft(), 15);
  app.sleepDeadline = tickCount() + 59000;
  EXPECT_EQ(app.sleepMinutesLeft(), 1);  // the last minute still shows 1
  app.sleepDeadline = tickCount() - 10;
  EXPECT_EQ(app.sleepMinutesLeft(), 0);
  app.tickWork();  // nothing plays: the timer just ends
  EXPECT_EQ(app.sleepDeadline, 0u);
  EXPECT_EQ(app.toastText, "슬립 타이머: 15분 후 정지");
  app.setSleepTimer(0);
  EXPECT_EQ(app.toastText, "슬립 타이머 해제");
}

TEST_F(AppFixture, ScreenshotIsATopDownBmpOfTheFrame) {
  EXPECT_FALSE(app.takeScreenshot());
  EXPECT_EQ(app.toastText, "캡처할 프레임 없음");

  setenv("HOME", dir.path().c_str(), 1);
  setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
  VideoFrame& f = app.frameSlot;
  f.width = 3;
  f.height = 2;
  f.linesize[0] = 12;
  f.buffer = av_buffer_alloc(24);
  f.ownsBuffer = true;
  f.data[0] = f.buffer->data;
  for (int i = 0; i < 24; ++i) f.data[0][i] = static_cast<uint8_t>(i);
  ASSERT_TRUE(app.takeScreenshot());
  // The file is written on a helper thread; its toast comes back as a task.
  EXPECT_EQ(app.toastText, "캡처할 프레임 없음");
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
  auto u32 = [&](size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(bmp[at])) | static_cast<uint32_t>(static_cast<uint8_t>(bmp[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(bmp[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(bmp[at + 3])) << 24;
  };
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(u32(2), 78u);
  EXPECT_EQ(u32(10), 54u);
  EXPECT_EQ(u32(14), 40u);
  EXPECT_EQ(u32(18), 3u);
  EXPECT_EQ(static_cast<int32_t>(u32(22)), -2);
  EXPECT_EQ(static_cast<uint8_t>(bmp[28]), 32);
  EXPECT_EQ(static_cast<uint8_t>(bmp[54 + 23]), 23);  // pixels exactly as the frame holds them
  f.ownsBuffer = true;
}

TEST_F(AppFixture, AbPointsAndClearing) {
  app.setPointB();
  EXPECT_EQ(app.pointA, 0.0);  // B before A: the repeat runs from the start
  EXPECT_EQ(app.toastText, "구간 반복: 00:00 ~ 00:00");
  app.setPointA();
  EXPECT_EQ(app.toastText, "A 지점 해제");
  EXPECT_LT(app.pointA, 0);
  app.clearAB();
  EXPECT_LT(app.pointB, 0);
  EXPECT_EQ(app.toastText, "구간 반복 해제");
}

[[maybe_unused]] ::testing::Environment* const kDiskAudio = test::addDiskAudioEnvironment("/dev/null");

TEST_F(AppFixture, AbRepeatJumpsOncePerPass) {
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

TEST_F(AppFixture, OpeningFilesAndThePlaylist) {
  std::string a = test::sineMp3(1.0, 440), b = test::sineMp3(1.0, 660);
  app.playlist.addFile(a);
  app.playlist.addFile(b);
  app.openPath(b);  // already queued: the queue stays, its entry becomes current
  EXPECT_EQ(app.playlist.count(), 2);
  EXPECT_EQ(app.playlist.currentIndex(), 1);
  EXPECT_EQ(app.historyKey, b);
  EXPECT_EQ(settings().recent.front(), b);
  app.onMessage(kMsgMediumEnded);  // two entries, repeat off, at the last: nothing follows
  EXPECT_EQ(app.playlist.currentIndex(), 1);
  app.playItem(0);
  app.onMessage(kMsgMediumEnded);  // stale: the player has not ended
  EXPECT_EQ(app.playlist.currentIndex(), 0);
  for (uint32_t t0 = tickCount(); !app.player.ended() && tickCount() - t0 < 4000;) {
    app.player.syncTick();
    sleepMs(16);
  }
  app.onMessage(kMsgMediumEnded);
  EXPECT_EQ(app.playlist.currentIndex(), 1);
  EXPECT_EQ(app.currentPath, b);

  std::string other = test::sineMp3(2.0, 550);
  app.openPath(other);  // not queued: the queue becomes this one file
  EXPECT_EQ(app.playlist.count(), 1);
  app.player.close();
}

TEST_F(AppFixture, ResumeFromHistoryWithinLimits) {
  std::string file = test::sineMp3(10.0);
  app.history.update(file, 4.5, 10.0);
  app.openPath(file);
  EXPECT_EQ(app.toastText, "0:04부터 이어보기");
  for (int i = 0; i < 20; ++i) {
    app.tickWork();
    sleepMs(16);
  }
  EXPECT_NEAR(app.player.position(), 4.5, 0.6);
  app.player.close();

  app.toastText.clear();
  app.history.update(file, 9.6, 10.0);  // 96 %: from the start, silently
  app.openPath(file);
  EXPECT_EQ(app.toastText, "");
  app.history.update(file, 1.5, 10.0);
  app.openPath(file);
  EXPECT_EQ(app.toastText, "");
  app.player.close();
}

TEST_F(AppFixture, DroppedFilesBecomeThePlaylist) {
  std::string a = test::sineMp3(1.0, 440), b = test::sineMp3(1.0, 660);
  std::string text = dir.write("notes.txt", "x");
  app.onDropFiles({a, text, b}, 10, 10);
  EXPECT_EQ(app.playlist.count(), 2);
  EXPECT_EQ(app.currentPath, a);
  app.player.close();
}

// The desktop may blank the screen unless a picture is moving; the bus shows the same state.
TEST_F(AppFixture, ScreenSaverAndMediaStatusFollowPlayback) {
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

}  // namespace
}  // namespace vell
