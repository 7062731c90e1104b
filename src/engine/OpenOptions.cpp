// The URL rules of an open: a URL's kind, where it may reach, and the FFmpeg options it is opened with.
#include "engine/OpenOptions.h"

#include "engine/VideoSite.h"
#include "platform/SystemProxy.h"
#include "platform/Text.h"

namespace vell {

namespace {

constexpr const char* kUserAgent =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/120.0.0.0 Safari/537.36";

// Nested opens of a remote document (HLS segments, a playlist's entries) may only reach
// the network, never local files.
constexpr const char* kNetworkProtocols = "http,https,tls,tcp,crypto,httpproxy";

const char* kRadioMarkers[] = {".m3u8", ".pls", ":8000/", ":8080/", ":8088/", ":8443/",
                               "/stream", "/live", "icecast", "shoutcast"};

// Schemes of the protocols FFmpeg reaches over the network.
const char* kNetworkSchemes[] = {"http", "https", "rtmp", "rtmps", "rtmpt", "rtmpts", "rtmpe", "rtmpte",
                                 "rtsp", "rtsps", "mms", "mmsh", "mmst", "srt", "rtp", "udp", "tcp", "tls"};

}  // namespace

bool isRemoteHttp(const std::string& url) {
  std::string lower = asciiLower(url.substr(0, 8));
  return startsWith(lower, "http://") || startsWith(lower, "https://");
}

bool isNetworkUrl(const std::string& url) {
  size_t colon = url.find("://");
  if (colon == std::string::npos) return false;
  std::string scheme = asciiLower(url.substr(0, colon));
  for (const char* s : kNetworkSchemes)
    if (scheme == s) return true;
  return false;
}

std::string OpenOptions::entry(const std::string& key) const {
  for (const auto& [k, v] : entries)
    if (k == key) return v;
  return {};
}

bool looksLikePodcastEpisode(const std::string& url) {
  return contains(url, ".mp3") && !contains(url, ".m3u8") && !contains(url, ".pls");
}

UrlKind classifyUrl(const std::string& url, bool podcastRequest) {
  if (contains(url, videosite::kMediaCdnDomain) || contains(url, videosite::kImageDomain))
    return UrlKind::VideoSiteMedia;
  if (podcastRequest) return UrlKind::Podcast;
  for (const char* marker : kRadioMarkers)
    if (contains(url, marker)) return UrlKind::Radio;
  return UrlKind::Generic;
}

std::string forcedInputFormat(const std::string& url, bool podcastRequest) {
  if (podcastRequest) return {};
  std::string path = url.substr(0, url.find('?'));
  if (path.size() > 5 && endsWith(path, ".mp3")) return "mp3";
  if (path.size() > 6 && endsWith(path, ".m3u8")) return "hls";
  if (path.size() > 5 && endsWith(path, ".aac")) return "aac";
  return {};
}

OpenOptions buildOpenOptions(const std::string& url, bool podcastRequest) {
  OpenOptions o;
  auto& e = o.entries;
  e.emplace_back("user_agent", kUserAgent);
  e.emplace_back("multiple_requests", "1");
  e.emplace_back("reconnect", "1");
  e.emplace_back("reconnect_on_network_error", "1");
  e.emplace_back("reconnect_on_http_error", "4xx,5xx");

  o.kind = classifyUrl(url, podcastRequest);
  switch (o.kind) {
    case UrlKind::VideoSiteMedia:
      o.probeSize = 262144;
      o.maxAnalyzeDurationUs = 1500000;
      e.emplace_back("timeout", "10000000");
      e.emplace_back("rw_timeout", "10000000");
      e.emplace_back("reconnect_delay_max", "3");
      e.emplace_back("referer", videosite::kHomePage);
      e.emplace_back("icy", "0");  // FFmpeg asks for ICY metadata unless told otherwise
      e.emplace_back("headers", std::string("Origin: ") + videosite::kOrigin +
                                    "\r\nAccept: */*\r\nConnection: keep-alive\r\n");
      break;
    case UrlKind::Podcast:
      o.probeSize = 32768;
      o.maxAnalyzeDurationUs = 200000;
      e.emplace_back("timeout", "5000000");
      e.emplace_back("rw_timeout", "5000000");
      e.emplace_back("reconnect_delay_max", "2");
      e.emplace_back("http_persistent", "1");
      e.emplace_back("icy", "0");
      e.emplace_back("headers",
                     "Accept: audio/mpeg, audio/aac, audio/*, */*\r\nAccept-Encoding: identity\r\n"
                     "Connection: keep-alive\r\n");
      break;
    case UrlKind::Radio:
    case UrlKind::Generic:
      o.probeSize = 32768;
      o.maxAnalyzeDurationUs = o.kind == UrlKind::Radio ? 100000 : 150000;
      o.noBuffer = o.kind == UrlKind::Radio;
      e.emplace_back("timeout", "6000000");
      e.emplace_back("rw_timeout", "6000000");
      e.emplace_back("reconnect_delay_max", "2");
      e.emplace_back("icy", "1");
      e.emplace_back("headers", "Icy-MetaData: 1\r\nConnection: keep-alive\r\n");
      break;
  }
  // Neither "reconnect_at_eof" nor "reconnect_streamed": FFmpeg reopens at once and without
  // limit on every end of an input without byte ranges, so an HLS playlist is read again
  // for ever and a web page or a station that closes early is fetched hundreds of times a
  // second. The playback thread's reconnection, with its back-off, handles the end of a
  // live input instead.
  o.forcedFormat = forcedInputFormat(url, podcastRequest);
  if (isRemoteHttp(url)) {
    e.emplace_back("protocol_whitelist", kNetworkProtocols);
    // FFmpeg looks for a proxy only in the environment; Windows keeps it in its settings.
    if (std::string proxy = systemProxyFor(url); !proxy.empty()) e.emplace_back("http_proxy", proxy);
  }
  return o;
}

}  // namespace vell
