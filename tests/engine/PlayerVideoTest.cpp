#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "engine/Player.h"
#include "platform/Clock.h"
#include "support/HttpServer.h"
#include "support/Media.h"

namespace vell {
namespace {

void waitMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

struct ShowLog {
  int shown = 0;
  int early = 0;    // handed out before it was due
  int late = 0;     // older than the drop threshold when handed out
  double lagSum = 0;
};

// Plays like the window does, at about 60 paints a second, until the end is reported.
ShowLog playToEnd(Player& player, VideoFrame& slot, std::atomic<int>& ended, int offsetMs) {
  ShowLog log;
  uint32_t start = tickCount();
  while (ended.load() == 0 && tickCount() - start < 8000) {
    player.syncTick();
    if (player.takeFrame(slot)) {
      double t = player.position() - offsetMs * 0.001;
      double k = std::max(player.speed(), 1.0);
      ++log.shown;
      // The read-out stops at the duration; pictures held back by an offset come after it.
      bool pastTheEnd = player.position() >= player.duration();
      if (slot.pts > t + 0.016 * k + 0.002 && !pastTheEnd) ++log.early;
      if (slot.pts < t - 0.15 * k - 0.02) ++log.late;
      log.lagSum += t - slot.pts;
    }
    waitMs(16);
  }
  return log;
}

TEST(PlayerVideo, FramesAreShownWhenDueAndTheLastOneStays) {
  for (bool withAudio : {false, true}) {
    std::string path = withAudio ? test::h264AacMp4(2.0, 160, 120, 30)
                                 : test::makeMedia("-f lavfi -i testsrc2=size=160x120:rate=30:duration=2 "
                                                   "-c:v libx264 -preset ultrafast -g 30", "mp4");
    Player player;
    std::atomic<int> ended{0};
    player.onEnded = [&] { ++ended; };
    ASSERT_TRUE(player.openFile(path));
    player.play();
    VideoFrame slot;
    ShowLog log = playToEnd(player, slot, ended, 0);
    waitMs(200);
    EXPECT_EQ(ended.load(), 1) << "audio " << withAudio;
    EXPECT_EQ(log.early, 0);
    EXPECT_EQ(log.late, 0);
    EXPECT_GT(log.shown, 50);  // 60 frames; a paint may skip one now and then
    ASSERT_TRUE(slot.hasPixels());
    EXPECT_NEAR(slot.pts, 59.0 / 30.0, 0.001);  // the last picture stays in the slot
    EXPECT_EQ(player.queuedFrames(), 0u);
    player.close();
  }
}

TEST(PlayerVideo, PositiveOffsetShowsFramesLater) {
  std::string path = test::h264AacMp4(2.0, 160, 120, 30);
  Player player;
  std::atomic<int> ended{0};
  player.onEnded = [&] { ++ended; };
  ASSERT_TRUE(player.openFile(path));
  player.adjustSyncOffset(300);
  player.play();
  VideoFrame slot;
  ShowLog log = playToEnd(player, slot, ended, 300);
  EXPECT_EQ(log.early, 0);
  ASSERT_GT(log.shown, 30);
  // Measured against the clock alone, pictures trail it by the offset.
  double meanLagToClock = log.lagSum / log.shown + 0.3;
  EXPECT_NEAR(meanLagToClock, 0.3, 0.03);
  player.close();
}

TEST(PlayerVideo, FramesBeforeASeekTargetAreNeverShown) {
  std::string path = test::makeMedia(
      "-f lavfi -i testsrc2=size=160x120:rate=25:duration=4 -c:v libx264 -preset ultrafast -g 50", "mp4");
  Player player;
  ASSERT_TRUE(player.openFile(path));
  player.play();
  waitMs(100);
  player.seekTo(3.0);  // key frames every 2 s: decoding restarts at 2.0
  VideoFrame slot;
  int shown = 0;
  for (int i = 0; i < 40; ++i) {
    player.syncTick();
    if (player.takeFrame(slot) && player.position() > 2.9) {
      ++shown;
      EXPECT_GE(slot.pts, 2.95);
    }
    waitMs(16);
  }
  EXPECT_GT(shown, 5);
  player.close();
}

TEST(PlayerVideo, LateFramesAreDroppedButOneIsAlwaysShown) {
  std::string path = test::makeMedia(
      "-f lavfi -i testsrc2=size=160x120:rate=25:duration=2 -c:v libx264 -preset ultrafast", "mp4");
  Player player;
  ASSERT_TRUE(player.openFile(path));
  player.play();
  waitMs(700);  // no paints: the queue fills with frames that fall behind the clock
  player.pause();
  waitMs(50);
  ASSERT_EQ(player.queuedFrames(), 8u);
  VideoFrame slot;
  ASSERT_TRUE(player.takeFrame(slot));
  EXPECT_NEAR(slot.pts, 7 / 25.0, 1e-6);  // all were late: the newest is shown
  EXPECT_EQ(player.queuedFrames(), 0u);
  player.close();
}

TEST(PlayerClock, CorrectionRules) {
  // Far off: snap to the audio position.
  EXPECT_EQ(Player::clockCorrection(10.0, 9.4, 3000), 10.0);
  // Soon after a seek: 4 % of an error above 20 ms.
  EXPECT_NEAR(*Player::clockCorrection(10.0, 9.97, 1000), 9.97 + 0.03 * 0.04, 1e-12);
  EXPECT_FALSE(Player::clockCorrection(10.0, 9.99, 1000));
  // Later: 6 % of an error above 10 ms; 5 ms is left alone.
  EXPECT_NEAR(*Player::clockCorrection(10.0, 10.03, 3000), 10.03 - 0.03 * 0.06, 1e-12);
  EXPECT_FALSE(Player::clockCorrection(10.0, 10.005, 3000));
}

// The playback thread waits for room in a full ring, or inside a read from a server that
// went silent: stop and close end it at once either way.
TEST(PlayerStop, StopAndCloseDoNotWaitForAFullRingOrASilentServer) {
  // Longer than the 30-second ring, so the playback thread ends up waiting for room.
  std::string path = test::makeMedia("-f lavfi -i sine=duration=45 -ac 1 -c:a libmp3lame -b:a 32k", "mp3");
  std::string mp3 = test::mediaBytes(test::sineMp3(3.0));
  test::HttpServer server([&](const test::HttpRequest&, test::HttpConnection& c) {
    c.send("HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n" + mp3.substr(0, 30000));
    c.wait(30000);
  });
  for (bool fromServer : {false, true}) {
    for (bool useClose : {false, true}) {
      SCOPED_TRACE(std::string(fromServer ? "silent server, " : "full ring, ") + (useClose ? "close" : "stop"));
      Player player;
      AudioOutput& out = player.audioOutput();
      if (fromServer) {
        ASSERT_TRUE(player.openUrl(server.url("/stream"), false));
        EXPECT_TRUE(player.isLive());
        player.play();
        waitMs(600);  // the data runs out: the thread waits inside a read
      } else {
        ASSERT_TRUE(player.openFile(path));
        player.play();
        for (int i = 0; i < 300 && out.ringFill() + 48000 * 2 < out.ringCapacity(); ++i) waitMs(10);
        ASSERT_GT(out.ringFill() + 48000 * 2, out.ringCapacity()) << "the ring should be full";
      }
      uint32_t t0 = tickCount();
      if (useClose)
        player.close();
      else
        player.stop();
      EXPECT_LT(tickCount() - t0, 500u);
      EXPECT_EQ(player.state(), Player::Stopped);
    }
  }
}

}  // namespace
}  // namespace vell
