// Tests of the audio output: fades, the ring, start-up fill, writes, device loss and levels.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

#include "audio/AudioOutput.h"
#include "support/DiskAudio.h"
#include "support/EngineFixtures.h"

namespace vell {
namespace {

using test::LogCapture;
using test::nextFrame;
using test::waitFor;
using test::waitMs;

// Every device in this program plays into a raw file that the tests read back.
[[maybe_unused]] ::testing::Environment* const kDiskAudio = test::addDiskAudioEnvironment();

constexpr int kRate = 48000;
constexpr int kFadeFrames = 3840;  // 80 ms at 48 kHz
constexpr double kCountScale = 131072.0;

// Channel 0 is a constant 0.5, so the output shows the gain put on every frame; channel 1
// counts frames ((n + 1) / 2^17, exact in float), so lost or repeated frames show too.
std::vector<float> countingSignal(int frames) {
  std::vector<float> s;
  for (int n = 0; n < frames; ++n) s.insert(s.end(), {0.5f, static_cast<float>((n + 1) / kCountScale)});
  return s;
}

// `frames` copies of one frame.
std::vector<float> constantSignal(int frames, const std::vector<float>& frame) {
  std::vector<float> s;
  for (int n = 0; n < frames; ++n) s.insert(s.end(), frame.begin(), frame.end());
  return s;
}

// Frame number carried by an output frame of the counting signal, whatever its gain.
long countAt(const std::vector<float>& pcm, size_t frame) {
  return std::lround(pcm[2 * frame + 1] * 0.5 / pcm[2 * frame] * kCountScale) - 1;
}

// Sound starting at `begin` with a fade: frame k of the fade (k = 0 is silent and lies just
// before it) carries level * sqrt(k / 80 ms); up to the next silence the counts go on from
// `firstCount` without a gap.
void expectFadeInCountingFrom(const std::vector<float>& pcm, size_t begin, float level, long firstCount) {
  size_t end = nextFrame(pcm, begin, false);
  ASSERT_GE(end - begin, static_cast<size_t>(kFadeFrames + 480));
  for (int k = 1; k < kFadeFrames + 480; ++k) {
    float expected = k < kFadeFrames ? level * static_cast<float>(std::sqrt(k / double(kFadeFrames))) : level;
    ASSERT_NEAR(pcm[2 * (begin - 1 + k)], expected, 1e-5) << "fade frame " << k;
  }
  for (size_t f = begin; f < end; ++f) {
    if (pcm[2 * f] < 0.05f) continue;  // too quiet to read the count back
    ASSERT_EQ(countAt(pcm, f), firstCount + static_cast<long>(f - begin + 1)) << "frame " << f;
  }
}

// Where the first silence of at least 50 ms begins at or after `from`: a pause or a mute, not
// the few milliseconds a loaded machine's device sometimes plays as a dropout.
size_t nextSilence(const std::vector<float>& pcm, size_t from) {
  for (size_t begin = nextFrame(pcm, from, false);; begin = nextFrame(pcm, begin + 1, false)) {
    size_t end = nextFrame(pcm, begin, true);
    if (end - begin >= kRate / 20 || 2 * end >= pcm.size()) return begin;
  }
}

const char kLowLine[] = "Buffer low — rebuffering";

class AudioOutputTest : public ::testing::Test {
 protected:
  // Opens the output, playing into a fresh file.
  bool open(int rate, int channels, float prebuffer, bool blocking = false) {
    path = dir_.file(std::to_string(++opens_) + ".raw");
    test::setDiskAudioFile(path);
    out.prebufferSeconds = prebuffer;
    out.blockingWrite = blocking;
    return out.init(rate, channels);
  }
  // Closes the output and reads back what its device played.
  std::vector<float> played() {
    out.close();
    return test::readDiskAudio(path);
  }

