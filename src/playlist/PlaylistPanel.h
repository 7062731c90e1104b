// The play queue's side panel: drawing and hit testing.
#pragma once
#include <string>

#include "playlist/Playlist.h"

namespace vell {

class Canvas;
struct UiResources;

// The playlist side panel: a 36-pixel header bar with the item count and the add, pin and
// close buttons, then the rows of Playlist::buildRows (category headers 30 high, items 36
// high) scrolled by the playlist's scrollOffset. It keeps no state of its own: scroll, hover,
// visibility and pinning live in the Playlist. The panel rectangle is (left, top, width,
// height) in client pixels.
class PlaylistPanel {
 public:
  static constexpr int kHeaderHeight = 36;
  static constexpr int kCategoryRowHeight = 30;
  static constexpr int kItemRowHeight = 36;

  // Hit codes of hitTestClick besides item indices (0..9999).
  static constexpr int kNothing = -1;
  static constexpr int kClose = -2;
  static constexpr int kPin = -3;
  static constexpr int kAdd = -4;
  static constexpr int kDeleteBase = 10000;    // + item index: the row's delete zone
  static constexpr int kCategoryBase = 20000;  // + merged category index: a category header

  // Draws the panel when the playlist is visible; clamps scrollOffset to the content and
  // stores it back.
  static void draw(Playlist& playlist, Canvas& canvas, int left, int top, int width, int height,
                   const UiResources& res);
  // What a click at (px, py) hits: one of the codes above, an item index, or -1.
  static int hitTestClick(const Playlist& playlist, float px, float py, int left, int top, int width, int height);
  // The item whose row (outside its delete zone) lies under the point, or -1.
  static int hitTestRow(const Playlist& playlist, float px, float py, int left, int top, int width, int height);

  // The duration read-out of an item row: "%02d:%02d" under an hour, "%d:%02d:%02d" from an
  // hour on, empty for 0 or less and for 100 hours or more.
  static std::string durationText(double seconds);
  // A category header's text: "%s (%d)" with the number of its items, collapsed or not.
  static std::string categoryLabel(const Playlist& playlist, const std::string& name);
};

}  // namespace vell
