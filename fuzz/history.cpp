// History file reader: any bytes load without harm, at most 200 records survive, and a saved
// file reads back the same (after positions are rounded to one decimal once).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "history/PodcastHistory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vell::PodcastHistory h;
  h.parse(std::string_view(reinterpret_cast<const char*>(data), size));
  if (h.size() > vell::PodcastHistory::kMaxLoaded) abort();
  h.progress("a");
  vell::PodcastHistory second;
  second.parse(h.serialize());
  std::string stable = second.serialize();
  vell::PodcastHistory third;
  third.parse(stable);
  if (third.serialize() != stable) abort();
  return 0;
}
