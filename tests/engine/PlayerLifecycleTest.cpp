// When a medium ends, and what never counts as an end; speed changes and concurrent control.
#include <gtest/gtest.h>

#include <functional>

#include "EngineTestUtil.h"
#include "support/Media.h"

namespace vell {
namespace {

using test::PlayerRun;
using test::waitMs;

TEST(PlayerLifecycle, StopCloseAndReopenAreNeverReportedAsTheEnd) {
  // One second of sound is in the ring at once, so the thread waits for the tail to play.
  std::string path = test::sineMp3(1.0);
  std::function<void(Player&)> actions[] = {
      [](Player& p) { p.stop(); },
      [](Player& p) { p.close(); },
      [&](Player& p) { p.openFile(path); },
  };
  for (size_t i = 0; i < std::size(actions); ++i) {
    PlayerRun r;
    ASSERT_TRUE(r.player.openFile(path));
    r.player.play();
    waitMs(400);
    actions[i](r.player);
    waitMs(300);
    EXPECT_EQ(r.ended.load(), 0) << "action " << i;
    EXPECT_FALSE(r.player.ended()) << "action " << i;
  }
}

// The end comes when both the picture and the sound have played out, and the position
// then rests at the duration.
TEST(PlayerLifecycle, EndsWhenPictureAndSoundHavePlayedOut) {
  struct Case {
    const char* name;
    std::string path;
    double duration;
  } cases[] = {
      {"video only",
       test::makeMedia("-f lavfi -i testsrc2=size=64x48:rate=20:duration=1 -c:v libx264 -preset ultrafast", "mp4"),
       1.0},
      {"sound outlasts the picture",
       test::makeMedia("-f lavfi -i testsrc2=size=64x48:rate=20:duration=0.5 -f lavfi -i "
                       "sine=frequency=440:sample_rate=48000:duration=2 -c:v libx264 -preset ultrafast -c:a aac",
                       "mp4"),
       2.0},
  };
  // A local file is never short of data: neither its start nor its end is a rebuffer.
  test::LogCapture log;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlayerRun r;
    ASSERT_TRUE(r.player.openFile(c.path));
    r.player.play();
    uint32_t elapsed = r.paint(6000);
    EXPECT_EQ(r.ended.load(), 1);
    EXPECT_GE(elapsed, static_cast<uint32_t>(c.duration * 1000 - 150));
    waitMs(600);
    EXPECT_TRUE(r.player.ended());
    EXPECT_LE(r.player.position(), r.player.duration());
    EXPECT_GE(r.player.position(), c.duration - 0.25);
  }
  EXPECT_EQ(log.count("Buffer low"), 0);
}

// The ring holds up to 30 s decoded at the old speed: playing on from its head would jump.
TEST(PlayerLifecycle, SpeedChangeGoesOnFromTheHeardPosition) {
  PlayerRun r;
  ASSERT_TRUE(r.player.openFile(test::makeMedia(
      "-f lavfi -i sine=frequency=440:sample_rate=22050:duration=60 -ac 1 -c:a libmp3lame -b:a 32k", "mp3")));
  r.player.play();
  r.paint(1200);
  double before = r.player.position();
  ASSERT_GT(before, 0.5);
  r.player.setSpeed(2.0);
  double highest = 0;
  r.paint(1200, false, [&](bool) { highest = std::max(highest, r.player.position()); });
  // 1.2 s at twice the speed, with room for the restart; never the 30 s the ring held.
  EXPECT_GT(highest, before + 1.0);
  EXPECT_LT(highest, before + 3.2);

  // While paused the position stays where it was heard.
  r.player.pause();
  double paused = r.player.position();
  r.player.setSpeed(1.0);
  waitMs(100);
  EXPECT_NEAR(r.player.position(), paused, 1e-9);
}

// Control from the window and from a connection thread at once must not tear the player.
TEST(PlayerLifecycle, ControlFromTwoThreadsIsSafe) {
  std::string path = test::sineMp3(1.0);
  Player player;
  ASSERT_TRUE(player.openFile(path));
  std::atomic<bool> done{false};
  std::thread connection([&] {
    for (int i = 0; i < 6; ++i) {
      player.close();
      player.openFile(path);
    }
    done = true;
  });
  while (!done.load()) {
    player.togglePause();
    player.setSpeed(1.5);
    player.stop();
    player.play();
    waitMs(5);
  }
  connection.join();
  player.close();
  EXPECT_EQ(player.state(), Player::Stopped);
}

}  // namespace
}  // namespace vell
