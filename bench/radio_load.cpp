// A live station heard through a real PulseAudio server while the machine compiles: 60 s of
// an Icecast-like MP3 stream from 127.0.0.1, paced in real time after a 2 s burst, played by
// the Player under a parallel build (make -j4 of a few template-heavy C++ files, again and
// again) and two busy loops. The null sink's monitor is recorded; every silence of 5 ms or
// more inside the sound is a gap. Goal: no gap longer than 50 ms. A real-time thread beside
// it notes the machine's own stalls (a virtual machine's host may halt it for 100 ms): a gap
// that coincides with one belongs to the machine, not to the player.
//   radio_load [SECONDS] [--no-load]
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/ConnectJob.h"
#include "engine/Player.h"
#include "engine/YtDlpResolver.h"
#include "platform/Clock.h"
#include "support/HttpServer.h"
#include "support/Media.h"
#include "support/SoundServer.h"
#include "support/TempDir.h"

extern char** environ;

namespace {

// A shell command in a process group of its own, so that everything it starts ends with it.
pid_t spawnGroup(const std::string& command) {
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  std::string c = command;
  char sh[] = "/bin/sh", dashC[] = "-c";
  char* argv[] = {sh, dashC, c.data(), nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, "/bin/sh", nullptr, &attr, argv, environ) != 0) pid = -1;
  posix_spawnattr_destroy(&attr);
  return pid;
}

