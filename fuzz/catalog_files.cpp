// The two catalogue files: any bytes load without harm, and what the catalogue writes
// back reads to the same catalogue, which writes the very same file again (the first
// write may only have cleaned fields, never lost or added a record).
// Input: streams.ini, a NUL byte, streams_user.ini.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "catalog/StreamCatalog.h"
#include "platform/Text.h"

using namespace vell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t split = input.find('\0');
  std::string_view builtin = input.substr(0, split);
  std::string_view user = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

  StreamCatalog first("/nonexistent-catalog-dir");
  first.loadFromText(builtin, user);
  std::string written = first.userFileText();

  StreamCatalog second("/nonexistent-catalog-dir");
  second.loadFromText(builtin, written);
  if (second.userFileText() != written || second.hiddenIds() != first.hiddenIds() ||
      second.overrides().size() != first.overrides().size())
    abort();
  auto sameRecords = [](const std::vector<StreamEntry>& a, const std::vector<StreamEntry>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      if (a[i].id != b[i].id || a[i].type != b[i].type || a[i].isUser != b[i].isUser ||
          a[i].isModified != b[i].isModified || a[i].name != b[i].name)
        return false;
    }
    return true;
  };
  if (!sameRecords(first.radioStreams(), second.radioStreams()) ||
      !sameRecords(first.podcastStreams(), second.podcastStreams()))
    abort();

  for (const auto* list : {&first.radioStreams(), &first.podcastStreams()}) {
    for (const StreamEntry& e : *list) {
      if (!isValidUtf8(e.name) || !isValidUtf8(e.id)) abort();
      if (first.findById(e.id) == nullptr) abort();
    }
  }
  std::string_view query = builtin.substr(0, 4);
  first.searchRadio(query);
  first.searchPodcasts(query);
  for (const std::string& g : first.radioGenres()) first.radioByGenre(g);
  return 0;
}
