#include <gtest/gtest.h>

#include "EngineTestUtil.h"
#include "support/HttpServer.h"
#include "support/Media.h"

namespace vell {
namespace {

using test::PlayerRun;
using test::waitMs;

struct ShowLog {
  int shown = 0;
  int early = 0;  // handed out before it was due
  int late = 0;   // older than the drop threshold when handed out
  double lagSum = 0;
};

// Plays like the window does until the end is reported, noting how each picture stood to the clock.
ShowLog playToEnd(PlayerRun& r, int offsetMs) {
  ShowLog log;
  Player& p = r.player;
  r.paint(8000, true, [&](bool shown) {
    if (!shown) return;
    double t = p.position() - offsetMs * 0.001;
    double k = std::max(p.speed(), 1.0);
    ++log.shown;
    // The read-out stops at the duration; pictures held back by an offset come after it.
    if (r.slot.pts > t + 0.016 * k + 0.002 && p.position() < p.duration()) ++log.early;
    if (r.slot.pts < t - 0.15 * k - 0.02) ++log.late;
    log.lagSum += t - r.slot.pts;
  });
  return log;
}

TEST(PlayerVideo, FramesAreShownWhenDueAndTheLastOneStays) {
  for (bool withAudio : {false, true}) {
    SCOPED_TRACE(withAudio ? "with sound" : "picture only");
    PlayerRun r;
    ASSERT_TRUE(r.player.openFile(withAudio ? test::h264AacMp4(2.0, 160, 120, 30)
                                            : test::makeMedia("-f lavfi -i testsrc2=size=160x120:rate=30:duration=2 "
                                                              "-c:v libx264 -preset ultrafast -g 30", "mp4")));
    r.player.play();
    ShowLog log = playToEnd(r, 0);
    waitMs(200);
    EXPECT_EQ(r.ended.load(), 1);
    EXPECT_EQ(log.early, 0);
    EXPECT_EQ(log.late, 0);
    EXPECT_GT(log.shown, 50);  // 60 frames; a paint may skip one now and then
    ASSERT_TRUE(r.slot.hasPixels());
    EXPECT_NEAR(r.slot.pts, 59.0 / 30.0, 0.001);  // the last picture stays in the slot
    EXPECT_EQ(r.player.queuedFrames(), 0u);
  }
}

// Pictures held back by an offset still come due after the last sound has played.
TEST(PlayerVideo, PositiveOffsetShowsFramesLater) {
  PlayerRun r;
  ASSERT_TRUE(r.player.openFile(test::h264AacMp4(2.0, 160, 120, 30)));
  r.player.adjustSyncOffset(300);
  r.player.play();
  ShowLog log = playToEnd(r, 300);
  EXPECT_EQ(log.early, 0);
  ASSERT_GT(log.shown, 30);
  // Measured against the clock alone, pictures trail it by the offset.
  EXPECT_NEAR(log.lagSum / log.shown + 0.3, 0.3, 0.03);
}

TEST(PlayerVideo, FramesBeforeASeekTargetAreNeverShown) {
  PlayerRun r;
  ASSERT_TRUE(r.player.openFile(test::makeMedia(
      "-f lavfi -i testsrc2=size=160x120:rate=25:duration=4 -c:v libx264 -preset ultrafast -g 50", "mp4")));
  r.player.play();
  waitMs(100);
  r.player.seekTo(3.0);  // key frames every 2 s: decoding restarts at 2.0
  int shown = 0;
  r.paint(700, false, [&](bool taken) {
    if (!taken || r.player.position() <= 2.9) return;
    ++shown;
    EXPECT_GE(r.slot.pts, 2.95);
  });
  EXPECT_GT(shown, 5);
}

TEST(PlayerVideo, LateFramesAreDroppedButOneIsAlwaysShown) {
  Player player;
  ASSERT_TRUE(player.openFile(test::makeMedia(
      "-f lavfi -i testsrc2=size=160x120:rate=25:duration=2 -c:v libx264 -preset ultrafast", "mp4")));
  player.play();
  waitMs(700);  // no paints: the queue fills with frames that fall behind the clock
  player.pause();
  waitMs(50);
  ASSERT_EQ(player.queuedFrames(), 8u);
  VideoFrame slot;
  ASSERT_TRUE(player.takeFrame(slot));
  EXPECT_NEAR(slot.pts, 7 / 25.0, 1e-6);  // all were late: the newest is shown
  EXPECT_EQ(player.queuedFrames(), 0u);
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
