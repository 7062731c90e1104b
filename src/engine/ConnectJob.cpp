// The connection thread: resolves a page or playlist, opens the input, retries with plain options.
#include "engine/ConnectJob.h"

#include <algorithm>

#include "engine/OpenOptions.h"
#include "engine/Player.h"
#include "engine/StationText.h"
#include "engine/YtDlpResolver.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/Text.h"

namespace vell {

ConnectJob::ConnectJob(Player& p, std::string u, bool podcast, std::string n)
    : player(p), url(std::move(u)), volume(p.volume()), muted(p.muted()), podcastRequest(podcast), name(std::move(n)) {}

namespace {

bool openAndRestore(ConnectJob& job, const std::string& url, bool podcast, const std::string& title = "",
                    const std::string& audioUrl = "") {
  job.player.close();
  if (!job.player.openUrl(url, podcast, &job.cancelled, title.empty() ? job.name : title, audioUrl)) return false;
  job.player.setVolume(job.volume);
  job.player.setMuted(job.muted);
  return true;
}

int msLeft(uint32_t deadline) { return std::max(0, static_cast<int32_t>(deadline - tickCount())); }

}  // namespace

void runConnectJob(ConnectJob& job, YtDlpResolver& resolver, const PlsResolver& resolvePls) {
  const uint32_t deadline = tickCount() + static_cast<uint32_t>(std::max(1, job.budgetMs));
  MediaSource& source = job.player.source();
  source.setConnectDeadline(deadline);
  struct ClearDeadline {
    MediaSource& source;
    ~ClearDeadline() { source.setConnectDeadline(0); }
  } clearDeadline{source};

  std::string url = job.url;
  if (YtDlpResolver::isVideoSitePage(url)) {
    debugLog("YouTube URL detected: %s\n", url.c_str());
    ResolvedPage page;
    resolver.limits.totalTimeoutMs = std::min(resolver.limits.totalTimeoutMs, msLeft(deadline));
    resolver.limits.exitWaitMs = std::min(resolver.limits.exitWaitMs, msLeft(deadline));
    if (!resolver.resolve(url, page, &job.cancelled).empty()) {
      const std::string title = oneLineTitle(page.title);
      job.resolvedUrl = page.mediaUrl;  // for the log; what is kept and reopened is the page
      job.success = openAndRestore(job, page.mediaUrl, false, title, page.audioUrl);
      if (job.success) job.title = title;
      return;  // no direct attempt, even when the media URL would not open
    }
    if (job.cancelled.load()) return;
    debugLog("yt-dlp failed, trying direct open\n");
  }

  if (url.size() > 4 && endsWith(url, ".pls") && resolvePls) {
    std::string target = resolvePls(url, msLeft(deadline));
    // A playlist from the network must not open what is on this machine.
    if (isNetworkUrl(url) && !isNetworkUrl(target)) {
      debugLog("PLS entry refused, not a network address: %s\n", target.substr(0, 200).c_str());
      job.resolvedUrl = url;
      return;
    }
    url = target;
  }

  job.resolvedUrl = url;
  job.success = openAndRestore(job, url, job.podcastRequest);
  if (job.success || job.cancelled.load() || msLeft(deadline) == 0) return;
  debugLog("First attempt failed, retrying as generic\n");
  job.success = openAndRestore(job, url, false);
}

}  // namespace vell
