#include "catalog/FeedParse.h"

#include "catalog/TextClean.h"
#include "platform/TextLines.h"

namespace vell {

namespace {

constexpr size_t npos = std::string_view::npos;
constexpr std::string_view kCdataStart = "<![CDATA[";
constexpr std::string_view kCdataEnd = "]]>";

// The text after `open` up to `close`, or up to the CDATA end when a CDATA section starts
// right after `open`. False when `open` or the end marker is missing.
bool elementText(std::string_view item, std::string_view open, std::string_view close, std::string_view& out) {
  size_t at = item.find(open);
  if (at == npos) return false;
  size_t start = at + open.size();
  std::string_view endMarker = close;
  if (item.substr(start, kCdataStart.size()) == kCdataStart) {
    start += kCdataStart.size();
    endMarker = kCdataEnd;
  }
  size_t end = item.find(endMarker, start);
  if (end == npos) return false;
  out = item.substr(start, end - start);
  return true;
}

bool namesAudioFile(std::string_view link) {
  for (std::string_view ext : {".mp3", ".m4a", ".aac", ".ogg"}) {
    if (link.find(ext) != npos) return true;
  }
  return false;
}

// Every field of an episode list entry lies this close behind its title key.
constexpr size_t kEntryWindow = 3000;

// The JSON string value at a key: after the first `:"` at or after the key, up to the next
// quote. Escapes are not decoded, so an escaped quote ends the value early.
bool valueAt(std::string_view doc, size_t keyPos, std::string_view& out) {
  size_t colon = doc.find(":\"", keyPos);
  if (colon == npos) return false;
  size_t start = colon + 2;
  size_t end = doc.find('"', start);
  if (end == npos) return false;
  out = doc.substr(start, end - start);
  return true;
}

// The first of `keys` (in order of preference) that starts less than kEntryWindow bytes
// after the title key. A key exactly at the window's edge ends the choice without a key;
// one further away lets the next alternative be tried.
size_t pickKey(std::string_view doc, size_t titleKey, std::initializer_list<std::string_view> keys) {
  for (std::string_view key : keys) {
    // Searching past the window edge would only find keys that are too far anyway.
    std::string_view window = doc.substr(titleKey, kEntryWindow + key.size());
    size_t at = window.find(key);
    if (at == npos) continue;
    if (at < kEntryWindow) return titleKey + at;
    return npos;  // exactly at the edge
  }
  return npos;
}

}  // namespace

std::string plsFirstEntry(std::string_view document) {
  size_t key = document.find("File1=");
  if (key == npos) key = document.find("file1=");
  if (key == npos) return {};
  size_t start = key + 6;
  size_t end = document.find_first_of("\r\n", start);
  if (end == npos) end = document.size();
  std::string_view value = document.substr(start, end - start);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  return std::string(value);
}

std::string extractTagUrl(std::string_view text, std::string_view tag) {
  std::string open(1, '<');
  open += tag;
  size_t start = text.find(open);
  if (start == npos) return {};
  size_t close = text.find('>', start);
  size_t last = close != npos ? close : start + 500;
  std::string_view tagText = text.substr(start, last - start + 1);  // cut at the end of text

  static constexpr std::string_view kPatterns[] = {"url=\"", "url='", "href=\"", "href='"};
  for (std::string_view pattern : kPatterns) {
    size_t at = tagText.find(pattern);
    if (at == npos) continue;
    size_t valueStart = at + pattern.size();
    size_t valueEnd = tagText.find(pattern.back(), valueStart);
    if (valueEnd == npos) continue;
    return decodeAmpersands(tagText.substr(valueStart, valueEnd - valueStart));
  }
  return {};
}

std::vector<PodcastEpisode> parseRssEpisodes(std::string_view document, int max) {
  std::vector<PodcastEpisode> episodes;
  if (max < 1) return episodes;
  size_t pos = 0;
  for (;;) {
    size_t itemStart = document.find("<item", pos);
    if (itemStart == npos) break;
    size_t itemEnd = document.find("</item>", itemStart);
    if (itemEnd == npos) break;
    std::string_view item = document.substr(itemStart, itemEnd - itemStart);
    pos = itemEnd + 7;

    PodcastEpisode ep;
    ep.url = extractTagUrl(item, "enclosure");
    if (ep.url.empty()) ep.url = extractTagUrl(item, "media:content");
    std::string_view link;
    if (ep.url.empty() && elementText(item, "<link>", "</link>", link) && namesAudioFile(link)) ep.url = link;
    if (ep.url.empty()) continue;

    std::string_view title;
    if (elementText(item, "<title>", "</title>", title)) ep.title = repairUtf8(title);

    size_t dateOpen = item.find("<pubDate>");
    if (dateOpen != npos) {
      size_t dateStart = dateOpen + 9;
      size_t dateEnd = item.find("</pubDate>", dateStart);
      // "Tue, 05 Mar 2024 06:00:00 GMT": the 11 bytes after the day name are the date.
      if (dateEnd != npos && dateEnd - dateStart > 16) ep.date = repairUtf8(item.substr(dateStart + 5, 11));
    }

    episodes.push_back(std::move(ep));
    if (static_cast<int>(episodes.size()) >= max) break;
  }
  return episodes;
}

std::vector<PodcastEpisode> parseServiceEpisodes(std::string_view document, int max) {
  std::vector<PodcastEpisode> episodes;
  if (max < 1) return episodes;
  size_t pos = 0;
  bool firstEntry = true;
  for (;;) {
    size_t titleKey = document.find("\"CON_TITLE\"", pos);
    // Lists without CON_TITLE are read by their first TITLE only.
    if (titleKey == npos && firstEntry) titleKey = document.find("\"TITLE\"");
    if (titleKey == npos) break;
    firstEntry = false;
    pos = titleKey + 10;

    PodcastEpisode ep;
    std::string_view value;
    if (valueAt(document, titleKey, value)) ep.title = repairUtf8(value);

    size_t urlKey = pickKey(document, titleKey, {"\"S3_FILE_URL\"", "\"FILE_URL\""});
    if (urlKey != npos && valueAt(document, urlKey, value)) ep.url = unescapeSlashes(value);

    size_t dateKey = pickKey(document, titleKey, {"\"PODCAST_REG_DATE\"", "\"REG_DT\"", "\"BROAD_DATE\""});
    if (dateKey != npos && valueAt(document, dateKey, value)) ep.date = repairUtf8(value.substr(0, 10));

    if (!ep.url.empty()) {
      episodes.push_back(std::move(ep));
      if (static_cast<int>(episodes.size()) >= max) break;
    }
  }
  return episodes;
}

}  // namespace vell
