// How far the audio clock (frames handed to the device) runs ahead of the sound the device
// has really produced. Run with the disk driver, which writes at real-time pace:
//   SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/tmp/vell-clock.raw build/test/bench/audio_clock
// The file's growth is the device's real output (stdio buffering hides up to ~10 ms of it).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/AudioOutput.h"
#include "platform/Clock.h"

int main() {
  const char* file = std::getenv("SDL_DISKAUDIOFILE");
  const char* driver = std::getenv("SDL_AUDIODRIVER");
  if (!file || !driver || std::string(driver) != "disk") {
    std::fprintf(stderr, "set SDL_AUDIODRIVER=disk and SDL_DISKAUDIOFILE\n");
    return 2;
  }
  vell::AudioOutput out;
  if (!out.init(48000, 2)) return 1;
  const int rate = out.sampleRate();
  const int ch = out.channels();
  out.prebufferSeconds = 0.2f;
  out.blockingWrite = false;
  std::vector<float> signal(static_cast<size_t>(rate) * ch * 4, 0.25f);
  out.write(signal.data(), rate * 4, ch);

  // Bytes the device wrote while paused before the start-up fill ended are silence ahead of
  // the first frame; measure them at the moment the first frame is counted.
  out.start();
  while (out.framesPlayed.load() == 0) vell::sleepMs(1);
  std::error_code ec;
  const double frameBytes = 4.0 * ch;
  const double silentFrames = std::filesystem::file_size(file, ec) / frameBytes;

  std::vector<double> lead, latency;
  double begin = vell::monotonicSeconds();
  while (vell::monotonicSeconds() - begin < 3.0) {
    vell::sleepMs(20);
    double written = std::filesystem::file_size(file, ec) / frameBytes - silentFrames;
    lead.push_back((out.framesPlayed.load() - written) * 1000.0 / rate);
    latency.push_back(out.deviceLatencySeconds() * 1000.0);
  }
  out.close();

  auto report = [](const char* name, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    double sum = 0;
    for (double x : v) sum += x;
    std::printf("%-34s mean %6.1f ms  min %6.1f  median %6.1f  max %6.1f  (%zu samples)\n", name,
                sum / v.size(), v.front(), v[v.size() / 2], v.back(), v.size());
  };
  report("framesPlayed ahead of device output", lead);
  report("deviceLatencySeconds", latency);
  return 0;
}
