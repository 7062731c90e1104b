// Subtitle pictures over the shown picture: libass's drawing and the events of bitmap tracks.
#pragma once
#include <memory>
#include <vector>

#include "engine/SubtitleImage.h"
#include "platform/Canvas.h"
#include "render/OverlayState.h"

namespace vell {

// Where the picture of `s` is shown, in pixels, placed as the presenter places it (the
// window's layout, the aspect mode, the file's and the user's turn); empty without a picture.
RectF shownPictureArea(const OverlayState& s, float scale);

// Draws the subtitle pictures of a paint over the shown picture: libass's drawing at its own
// pixels (it was made for the picture's size; a size changed since is stretched until the next
// drawing comes) and a bitmap event's rectangles scaled from the size the track was made for to
// the picture's. Their canvas bitmaps are kept while the same pictures show.
class SubtitleLayer {
 public:
  void draw(Canvas& c, const OverlayState& s);
  // A medium closed: the kept bitmaps go.
  void reset();

 private:
  std::shared_ptr<const AssPicture> assShown_;
  Bitmap ass_;
  std::shared_ptr<const SubtitleBitmaps> bitmapsShown_;
  std::vector<std::unique_ptr<Bitmap>> rects_;
};

}  // namespace vell
