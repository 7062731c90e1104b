// The broadcaster's JSON episode list: any bytes give at most 15 episodes, each with a URL
// free of escaped slashes and valid UTF-8 text.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "catalog/FeedParse.h"
#include "platform/Text.h"

using namespace vell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  auto episodes = parseServiceEpisodes(input, 15);
  if (episodes.size() > 15) abort();
  for (const PodcastEpisode& e : episodes) {
    if (e.url.empty() || e.url.find("\\/") != std::string::npos) abort();
    if (!isValidUtf8(e.title) || !isValidUtf8(e.date)) abort();
  }
  return 0;
}
