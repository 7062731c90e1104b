// Parsing and writing the built-in and the user's catalogue files.
#include "catalog/StreamCatalogFile.h"

#include "catalog/TextClean.h"
#include "platform/TextLines.h"

namespace vell {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kFullWidthBar = "\xEF\xBD\x9C";  // U+FF5C

// The file's text without the byte-order mark, as valid UTF-8.
std::string fileText(std::string_view bytes) {
  if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark) bytes.remove_prefix(kByteOrderMark.size());
  return repairUtf8(bytes);
}

template <typename Fn>
void forEachLine(std::string_view text, Fn&& fn) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    fn(text.substr(start, end - start));
    start = end + 1;
  }
}

void appendEntryFields(std::string& out, const StreamEntry& e) {
  out += streamTypeKeyword(e.type);
  for (const std::string* field : {&e.id, &e.name, &e.genre, &e.description}) {
    out += '|';
    out += cleanField(*field, false);
  }
  out += '|';
  out += cleanField(e.url, true);
}

}  // namespace

const char* streamTypeKeyword(int32_t type) {
  switch (type) {
    case RADIO_HLS: return "RADIO_HLS";
    case RADIO_PLS: return "RADIO_PLS";
    case PODCAST_RSS: return "PODCAST_RSS";
    case PODCAST_SBS: return "PODCAST_SBS";
    default: return "RADIO_MP3";
  }
}

int32_t streamTypeFromKeyword(std::string_view keyword) {
  if (keyword == "RADIO_HLS") return RADIO_HLS;
  if (keyword == "RADIO_PLS") return RADIO_PLS;
  if (keyword == "PODCAST_RSS") return PODCAST_RSS;
  if (keyword == "PODCAST_SBS") return PODCAST_SBS;
  return RADIO_MP3;
}

bool parseStreamLine(std::string_view line, StreamEntry& out) {
  std::string_view fields[6];
  size_t count = 0;
  size_t start = 0;
  while (count < 6) {
    size_t bar = line.find('|', start);
    if (bar == std::string_view::npos) {
      fields[count++] = line.substr(start);
      break;
    }
    fields[count++] = line.substr(start, bar - start);
    start = bar + 1;
  }
  if (count < 6) return false;
  out = StreamEntry{};
  out.type = streamTypeFromKeyword(fields[0]);
  out.id = fields[1];
  out.name = fields[2];
  out.genre = fields[3];
  out.description = fields[4];
  out.url = fields[5];
  return true;
}

std::vector<StreamEntry> parseBuiltinCatalog(std::string_view bytes) {
  std::vector<StreamEntry> entries;
  std::string text = fileText(bytes);
  forEachLine(text, [&](std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == ';') return;
    StreamEntry e;
    if (parseStreamLine(line, e)) entries.push_back(std::move(e));
  });
  return entries;
}

UserCatalog parseUserCatalog(std::string_view bytes) {
  UserCatalog user;
  std::string text = fileText(bytes);
  forEachLine(text, [&](std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.remove_suffix(1);
    if (line.empty() || line.front() == '#' || line.front() == ';') return;
    char op = '+';
    std::string_view body = line;
    if (line.size() >= 2 && line[1] == '|' && (line[0] == '+' || line[0] == '=' || line[0] == '-')) {
      op = line[0];
      body = line.substr(2);
    }
    if (op == '-') {
      if (!body.empty()) user.hiddenIds.emplace_back(body);
      return;
    }
    StreamEntry e;
    if (!parseStreamLine(body, e)) return;
    if (op == '+') {
      e.isUser = true;
      user.additions.push_back(std::move(e));
    } else {
      user.overrides.push_back(std::move(e));
    }
  });
  return user;
}

std::string cleanField(std::string_view text, bool isUrl) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\n') {
      out += ' ';
    } else if (c == '|') {
      out += isUrl ? std::string_view("%7C") : kFullWidthBar;
    } else {
      out += c;
    }
  }
  // The reader trims the end of a line; a URL ends the line, so trim it here already.
  if (isUrl) {
    while (!out.empty() && (out.back() == ' ' || out.back() == '\t' || out.back() == '\r')) out.pop_back();
  }
  return out;
}

std::string formatUserCatalog(const UserCatalog& user) {
  std::string out = "# Vell Player user streams\n# Format:\n";
  out += "#   -|<id>" + std::string(30, ' ') + "hide a built-in\n";
  out += "#   =|<TYPE>|<id>|<name>|<genre>|<desc>|<url>   modify a built-in\n";
  out += "#   +|<TYPE>|<id>|<name>|<genre>|<desc>|<url>   add new user stream\n";
  out += "\n";
  for (const std::string& id : user.hiddenIds) {
    // The id is the rest of the line, so only a line break could hurt it.
    out += "-|";
    for (char c : id) out += c == '\n' ? ' ' : c;
    out += '\n';
  }
  for (const StreamEntry& e : user.overrides) {
    out += "=|";
    appendEntryFields(out, e);
    out += '\n';
  }
  for (const StreamEntry& e : user.additions) {
    out += "+|";
    appendEntryFields(out, e);
    out += '\n';
  }
  return out;
}

}  // namespace vell
