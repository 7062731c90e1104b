// Plays a file through the Player as the window would (clock tick and frame take at 60 Hz)
// and reports how well picture, clock and sound agree.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "engine/Player.h"
#include "platform/AudioDevice.h"
#include "platform/Clock.h"
#include "platform/ProcessStats.h"

namespace {

double p95(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(v.size() * 0.95))];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: playback_sync FILE [SECONDS]\n");
    return 2;
  }
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  vell::initAudioSystem();
  double limit = argc > 2 ? std::atof(argv[2]) : 1e9;

  vell::Player player;
  std::atomic<bool> ended{false};
  player.onEnded = [&] { ended = true; };
  if (!player.openFile(argv[1])) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  bool hasVideo = player.hasVideo();
  double cpu0 = vell::processCpuSeconds();
  double wall0 = vell::monotonicSeconds();
  player.play();

  vell::VideoFrame slot;
  std::vector<double> clockErrors, frameErrors;
  long shown = 0;
  double signedSum = 0;
  auto next = std::chrono::steady_clock::now();
  while (!ended.load() && vell::monotonicSeconds() - wall0 < limit) {
    next += std::chrono::microseconds(16667);
    std::this_thread::sleep_until(next);
    player.syncTick();
    double clock = player.position();
    const vell::AudioOutput& out = player.audioOutput();
    double heard = out.heardSeconds() * player.speed();
    if (heard > 1.0 && out.ringFill() > 0) {
      clockErrors.push_back(std::fabs(clock - heard) * 1000);
      signedSum += (clock - heard) * 1000;
      if (std::getenv("SYNC_TRACE")) std::fprintf(stderr, "%.3f %.2f\n", clock, (clock - heard) * 1000);
    }
    if (hasVideo && player.takeFrame(slot)) {
      ++shown;
      double target = clock - player.syncOffsetMs() * 0.001;
      if (clock > 1.0) frameErrors.push_back(std::fabs(slot.pts - target) * 1000);
    }
  }
  double mediaSeconds = player.position();
  double cpu = vell::processCpuSeconds() - cpu0;
  uint64_t dropped = player.droppedFrames();
  player.close();

  double clockMs = p95(clockErrors), frameMs = p95(frameErrors);
  std::printf("media seconds played: %.2f (wall %.2f)\n", mediaSeconds, vell::monotonicSeconds() - wall0);
  std::printf("p95 |clock - audio device|: %.2f ms over %zu ticks (mean signed %.2f ms)\n", clockMs,
              clockErrors.size(), clockErrors.empty() ? 0.0 : signedSum / clockErrors.size());
  std::printf("p95 |shown pts - (clock - offset)|: %.2f ms over %zu frames\n", frameMs, frameErrors.size());
  std::printf("frames shown: %ld, dropped: %llu\n", shown, static_cast<unsigned long long>(dropped));
  std::printf("cpu seconds per media second: %.3f\n", mediaSeconds > 0 ? cpu / mediaSeconds : 0.0);
  std::printf("peak resident memory: %.1f MB\n", vell::peakResidentBytes() / 1048576.0);
  std::printf("p95_clock_ms=%.2f p95_frame_ms=%.2f dropped=%llu\n", clockMs, frameMs,
              static_cast<unsigned long long>(dropped));
  return 0;
}
