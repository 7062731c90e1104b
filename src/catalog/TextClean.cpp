#include "catalog/TextClean.h"

#include <cstdint>

namespace vell {

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
