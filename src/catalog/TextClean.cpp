#include "catalog/TextClean.h"

#include <cstdint>

namespace vell {

namespace {

// Length of the valid UTF-8 sequence at `i`, or 0 when the bytes there are not UTF-8.
size_t sequenceLength(std::string_view s, size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) return 1;
  size_t len;
  uint32_t cp;
  if ((c & 0xE0) == 0xC0) {
    len = 2;
    cp = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3;
    cp = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    unsigned char cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (cc & 0x3F);
  }
  if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
      (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
    return 0;
  return len;
}

}  // namespace

std::string toValidUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    size_t len = sequenceLength(bytes, i);
    if (len == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(bytes.substr(i, len));
      i += len;
    }
  }
  return out;
}

// Replacing the first match over and over equals one pass: "&" followed by any number of
// "amp;" collapses to "&" (a replacement can only create a new match at its own place).
std::string decodeAmpersands(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text.substr(i, 5) == "&amp;") {
      out += '&';
      i += 5;
      while (text.substr(i, 4) == "amp;") i += 4;
    } else {
      out += text[i++];
    }
  }
  return out;
}

// Likewise in one pass: a whole run of backslashes right before a slash vanishes.
std::string unescapeSlashes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '\\') {
      out += text[i++];
      continue;
    }
    size_t j = i;
    while (j < text.size() && text[j] == '\\') ++j;
    if (j < text.size() && text[j] == '/') {
      out += '/';
      i = j + 1;
    } else {
      out.append(text.substr(i, j - i));
      i = j;
    }
  }
  return out;
}

}  // namespace vell
