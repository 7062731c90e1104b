// Splitting lines, repairing UTF-8 and reading and writing numbers without the locale.
#include "platform/TextLines.h"

#include "platform/Text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace vell {

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return lines;
}

namespace {

bool isCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::string_view skipSpace(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && isCSpace(text[i])) ++i;
  return text.substr(i);
}

template <typename T>
bool parseFloating(std::string_view text, T& out) {
  text = skipSpace(text);
  if (!text.empty() && text[0] == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text[0] == '-') return false;
  }
  T value{};
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (ec != std::errc() || ptr == text.data() || !std::isfinite(value)) return false;
  out = value;
  return true;
}

}  // namespace

std::string repairUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
  if (i == text.size()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  out.append(text.substr(0, i));
  while (i < text.size()) {
    size_t len = utf8SequenceLength(text, i);
    if (len == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      // Copy the whole run of valid sequences at once.
      size_t run = i + len;
      while (run < text.size()) {
        size_t next = utf8SequenceLength(text, run);
        if (next == 0) break;
        run += next;
      }
      out.append(text.substr(i, run - i));
      i = run;
    }
  }
  return out;
}

bool hasControlChar(std::string_view utf8) {
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if ((c < 0x20 && c != '\t') || c == 0x7F) return true;
    if (c == 0xC2 && i + 1 < utf8.size()) {
      unsigned char n = static_cast<unsigned char>(utf8[i + 1]);
      if (n >= 0x80 && n <= 0x9F) return true;
    }
  }
  return false;
}

bool hasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

std::string flattenLineBreaks(std::string_view text) {
  if (!hasLineBreak(text)) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out.push_back(' ');
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty() || text.find(from) == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t start = 0;
  for (;;) {
    size_t hit = text.find(from, start);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(start, hit - start));
    out.append(to);
    start = hit + from.size();
  }
  out.append(text.substr(start));
  return out;
}

bool parseInt32(std::string_view text, int32_t& out) {
  text = skipSpace(text);
  bool negative = false;
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  size_t digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) return false;
  }
  if (digits == 0) return false;
  if (negative) value = -value;
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) return false;
  out = static_cast<int32_t>(value);
  return true;
}

bool parseFloat(std::string_view text, float& out) { return parseFloating(text, out); }
bool parseDouble(std::string_view text, double& out) { return parseFloating(text, out); }

bool parseUint64(std::string_view text, uint64_t& out) {
  text = skipSpace(text);
  size_t i = 0;
  if (i < text.size() && text[i] == '+') ++i;
  uint64_t value = 0;
  size_t digits = 0;
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    uint64_t d = static_cast<uint64_t>(text[i] - '0');
    value = value > (kMax - d) / 10 ? kMax : value * 10 + d;
  }
  if (digits == 0) return false;
  out = value;
  return true;
}

std::string formatFixed(double value, int decimals) {
  char buffer[400];
  auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (ec != std::errc()) return "0";
  return std::string(buffer, ptr);
}

}  // namespace vell
