// Opening a network medium: the connection runs on its own thread while the window keeps
// painting and answering input.
#include <system_error>
#include <thread>

#include "app/App.h"
#include "catalog/PodcastFeeds.h"
#include "engine/ConnectJob.h"
#include "engine/YtDlpResolver.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/Text.h"
#include "settings/Settings.h"

namespace vell {

bool App::busyConnecting() {
  if (!connecting.load()) return false;
  showToast("연결 중... 잠시 기다려주세요", 800);
  return true;
}

void App::markPlaying(const std::string& url, bool podcast, const std::string& stationId) {
  std::string id = stationId;
  if (id.empty() && !podcast && !url.empty())
    for (const StreamEntry& e : catalog.radioStreams())
      if (e.url == url) {
        id = e.id;
        break;
      }
  streamBrowser.currentStreamId = id;
  streamBrowser.currentEpisodeUrl = podcast && stationId.empty() ? url : std::string();
}

void App::openMedia(const std::string& url, const std::string& name, bool podcastRequest,
                    const std::string& stationId) {
  if (busyConnecting()) return;
  if (!historyKey.empty() && player.state() != Player::Stopped) recordHistory(false);
  connecting = true;
  markPlaying({}, false, {});  // the attempt closes what played before
  connectingName = name;
  retryOffered = false;

  ConnectJob job(player, url, podcastRequest, name);
  YtDlpResolver resolver;
  std::atomic<bool> done{false};
  std::thread worker;
  try {
    worker = std::thread([&] {
      runConnectJob(job, resolver, [](const std::string& u, int budgetMs) {
        return budgetMs > 0 ? resolvePls(u, kPlsTimeoutMs, static_cast<uint32_t>(budgetMs)) : u;
      });
      done = true;
    });
  } catch (const std::system_error&) {
    connecting = false;
    showToast("스레드 생성 실패", 2000);
    return;
  }
  activeJob_ = &job;
  connectDone_ = &done;
  while (!done.load()) pumpOnce(16);
  worker.join();
  activeJob_ = nullptr;
  connectDone_ = nullptr;
  if (quitRequested) {
    // The window was closed meanwhile: shut down as a close during the connection does,
    // without taking the volume and mute of the half-opened player.
    shutdown();
    connecting = false;
    return;
  }
  connecting = false;

  resetMediumState();

  if (!pendingOpen.empty()) {
    Window::postUserEvent(kMsgPendingOpen);
    return;
  }
  uint32_t now = tickCount();
  if (!job.success) {
    lastAttempt = {url, name, podcastRequest, stationId};
    retryOffered = true;
    retryTick = now;
    debugLog("FAILED to open: %s\n", job.resolvedUrl.c_str());
    showToast("연결 실패 — 화면을 클릭하여 재시도", 5000);
    updateTitle();
    return;
  }

  lastAttempt = {url, name, podcastRequest, stationId};  // what a retry opens, should the stream be given up
  markPlaying(url, podcastRequest, stationId);
  currentTitle = job.title.empty() ? name : job.title;
  openTick = now;
  openedTickForListen_ = now;
  historyKey = podcastRequest ? url : std::string();
  primeShownSize();
  player.play();
  if (!podcastRequest) {
    showToast("▶ " + currentTitle, 2000);
  } else {
    double p = history.position(url);
    double d = player.duration();
    if (p > 2.0 && !(d > 0 && p / d > 0.95)) {
      player.seekTo(p);
      showToast("▶ " + formatMinutesSeconds(p) + "부터 이어듣기", 2500);
    } else {
      showToast("▶ " + currentTitle, 2000);
    }
    settings().lastPodcastUrl = url;
    settings().lastPodcastName = name;
  }
  updateTitle();
}

bool App::liveStreamGaveUp() {
  if (connecting.load() || !player.isLive() || !player.ended() || !currentPath.empty() || lastAttempt.empty())
    return false;
  debugLog("Live stream given up: %s\n", player.url().c_str());
  player.close();
  resetMediumState();
  markPlaying({}, false, {});
  retryOffered = true;
  retryTick = tickCount();
  showToast("연결 실패 — 화면을 클릭하여 재시도", 5000);
  updateTitle();
  return true;
}

}  // namespace vell
