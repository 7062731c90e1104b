// Scanning RSS, JSON and PLS documents as bytes for the fields the browser lists.
#include "catalog/FeedParse.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "catalog/TextClean.h"
#include "platform/Text.h"
#include "platform/TextLines.h"

namespace vell {

namespace {

constexpr size_t npos = std::string_view::npos;
constexpr std::string_view kCdataStart = "<![CDATA[";
constexpr std::string_view kCdataEnd = "]]>";

// The bytes after `open` up to `close`, or up to the CDATA end when a CDATA section starts
// right after `open`. False when `open` or the end marker is missing.
bool elementText(std::string_view item, std::string_view open, std::string_view close, std::string_view& out,
                 bool& cdata) {
  size_t at = item.find(open);
  if (at == npos) return false;
  size_t start = at + open.size();
  std::string_view endMarker = close;
  cdata = item.substr(start, kCdataStart.size()) == kCdataStart;
  if (cdata) {
    start += kCdataStart.size();
    endMarker = kCdataEnd;
  }
  size_t end = item.find(endMarker, start);
  if (end == npos) return false;
  out = item.substr(start, end - start);
  return true;
}

// A field's text as UTF-8 from the feed's character set (empty: UTF-8). Character
// references are decoded outside CDATA, where they are markup; inside it the text is
// literal.
std::string feedText(std::string_view raw, bool cdata, const std::string& charset) {
  bool ascii = std::all_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  std::string text;
  if (ascii || charset.empty() || !charsetToUtf8(charset, raw, text)) text = repairUtf8(raw);
  return cdata ? text : decodeXmlEntities(text);
}

// The tag text of the "<" + tag found at `start`: up to its '>', or 500 bytes when it has
// none, cut at the end of the text.
std::string_view tagTextAt(std::string_view text, size_t start) {
  size_t close = text.find('>', start);
  size_t last = close != npos ? close : start + 500;
  return text.substr(start, last - start + 1);
}

std::string urlOfTag(std::string_view tagText) {
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

// The value of attribute `name` (preceded by white space, either quote), lower-cased.
std::string attributeOfTag(std::string_view tagText, std::string_view name) {
  for (size_t at = tagText.find(name); at != npos; at = tagText.find(name, at + 1)) {
    size_t q = at + name.size();
    if (at == 0 || !std::isspace(static_cast<unsigned char>(tagText[at - 1])) || q + 1 >= tagText.size() ||
        tagText[q] != '=' || (tagText[q + 1] != '"' && tagText[q + 1] != '\''))
      continue;
    size_t end = tagText.find(tagText[q + 1], q + 2);
    if (end == npos) return {};
    return asciiLower(tagText.substr(q + 2, end - q - 2));
  }
  return {};
}

// A type that is known and is neither audio nor video: the pictures, archives and
// documents that news feeds attach. Unknown and generic types may still be media.
bool isNonMediaType(std::string_view type) {
  while (!type.empty() && type.front() == ' ') type.remove_prefix(1);
  for (std::string_view major : {"image/", "text/", "font/", "model/", "multipart/", "message/"}) {
    if (startsWith(type, major)) return true;
  }
  if (!startsWith(type, "application/")) return false;
  std::string_view sub = type.substr(12);
  if (contains(sub, "mpegurl") || startsWith(sub, "dash+xml")) return false;  // stream playlists
  for (std::string_view doc : {"pdf", "zip", "x-zip", "gzip", "x-gzip", "x-tar", "x-rar", "vnd.rar", "x-7z",
                               "msword", "rtf", "json", "xml", "javascript", "x-bittorrent", "epub", "vnd.ms-",
                               "vnd.openxmlformats", "vnd.oasis", "xhtml", "rss", "atom"}) {
    if (startsWith(sub, doc)) return true;
  }
  return contains(sub, "+xml") || contains(sub, "+json");
}

// Like extractTagUrl, but passing over tags that name a non-media type (or, for
// media:content, a non-media medium) for the next such tag.
std::string mediaTagUrl(std::string_view item, std::string_view tag) {
  std::string open(1, '<');
  open += tag;
  // The next tag is looked for after this one's '>', and a missing '>' is searched for
  // once: many tags in one item must not make the scan quadratic.
  size_t close = 0;
  bool closeKnown = false;
  for (size_t start = item.find(open); start != npos;) {
    if (!closeKnown || (close != npos && close < start)) {
      close = item.find('>', start);
      closeKnown = true;
    }
    std::string_view tagText = item.substr(start, (close != npos ? close : start + 500) - start + 1);
    std::string medium = attributeOfTag(tagText, "medium");
    if (!isNonMediaType(attributeOfTag(tagText, "type")) && medium != "image" && medium != "document" &&
        medium != "executable")
      return urlOfTag(tagText);
    start = item.find(open, close != npos ? close + 1 : start + 1);
  }
  return {};
}

constexpr std::string_view kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};

// An RFC 822 date ("Sat, 07 Nov 2015 12:00:00 EST", also without the day name, with a
// one-digit day, a full month name or a two-digit year) shown as "07 Nov 2015"; empty when
// it does not read as a date.
std::string feedDate(std::string_view text) {
  std::string low = asciiLower(text);
  std::string_view s(low);
  size_t i = 0;
  auto skipSpace = [&] {
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  };
  auto letters = [&] {
    size_t from = i;
    while (i < s.size() && s[i] >= 'a' && s[i] <= 'z') ++i;
    return s.substr(from, i - from);
  };
  auto number = [&](size_t maxDigits, size_t& digits) {
    int value = 0;
    digits = 0;
    while (i < s.size() && digits < maxDigits && s[i] >= '0' && s[i] <= '9') {
      value = value * 10 + (s[i++] - '0');
      ++digits;
    }
    return value;
  };
  skipSpace();
  if (!letters().empty()) {  // the day name
    if (i < s.size() && s[i] == ',') ++i;
    skipSpace();
  }
  size_t digits = 0;
  int day = number(2, digits);
  if (digits == 0 || day < 1 || day > 31) return {};
  skipSpace();
  std::string_view month = letters();
  if (month.size() < 3) return {};
  int m = 0;
  while (m < 12 && month.substr(0, 3) != kMonths[m]) ++m;
  if (m == 12) return {};
  skipSpace();
  int year = number(4, digits);
  if (digits == 2) year += year < 50 ? 2000 : 1900;
  else if (digits != 4) return {};
  if (i < s.size() && s[i] >= '0' && s[i] <= '9') return {};
  static constexpr const char* kShown[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char out[16];
  std::snprintf(out, sizeof out, "%02d %s %04d", day, kShown[m], year);
  return out;
}

// The document to scan and the character set its text fields are in (empty: UTF-8). A
// UTF-16 document is converted as a whole; for the ASCII-based sets an XML declaration
// names, the markup is plain ASCII and only the fields are converted, which keeps a long
// feed fast. A document that is valid UTF-8 is taken as UTF-8 whatever it declares (feeds
// often declare a Latin set and are written in UTF-8).
std::string_view feedDocument(std::string_view doc, std::string& storage, std::string& charset) {
  charset.clear();
  if (startsWith(doc, "\xFF\xFE") || startsWith(doc, "\xFE\xFF")) {
    std::string units(doc.substr(2));
    if (doc[0] == '\xFE') {
      for (size_t i = 0; i + 1 < units.size(); i += 2) std::swap(units[i], units[i + 1]);
    }
    storage = utf16leToUtf8(units);
    return storage;
  }
  if (startsWith(doc, "\xEF\xBB\xBF")) doc.remove_prefix(3);
  std::string_view head = doc.substr(0, 256);
  size_t declEnd = head.find("?>");
  if (!startsWith(head, "<?xml") || declEnd == npos) return doc;
  std::string_view decl = head.substr(0, declEnd);
  size_t at = decl.find("encoding=");
  if (at == npos || at + 10 >= decl.size()) return doc;
  char quote = decl[at + 9];
  if (quote != '"' && quote != '\'') return doc;
  std::string_view name = decl.substr(at + 10);
  name = name.substr(0, name.find(quote));
  std::string lowName = asciiLower(name);
  if (name.empty() || name.size() > 40 || lowName == "utf-8" || lowName == "utf8" || isValidUtf8(doc)) return doc;
  for (char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.' && c != ':') return doc;
  }
  std::string probe;
  if (charsetToUtf8(name, "", probe)) charset = name;
  return doc;
}

bool namesAudioFile(std::string_view link) {
  for (std::string_view ext : {".mp3", ".m4a", ".aac", ".ogg"}) {
    if (link.find(ext) != npos) return true;
  }
  return false;
}

// Every field of an episode list entry lies this close behind its title key.
constexpr size_t kEntryWindow = 3000;

// The first occurrence of a fixed string starting in [pos, limit), remembering what has
// been searched: the scan asks with positions that (almost always) only grow, so each byte
// is searched about once per string however many entries ask. A position behind the
// remembered stretch starts afresh.
class Finder {
 public:
  Finder(std::string_view doc, std::string_view needle) : doc_(doc), needle_(needle) {}
  size_t first(size_t pos, size_t limit = npos) {
    // No occurrence starts in [clearFrom_, clearTo_); with found_, one starts at clearTo_.
    if (pos < clearFrom_ || pos > clearTo_) {
      clearFrom_ = clearTo_ = pos;
      found_ = false;
    }
    if (found_) return clearTo_ < limit ? clearTo_ : npos;
    if (clearTo_ >= limit || clearTo_ >= doc_.size()) return npos;
    size_t end = limit >= doc_.size() || needle_.size() - 1 >= doc_.size() - limit ? doc_.size()
                                                                                   : limit + needle_.size() - 1;
    size_t at = doc_.substr(clearTo_, end - clearTo_).find(needle_);
    if (at != npos) {
      clearTo_ += at;
      found_ = true;
      return clearTo_;
    }
    clearTo_ = std::min(limit, doc_.size());
    return npos;
  }

 private:
  std::string_view doc_, needle_;
  size_t clearFrom_ = 0, clearTo_ = 0;
  bool found_ = false;
};

// The JSON string value at a key: after the first `:"` at or after the key, up to the next
// quote. Escapes are not decoded, so an escaped quote ends the value early.
class ValueReader {
 public:
  explicit ValueReader(std::string_view doc) : doc_(doc), colon_(doc, ":\""), quote_(doc, "\"") {}
  bool at(size_t keyPos, std::string_view& out) {
    size_t colon = colon_.first(keyPos);
    if (colon == npos) return false;
    size_t start = colon + 2;
    size_t end = quote_.first(start);
    if (end == npos) return false;
    out = doc_.substr(start, end - start);
    return true;
  }

 private:
  std::string_view doc_;
  Finder colon_, quote_;
};

// The first of `keys` (in order of preference) that starts less than kEntryWindow bytes
// after the title key. A key exactly at the window's edge ends the choice without a key;
// one further away lets the next alternative be tried.
size_t pickKey(size_t titleKey, std::initializer_list<Finder*> keys) {
  for (Finder* key : keys) {
    size_t at = key->first(titleKey, titleKey + kEntryWindow + 1);
    if (at == npos) continue;
    return at - titleKey < kEntryWindow ? at : npos;  // exactly at the edge: no key
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
  return urlOfTag(tagTextAt(text, start));
}

std::vector<PodcastEpisode> parseRssEpisodes(std::string_view raw, int max) {
  std::vector<PodcastEpisode> episodes;
  if (max < 1) return episodes;
  std::string converted, charset;
  std::string_view document = feedDocument(raw, converted, charset);
  size_t pos = 0;
  for (;;) {
    size_t itemStart = document.find("<item", pos);
    if (itemStart == npos) break;
    size_t itemEnd = document.find("</item>", itemStart);
    if (itemEnd == npos) break;
    std::string_view item = document.substr(itemStart, itemEnd - itemStart);
    pos = itemEnd + 7;

    PodcastEpisode ep;
    ep.url = mediaTagUrl(item, "enclosure");
    if (ep.url.empty()) ep.url = mediaTagUrl(item, "media:content");
    std::string_view text;
    bool cdata = false;
    if (ep.url.empty() && elementText(item, "<link>", "</link>", text, cdata)) {
      std::string link = cdata ? std::string(text) : decodeXmlEntities(text);
      if (namesAudioFile(link)) ep.url = std::move(link);
    }
    if (ep.url.empty()) continue;

    if (elementText(item, "<title>", "</title>", text, cdata)) ep.title = feedText(text, cdata, charset);
    if (elementText(item, "<pubDate>", "</pubDate>", text, cdata)) ep.date = feedDate(feedText(text, cdata, charset));

    episodes.push_back(std::move(ep));
    if (static_cast<int>(episodes.size()) >= max) break;
  }
  return episodes;
}

std::vector<PodcastEpisode> parseServiceEpisodes(std::string_view document, int max) {
  std::vector<PodcastEpisode> episodes;
  if (max < 1) return episodes;
  // Every search goes on from where the last one ended, so a document of many keys
  // without values is read once, not once per key.
  Finder s3Url(document, "\"S3_FILE_URL\""), fileUrl(document, "\"FILE_URL\"");
  Finder regDate(document, "\"PODCAST_REG_DATE\""), regDt(document, "\"REG_DT\""), broadDate(document, "\"BROAD_DATE\"");
  ValueReader titles(document), urls(document), dates(document);
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
    if (titles.at(titleKey, value)) ep.title = repairUtf8(value);

    size_t urlKey = pickKey(titleKey, {&s3Url, &fileUrl});
    if (urlKey != npos && urls.at(urlKey, value)) ep.url = unescapeSlashes(value);

    size_t dateKey = pickKey(titleKey, {&regDate, &regDt, &broadDate});
    if (dateKey != npos && dates.at(dateKey, value)) ep.date = repairUtf8(value.substr(0, 10));

    if (!ep.url.empty()) {
      episodes.push_back(std::move(ep));
      if (static_cast<int>(episodes.size()) >= max) break;
    }
  }
  return episodes;
}

}  // namespace vell
