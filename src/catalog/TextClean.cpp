// Decoding character references and escaped slashes in fetched text.
#include "catalog/TextClean.h"

#include <algorithm>
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

namespace {

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

struct NamedEntity {
  std::string_view name;
  uint32_t cp;
};
constexpr NamedEntity kEntities[] = {
    {"amp", '&'},      {"lt", '<'},       {"gt", '>'},       {"quot", '"'},     {"apos", '\''},
    {"nbsp", 0xA0},    {"hellip", 0x2026}, {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"ldquo", 0x201C},
    {"rdquo", 0x201D}, {"ndash", 0x2013}, {"mdash", 0x2014}, {"middot", 0xB7},  {"copy", 0xA9},
};

// The code point of "#123" or "#x7B"; false when malformed.
bool numericReference(std::string_view ref, uint32_t& cp) {
  if (ref.size() < 2 || ref[0] != '#') return false;
  bool hex = ref[1] == 'x' || ref[1] == 'X';
  std::string_view digits = ref.substr(hex ? 2 : 1);
  if (digits.empty() || digits.size() > 8) return false;
  uint32_t value = 0;
  for (char c : digits) {
    uint32_t d;
    if (c >= '0' && c <= '9') d = static_cast<uint32_t>(c - '0');
    else if (hex && c >= 'a' && c <= 'f') d = static_cast<uint32_t>(c - 'a' + 10);
    else if (hex && c >= 'A' && c <= 'F') d = static_cast<uint32_t>(c - 'A' + 10);
    else return false;
    value = value * (hex ? 16 : 10) + d;
  }
  cp = value == 0 || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF ? 0xFFFD : value;
  return true;
}

}  // namespace

std::string decodeXmlEntities(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    size_t amp = text.find('&', i);
    if (amp == std::string_view::npos) break;
    out.append(text.substr(i, amp - i));
    i = amp + 1;
    // References are short: look for the ';' close by only.
    size_t semi = text.substr(0, amp + 12).find(';', amp + 1);
    if (semi == std::string_view::npos) {
      out += '&';
      continue;
    }
    std::string_view ref = text.substr(amp + 1, semi - amp - 1);
    uint32_t cp = 0;
    bool known = numericReference(ref, cp);
    for (const NamedEntity& e : kEntities) {
      if (!known && ref == e.name) {
        cp = e.cp;
        known = true;
      }
    }
    if (!known) {
      out += '&';
      continue;
    }
    appendUtf8(out, cp);
    i = semi + 1;
  }
  out.append(text.substr(std::min(i, text.size())));
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
