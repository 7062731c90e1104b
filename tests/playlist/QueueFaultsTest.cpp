#include <gtest/gtest.h>

#include "playlist/Playlist.h"

namespace vell {
namespace {

// [A, B, C]: which entry is current after one is removed.
TEST(QueueFaults, RemovingAnEntryKeepsTheCurrentEntry) {
  struct Case {
    int current, removed;
    const char* expected;  // path of the current entry, "" for none
  } cases[] = {{2, 0, "C"}, {2, 1, "C"}, {1, 0, "B"}, {0, 2, "A"}, {2, 2, ""}, {0, 0, ""}};
  for (const Case& c : cases) {
    Playlist p;
    for (const char* name : {"A", "B", "C"}) p.addFile(name);
    p.setCurrent(c.current);
    p.remove(c.removed);
    int i = p.currentIndex();
    EXPECT_EQ(i < 0 ? "" : p.items()[i].path, c.expected) << c.current << " " << c.removed;
  }
}

}  // namespace
}  // namespace vell
