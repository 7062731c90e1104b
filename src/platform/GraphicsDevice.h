// The main window's graphics device: the video picture, the overlay and presenting.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vell {

class Canvas;
struct RectI;
class Window;

// The graphics device of the main window: a renderer with a streaming texture for the video
// picture and one for the overlay canvas.
class GraphicsDevice {
 public:
  GraphicsDevice();
  ~GraphicsDevice();
  GraphicsDevice(const GraphicsDevice&) = delete;
  GraphicsDevice& operator=(const GraphicsDevice&) = delete;

  // `driver` empty: an accelerated renderer when the machine has a GPU, else the software
  // renderer (a GL driver that rasterises on the CPU counts as none: the software renderer
  // is faster). Otherwise exactly the named render driver ("software", "opengl", ...).
  // False when no renderer can be created.
  bool create(Window& window, const std::string& driver = "");
  void destroy();
  bool ready() const;
  const std::string& driverName() const { return driverName_; }
  // Whether the overlay is blended as premultiplied alpha on the device (otherwise its
  // pixels are un-premultiplied while they are uploaded).
  bool premultipliedBlend() const { return premultiplied_; }
  void outputSize(int& width, int& height) const;

  // Textures are recreated on next use (after a size change or a lost device).
  void dropTextures();

  void clear(uint8_t r, uint8_t g, uint8_t b);
  // Whether what was presented stays in the target for the next frame (a renderer drawing
  // into the window's own surface): only then may a frame redraw just the parts that changed.
  bool keepsPresentedPixels() const;
  // Confines the drawing that follows to `area` and fills it with the colour; endArea lifts
  // the limit. Where `opaque` (when given) lies, an opaque picture is drawn next: the fill
  // may leave it out.
  void beginArea(const RectI& area, uint8_t r, uint8_t g, uint8_t b, const RectI* opaque = nullptr);
  void endArea();
  // Copies BGRA pixels into the video texture; the texture is reused while the size stays.
  bool uploadVideo(const uint8_t* pixels, int pitch, int width, int height);
  int videoTextureCreations() const { return videoCreations_; }
  int videoUploads() const { return videoUploads_; }
  bool hasVideoTexture(int width, int height) const;
  // Draws the last uploaded picture into (x, y, w, h), mirrored within that rectangle by the
  // flips, then turned clockwise by `angle` degrees about its centre.
  void drawVideo(float x, float y, float w, float h, double angle, bool flipH, bool flipV);
  // Uploads the parts of the canvas that were drawn on and blends them over the target;
  // with `area`, only what lies inside it.
  void drawOverlay(const Canvas& canvas, const RectI* area = nullptr);
  // Pixels of the overlay uploaded by the last drawOverlay (0 when it was empty).
  long overlayPixelsUploaded() const { return overlayPixels_; }
  void present();
  int presents() const { return presents_; }
  // Whether nothing drawn would be seen: the system reported the window covered at the last
  // present (minimised, a locked screen). While it is, each call asks again without drawing.
  bool occluded();
  // The current target as 0xAARRGGBB pixels, row by row (read before present).
  bool readPixels(std::vector<uint32_t>& out, int& width, int& height);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int videoW_ = 0, videoH_ = 0;
  int overlayW_ = 0, overlayH_ = 0;
  int videoCreations_ = 0;
  int videoUploads_ = 0;
  int presents_ = 0;
  long overlayPixels_ = 0;
  bool premultiplied_ = false;
  std::string driverName_;
  std::vector<uint32_t> staging_;
};

}  // namespace vell
