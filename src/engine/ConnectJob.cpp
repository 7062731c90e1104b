#include "engine/ConnectJob.h"

#include "engine/Player.h"
#include "engine/YtDlpResolver.h"
#include "platform/Log.h"
#include "platform/Text.h"

namespace vell {

ConnectJob::ConnectJob(Player& p, std::string u, bool podcast)
    : player(p), url(std::move(u)), volume(p.volume()), muted(p.muted()), podcastRequest(podcast) {}

namespace {

bool openAndRestore(ConnectJob& job, const std::string& url, bool podcast) {
  job.player.close();
  if (!job.player.openUrl(url, podcast, &job.cancelled)) return false;
  job.player.setVolume(job.volume);
  job.player.setMuted(job.muted);
  return true;
}

}  // namespace

void runConnectJob(ConnectJob& job, YtDlpResolver& resolver, const PlsResolver& resolvePls) {
  std::string url = job.url;
  if (YtDlpResolver::isVideoSitePage(url)) {
    debugLog("YouTube URL detected: %s\n", url.c_str());
    std::string mediaUrl, title;
    if (!resolver.resolve(url, mediaUrl, title, &job.cancelled).empty()) {
      job.success = openAndRestore(job, mediaUrl, false);
      if (job.success) {
        job.resolvedUrl = mediaUrl;
        job.title = title;
      }
      return;  // no direct attempt, even when the media URL would not open
    }
    if (job.cancelled.load()) return;
    debugLog("yt-dlp failed, trying direct open\n");
  }

  if (url.size() > 4 && endsWith(url, ".pls") && resolvePls) url = resolvePls(url);

  job.resolvedUrl = url;
  job.success = openAndRestore(job, url, job.podcastRequest);
  if (job.success || job.cancelled.load()) return;
  debugLog("First attempt failed, retrying as generic\n");
  job.success = openAndRestore(job, url, false);
}

}  // namespace vell
