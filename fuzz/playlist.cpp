// Playlist file reader: any bytes load without harm, the rows list every visible item once,
// navigation stays inside the queue, and a saved file reads back the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "playlist/Playlist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  vell::Playlist p;
  p.parse(bytes);
  uint32_t seed = size;
  p.setRandomSource([&seed] { return seed = seed * 1103515245u + 12345u; });

  std::string first = p.serialize();
  vell::Playlist again;
  again.parse(first);
  if (again.serialize() != first) abort();

  std::vector<int> seen(p.items().size());
  for (const vell::PlaylistRow& row : p.buildRows()) {
    if (row.kind == vell::PlaylistRow::kItem) {
      if (row.index < 0 || row.index >= p.count() || seen[row.index]++) abort();
    }
  }
  p.toggleCollapsed(size % 3);
  for (size_t i = 0; i < 8 && i < size; ++i) {
    uint8_t op = data[i];
    p.repeatMode = op % 3;
    p.shuffle = (op >> 2) & 1;
    if ((op >> 3) & 1) p.next(); else p.previous();
    if ((op >> 4) & 1) p.remove(op >> 5);
    if (p.currentIndex() < -1 || p.currentIndex() >= p.count()) abort();
  }
  return 0;
}
