// When a medium ends, and what never counts as an end; speed changes and concurrent control.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "engine/Player.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "support/Media.h"

namespace vell {
namespace {

void waitMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Paints the way the window does until the end is reported or `ms` pass; returns the time taken.
uint32_t playUntilEnd(Player& player, std::atomic<int>& ended, int ms) {
  VideoFrame slot;
  uint32_t start = tickCount();
  while (ended.load() == 0 && tickCount() - start < static_cast<uint32_t>(ms)) {
    player.syncTick();
    if (player.hasVideo()) player.takeFrame(slot);
    waitMs(16);
  }
  return tickCount() - start;
}

TEST(PlayerLifecycle, StopCloseAndReopenAreNeverReportedAsTheEnd) {
  // One second of sound is in the ring at once, so the thread waits for the tail to play.
  std::string path = test::sineMp3(1.0);
  std::function<void(Player&)> actions[] = {
      [](Player& p) { p.stop(); },
      [](Player& p) { p.close(); },
      [&](Player& p) { p.openFile(path); },
  };
  for (size_t i = 0; i < std::size(actions); ++i) {
    Player player;
    std::atomic<int> ended{0};
    player.onEnded = [&] { ++ended; };
    ASSERT_TRUE(player.openFile(path));
    player.play();
    waitMs(400);
    actions[i](player);
    waitMs(300);
    EXPECT_EQ(ended.load(), 0) << "action " << i;
    EXPECT_FALSE(player.ended()) << "action " << i;
    player.close();
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
  std::atomic<int> lowLines{0};
  setLogSink([&](const std::string& line) { lowLines += line.find("Buffer low") != std::string::npos; });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Player player;
    std::atomic<int> ended{0};
    player.onEnded = [&] { ++ended; };
    ASSERT_TRUE(player.openFile(c.path));
    player.play();
    uint32_t elapsed = playUntilEnd(player, ended, 6000);
    EXPECT_EQ(ended.load(), 1);
    EXPECT_GE(elapsed, static_cast<uint32_t>(c.duration * 1000 - 150));
    waitMs(600);
    EXPECT_TRUE(player.ended());
    EXPECT_LE(player.position(), player.duration());
    EXPECT_GE(player.position(), c.duration - 0.25);
    player.close();
  }
  setLogSink({});
  EXPECT_EQ(lowLines.load(), 0);
}

TEST(PlayerLifecycle, SpeedChangeGoesOnFromTheHeardPosition) {
  std::string path =
      test::makeMedia("-f lavfi -i sine=frequency=440:sample_rate=22050:duration=60 -ac 1 -c:a libmp3lame -b:a 32k",
                      "mp3");
  Player player;
  ASSERT_TRUE(player.openFile(path));
  player.play();
  std::atomic<int> ended{0};
  playUntilEnd(player, ended, 1200);
  double before = player.position();
  ASSERT_GT(before, 0.5);
  player.setSpeed(2.0);
  double highest = 0;
  for (uint32_t start = tickCount(); tickCount() - start < 1200;) {
    player.syncTick();
    highest = std::max(highest, player.position());
    waitMs(16);
  }
  // 1.2 s at twice the speed, with room for the restart; never the 30 s the ring held.
  EXPECT_GT(highest, before + 1.0);
  EXPECT_LT(highest, before + 3.2);
  player.close();
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
