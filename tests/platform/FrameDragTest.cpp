#include <gtest/gtest.h>

#include "platform/FrameDrag.h"

namespace vell {
namespace {

// The window follows a caption or border press only once the pointer moved past the threshold;
// the edge opposite the dragged one stays put, and the size stops at the minimum.
TEST(FrameDrag, FollowsOnlyRealMovementAndKeepsTheOppositeEdge) {
  const Rect start{100, 100, 800, 600};
  struct Case {
    HitCode code;
    int dx, dy;
    bool follows;
    Rect expected;
  };
  const Case cases[] = {
      {HitCode::Caption, 3, -4, false, {}},  // a click that wobbles
      {HitCode::Caption, -40, 30, true, {60, 130, 800, 600}},
      {HitCode::Left, -30, 0, true, {70, 100, 830, 600}},
      {HitCode::Left, 500, 0, true, {420, 100, 480, 600}},  // stops at the minimum width
      {HitCode::BottomRight, 20, 10, true, {100, 100, 820, 610}},
      {HitCode::TopLeft, 10, 400, true, {110, 380, 790, 320}},
      {HitCode::Client, 50, 50, false, {}},
  };
  for (const Case& c : cases) {
    FrameDrag d;
    d.press(c.code, 500, 500, start, 480, 320);
    Rect r;
    EXPECT_EQ(d.follow(500 + c.dx, 500 + c.dy, true, r), c.follows) << static_cast<int>(c.code);
    if (!c.follows) continue;
    EXPECT_EQ(r.x, c.expected.x);
    EXPECT_EQ(r.y, c.expected.y);
    EXPECT_EQ(r.w, c.expected.w);
    EXPECT_EQ(r.h, c.expected.h);
  }
  FrameDrag d;
  d.press(HitCode::Caption, 0, 0, start, 480, 320);
  Rect r;
  EXPECT_FALSE(d.follow(50, 50, false, r));  // the release went elsewhere: the drag is over
  EXPECT_FALSE(d.active());
}

}  // namespace
}  // namespace vell
