// Fetching the documents the browser lists from: PLS playlists and episode feeds.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "catalog/FeedParse.h"

namespace vell {

// Time-outs of one network step for each kind of document.
inline constexpr uint32_t kPlsTimeoutMs = 5000;
inline constexpr uint32_t kFeedTimeoutMs = 10000;
// How many episodes the browser lists for a podcast.
inline constexpr int kEpisodeListLength = 15;

// The broadcaster's episode-list service (PODCAST_SBS entries name a program of it).
inline constexpr const char* kPodcastServiceOrigin = "https://apis.sbs.co.kr";

// The first stream URL of the PLS playlist at `url`, or `url` itself when the playlist
// cannot be fetched or names no first entry. `totalMs` (0: no extra bound) caps the fetch.
std::string resolvePls(const std::string& url, uint32_t timeoutMs = kPlsTimeoutMs, uint32_t totalMs = 0);

// The first `max` episodes with a media URL of the RSS feed; empty on any failure.
std::vector<PodcastEpisode> fetchRssEpisodes(const std::string& feedUrl, int max,
                                             uint32_t timeoutMs = kFeedTimeoutMs);

// The request for the first page of a program's episode list, newest first. The program
// identifier is inserted as it is.
std::string serviceEpisodesUrl(const std::string& programId, int max,
                               const std::string& origin = kPodcastServiceOrigin);

// The first `max` episodes with a media URL of the program's episode list.
std::vector<PodcastEpisode> fetchServiceEpisodes(const std::string& programId, int max,
                                                 const std::string& origin = kPodcastServiceOrigin,
                                                 uint32_t timeoutMs = kFeedTimeoutMs);

// The episode list of a catalogue podcast by its type: an RSS feed or a program of the
// episode-list service (whose identifier the url field holds); other types give nothing.
// Blocks for the fetch: run it on a loader thread.
std::vector<PodcastEpisode> loadEpisodes(int32_t type, const std::string& url);

}  // namespace vell
