// Blocking HTTP GETs of documents, with their time limits and size bound.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace vell {

// Every request of the player presents itself as a common desktop browser: some radio and
// feed servers refuse unknown clients.
inline constexpr const char* kHttpUserAgent =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/120.0.0.0 Safari/537.36";

// Documents we fetch (playlists, feeds, episode lists) are far smaller; a body past this
// size is a broken or hostile server and the fetch gives up rather than exhaust memory.
inline constexpr size_t kHttpMaxBodyBytes = 64u * 1024 * 1024;

// One blocking GET of an http or https URL. `timeoutMs` bounds each network step: name
// resolution and connect together, then every wait for the next bytes of the response.
// Redirects are followed (https to http too), the proxy comes from the environment, the
// status code is not inspected. The whole transfer is also cut after `totalMs` (0: ten
// time-outs) so a server that trickles bytes cannot hold the thread forever.
// Returns true and the raw body on success; false and an empty body on any failure,
// including a body longer than `maxBytes` (and a time-out of 0).
bool httpFetch(const std::string& url, uint32_t timeoutMs, std::string& body,
               size_t maxBytes = kHttpMaxBodyBytes, uint32_t totalMs = 0);

// The body of `url`, or empty on any failure.
inline std::string httpGet(const std::string& url, uint32_t timeoutMs, size_t maxBytes = kHttpMaxBodyBytes,
                           uint32_t totalMs = 0) {
  std::string body;
  httpFetch(url, timeoutMs, body, maxBytes, totalMs);
  return body;
}

}  // namespace vell
