#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/AudioOutput.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "support/DiskAudio.h"
#include "support/TempDir.h"

namespace vell {
namespace {

// Every device in this program plays into a raw file that the tests read back.
[[maybe_unused]] ::testing::Environment* const kDiskAudio = test::addDiskAudioEnvironment();

constexpr int kRate = 48000;
constexpr int kFadeFrames = 3840;  // 80 ms at 48 kHz
constexpr double kCountScale = 131072.0;

// Channel 0 is a constant 0.5, so the output shows the gain put on every frame; channel 1
// counts frames ((n + 1) / 2^17, exact in float), so lost or repeated frames show too.
std::vector<float> countingSignal(int frames) {
  std::vector<float> s(static_cast<size_t>(frames) * 2);
  for (int n = 0; n < frames; ++n) {
    s[2 * n] = 0.5f;
    s[2 * n + 1] = static_cast<float>((n + 1) / kCountScale);
  }
  return s;
}

std::vector<float> constantSignal(int frames, int channels, std::vector<float> values) {
  std::vector<float> s(static_cast<size_t>(frames) * channels);
  for (size_t i = 0; i < s.size(); ++i) s[i] = values[i % channels];
  return s;
}

// Frame number carried by an output frame of the counting signal, whatever its gain.
long countAt(const std::vector<float>& pcm, size_t frame) {
  return std::lround(pcm[2 * frame + 1] * 0.5 / pcm[2 * frame] * kCountScale) - 1;
}

struct SoundRun {
  size_t begin;
  size_t end;  // one past the last frame with sound
};

// Stretches of frames whose channel 0 is not silent.
std::vector<SoundRun> soundRuns(const std::vector<float>& pcm, int channels) {
  std::vector<SoundRun> runs;
  size_t frames = pcm.size() / channels;
  for (size_t f = 0; f < frames; ++f) {
    if (pcm[f * channels] == 0.0f) continue;
    if (!runs.empty() && runs.back().end == f) {
      runs.back().end = f + 1;
    } else {
      runs.push_back({f, f + 1});
    }
  }
  return runs;
}

// A run that starts with a fade: frame k of the fade (k = 0 is silent and lies just before
// the run) carries level * sqrt(k / 80 ms).
void expectFadeIn(const std::vector<float>& pcm, const SoundRun& run, float level) {
  ASSERT_GE(run.end - run.begin, static_cast<size_t>(kFadeFrames + 480));
  for (int k = 1; k < kFadeFrames + 480; ++k) {
    float expected = k < kFadeFrames ? level * static_cast<float>(std::sqrt(k / double(kFadeFrames))) : level;
    ASSERT_NEAR(pcm[2 * (run.begin - 1 + k)], expected, 1e-5) << "fade frame " << k;
  }
}

// Each frame of the run carries the count `firstCount` + its offset from `origin`.
void expectCountsFrom(const std::vector<float>& pcm, const SoundRun& run, size_t origin, long firstCount) {
  for (size_t f = run.begin; f < run.end; ++f) {
    if (pcm[2 * f] < 0.05f) continue;  // too quiet to read the count back
    ASSERT_EQ(countAt(pcm, f), firstCount + static_cast<long>(f - origin)) << "frame " << f;
  }
}

class AudioOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setLogSink([this](const std::string& line) {
      std::lock_guard<std::mutex> lock(logMutex_);
      log_.push_back(line);
    });
  }
  void TearDown() override { setLogSink({}); }

