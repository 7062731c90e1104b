// Text a station sends (names, ICY titles) made into one clean line of UTF-8.
#include "engine/StationText.h"

#include <algorithm>

#include "catalog/TextClean.h"
#include "platform/Text.h"

namespace vell {

namespace {

bool isIcyKeyChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

// True when the text at `at` can follow a value's closing "';": nothing but the block's
// padding, or the next key ("StreamUrl='").
bool valueMayEndBefore(std::string_view block, size_t at) {
  at = std::min(block.find_first_not_of(' ', at), block.size());
  if (block.find_first_not_of(std::string_view(" \r\n\0", 4), at) == std::string_view::npos) return true;
  size_t key = at;
  while (key < block.size() && isIcyKeyChar(block[key])) ++key;
  return key > at && block.substr(key, 2) == "='";
}

}  // namespace

std::string oneLineTitle(const std::string& text, size_t maxChars) {
  size_t end = text.find_first_of("\r\n");
  std::string line = text.substr(0, end);
  for (char& c : line)
    if (c == '\t' || c == '\v' || c == '\f') c = ' ';
  bool cut = end != std::string::npos && text.find_first_not_of(" \t\r\n", end) != std::string::npos;
  if (utf8Length(line) > maxChars) {
    line = utf8Prefix(line, maxChars);
    cut = true;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return cut ? line + "…" : line;
}

std::string stationText(std::string_view bytes) {
  std::string text;
  if (isValidUtf8(bytes))
    text = bytes;
  else if (!cp949ToUtf8(bytes, text))
    text = cp1252ToUtf8(bytes);
  return decodeXmlEntities(text);
}

// A title may itself hold "';" ("Rock 'n' Roll';"): its value ends only at a "';" that is
// followed by the next key or by the end of the block.
std::string icyStreamTitle(std::string_view block) {
  block = block.substr(0, block.find('\0'));
  for (size_t at = 0; at < block.size();) {
    size_t eq = block.find("='", at);
    if (eq == std::string_view::npos) break;
    std::string_view key = block.substr(at, eq - at);
    key.remove_prefix(std::min(key.find_first_not_of(' '), key.size()));
    size_t begin = eq + 2, end = std::string_view::npos;
    for (size_t q = block.find("';", begin); q != std::string_view::npos; q = block.find("';", q + 1)) {
      if (valueMayEndBefore(block, q + 2)) {
        end = q;
        break;
      }
    }
    if (end == std::string_view::npos) {  // never closed: up to the end, less a lone closing quote
      end = block.size();
      if (end > begin && block[end - 1] == '\'') --end;
    }
    if (asciiLower(key) == "streamtitle") return stationText(block.substr(begin, end - begin));
    at = end + 2;
  }
  return {};
}

}  // namespace vell
