// From asking for a radio station to its first sound handed to the device, against an
// Icecast-like server on 127.0.0.1; median of 10 starts.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/ConnectJob.h"
#include "engine/Player.h"
#include "engine/YtDlpResolver.h"
#include "platform/AudioDevice.h"
#include "platform/Clock.h"
#include "support/HttpServer.h"
#include "support/Media.h"

int main() {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  vell::initAudioSystem();
  std::string mp3Path = vell::test::makeMedia("-f lavfi -i sine=frequency=500:duration=30 -c:a libmp3lame -b:a 128k", "mp3");
  std::string mp3 = vell::test::mediaBytes(mp3Path);

  // Like Icecast: a burst of a couple of seconds on connect, then real-time pace.
  vell::test::HttpServer server([&](const vell::test::HttpRequest&, vell::test::HttpConnection& c) {
    c.send("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nicy-name: Bench FM\r\nicy-br: 128\r\n\r\n");
    const size_t perSecond = 16000;
    size_t off = 0;
    if (!c.send(mp3.substr(off, 2 * perSecond))) return;
    off += 2 * perSecond;
    while (off < mp3.size() && c.wait(100)) {
      if (!c.send(mp3.substr(off, perSecond / 10))) return;
      off += perSecond / 10;
    }
  });

  vell::Player player;
  vell::YtDlpResolver resolver("/nonexistent/yt-dlp");
  std::vector<double> times;
  for (int run = 1; run <= 10; ++run) {
    double t0 = vell::monotonicSeconds();
    vell::ConnectJob job(player, server.url("/stream"), false);
    vell::runConnectJob(job, resolver, nullptr);
    if (!job.success) {
      std::printf("run %d: open failed\n", run);
      return 1;
    }
    player.play();
    while (player.audioOutput().framesPlayed.load() == 0 && vell::monotonicSeconds() - t0 < 5) vell::sleepMs(1);
    double ms = (vell::monotonicSeconds() - t0) * 1000;
    std::printf("run %d: %.1f ms\n", run, ms);
    times.push_back(ms);
    player.close();
  }
  std::sort(times.begin(), times.end());
  std::printf("first_audio_ms=%.1f\n", (times[4] + times[5]) / 2);
  return 0;
}