  // The next device plays into this file.
  std::string outputFile(const std::string& name) {
    std::string path = dir_.file(name);
    test::setDiskAudioFile(path);
    return path;
  }
  static bool open(AudioOutput& out, int rate, int channels, float prebuffer, bool blocking = false) {
    out.prebufferSeconds = prebuffer;
    out.blockingWrite = blocking;
    return out.init(rate, channels);
  }
  // Two seconds of the counting signal queued without blocking, then started.
  void startCounting(AudioOutput& out) {
    ASSERT_TRUE(open(out, kRate, 2, 0.2f));
    auto signal = countingSignal(2 * kRate);
    out.write(signal.data(), 2 * kRate, 2);
    out.start();
  }
  int logCount(const std::string& line) {
    std::lock_guard<std::mutex> lock(logMutex_);
    int n = 0;
    for (const auto& l : log_) n += l == line;
    return n;
  }
  // Waits until the output has handed out `seconds` more audio; the device has then played
  // all but its queue of it.
  bool playFor(AudioOutput& out, double seconds) {
    uint64_t target = out.framesPlayed.load() + static_cast<uint64_t>(seconds * out.sampleRate());
    return waitFor([&] { return out.framesPlayed.load() >= target; }, 3000);
  }
  // Waits up to `ms` for the condition; true when it came true.
  template <class F>
  static bool waitFor(F condition, int ms) {
    for (int waited = 0; waited < ms; waited += 2) {
      if (condition()) return true;
      sleepMs(2);
    }
    return condition();
  }

  test::TempDir dir_;
  std::mutex logMutex_;
  std::vector<std::string> log_;
};

TEST_F(AudioOutputTest, InitReadsBackTheDeviceFormat) {
  outputFile("init.raw");
  AudioOutput out;
  EXPECT_EQ(out.sampleRate(), 48000);
  EXPECT_EQ(out.channels(), 2);
  ASSERT_TRUE(out.init(48000, 2));
  EXPECT_EQ(out.sampleRate(), 48000);
  EXPECT_EQ(out.channels(), 2);
  EXPECT_EQ(out.bufferFrames(), 4800u);
  EXPECT_EQ(out.ringCapacity(), 48000u * 2 * 30);
  EXPECT_EQ(out.ringFill(), 0u);
  EXPECT_EQ(logCount("[VellPlayer] AudioOutput: 48000Hz 2ch, WASAPI buf=4800 frames, ring=30.0s\n"), 1);

  // A 5.1 request ends as stereo because the device takes stereo.
  ASSERT_TRUE(out.init(44100, 6));
  EXPECT_EQ(out.sampleRate(), 44100);
  EXPECT_EQ(out.channels(), 2);
  EXPECT_EQ(out.bufferFrames(), 4410u);

  ASSERT_TRUE(out.init(22050, 1));
  EXPECT_EQ(out.channels(), 1);
  EXPECT_EQ(out.ringCapacity(), 22050u * 30);

  EXPECT_FALSE(out.init(0, 2));
  out.start();  // nothing to start on a failed init
  EXPECT_FALSE(out.isRunning());
}

TEST_F(AudioOutputTest, StartFadesInThenVolumeAndMuteScaleTheSamples) {
  std::string path = outputFile("start.raw");
  AudioOutput out;
  ASSERT_NO_FATAL_FAILURE(startCounting(out));

  // Paced by the frames handed out, which the device plays in order, not by the wall clock.
  double worstLatency = 0;
  ASSERT_TRUE(waitFor([&] {
    worstLatency = std::max(worstLatency, out.deviceLatencySeconds());
    return out.framesPlayed.load() >= 0.35 * kRate;
  }, 2000));
  out.volume = 0.5f;
  ASSERT_TRUE(playFor(out, 0.25));
  out.muted = true;
  ASSERT_TRUE(playFor(out, 0.25));
  uint64_t played = out.framesPlayed.load();
  out.close();
  EXPECT_FALSE(out.isRunning());

  // The device never holds more than its 100 ms buffer plus one period in flight.
  EXPECT_GT(worstLatency, 0.0);
  EXPECT_LE(worstLatency, 0.1 + 0.01 + 1e-9);

  auto pcm = test::readDiskAudio(path);
  auto runs = soundRuns(pcm, 2);
  ASSERT_EQ(runs.size(), 1u);
  const SoundRun& run = runs[0];
  expectFadeIn(pcm, run, 0.5f);
  expectCountsFrom(pcm, run, run.begin - 1, 0);

  size_t full = 0, half = 0;
  for (size_t f = run.begin; f < run.end; ++f) {
    float v = pcm[2 * f];
    EXPECT_LE(v, 0.5f + 1e-6f);
    full += v == 0.5f;
    half += v == 0.25f;
  }
  EXPECT_GT(full, 0.2 * kRate);
  EXPECT_GT(half, 0.15 * kRate);
  // Muted frames are silent to the end of the file.
  size_t frames = pcm.size() / 2;
  EXPECT_GT(frames - run.end, 0.1 * kRate);

  // The played-frames counter runs ahead of what the device wrote by the queue at most.
  uint64_t heard = frames - (run.begin - 1);
  EXPECT_GE(played, heard);
  EXPECT_LE(played - heard, 4800u + 480u);
}

