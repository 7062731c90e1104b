// From asking for a radio station to its first sound, against an Icecast-like server on
// 127.0.0.1 reached through a proxy that adds 100 ms each way (the TCP handshake's round
// trip included); median of 10 starts, with ffplay on the same stream in the same run for
// comparison (its time includes its own start-up, as a user would see it).
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/ConnectJob.h"
#include "engine/Player.h"
#include "engine/YtDlpResolver.h"
#include "platform/AudioDevice.h"
#include "platform/Clock.h"
#include "support/HttpServer.h"
#include "support/Media.h"
#include "support/TempDir.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// A TCP proxy on 127.0.0.1 that delivers every byte `delayMs` after it arrived, in both
// directions: a distant server without touching any real interface.
class DelayProxy {
 public:
  DelayProxy(int targetPort, int delayMs) : target_(targetPort), delay_(delayMs) {
    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(listen_, 16);
    socklen_t len = sizeof a;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
  }
  ~DelayProxy() {
    stop_ = true;
    shutdown(listen_, SHUT_RDWR);
    acceptThread_.join();
    close(listen_);
    std::vector<std::thread> threads;
    {
      std::lock_guard<std::mutex> lock(m_);
      for (int fd : fds_) shutdown(fd, SHUT_RDWR);
      threads.swap(threads_);
    }
    for (auto& t : threads) t.join();
    for (int fd : fds_) close(fd);
  }
  int port() const { return port_; }

 private:
  void acceptLoop() {
    while (!stop_) {
      pollfd p{listen_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      int client = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      a.sin_port = htons(static_cast<uint16_t>(target_));
      if (connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(client);
        close(server);
        continue;
      }
      std::lock_guard<std::mutex> lock(m_);
      fds_.push_back(client);
      fds_.push_back(server);
      // The client's connect stood at once here; over a real link the handshake costs one
      // round trip before the request can leave, so its first bytes wait that much longer.
      threads_.emplace_back([this, client, server] { pump(client, server, 2 * delay_); });
      threads_.emplace_back([this, server, client] { pump(server, client, 0); });
    }
  }
  // One direction: read what arrives, hand it on once it is `delay_` old.
  void pump(int from, int to, int handshakeMs) {
    std::deque<std::pair<Clock::time_point, std::string>> queue;
    bool open = true;
    char buffer[16384];
    while (!stop_ && (open || !queue.empty())) {
      auto now = Clock::now();
      while (!queue.empty() && queue.front().first <= now) {
        const std::string& b = queue.front().second;
        if (send(to, b.data(), b.size(), MSG_NOSIGNAL) < 0) return;
        queue.pop_front();
      }
      int wait = 5;
      if (!queue.empty())
        wait = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(queue.front().first - now).count());
      wait = std::clamp(wait, 0, 5);
      if (!open) {
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        continue;
      }
      pollfd p{from, POLLIN, 0};
      if (poll(&p, 1, wait) <= 0) continue;
      ssize_t n = recv(from, buffer, sizeof buffer, 0);
      if (n <= 0) {
        open = false;
        continue;
      }
      queue.emplace_back(Clock::now() + std::chrono::milliseconds(delay_ + handshakeMs),
                         std::string(buffer, static_cast<size_t>(n)));
      handshakeMs = 0;
    }
    shutdown(to, SHUT_WR);
  }

  int target_, delay_, port_ = 0, listen_ = -1;
  std::atomic<bool> stop_{false};
  std::thread acceptThread_;
  std::mutex m_;
  std::vector<std::thread> threads_;
  std::vector<int> fds_;
};

// ffplay with SDL's disk audio driver writing into a pipe: the time until the first
// sample that is not silence comes out.
double ffplayFirstAudioMs(const std::string& url, const std::string& fifo) {
  std::vector<std::string> env = {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + fifo, "SDL_DISKAUDIODELAY=0"};
  for (char** e = environ; *e; ++e) {
    std::string v = *e;
    if (v.rfind("SDL_AUDIODRIVER=", 0) != 0 && v.rfind("SDL_DISKAUDIO", 0) != 0) env.push_back(v);
  }
  std::vector<char*> envp;
  for (auto& v : env) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = {"ffplay", "-nodisp", "-autoexit", "-loglevel", "quiet", url};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  double t0 = vell::monotonicSeconds();
  pid_t pid = -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (posix_spawnp(&pid, "ffplay", &actions, nullptr, argv.data(), envp.data()) != 0) return -1;
  posix_spawn_file_actions_destroy(&actions);

  double ms = -1;
  int fd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  char buffer[8192];
  while (fd >= 0 && vell::monotonicSeconds() - t0 < 10) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 5) <= 0) continue;
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) {
      vell::sleepMs(1);  // no writer yet
      continue;
    }
    if (std::any_of(buffer, buffer + n, [](char c) { return c != 0; })) {
      ms = (vell::monotonicSeconds() - t0) * 1000;
      break;
    }
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  if (fd >= 0) close(fd);
  return ms;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : (v[(v.size() - 1) / 2] + v[v.size() / 2]) / 2;
}

}  // namespace

int main() {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  vell::initAudioSystem();
  std::string mp3Path = vell::test::makeMedia("-f lavfi -i sine=frequency=500:duration=30 -c:a libmp3lame -b:a 128k", "mp3");
  std::string mp3 = vell::test::mediaBytes(mp3Path);

  // Like Icecast: a burst of a couple of seconds on connect, then real-time pace.
  vell::test::HttpServer server([&](const vell::test::HttpRequest&, vell::test::HttpConnection& c) {
    c.send("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nicy-name: Bench FM\r\nicy-br: 128\r\n\r\n");
    c.sendPaced(mp3, 16000, 2 * 16000);
  });
  DelayProxy proxy(server.port(), 100);
  std::string url = "http://127.0.0.1:" + std::to_string(proxy.port()) + "/stream";

  vell::test::TempDir dir;
  std::string fifo = dir.file("ffplay.pcm");
  mkfifo(fifo.c_str(), 0600);

  vell::Player player;
  vell::YtDlpResolver resolver("/nonexistent/yt-dlp");
  std::vector<double> ours, theirs;
  for (int run = 1; run <= 10; ++run) {
    double t0 = vell::monotonicSeconds();
    vell::ConnectJob job(player, url, false);
    vell::runConnectJob(job, resolver, nullptr);
    if (!job.success) {
      std::printf("run %d: open failed\n", run);
      return 1;
    }
    player.play();
    while (player.audioOutput().framesPlayed.load() == 0 && vell::monotonicSeconds() - t0 < 5) vell::sleepMs(1);
    double ms = (vell::monotonicSeconds() - t0) * 1000;
    player.close();
    double other = ffplayFirstAudioMs(url, fifo);
    std::printf("run %d: %.1f ms, ffplay %.1f ms\n", run, ms, other);
    ours.push_back(ms);
    if (other > 0) theirs.push_back(other);
  }
  double a = median(ours), b = median(theirs);
  std::printf("first_audio_ms=%.1f ffplay_ms=%.1f ratio=%.2f\n", a, b, b > 0 ? a / b : 0.0);
  return 0;
}
