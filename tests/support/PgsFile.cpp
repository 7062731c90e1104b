// Test support: writing PGS display sets (segments PCS, WDS, PDS, ODS with run-length lines, END).
#include "support/PgsFile.h"

#include <algorithm>
#include <cmath>

namespace vell::test {

namespace {

enum : uint8_t { kPalette = 0x14, kObject = 0x15, kComposition = 0x16, kWindow = 0x17, kEnd = 0x80 };

void put16(std::string& s, int v) {
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
  s.push_back(static_cast<char>(v & 0xFF));
}

void segment(std::string& out, double seconds, uint8_t type, const std::string& payload) {
  const uint32_t pts = static_cast<uint32_t>(std::llround(seconds * 90000));
  out += "PG";
  for (int shift : {24, 16, 8, 0}) out.push_back(static_cast<char>((pts >> shift) & 0xFF));
  out.append(4, '\0');  // decoding time
  out.push_back(static_cast<char>(type));
  put16(out, static_cast<int>(payload.size()));
  out += payload;
}

// Composition: the presentation's size, and the object at x, y (none clears the screen).
std::string composition(int width, int height, int number, const PgsRect* shown) {
  std::string p;
  put16(p, width);
  put16(p, height);
  p.push_back(0x10);  // frame rate
  put16(p, number);
  p.push_back(static_cast<char>(shown ? 0x80 : 0x00));  // a new epoch, or a normal update
  p.push_back(0);                                       // no palette-only update
  p.push_back(0);                                       // palette id
  p.push_back(static_cast<char>(shown ? 1 : 0));
  if (shown) {
    put16(p, 0);     // object id
    p.push_back(0);  // window id
    p.push_back(0);  // not cropped
    put16(p, shown->x);
    put16(p, shown->y);
  }
  return p;
}

std::string window(const PgsRect& r) {
  std::string p(1, 1);
  p.push_back(0);
  put16(p, r.x);
  put16(p, r.y);
  put16(p, r.width);
  put16(p, r.height);
  return p;
}

// Entry 1 of palette 0: the colour in limited-range BT.601 Y, Cr, Cb, opaque.
std::string palette(uint32_t rgb) {
  const double r = (rgb >> 16 & 0xFF) / 255.0, g = (rgb >> 8 & 0xFF) / 255.0, b = (rgb & 0xFF) / 255.0;
  auto byte = [](double v) { return static_cast<char>(std::clamp(std::lround(v), 0L, 255L)); };
  std::string p{0, 0, 1};
  p.push_back(byte(16 + 65.481 * r + 128.553 * g + 24.966 * b));
  p.push_back(byte(128 + 112.0 * r - 93.786 * g - 18.214 * b));
  p.push_back(byte(128 - 37.797 * r - 74.203 * g + 112.0 * b));
  p.push_back(static_cast<char>(0xFF));
  return p;
}

// The object: every line one run of colour 1, then the end of the line.
std::string object(const PgsRect& r) {
  std::string rle;
  for (int y = 0; y < r.height; ++y) {
    rle.push_back(0);
    rle.push_back(static_cast<char>(0xC0 | (r.width >> 8)));
    rle.push_back(static_cast<char>(r.width & 0xFF));
    rle.push_back(1);
    rle.append(2, '\0');
  }
  std::string p;
  put16(p, 0);                           // object id
  p.push_back(0);                        // version
  p.push_back(static_cast<char>(0xC0));  // the first and last part of the object
  const int length = static_cast<int>(rle.size()) + 4;
  p.push_back(static_cast<char>((length >> 16) & 0xFF));
  put16(p, length & 0xFFFF);
  put16(p, r.width);
  put16(p, r.corrupt ? r.height * 50 : r.height);
  return p + rle;
}

}  // namespace

std::string pgsFile(int width, int height, const std::vector<PgsRect>& rects) {
  std::string out;
  int number = 0;
  for (const PgsRect& r : rects) {
    segment(out, r.start, kComposition, composition(width, height, number++, &r));
    segment(out, r.start, kWindow, window(r));
    segment(out, r.start, kPalette, palette(r.rgb));
    segment(out, r.start, kObject, object(r));
    segment(out, r.start, kEnd, {});
    segment(out, r.end, kComposition, composition(width, height, number++, nullptr));
    segment(out, r.end, kWindow, window(r));
    segment(out, r.end, kEnd, {});
  }
  return out;
}

}  // namespace vell::test