TEST_F(AudioOutputTest, PauseSilencesAndResumeFadesInWithoutLosingFrames) {
  std::string path = outputFile("pause.raw");
  AudioOutput out;
  ASSERT_NO_FATAL_FAILURE(startCounting(out));
  ASSERT_TRUE(playFor(out, 0.3));
  out.pause();
  uint64_t atPause = out.framesPlayed.load();
  sleepMs(200);
  EXPECT_EQ(out.framesPlayed.load(), atPause);
  out.resume();
  ASSERT_TRUE(playFor(out, 0.3));
  out.close();

  auto pcm = test::readDiskAudio(path);
  auto runs = soundRuns(pcm, 2);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_GT(runs[1].begin - runs[0].end, 0.1 * kRate);  // silence while paused
  expectFadeIn(pcm, runs[0], 0.5f);
  expectFadeIn(pcm, runs[1], 0.5f);
  expectCountsFrom(pcm, runs[0], runs[0].begin - 1, 0);
  // The frames still queued at the pause come first after the resume, none lost or repeated.
  long lastBeforePause = countAt(pcm, runs[0].end - 1);
  expectCountsFrom(pcm, runs[1], runs[1].begin - 1, lastBeforePause + 1);
}

TEST_F(AudioOutputTest, ShortRingCountsOnlyRingFramesAndSinksTheGain) {
  std::string path = outputFile("short.raw");
  AudioOutput out;
  ASSERT_TRUE(open(out, kRate, 2, 0.05f));
  auto signal = countingSignal(4800);
  out.write(signal.data(), 4800, 2);
  out.start();
  ASSERT_TRUE(waitFor([&] { return out.underrunGain() < 0.2f; }, 1500));
  // Never having reached the low mark, the ring counts as short once the fill has had its second.
  ASSERT_TRUE(waitFor([&] { return out.rebuffering.load(); }, 1500));

  EXPECT_EQ(out.framesPlayed.load(), 4800u);
  EXPECT_DOUBLE_EQ(out.playedSeconds(), 0.1);
  EXPECT_LT(out.underrunGain(), 0.2f);
  EXPECT_EQ(logCount("[VellPlayer] Buffer low — rebuffering\n"), 1);
  out.close();

  auto pcm = test::readDiskAudio(path);
  auto runs = soundRuns(pcm, 2);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_LE(runs[0].end - runs[0].begin, 4800u);
  EXPECT_GE(runs[0].end - runs[0].begin, 4700u);
  // Already below the low-water mark on the first buffer: 0.92 of full level after the fade.
  EXPECT_NEAR(pcm[2 * (runs[0].begin + 4000)], 0.5f * 0.92f, 1e-5);
}

TEST_F(AudioOutputTest, FlushEmptiesTheRingAndTheGainRampsBack) {
  outputFile("flush.raw");
  AudioOutput out;
  ASSERT_NO_FATAL_FAILURE(startCounting(out));
  sleepMs(150);
  ASSERT_GT(out.framesPlayed.load(), 0u);

  out.flush();
  EXPECT_EQ(out.playedSeconds(), 0.0);
  EXPECT_EQ(out.ringFill(), 0u);
  EXPECT_FALSE(out.rebuffering.load());
  // The empty ring gives silence and the gain sinks by 0.92 per buffer down to zero.
  ASSERT_TRUE(waitFor([&] { return out.underrunGain() == 0.0f; }, 1500));
  ASSERT_TRUE(waitFor([&] { return out.rebuffering.load(); }, 1500));  // after the fill's grace
  EXPECT_EQ(out.framesPlayed.load(), 0u);

  // Between the marks the gain climbs by 0.045 until it reaches one half.
  auto signal = countingSignal(2 * kRate);
  out.write(signal.data(), kRate * 8 / 10, 2);
  ASSERT_TRUE(waitFor([&] { return out.underrunGain() >= 0.5f; }, 1000));
  sleepMs(50);
  EXPECT_NEAR(out.underrunGain(), 12 * 0.045f, 1e-4);
  EXPECT_TRUE(out.rebuffering.load());
  // With a second buffered it returns to full in 0.15 steps and rebuffering ends.
  out.write(signal.data(), kRate * 3 / 2, 2);
  ASSERT_TRUE(waitFor([&] { return out.underrunGain() == 1.0f; }, 300));
  EXPECT_FALSE(out.rebuffering.load());
  EXPECT_GT(out.framesPlayed.load(), 0u);
}

