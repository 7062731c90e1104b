// The shared text rules: UTF-8, Latin and wide encodings, names, clocks and formatting.
#include "platform/Text.h"

#include <cstdarg>
#include <cstdint>
#include <cmath>
#include <cstdio>

namespace vell {

size_t utf8Length(std::string_view text) {
  size_t n = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++n;
  }
  return n;
}

std::string utf8Prefix(std::string_view text, size_t count) {
  size_t seen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) != 0x80) {
      if (seen == count) return std::string(text.substr(0, i));
      ++seen;
    }
  }
  return std::string(text);
}

size_t utf8SequenceLength(std::string_view text, size_t i) {
  unsigned char c = static_cast<unsigned char>(text[i]);
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
  if (i + len > text.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    unsigned char cc = static_cast<unsigned char>(text[i + k]);
    if ((cc & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (cc & 0x3F);
  }
  if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
      (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
    return 0;
  return len;
}

bool isValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    size_t len = utf8SequenceLength(text, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

namespace {

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

std::string utf16leToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t units = bytes.size() / 2;
  auto unitAt = [&](size_t i) {
    return static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * i])) |
           (static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * i + 1])) << 8);
  };
  for (size_t i = 0; i < units; ++i) {
    uint32_t u = unitAt(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      uint32_t low = unitAt(i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
    appendUtf8(out, u);
  }
  return out;
}

std::string utf32ToUtf8(std::string_view bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
    uint32_t cp = 0;
    for (int k = 0; k < 4; ++k) {
      uint32_t b = static_cast<unsigned char>(bytes[i + static_cast<size_t>(k)]);
      cp |= bigEndian ? b << (8 * (3 - k)) : b << (8 * k);
    }
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
    appendUtf8(out, cp);
  }
  return out;
}

std::string asciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

std::string displayName(std::string_view path) {
  size_t cut = path.find_last_of("\\/");
  std::string_view name = cut == std::string_view::npos ? path : path.substr(cut + 1);
  // A station at the root of its server ("http://host:8000/") is named by the host.
  size_t scheme = path.find("://");
  if (name.empty() && scheme != std::string_view::npos) {
    std::string_view host = path.substr(scheme + 3);
    host = host.substr(0, host.find('/'));
    if (size_t at = host.rfind('@'); at != std::string_view::npos) host.remove_prefix(at + 1);  // never a password
    // The port goes; an IPv6 literal ("[::1]:8000") keeps its own colons.
    if (size_t colon = host.rfind(':'); colon != std::string_view::npos && host.find(']', colon) == std::string_view::npos)
      host = host.substr(0, colon);
    return std::string(host);
  }
  return std::string(name);
}

std::string formatClock(double seconds) {
  if (!(seconds > 0)) seconds = 0;  // also catches NaN
  long long t = static_cast<long long>(std::trunc(seconds));
  long long h = t / 3600, m = (t - h * 3600) / 60, s = t % 60;
  char buffer[48];
  if (h >= 1)
    snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", h, m, s);
  else
    snprintf(buffer, sizeof buffer, "%02lld:%02lld", m, s);
  return buffer;
}

std::string formatMinutesSeconds(double seconds) {
  if (!(seconds > 0)) seconds = 0;
  long long t = static_cast<long long>(std::trunc(seconds));
  if (t >= 3600) return formatClock(seconds);  // "300:05" of a film is read as hours
  char buffer[48];
  snprintf(buffer, sizeof buffer, "%lld:%02lld", t / 60, t % 60);
  return buffer;
}

std::string formatText(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(nullptr, 0, fmt, args);
  va_end(args);
  std::string out;
  if (n > 0) {
    out.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(out.data(), out.size(), fmt, again);
    out.resize(static_cast<size_t>(n));
  }
  va_end(again);
  return out;
}

}  // namespace vell
