// PLS playlists and tag attributes: bounded, well-formed results for any bytes.
// The first input byte picks the tag name looked for.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "catalog/FeedParse.h"

using namespace vell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string first = plsFirstEntry(input);
  if (first.size() > input.size() || first.find_first_of("\r\n") != std::string::npos) abort();
  if (!first.empty() && (first.back() == ' ' || first.back() == '\t')) abort();

  static constexpr std::string_view kTags[] = {"enclosure", "media:content", "a", "link"};
  std::string_view tag = size > 0 ? kTags[data[0] % 4] : kTags[0];
  std::string url = extractTagUrl(input, tag);
  if (url.size() > input.size() || url.find("&amp;") != std::string::npos) abort();
  // Without any '>' the tag ends 500 bytes after its start.
  if (input.find('>') == std::string_view::npos && url.size() > 500) abort();
  return 0;
}