TEST_F(AudioOutputTest, FlushDropsWhatTheDeviceStillQueues) {
  std::string path = outputFile("flushqueue.raw");
  AudioOutput out;
  ASSERT_NO_FATAL_FAILURE(startCounting(out));
  ASSERT_TRUE(playFor(out, 0.5));
  uint64_t handedOut = out.framesPlayed.load();
  out.flush();
  auto next = constantSignal(kRate / 2, 2, {-0.25f, 0.0f});
  out.write(next.data(), kRate / 2, 2);
  sleepMs(300);
  out.close();
  auto pcm = test::readDiskAudio(path);
  size_t stale = 0;
  for (size_t f = 0; 2 * f < pcm.size(); ++f) stale += pcm[2 * f] > 0.0f;
  // The device held up to 100 ms of the old sound; none of it may play after the flush.
  EXPECT_LT(stale, handedOut - kRate / 25);
  EXPECT_GT(stale, handedOut - kRate / 8);
}

// A local file: the ring starts at the prebuffer, fills fast, and drains at the end.
TEST_F(AudioOutputTest, StartupFillAndPlayOutAreNotReportedAsShortages) {
  outputFile("local.raw");
  AudioOutput out;
  ASSERT_TRUE(open(out, kRate, 2, 0.2f));
  auto signal = countingSignal(kRate);
  out.write(signal.data(), kRate / 5, 2);
  out.start();
  sleepMs(20);
  out.write(signal.data() + kRate / 5 * 2, kRate * 4 / 5, 2);
  out.endOfInput = true;
  ASSERT_TRUE(waitFor([&] { return out.ringFill() == 0; }, 3000));
  sleepMs(300);
  EXPECT_EQ(logCount("[VellPlayer] Buffer low — rebuffering\n"), 0);
  EXPECT_FALSE(out.rebuffering.load());
  out.close();
}

TEST_F(AudioOutputTest, StartupFillEndsAtTheSoftTimeoutWithTheMinimumFill) {
  outputFile("soft.raw");
  AudioOutput out;
  ASSERT_TRUE(open(out, kRate, 2, 0.5f));  // soft 1000 ms; minimum fill 0.125 s
  auto signal = countingSignal(kRate / 5);
  out.write(signal.data(), kRate / 5, 2);
  uint32_t begin = tickCount();
  out.start();
  sleepMs(50);
  EXPECT_TRUE(out.rebuffering.load());
  ASSERT_TRUE(waitFor([&] { return out.framesPlayed.load() > 0; }, 2000));
  uint32_t elapsed = tickCount() - begin;
  EXPECT_GE(elapsed, 990u);
  EXPECT_LT(elapsed, 1500u);
}

TEST_F(AudioOutputTest, StartupFillGivesUpAtTheHardTimeoutOnAnEmptyRing) {
  std::string path = outputFile("hard.raw");
  AudioOutput out;
  ASSERT_TRUE(open(out, kRate, 2, 0.2f, true));  // hard 1600 ms
  uint32_t begin = tickCount();
  out.start();
  sleepMs(1200);
  EXPECT_TRUE(out.rebuffering.load());
  EXPECT_EQ(logCount("[VellPlayer] Buffer low — rebuffering\n"), 0);
  // The device starts on silence and the first buffer reports the low ring.
  ASSERT_TRUE(waitFor([&] { return logCount("[VellPlayer] Buffer low — rebuffering\n") == 1; }, 1500));
  uint32_t elapsed = tickCount() - begin;
  EXPECT_GE(elapsed, 1590u);
  EXPECT_LT(elapsed, 2200u);
  EXPECT_EQ(out.framesPlayed.load(), 0u);
  out.close();
  auto pcm = test::readDiskAudio(path);
  EXPECT_FALSE(pcm.empty());
  EXPECT_TRUE(soundRuns(pcm, 2).empty());
}

