// RSS feeds: any bytes give at most 15 episodes, each with a URL, valid UTF-8 text and a
// date in the one display form or none.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "catalog/FeedParse.h"
#include "platform/Text.h"

using namespace vell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  auto episodes = parseRssEpisodes(input, 15);
  if (episodes.size() > 15) abort();
  for (const PodcastEpisode& e : episodes) {
    if (e.url.empty() || !isValidUtf8(e.title) || !isValidUtf8(e.date)) abort();
    if (!e.date.empty() && e.date.size() != 11) abort();  // "07 Nov 2015" or nothing
  }
  return 0;
}
