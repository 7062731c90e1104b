// Subtitle pictures as the engine hands them to the window: bitmap events and libass drawings.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vell {

// A number no other subtitle picture of this run has: the window tells pictures apart by it.
uint64_t nextSubtitleSerial();

// A picture in premultiplied 0xAARRGGBB (B, G, R, A bytes in memory), rows `width` apart,
// placed at x, y in the space its owner names.
struct SubtitleImage {
  int x = 0, y = 0, width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

// What a bitmap track (PGS, DVD, DVB) shows from `start` to `end` (media seconds): rectangles
// placed in a picture of width x height, the size the track was made for.
struct SubtitleBitmaps {
  uint64_t serial = nextSubtitleSerial();
  double start = 0, end = 0;
  int width = 0, height = 0;
  std::vector<SubtitleImage> rects;
  size_t bytes() const {
    size_t n = 0;
    for (const SubtitleImage& r : rects) n += r.pixels.size() * 4;
    return n;
  }
};

// libass's drawing of one moment, made for a shown picture of frameWidth x frameHeight pixels;
// `image` is placed in that frame.
struct AssPicture {
  uint64_t serial = nextSubtitleSerial();
  int frameWidth = 0, frameHeight = 0;
  SubtitleImage image;
};

// What the subtitles show at one moment: plain text (drawn in the user's size and colour), a
// bitmap event, and libass's latest drawing. Each part may be empty.
struct SubtitleFrame {
  std::string text;
  std::shared_ptr<const SubtitleBitmaps> bitmaps;
  std::shared_ptr<const AssPicture> ass;
  bool empty() const { return text.empty() && !bitmaps && !ass; }
};

}  // namespace vell
