// Fetching and parsing PLS playlists and episode feeds; the caller's thread (loader or connection).
#include "catalog/PodcastFeeds.h"

#include "catalog/StreamEntry.h"
#include "platform/Http.h"

namespace vell {

namespace {
constexpr size_t kMaxPlsBytes = 1024 * 1024;  // a station list is a few lines
}  // namespace

std::string resolvePls(const std::string& url, uint32_t timeoutMs, uint32_t totalMs) {
  std::string body = httpGet(url, timeoutMs, kMaxPlsBytes, totalMs);
  if (body.empty()) return url;
  std::string first = plsFirstEntry(body);
  return first.empty() ? url : first;
}

std::vector<PodcastEpisode> fetchRssEpisodes(const std::string& feedUrl, int max, uint32_t timeoutMs) {
  if (max < 1) return {};
  return parseRssEpisodes(httpGet(feedUrl, timeoutMs), max);
}

std::string serviceEpisodesUrl(const std::string& programId, int max, const std::string& origin) {
  return origin + "/radio-api/podcast/podcast_list_json?vod_id=" + programId +
         "&page=1&item_per_page=" + std::to_string(max) + "&sortNew=1";
}

std::vector<PodcastEpisode> fetchServiceEpisodes(const std::string& programId, int max, const std::string& origin,
                                                 uint32_t timeoutMs) {
  if (max < 1) return {};
  return parseServiceEpisodes(httpGet(serviceEpisodesUrl(programId, max, origin), timeoutMs), max);
}

std::vector<PodcastEpisode> loadEpisodes(int32_t type, const std::string& url) {
  if (type == PODCAST_RSS) return fetchRssEpisodes(url, kEpisodeListLength);
  if (type == PODCAST_SBS) return fetchServiceEpisodes(url, kEpisodeListLength);
  return {};
}

}  // namespace vell
