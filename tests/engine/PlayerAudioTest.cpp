#include <gtest/gtest.h>

#include <cmath>

#include "EngineTestUtil.h"
#include "support/DiskAudio.h"
#include "support/Media.h"

namespace vell {
namespace {

using test::waitMs;

// Every device of this program plays into a raw float file that the tests analyse.
[[maybe_unused]] ::testing::Environment* const kDiskAudio = test::addDiskAudioEnvironment("/dev/null");

constexpr int kRate = 48000;

// Frequency of channel 0 over frames [begin, end), from its rising zero crossings.
double frequency(const std::vector<float>& pcm, size_t begin, size_t end) {
  std::vector<double> crossings;
  for (size_t f = begin + 1; f < end && 2 * f < pcm.size(); ++f) {
    float a = pcm[2 * (f - 1)], b = pcm[2 * f];
    if (a < 0 && b >= 0) crossings.push_back(f - 1 + a / (a - b));
  }
  if (crossings.size() < 3) return 0;
  return (crossings.size() - 1) / ((crossings.back() - crossings.front()) / kRate);
}

// First frame at or after `from` whose channel 0 is (not) silent.
size_t nextFrame(const std::vector<float>& pcm, size_t from, bool sound) {
  while (2 * from < pcm.size() && (pcm[2 * from] != 0.0f) != sound) ++from;
  return from;
}

// The next player's device plays into a fresh file.
struct DiskRun {
  test::TempDir dir;
  std::string file = dir.file("out.raw");
  DiskRun() { test::setDiskAudioFile(file); }
  ~DiskRun() { test::setDiskAudioFile("/dev/null"); }
  std::vector<float> samples() const { return test::readDiskAudio(file); }
};

// 300 Hz in second 0, 500 Hz in second 1, ... 1100 Hz in second 4.
std::string stepsWav() {
  return test::makeMedia("-f lavfi -i aevalsrc='0.5*sin(2*PI*(300+200*floor(t))*t)':s=48000:d=5 -ac 2 -c:a pcm_s16le",
                         "wav");
}

std::string dcWav() { return test::makeMedia("-f lavfi -i 'aevalsrc=0.5|0.5:s=48000:d=3' -c:a pcm_f32le", "wav"); }

TEST(PlayerAudio, ToneKeepsItsPitchAtSpeedOneAndDoublesAtSpeedTwo) {
  std::string tone = test::makeMedia("-f lavfi -i sine=frequency=440:sample_rate=48000:duration=3 -ac 2 -c:a pcm_s16le", "wav");
  for (double speed : {1.0, 2.0}) {
    DiskRun run;
    Player player;
    ASSERT_TRUE(player.openFile(tone));
    player.setSpeed(speed);
    player.play();
    waitMs(900);
    player.close();
    std::vector<float> pcm = run.samples();
    size_t start = nextFrame(pcm, 0, true) + kRate / 10;  // past the fade-in
    ASSERT_GT(pcm.size() / 2, start + kRate / 2) << "speed " << speed;
    EXPECT_NEAR(frequency(pcm, start, start + kRate / 2), 440.0 * speed, 2.0) << "speed " << speed;
  }
}

// Start and resume fade in along a square-root ramp to the volume; mute silences.
TEST(PlayerAudio, FadesVolumeMuteAndPause) {
  DiskRun run;
  Player player;
  ASSERT_TRUE(player.openFile(dcWav()));
  player.setVolume(0.5f);
  player.play();
  waitMs(400);
  player.pause();
  EXPECT_EQ(player.state(), Player::Paused);
  double pausedAt = player.position();
  waitMs(400);
  EXPECT_NEAR(player.position(), pausedAt, 1e-9);  // the clock stands still
  player.togglePause();
  EXPECT_EQ(player.state(), Player::Playing);
  waitMs(400);
  player.setMuted(true);
  waitMs(400);
  player.close();
  player.setVolume(7.0f);
  EXPECT_FLOAT_EQ(player.volume(), 1.0f);

  std::vector<float> pcm = run.samples();
  size_t start = nextFrame(pcm, 0, true);
  size_t gap = nextFrame(pcm, start, false);
  size_t resume = nextFrame(pcm, gap, true);
  ASSERT_LT(2 * (resume + kRate / 10), pcm.size());
  EXPECT_GT(resume - gap, static_cast<size_t>(kRate / 4));  // about 400 ms of silence
  for (int ms : {10, 20, 40, 60, 79}) {
    size_t f = start - 1 + static_cast<size_t>(ms) * 48;
    EXPECT_NEAR(pcm[2 * f], 0.25 * std::sqrt(ms / 80.0), 0.01) << ms << " ms";
  }
  EXPECT_NEAR(pcm[2 * (resume - 1 + 20 * 48)], 0.25 * std::sqrt(20 / 80.0), 0.01);
  for (size_t f : {start + kRate / 10, resume + kRate / 10}) EXPECT_NEAR(pcm[2 * f], 0.25, 1e-4);
  EXPECT_EQ(pcm[pcm.size() - 2], 0.0f);  // muted
}

TEST(PlayerAudio, SeekContinuesWithTheToneOfTheTargetSecond) {
  DiskRun run;
  test::PlayerRun r;
  ASSERT_TRUE(r.player.openFile(stepsWav()));
  r.player.play();
  r.paint(300);
  r.player.seekTo(3.2);
  r.paint(700);
  EXPECT_NEAR(r.player.position(), 3.2 + 0.7 - 0.1, 0.25);
  r.player.close();
  std::vector<float> pcm = run.samples();
  size_t frames = pcm.size() / 2;
  ASSERT_GT(frames, static_cast<size_t>(kRate / 2));
  EXPECT_NEAR(frequency(pcm, frames - kRate / 4, frames), 900.0, 3.0);
}

TEST(PlayerAudio, ClockFollowsTheSoundAndPlaysOutTheTail) {
  test::PlayerRun r;
  ASSERT_TRUE(r.player.openFile(test::sineMp3(1.0)));
  EXPECT_FALSE(r.player.isLive());
  r.player.play();
  EXPECT_EQ(r.player.position(), 0.0);  // the clock waits for the device
  double maxError = 0;
  uint32_t elapsed = r.paint(4000, true, [&](bool) {
    double heard = r.player.audioOutput().heardSeconds();
    if (heard > 0.3 && r.player.audioOutput().ringFill() > 0)
      maxError = std::max(maxError, std::fabs(r.player.position() - heard));
  });
  EXPECT_EQ(r.ended.load(), 1);
  // The whole second was heard before the end was reported, not cut at the ring's head.
  EXPECT_GE(elapsed, 1000u);
  EXPECT_LT(maxError, 0.1);
  EXPECT_TRUE(r.player.ended());
}

TEST(PlayerAudio, RequestsAreClampedAndRelativeSeeksAccumulate) {
  Player player;
  player.togglePause();  // nothing open: nothing happens
  EXPECT_EQ(player.state(), Player::Stopped);
  player.setSpeed(10);
  EXPECT_EQ(player.speed(), 4.0);
  EXPECT_EQ(player.maxQueuedFrames(), 32);  // the queue grows with the speed
  player.setSpeed(0.05);
  EXPECT_EQ(player.speed(), 0.1);
  EXPECT_EQ(player.maxQueuedFrames(), 8);
  for (int i = 0; i < 120; ++i) player.adjustSyncOffset(50);
  EXPECT_EQ(player.syncOffsetMs(), 5000);
  player.adjustSyncOffset(-10050);
  EXPECT_EQ(player.syncOffsetMs(), -5000);

  ASSERT_TRUE(player.openFile(test::sineMp3(3.0)));
  player.seekBy(1.0);
  player.seekBy(1.0);
  EXPECT_NEAR(player.position(), 2.0, 1e-9);  // the held target, not the lagging clock
  player.seekBy(10.0);
  EXPECT_NEAR(player.position(), player.duration(), 1e-9);
  player.seekTo(-4);
  player.seekBy(0.5);
  EXPECT_NEAR(player.position(), 0.5, 1e-9);
}

TEST(PlayerAudio, StopThenPlayStartsFromTheBeginning) {
  DiskRun run;
  Player player;
  ASSERT_TRUE(player.openFile(stepsWav()));
  player.play();
  player.seekTo(2.5);
  waitMs(500);
  player.stop();
  EXPECT_EQ(player.state(), Player::Stopped);
  EXPECT_EQ(player.position(), 0.0);
  player.play();
  waitMs(500);
  player.close();
  std::vector<float> pcm = run.samples();
  size_t frames = pcm.size() / 2;
  EXPECT_NEAR(frequency(pcm, frames - kRate / 5, frames), 300.0, 3.0);
}

}  // namespace
}  // namespace vell
