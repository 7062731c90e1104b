// libass: one track (a stream's events or a whole script), its fonts, and its drawing in BGRA.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/SubtitleImage.h"
#include "engine/SubtitleSetup.h"

struct ass_library;
struct ass_renderer;
struct ass_track;

namespace vell {

// One ASS/SSA track drawn by libass with the script's own styles, positions and effects. The
// fonts attached to the input are handed over before the track starts; the system's fonts are
// found through fontconfig (DirectWrite on Windows). One thread uses it (the subtitle thread).
class AssRenderer {
 public:
  AssRenderer() = default;
  ~AssRenderer();
  AssRenderer(const AssRenderer&) = delete;
  AssRenderer& operator=(const AssRenderer&) = delete;

  // Drops the track, the renderer and the library with its fonts (a new medium).
  void reset();
  // The input's attached fonts, for the tracks that follow (the track shown goes).
  void setFonts(std::shared_ptr<const FontFiles> fonts);
  // A stream's track from its header (the codec's private data; a plain default when empty).
  bool startTrack(const uint8_t* header, size_t size);
  // A whole script (a file beside the film), UTF-8. False when it holds no event.
  bool loadScript(const std::string& script);
  void dropTrack();
  bool active() const { return track_ != nullptr; }
  // One event of the stream, as Matroska carries it; read twice (after a seek back) it is kept once.
  void addEvent(const uint8_t* data, size_t size, int64_t startMs, int64_t durationMs);

  // libass's drawing at `ms` for a shown picture of frameWidth x frameHeight pixels whose video
  // is stored at storageWidth x storageHeight; null when it is the same as the last one made.
  std::shared_ptr<const AssPicture> render(int64_t ms, int frameWidth, int frameHeight, int storageWidth,
                                           int storageHeight);

 private:
  bool ensureLibrary();
  bool ensureRenderer();

  ass_library* library_ = nullptr;
  ass_renderer* renderer_ = nullptr;
  ass_track* track_ = nullptr;
  std::shared_ptr<const FontFiles> fonts_;
  int frameWidth_ = 0, frameHeight_ = 0, storageWidth_ = 0, storageHeight_ = 0;
  bool fresh_ = true;  // nothing drawn since the track started
};

}  // namespace vell
