// The main window's presenter: the picture's placement, the overlay's blend, cover art.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/VideoFrame.h"
#include "platform/Canvas.h"
#include "platform/GraphicsDevice.h"
#include "platform/PageBuffer.h"

namespace vell {

class Window;

// Frame clear colour and the background brush: 121216.
inline constexpr uint8_t kBackgroundR = 0x12, kBackgroundG = 0x12, kBackgroundB = 0x16;

// Aspect modes, in the order the setting steps through them.
enum AspectMode : int { kAspectSource = 0, kAspect16x9 = 1, kAspect4x3 = 2, kAspectFill = 3 };
// Name shown for an aspect mode (out-of-range values show the nearest name).
const char* aspectModeName(int mode);

// Where a picture goes inside a destination rectangle.
struct VideoPlacement {
  bool visible = false;
  float x = 0, y = 0, w = 0, h = 0;  // the placed picture on screen (after turning)
  float cx = 0, cy = 0;              // its centre
  RectF drawRect;                    // rectangle the picture is drawn into before it is turned
  int rotation = 0;                  // degrees clockwise, 0..359
  bool flipH = false, flipV = false;
};

// Letterboxing by aspect mode: 0 keeps the frame's own shape (after rotation), 1 is 16:9,
// 2 is 4:3, 3 fills the whole rectangle. For 90 and 270 degrees the picture is drawn into a
// rectangle of swapped sides about the same centre, so that once turned it fills the placement.
VideoPlacement computeVideoPlacement(int frameWidth, int frameHeight, const RectF& dest, int aspectMode,
                                     int rotation, bool flipH, bool flipV);

// The file's own turn (its mirror, then its rotation) followed by the user's rotation and
// flips, as one turn in the form the device draws (flips first, then the rotation).
void addFileTurn(const PictureGeometry& file, int& rotation, bool& flipH, bool& flipV);

// The picture as it is shown, for a screenshot: its pixels made square (stretched, never
// shrunk) and the file's and the user's turn applied. Rows top-down, BGRA; false without pixels.
bool shownPicture(const VideoFrame& frame, int rotation, bool flipH, bool flipV, std::vector<uint32_t>& out,
                  int& width, int& height);

// The same placement with its edges on whole pixels, so that every renderer fills exactly
// the same rows and columns (the rows whose centres the exact placement covers).
VideoPlacement snapToPixels(const VideoPlacement& p);

// One picture drawn under the overlay: the frame, the destination (left, top, right, bottom)
// and how it is placed; `frameChanged` false when the texture already holds it.
struct VideoDraw {
  const VideoFrame* frame = nullptr;
  int left = 0, top = 0, right = 0, bottom = 0;
  int aspectMode = 0, rotation = 0;
  bool flipH = false, flipV = false;
  bool frameChanged = true;
};

// The presenter of the main window: the graphics device, the video picture and the
// overlay canvas it blends over the picture.
//
// One frame: beginScene (clear to 121216, empty canvas) -> drawVideo -> the overlay draws into
// canvas() -> endScene (blend the canvas) -> present.
class Renderer {
 public:
  Renderer() = default;
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  // Builds the device for the window (`driver` as GraphicsDevice::create). False when no
  // renderer can be created; the window then shows neither picture nor overlay.
  bool initialize(Window& window, const std::string& driver = "");
  bool ready() const { return device_.ready() && canvas_.valid(); }
  // Ignored unless width > 0, height >= 1 and the device exists.
  void resize(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }
  // Pixels per unit of the overlay's layout (the display's scale): the canvas draws at it,
  // while the target, the picture and the composed areas stay in pixels.
  void setScale(float scale);
  float scale() const { return canvas_.scale(); }

  // The graphics driver lost its textures (SDL's render-targets or device reset): they are
  // recreated and refilled on the next paint.
  void onTexturesLost() {
    device_.dropTextures();
    wholeNext_ = true;
  }

  void beginScene();
  // Copies the frame into the video texture (reused while the size stays); false without pixels.
  bool uploadFrame(const VideoFrame& frame);
  // Uploads and draws the frame into the destination (left, top, right, bottom). With
  // `frameChanged` false the picture already in the texture is drawn again without a copy
  // (the App passes whether a new frame was taken since the last paint); a lost or
  // differently sized texture is always refilled.
  void drawVideo(const VideoFrame& frame, int left, int top, int right, int bottom, int aspectMode,
                 int rotation, bool flipH, bool flipV, bool frameChanged = true);
  void endScene();
  void present();

  // The other way to build a frame: the overlay is drawn on canvas() first (cleared by the
  // caller), then this draws the picture (or none) and blends the overlay. On a device that
  // keeps what it presented only the parts that changed since the last composeScene are drawn
  // again (where the canvas differs, where the picture moved or changed); false when nothing
  // changed, so there is nothing to present. With `canvasChangedOnlyIn` (pixels) the canvas
  // is known to be as it was outside that rectangle, and only there is it compared.
  bool composeScene(const VideoDraw* video, const RectI* canvasChangedOnlyIn = nullptr);
  // The next composeScene draws the whole window (an expose, or anything else unsure).
  void invalidate() { wholeNext_ = true; }
  // The size the picture of the last composeScene was drawn at, before turning (0 when none).
  int shownVideoWidth() const { return shownVideoWidth_; }
  int shownVideoHeight() const { return shownVideoHeight_; }

  Canvas& canvas() { return canvas_; }
  GraphicsDevice& device() { return device_; }
  // The composed target (call between endScene and present).
  bool readPixels(std::vector<uint32_t>& out, int& width, int& height) { return device_.readPixels(out, width, height); }

 private:
  GraphicsDevice device_;
  Canvas canvas_;
  int width_ = 0, height_ = 0;
  // What the last composeScene left on screen: the canvas's pixels and dirty rows, and the
  // picture's place and look.
  struct ShownVideo {
    bool shown = false;
    int left = 0, top = 0, right = 0, bottom = 0, width = 0, height = 0, aspectMode = 0, rotation = 0;
    bool flipH = false, flipV = false;
    bool operator==(const ShownVideo&) const = default;
  };
  PageBuffer lastCanvas_;
  std::vector<RectI> lastDrawn_;  // what the last canvas had drawn on
  ShownVideo lastVideo_;
  bool wholeNext_ = true;
  int shownVideoWidth_ = 0, shownVideoHeight_ = 0;
};

// Decodes a compressed picture held in memory (cover art: JPEG, PNG, GIF, BMP, WebP) into
// premultiplied BGRA. `mimeType` helps only when the bytes do not say what they are.
// False (and `out` empty) for anything that does not decode.
bool decodeImage(const uint8_t* data, size_t size, Bitmap& out, std::string_view mimeType = {});

}  // namespace vell