void endGroup(pid_t pid) {
  if (pid <= 0) return;
  kill(-pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

// Sources that keep a compiler busy for a second or two each, and their makefile.
void writeBuild(const vell::test::TempDir& dir) {
  std::string rules = "all:";
  for (int i = 0; i < 8; ++i) {
    std::string name = "unit" + std::to_string(i);
    dir.write(name + ".cpp",
              "#include <regex>\n#include <map>\n#include <string>\n#include <vector>\n#include <algorithm>\n"
              "#include <sstream>\n#include <functional>\n"
              "template <int N> struct F { static int v(std::map<std::string, int>& m) {"
              " m[std::to_string(N)] = N; return F<N - 1>::v(m) + N; } };\n"
              "template <> struct F<0> { static int v(std::map<std::string, int>&) { return 0; } };\n"
              "int run" + std::to_string(i) + "(const std::string& s) { std::map<std::string, int> m;"
              " std::regex r(\"[a-z]+([0-9]*)\"); std::smatch k; std::regex_search(s, k, r);"
              " std::vector<std::function<int(int)>> fs; for (int j = 0; j < 40; ++j) fs.push_back([j](int x) { return x * j; });"
              " std::ostringstream o; o << k.size(); return F<300>::v(m) + fs[3](2) + (int)o.str().size(); }\n");
    rules += " " + name + ".o";
  }
  rules += "\n%.o: %.cpp\n\tc++ -O2 -c $< -o $@\n";
  dir.write("Makefile", rules);
}

// The machine's own stalls: the longest a real-time thread that sleeps 2 ms at a time overslept
// (a plain thread when real-time priority is not allowed). A stall of the whole machine
// silences any player; the report shows it beside the gaps.
class StallWatch {
 public:
  StallWatch() {
    thread_ = std::thread([this] {
      sched_param p{};
      p.sched_priority = 10;
      realtime_ = pthread_setschedparam(pthread_self(), SCHED_FIFO, &p) == 0;
      while (!stop_) {
        double t = vell::monotonicSeconds();
        vell::sleepMs(2);
        double late = (vell::monotonicSeconds() - t) * 1000 - 2;
        if (late > 20) std::printf("  machine stall of %.1f ms\n", late);
        longestMs_ = std::max(longestMs_.load(), late);
      }
    });
  }
  ~StallWatch() { stop(); }
  void stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  double longestMs() const { return longestMs_; }
  bool realtime() const { return realtime_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<bool> realtime_{false};
  std::atomic<double> longestMs_{0};
  std::thread thread_;
};

struct Gaps {
  int count = 0;
  double longestMs = 0;
  double soundSeconds = 0;
};

// Silences of at least `minMs` in channel 0 of 48 kHz stereo, from the first sound to half a
// second before the last (the close).
Gaps findGaps(const std::vector<float>& pcm, double minMs) {
  const size_t frames = pcm.size() / 2;
  auto quiet = [&](size_t f) { return std::fabs(pcm[2 * f]) < 1e-3f; };
  size_t first = 0, last = frames;
  while (first < frames && quiet(first)) ++first;
  while (last > first && quiet(last - 1)) --last;
  last = std::max(first, last - std::min(last, size_t{24000}));
  Gaps g;
  g.soundSeconds = static_cast<double>(last - first) / 48000;
  for (size_t f = first; f < last;) {
    if (!quiet(f)) {
      ++f;
      continue;
    }
    size_t end = f;
    while (end < last && quiet(end)) ++end;
    double ms = static_cast<double>(end - f) / 48.0;
    if (ms >= minMs) {
      ++g.count;
      g.longestMs = std::max(g.longestMs, ms);
      std::printf("  gap of %.1f ms at %.2f s\n", ms, static_cast<double>(f - first) / 48000);
    }
    f = end;
  }
  return g;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 60;
  bool load = true;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-load") == 0)
      load = false;
    else
      seconds = std::max(5.0, std::atof(argv[i]));
  }

  vell::test::SoundServer sound;
  if (!sound.unavailable().empty()) {
    std::fprintf(stderr, "%s\n", sound.unavailable().c_str());
    return 1;
  }
  if (!sound.playHere()) {
    std::fprintf(stderr, "SDL's pulseaudio driver did not come up\n");
    return 1;
  }

  // Like Icecast: a 2 s burst on connect, then real-time pace on a fixed schedule.
  const size_t rate = 16000;  // bytes per second at 128 kbit/s
  std::string mp3 = vell::test::mediaBytes(vell::test::makeMedia(
      "-f lavfi -i sine=frequency=500:duration=" + std::to_string(static_cast<int>(seconds) + 20) +
          " -c:a libmp3lame -b:a 128k",
      "mp3"));
  vell::test::HttpServer server([&](const vell::test::HttpRequest&, vell::test::HttpConnection& c) {
    if (!c.send("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nicy-name: Bench FM\r\nicy-br: 128\r\n\r\n")) return;
    size_t off = std::min(mp3.size(), 2 * rate);
    if (!c.send(mp3.substr(0, off))) return;
    auto start = std::chrono::steady_clock::now();
    for (size_t sent = 0; off < mp3.size() && !c.stopping(); off += rate / 20, sent += rate / 20) {
      std::this_thread::sleep_until(start + std::chrono::milliseconds(1000 * (sent + rate / 20) / rate));
      if (!c.send(mp3.substr(off, rate / 20))) return;
    }
  });

  vell::test::TempDir buildDir;
  pid_t build = -1, busy = -1;
  if (load) {
    writeBuild(buildDir);
    build = spawnGroup("cd '" + buildDir.path() + "' && while :; do make -s -B -j4 >/dev/null 2>&1; done");
    busy = spawnGroup("while :; do :; done & while :; do :; done & wait");
    vell::sleepMs(3000);  // the build is in full swing
  }

  vell::Player player;
  vell::YtDlpResolver resolver("/nonexistent/yt-dlp");
  vell::ConnectJob job(player, server.url("/stream"), false, "Bench FM");
  vell::runConnectJob(job, resolver, nullptr);
  if (!job.success) {
    std::printf("open failed\n");
    endGroup(build);
    endGroup(busy);
    return 1;
  }
  player.play();
  StallWatch stalls;
  std::vector<float> pcm;
  std::thread recorder([&] { pcm = sound.record(seconds + 1.5); });
  // The window's 16 ms tick.
  for (double t0 = vell::monotonicSeconds(); vell::monotonicSeconds() - t0 < seconds + 0.5;) {
    player.syncTick();
    vell::sleepMs(16);
  }
  stalls.stop();
  player.close();
  recorder.join();
  endGroup(build);
  endGroup(busy);

  Gaps g = findGaps(pcm, 5.0);
  std::printf("load=%s sound_s=%.1f gaps=%d longest_gap_ms=%.1f goal_ms=50 %s machine_stall_ms=%.1f%s\n",
              load ? "build+2busy" : "none", g.soundSeconds, g.count, g.longestMs, g.longestMs <= 50 ? "ok" : "over",
              stalls.longestMs(), stalls.realtime() ? "" : " (not real-time)");
  return 0;
}