  test::TempDir dir_;
  int opens_ = 0;
  std::string path;
  AudioOutput out;
};

// Start and resume fade in; volume and mute scale the samples; a pause loses or repeats no frame.
TEST_F(AudioOutputTest, FadesVolumeMuteAndPause) {
  ASSERT_TRUE(open(kRate, 2, 0.2f));
  auto signal = countingSignal(2 * kRate);
  out.write(signal.data(), 2 * kRate, 2);
  out.start();
  // Paced by the frames handed out, which the device plays in order, not by the wall clock.
  auto playedFor = [&](double s) { return waitFor([&] { return out.framesPlayed.load() >= s * kRate; }, 3000); };
  double worstLatency = 0;
  ASSERT_TRUE(waitFor([&] {
    worstLatency = std::max(worstLatency, out.deviceLatencySeconds());
    return out.framesPlayed.load() >= 0.35 * kRate;
  }, 2000));
  out.volume = 0.5f;
  ASSERT_TRUE(playedFor(0.6));
  out.pause();
  uint64_t atPause = out.framesPlayed.load();
  waitMs(200);
  EXPECT_EQ(out.framesPlayed.load(), atPause);
  out.resume();
  ASSERT_TRUE(playedFor(0.85));
  out.muted = true;
  ASSERT_TRUE(playedFor(1.1));
  // The device never holds more than its 100 ms buffer plus one period in flight.
  EXPECT_GT(worstLatency, 0.0);
  EXPECT_LE(worstLatency, 0.1 + 0.04 + 1e-9);

  auto pcm = played();
  size_t start = nextFrame(pcm, 0, true), pause = nextSilence(pcm, start), resume = nextFrame(pcm, pause, true),
         mute = nextSilence(pcm, resume);
  EXPECT_GT(resume - pause, 0.1 * kRate);  // silence while paused
  EXPECT_EQ(nextFrame(pcm, mute, true), pcm.size() / 2);  // and once muted
  expectFadeInCountingFrom(pcm, start, 0.5f, 0);
  // The frames still queued at the pause come first after the resume.
  expectFadeInCountingFrom(pcm, resume, 0.25f, countAt(pcm, pause - 1) + 1);
}

// A ring that runs short sinks the gain to silence and reports it once; as it fills again the
// gain climbs slowly between the marks, and fast to full once three quarters of a second are
// buffered. A flush then drops the ring and what the device still queues. A local file's short
// ring keeps its level.
TEST_F(AudioOutputTest, ShortRingSinksTheGainItRampsBackAndFlushDropsAll) {
  LogCapture log;
  ASSERT_TRUE(open(kRate, 2, 0.05f));
  auto signal = countingSignal(2 * kRate);
  out.write(signal.data(), 4800, 2);
  out.start();
  ASSERT_TRUE(waitFor([&] { return out.underrunGain() == 0.0f; }, 1500));
  // Never having reached the low mark, the ring counts as short once the fill has had its second.
  ASSERT_TRUE(waitFor([&] { return out.rebuffering.load(); }, 1500));
  EXPECT_DOUBLE_EQ(out.playedSeconds(), 0.1);
  // The line is written after the render thread lets go of the device, a moment after the flag.
  EXPECT_TRUE(waitFor([&] { return log.count(kLowLine) > 0; }, 500));
  out.write(signal.data(), kRate * 7 / 10, 2);
  ASSERT_TRUE(waitFor([&] { return out.underrunGain() >= 0.5f; }, 1000));
  waitMs(50);
  EXPECT_NEAR(out.underrunGain(), 12 * 0.045f, 1e-4);  // climbs by 0.045 until one half
  EXPECT_TRUE(out.rebuffering.load());
  out.write(signal.data(), kRate * 3 / 2, 2);
  ASSERT_TRUE(waitFor([&] { return out.underrunGain() == 1.0f; }, 300));
  EXPECT_FALSE(out.rebuffering.load());
  EXPECT_EQ(log.count(kLowLine), 1);

  waitMs(200);
  uint64_t handedOut = out.framesPlayed.load();
  out.flush();
  EXPECT_EQ(out.playedSeconds(), 0.0);
  EXPECT_FALSE(out.rebuffering.load());
  auto next = constantSignal(kRate / 2, {-0.25f, 0.0f});
  out.write(next.data(), kRate / 2, 2);
  waitMs(300);
  auto pcm = played();
  // Already below the low-water mark on the first buffer: 0.92 of full level after the fade.
  EXPECT_NEAR(pcm[2 * (nextFrame(pcm, 0, true) + 4000)], 0.5f * 0.92f, 1e-5);
  size_t stale = 0;
  for (size_t f = 0; 2 * f < pcm.size(); ++f) stale += pcm[2 * f] > 0.0f;
  // The device held up to 100 ms of the old sound; none of it may play after the flush.
  EXPECT_LT(stale, handedOut - kRate / 25);
  EXPECT_GT(stale, handedOut - kRate / 8);

  ASSERT_TRUE(open(kRate, 2, 0.05f));
  out.cutGainWhenShort = false;
  out.write(signal.data(), 4800, 2);
  out.start();
  ASSERT_TRUE(waitFor([&] { return out.rebuffering.load(); }, 1500));
  EXPECT_EQ(out.underrunGain(), 1.0f);
}

// A local file fills the ring to its prebuffer at once and drains it at the end: neither is a
// shortage. A fill that never reaches the prebuffer starts the device at the soft time-out
// with the minimum fill (1000 ms for 0.5 s), or on silence at the hard one (1600 ms) with an
// empty ring, whose first buffer reports the low ring.
TEST_F(AudioOutputTest, StartupFillStartsTheDeviceAtThePrebufferOrItsTimeOuts) {
  auto signal = countingSignal(kRate);
  struct {
    float prebuffer;
    int frames;  // written before the start; a local file writes the rest at once
    uint32_t minMs, maxMs;
  } rows[] = {{0.2f, 0, 1590, 2200}, {0.5f, kRate / 5, 990, 1500}, {0.2f, kRate / 5, 0, 300}};
  for (const auto& row : rows) {  // the low ring is reported at most every 2 s: the empty ring first
    SCOPED_TRACE(row.minMs);
    bool local = row.maxMs < 1000;
    ASSERT_TRUE(open(kRate, 2, row.prebuffer, row.frames == 0));
    out.write(signal.data(), row.frames, 2);
    LogCapture log;
    uint32_t begin = tickCount();
    out.start();
    waitMs(20);
    EXPECT_TRUE(local || out.rebuffering.load());
    if (local) out.write(signal.data() + row.frames * 2, kRate - row.frames, 2);
    out.endOfInput = local;
    ASSERT_TRUE(waitFor([&] { return out.framesPlayed.load() > 0 || log.count(kLowLine) > 0; }, 2500));
    uint32_t elapsed = tickCount() - begin;
    EXPECT_GE(elapsed, row.minMs);
    EXPECT_LT(elapsed, row.maxMs);
    if (row.frames == 0) {  // the device played silence
      auto pcm = played();
      EXPECT_EQ(nextFrame(pcm, 0, true), pcm.size() / 2);
    } else if (local) {
      ASSERT_TRUE(waitFor([&] { return out.ringFill() == 0; }, 3000));
      waitMs(300);
      EXPECT_EQ(log.count(kLowLine), 0);
      EXPECT_FALSE(out.rebuffering.load());
    }
  }
}

TEST_F(AudioOutputTest, InitTakesTheDeviceFormatAndNonBlockingWritesKeepWholeFramesThatFit) {
  EXPECT_FALSE(open(0, 2, 0.0f));
  out.start();  // nothing to start on a failed init
  EXPECT_FALSE(out.isRunning());
  ASSERT_TRUE(out.init(44100, 6));  // the device takes stereo: 5.1 is cut to it
  EXPECT_EQ(out.channels(), 2);
  ASSERT_TRUE(out.init(8000, 2));
  auto big = constantSignal(240000, {0.1f, 0.2f});
  out.write(big.data(), 240000, 2);
  // One slot stays empty; the odd sample left over is not used, so channels never shift.
  EXPECT_EQ(out.ringFill(), 479998u);
  out.write(big.data(), 10, 2);
  EXPECT_EQ(out.ringFill(), 479998u);
  out.write(nullptr, 10, 2);
  out.write(big.data(), 0, 2);
  out.write(big.data(), 10, 0);
  out.flush();
  EXPECT_EQ(out.ringFill(), 0u);
  out.write(big.data(), 100, 1);  // mono into stereo: 100 frames, 200 samples
  EXPECT_EQ(out.ringFill(), 200u);
}

// A blocking writer takes nothing while stopped or paused and waits for room; stop and close
// release it at once.
TEST_F(AudioOutputTest, BlockingWriteWaitsForRoomUntilReleased) {
  auto signal = constantSignal(8000 * 31, {0.1f});
  for (bool paused : {false, true}) {
    SCOPED_TRACE(paused ? "paused, then closed" : "stopped");
    ASSERT_TRUE(open(8000, 1, 0.0f, true));
    out.write(signal.data(), 100, 1);
    EXPECT_EQ(out.ringFill(), 0u);
    out.start();
    if (paused) out.pause();
    std::atomic<bool> done{false};
    // More than the whole ring: the first 30 s go in, the rest waits for room.
    std::thread writer([&] {
      out.write(signal.data(), 8000 * 31, 1);
      done = true;
    });
    waitMs(120);
    if (paused) {
      EXPECT_EQ(out.ringFill(), 0u);
      out.resume();
    }
    EXPECT_TRUE(waitFor([&] { return out.ringFill() > 230000u; }, 1000));
    waitMs(50);
    EXPECT_FALSE(done.load());
    uint32_t begin = tickCount();
    paused ? out.close() : out.stop();
    EXPECT_LT(tickCount() - begin, 500u);
    EXPECT_TRUE(waitFor([&] { return done.load(); }, 500));
    writer.join();
    EXPECT_FALSE(out.isRunning());
  }
}

TEST_F(AudioOutputTest, DeviceLossRaisesTheFlagUntilTheOutputIsRebuilt) {
  LogCapture log;
  ASSERT_TRUE(open(kRate, 2, 0.0f));
  auto signal = countingSignal(kRate);
  out.write(signal.data(), kRate, 2);
  out.start();
  ASSERT_TRUE(waitFor([&] { return out.framesPlayed.load() > 0; }, 500));
  out.simulateDeviceLoss();
  ASSERT_TRUE(waitFor([&] { return out.deviceInvalidated.load(); }, 500));
  EXPECT_EQ(log.count("Audio device invalidated"), 1);
  // The render thread has ended but the output still counts as running: start does nothing.
  EXPECT_TRUE(out.isRunning());
  uint64_t frozen = out.framesPlayed.load();
  out.start();
  waitMs(50);
  EXPECT_EQ(out.framesPlayed.load(), frozen);
  // The owner's recovery: close, init, start.
  out.close();
  ASSERT_TRUE(out.init(kRate, 2));
  EXPECT_FALSE(out.deviceInvalidated.load());
  out.write(signal.data(), kRate, 2);
  out.start();
  EXPECT_TRUE(waitFor([&] { return out.framesPlayed.load() > 0; }, 500));
}

// The meter shows the signal before volume, oldest band first, after the source channels were
// mapped onto the output's: mono reaches both channels, a second channel beyond the output's
// is dropped. While muted it falls silent.
TEST_F(AudioOutputTest, LevelsShowTheMappedSignalBeforeVolume) {
  struct {
    int outChannels;
    std::vector<float> quiet, loud;  // one source frame each
    bool muted;
  } rows[] = {{2, {0.2f}, {0.6f}, true}, {2, {0.2f}, {0.6f}, false}, {1, {0.2f, 0.9f}, {0.6f, 0.1f}, false}};
  float levels[32];
  for (const auto& row : rows) {
    SCOPED_TRACE(row.outChannels);
    ASSERT_TRUE(open(kRate, row.outChannels, 0.01f));
    auto signal = constantSignal(1024, row.quiet), loud = constantSignal(1024, row.loud);
    signal.insert(signal.end(), loud.begin(), loud.end());
    out.volume = 0.3f;
    out.muted = row.muted;
    out.write(signal.data(), 2048, static_cast<int>(row.quiet.size()));
    out.start();
    ASSERT_TRUE(waitFor([&] { return out.framesPlayed.load() == 2048; }, 500));
    out.getLevels(levels, 32);
    out.close();
    // The first few frames of the fade are all but silent and are metered as such.
    EXPECT_NEAR(levels[0], row.muted ? 0.0f : 0.19f, row.muted ? 0.0f : 0.01f);
    for (int b = 1; b < 32; ++b) EXPECT_NEAR(levels[b], row.muted ? 0.0f : b < 16 ? 0.2f : 0.6f, 1e-5) << b;
  }
  std::vector<float> many(4096, 7.0f);
  out.getLevels(many.data(), 4096);  // more bands than history: nothing to average
  EXPECT_EQ(many[4095], 0.0f);
}

}  // namespace
}  // namespace vell
