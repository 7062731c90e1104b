#include "platform/PageBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

namespace vell {

TEST(PageBuffer, ZeroedOnEveryAllocationAndMovedWhole) {
  PageBuffer a;
  EXPECT_TRUE(a.allocate(0));
  EXPECT_EQ(a.data(), nullptr);
  for (size_t bytes : {size_t{1}, size_t{4096}, size_t{1280 * 720 * 4 + 3}}) {
    ASSERT_TRUE(a.allocate(bytes)) << bytes;
    ASSERT_EQ(a.size(), bytes);
    EXPECT_TRUE(std::all_of(a.data(), a.data() + bytes, [](uint8_t b) { return b == 0; })) << bytes;
    a.data()[bytes - 1] = 7;  // writable to the last byte; the next allocation is zeroed again
  }
  PageBuffer b = std::move(a);
  EXPECT_EQ(a.data(), nullptr);
  EXPECT_EQ(a.size(), 0u);
  ASSERT_NE(b.data(), nullptr);
  EXPECT_EQ(b.data()[b.size() - 1], 7);
  b.release();
  EXPECT_EQ(b.size(), 0u);
}

}  // namespace vell