TEST_F(AudioOutputTest, NonBlockingWriteKeepsWholeFramesThatFit) {
  outputFile("nonblocking.raw");
  AudioOutput out;
  ASSERT_TRUE(out.init(8000, 2));
  ASSERT_EQ(out.ringCapacity(), 480000u);
  out.blockingWrite = false;
  auto big = constantSignal(240000, 2, {0.1f, 0.2f});
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

TEST_F(AudioOutputTest, WritesMapSourceChannelsOntoTheOutput) {
  struct {
    int outChannels, sourceChannels;
    std::vector<float> values;  // the first one is what every output channel must carry
  } rows[] = {{1, 2, {0.25f, 0.75f}},  // the second source channel is dropped
              {2, 1, {0.3f}}};         // mono reaches both channels
  for (const auto& r : rows) {
    SCOPED_TRACE(r.outChannels);
    std::string path = outputFile("map" + std::to_string(r.outChannels) + ".raw");
    AudioOutput out;
    ASSERT_TRUE(open(out, kRate, r.outChannels, 0.05f));
    ASSERT_EQ(out.channels(), r.outChannels);
    auto source = constantSignal(kRate * 12 / 10, r.sourceChannels, r.values);
    out.write(source.data(), kRate * 12 / 10, r.sourceChannels);
    out.start();
    ASSERT_TRUE(playFor(out, 0.3));
    out.close();
    auto pcm = test::readDiskAudio(path);
    size_t plateau = 0;
    for (size_t f = 0; f + r.outChannels <= pcm.size(); f += r.outChannels) {
      ASSERT_LE(pcm[f], r.values[0] + 1e-6f);
      for (int c = 1; c < r.outChannels; ++c) ASSERT_EQ(pcm[f + c], pcm[f]);
      plateau += pcm[f] == r.values[0];
    }
    EXPECT_GT(plateau, 2000u);
  }
}

TEST_F(AudioOutputTest, BlockingWriteWaitsForRoomAndStopOrCloseReleaseIt) {
  outputFile("blocking.raw");
  AudioOutput out;
  ASSERT_TRUE(open(out, 8000, 1, 0.0f, true));
  auto signal = constantSignal(8000 * 31, 1, {0.1f});
  // A stopped output takes nothing from a blocking writer.
  out.write(signal.data(), 100, 1);
  EXPECT_EQ(out.ringFill(), 0u);

  for (int round = 0; round < 2; ++round) {
    out.start();
    std::atomic<bool> done{false};
    // More than the whole ring: the first 30 s go in, the rest waits for room.
    std::thread writer([&] {
      out.write(signal.data(), 8000 * 31, 1);
      done = true;
    });
    ASSERT_TRUE(waitFor([&] { return out.ringFill() > 230000u; }, 1000));
    sleepMs(50);
    EXPECT_FALSE(done.load());
    uint32_t begin = tickCount();
    if (round == 0) {
      out.stop();
    } else {
      out.close();
    }
    EXPECT_LT(tickCount() - begin, 500u);
    EXPECT_TRUE(waitFor([&] { return done.load(); }, 500));
    writer.join();
    EXPECT_FALSE(out.isRunning());
    if (round == 1) break;
    out.flush();
  }
}

TEST_F(AudioOutputTest, BlockingWriteWaitsWhilePaused) {
  outputFile("paused-write.raw");
  AudioOutput out;
  ASSERT_TRUE(open(out, 8000, 1, 0.0f, true));
  out.start();
  out.pause();
  auto signal = constantSignal(80, 1, {0.1f});
  std::atomic<bool> done{false};
  std::thread writer([&] {
    out.write(signal.data(), 80, 1);
    done = true;
  });
  sleepMs(120);
  EXPECT_FALSE(done.load());
  EXPECT_EQ(out.ringFill(), 0u);
  out.resume();
  EXPECT_TRUE(waitFor([&] { return done.load(); }, 300));
  writer.join();
  out.close();
}

TEST_F(AudioOutputTest, DeviceLossRaisesTheFlagUntilTheOutputIsRebuilt) {
  outputFile("lost.raw");
  AudioOutput out;
  ASSERT_TRUE(open(out, kRate, 2, 0.0f));
  auto signal = countingSignal(kRate);
  out.write(signal.data(), kRate, 2);
  out.start();
  ASSERT_TRUE(waitFor([&] { return out.framesPlayed.load() > 0; }, 500));
  out.simulateDeviceLoss();
  ASSERT_TRUE(waitFor([&] { return out.deviceInvalidated.load(); }, 500));
  EXPECT_EQ(logCount("[VellPlayer] Audio device invalidated\n"), 1);
  // The render thread has ended but the output still counts as running: start does nothing.
  EXPECT_TRUE(out.isRunning());
  uint64_t played = out.framesPlayed.load();
  sleepMs(50);
  EXPECT_EQ(out.framesPlayed.load(), played);
  out.start();
  sleepMs(30);
  EXPECT_EQ(out.framesPlayed.load(), played);

  // The owner's recovery: close, init, start.
  out.close();
  ASSERT_TRUE(out.init(kRate, 2));
  EXPECT_FALSE(out.deviceInvalidated.load());
  out.write(signal.data(), kRate, 2);
  out.start();
  EXPECT_TRUE(waitFor([&] { return out.framesPlayed.load() > 0; }, 500));
  EXPECT_FALSE(out.deviceInvalidated.load());
}

TEST_F(AudioOutputTest, LevelsShowTheSignalBeforeVolumeOldestBandFirst) {
  outputFile("levels.raw");
  std::vector<float> quietThenLoud = constantSignal(1024, 2, {0.2f, 0.2f});
  auto loud = constantSignal(1024, 2, {0.6f, 0.6f});
  quietThenLoud.insert(quietThenLoud.end(), loud.begin(), loud.end());

  AudioOutput out;
  ASSERT_TRUE(open(out, kRate, 2, 0.01f));
  float levels[32];
  out.getLevels(levels, 32);
  for (float l : levels) EXPECT_EQ(l, 0.0f);

  out.volume = 0.3f;
  out.write(quietThenLoud.data(), 2048, 2);
  out.start();
  ASSERT_TRUE(waitFor([&] { return out.framesPlayed.load() == 2048; }, 500));
  out.getLevels(levels, 32);
  // The first few frames of the fade are all but silent and are metered as such.
  EXPECT_GT(levels[0], 0.18f);
  EXPECT_LT(levels[0], 0.2f);
  for (int b = 1; b < 16; ++b) EXPECT_NEAR(levels[b], 0.2f, 1e-5) << b;
  for (int b = 16; b < 32; ++b) EXPECT_NEAR(levels[b], 0.6f, 1e-5) << b;
  out.close();

  float one[1];
  out.getLevels(one, 1);
  EXPECT_NEAR(one[0], std::sqrt((0.04 * 1019 + 0.36 * 1024) / 2048), 0.01);
  float sentinel[2] = {7.0f, 7.0f};
  out.getLevels(sentinel, 0);
  out.getLevels(nullptr, 4);
  EXPECT_EQ(sentinel[0], 7.0f);
  std::vector<float> many(4096, 7.0f);
  out.getLevels(many.data(), 4096);  // more bands than history: nothing to average
  EXPECT_EQ(many[4095], 0.0f);

  // While muted the meter falls silent.
  outputFile("levels-muted.raw");
  ASSERT_TRUE(open(out, kRate, 2, 0.01f));
  out.muted = true;
  out.write(quietThenLoud.data(), 2048, 2);
  out.start();
  ASSERT_TRUE(waitFor([&] { return out.framesPlayed.load() == 2048; }, 500));
  out.getLevels(levels, 32);
  for (float l : levels) EXPECT_EQ(l, 0.0f);
}

}  // namespace
}  // namespace vell
