// The URL rules of an open: a URL's kind, where it may reach, and the FFmpeg options it is opened with.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vell {

// How a network URL is opened; decided from the URL text and the podcast flag alone.
enum class UrlKind { VideoSiteMedia, Podcast, Radio, Generic };

// The FFmpeg settings one URL kind is opened with.
struct OpenOptions {
  UrlKind kind = UrlKind::Generic;
  int64_t probeSize = 0;
  int64_t maxAnalyzeDurationUs = 0;
  bool noBuffer = false;
  std::string forcedFormat;  // demuxer name, empty = probe
  // Option dictionary entries, in the order they are set.
  std::vector<std::pair<std::string, std::string>> entries;
  std::string entry(const std::string& key) const;
};

UrlKind classifyUrl(const std::string& url, bool podcastRequest);
// The forced demuxer for a non-podcast URL ("mp3", "hls", "aac"), or empty.
std::string forcedInputFormat(const std::string& url, bool podcastRequest);
OpenOptions buildOpenOptions(const std::string& url, bool podcastRequest);
// A URL typed or given by hand is a podcast episode when it names an MP3 file and is not a
// playlist (".m3u8", ".pls").
bool looksLikePodcastEpisode(const std::string& url);
// "http://" or "https://", in any case: the only addresses nested opens may reach.
bool isRemoteHttp(const std::string& url);
// Whether a URL reaches only the network (a remote playlist may point nowhere else).
bool isNetworkUrl(const std::string& url);

}  // namespace vell
