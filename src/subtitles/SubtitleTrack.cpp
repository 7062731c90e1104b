// Reading SRT and SAMI files (character set, times, tags) into cues, and the cue at a time.
#include "subtitles/SubtitleTrack.h"

#include <algorithm>
#include <climits>
#include <cstddef>

#include "platform/Files.h"
#include "platform/Text.h"
#include "platform/TextLines.h"

namespace vell {

namespace {

constexpr size_t kMaxFileBytes = 64u << 20;

bool isCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// One "%d" of sscanf: white space, an optional sign, at least one digit. Values beyond
// the int range are held at its ends.
bool scanInt(std::string_view text, size_t& i, long long& out) {
  size_t p = i;
  while (p < text.size() && isCSpace(text[p])) ++p;
  bool negative = false;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
  if (p >= text.size() || !isDigit(text[p])) return false;
  long long value = 0;
  for (; p < text.size() && isDigit(text[p]); ++p) {
    value = std::min<long long>(value * 10 + (text[p] - '0'), static_cast<long long>(INT_MAX) + 1);
  }
  value = negative ? -value : value;
  out = std::clamp<long long>(value, INT_MIN, INT_MAX);
  i = p;
  return true;
}

// "%d:%d:%d<last>%d": how many of the four numbers were read.
int scanTime(std::string_view text, char last, long long (&v)[4]) {
  size_t i = 0;
  const char seps[3] = {':', ':', last};
  for (int k = 0; k < 4; ++k) {
    if (!scanInt(text, i, v[k])) return k;
    if (k == 3) return 4;
    if (i >= text.size() || text[i] != seps[k]) return k + 1;
    ++i;
  }
  return 4;
}

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A SAMI paragraph: its class in lower case (empty without one) and its text range, tag
// included. Text before the first paragraph tag forms one without a class.
struct SamiParagraph {
  std::string_view cls;
  size_t from, to;
};

std::vector<SamiParagraph> samiParagraphs(std::string_view low, size_t from, size_t to) {
  std::vector<SamiParagraph> out;
  low = low.substr(0, to);  // no search runs past the sync's content
  auto nextP = [&](size_t at) {
    for (;;) {
      size_t p = low.find("<p", at);
      if (p == std::string_view::npos || p + 2 >= to) return to;
      if (!isAsciiLetter(low[p + 2])) return p;  // not "<param" and the like
      at = p + 2;
    }
  };
  size_t p = nextP(from);
  if (p > from) out.push_back({std::string_view(), from, p});
  while (p < to) {
    size_t next = nextP(p + 2);
    size_t tagEnd = std::min(low.substr(0, next).find('>', p), next);
    std::string_view tag = low.substr(p, tagEnd - p);
    std::string_view cls;
    size_t at = tag.find("class=");
    if (at != std::string_view::npos) {
      cls = tag.substr(at + 6);
      if (!cls.empty() && (cls.front() == '"' || cls.front() == '\'')) {
        char quote = cls.front();
        cls.remove_prefix(1);
        cls = cls.substr(0, cls.find(quote));
      } else {
        size_t stop = cls.find_first_of(" \t\r\n/");
        cls = cls.substr(0, stop);
      }
    }
    out.push_back({cls, p, next});
    p = next;
  }
  return out;
}

// The displayed text of a sync's content: a line-break tag in any spelling ("<br>",
// "<BR/>", "<br clear=all>") breaks the line, other tags go, each line is trimmed and
// empty lines are dropped (the source's own line ends around the tags mean nothing).
std::string samiContent(std::string_view raw) {
  std::string broken;
  broken.reserve(raw.size());
  for (size_t i = 0; i < raw.size();) {
    if (raw[i] == '<' && i + 3 <= raw.size() && (raw[i + 1] == 'b' || raw[i + 1] == 'B') &&
        (raw[i + 2] == 'r' || raw[i + 2] == 'R') && (i + 3 == raw.size() || !isAsciiLetter(raw[i + 3]))) {
      size_t close = raw.find('>', i);
      if (close == std::string_view::npos) break;
      broken.push_back('\n');
      i = close + 1;
      continue;
    }
    broken.push_back(raw[i++]);
  }
  std::string cleaned = SubtitleTrack::cleanText(broken);
  std::string out;
  out.reserve(cleaned.size());
  for (std::string_view line : splitLines(cleaned)) {
    auto strip = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!line.empty() && strip(line.front())) line.remove_prefix(1);
    while (!line.empty() && strip(line.back())) line.remove_suffix(1);
    if (line.empty()) continue;
    if (!out.empty()) out.push_back('\n');
    out.append(line);
  }
  return replaceAll(out, "&nbsp;", " ");
}

// Counts the Korean character pairs (both bytes A1-FE, where every common Hangul syllable
// lies) against the bytes that cannot begin or end a CP949 character. Western text in
// Windows-1252 has almost no such pairs: an accented letter is followed by plain ASCII.
bool looksLikeKorean(std::string_view bytes) {
  size_t pairs = 0, bad = 0;
  auto u = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  for (size_t i = 0; i < bytes.size();) {
    unsigned char lead = u(i);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    unsigned char trail = i + 1 < bytes.size() ? u(i + 1) : 0;
    bool ks = lead >= 0xA1 && lead <= 0xFE && trail >= 0xA1 && trail <= 0xFE;
    bool extended = lead >= 0x81 && lead <= 0xC6 &&
                    ((trail >= 0x41 && trail <= 0x5A) || (trail >= 0x61 && trail <= 0x7A) || trail >= 0x81) &&
                    trail != 0xFF;
    if (ks || extended) {
      pairs += ks ? 1 : 0;
      i += 2;
    } else {
      ++bad;
      ++i;
    }
  }
  return pairs > bad;
}

bool isBlankLine(std::string_view line) {
  for (char c : line) {
    if (!isCSpace(c)) return false;
  }
  return true;
}

std::string lowerExtension(std::string_view path) {
  std::string name = displayName(path);
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : asciiLower(std::string_view(name).substr(dot));
}

}  // namespace

void SubtitleTrack::clear() {
  cues_.clear();
  delay_ = 0.0;
}

std::string SubtitleTrack::decodeText(std::string_view bytes) {
  // The UTF-32 marks first: the little-endian one begins like the UTF-16 mark.
  if (startsWith(bytes, std::string_view("\xFF\xFE\0\0", 4))) return utf32ToUtf8(bytes.substr(4), false);
  if (startsWith(bytes, std::string_view("\0\0\xFE\xFF", 4))) return utf32ToUtf8(bytes.substr(4), true);
  if (startsWith(bytes, "\xFF\xFE")) return utf16leToUtf8(bytes.substr(2));
  if (startsWith(bytes, "\xFE\xFF")) {
    // Big-endian UTF-16: swap each pair and read it as little-endian.
    std::string swapped(bytes.substr(2));
    for (size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
    return utf16leToUtf8(swapped);
  }
  if (startsWith(bytes, "\xEF\xBB\xBF")) bytes.remove_prefix(3);
  if (bytes.empty()) return std::string();
  if (isValidUtf8(bytes)) return std::string(bytes);
  std::string text;
  if (cp949ToUtf8(bytes, text)) return text;
  // Korean SAMI files are usually in CP949, and a stray bad byte should cost one character
  // only; Western files in Windows-1252 break CP949 all over and would be unreadable.
  return looksLikeKorean(bytes) ? cp949ToUtf8Lossy(bytes) : cp1252ToUtf8(bytes);
}

std::string SubtitleTrack::readTextFile(const std::string& path) {
  std::string bytes;
  if (!readFileLimited(path, kMaxFileBytes, bytes)) return std::string();
  return decodeText(bytes);
}

std::string SubtitleTrack::cleanText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '<') {
      size_t close = text.find('>', i);
      if (close == std::string_view::npos) break;
      i = close + 1;
    } else {
      out.push_back(text[i++]);
    }
  }
  return replaceAll(out, "\\N", "\n");
}

double SubtitleTrack::parseTime(std::string_view text) {
  long long v[4] = {0, 0, 0, 0};
  if (scanTime(text, ',', v) != 4 && scanTime(text, '.', v) != 4) return 0.0;
  return static_cast<double>(v[0]) * 3600.0 + static_cast<double>(v[1]) * 60.0 + static_cast<double>(v[2]) +
         static_cast<double>(v[3]) * 0.001;
}

bool SubtitleTrack::parseSrt(std::string_view text) {
  cues_.clear();
  enum class State { Index, Time, Text } state = State::Index;
  SubtitleCue cue;
  std::string buffer;
  auto finish = [&] {
    cue.text = cleanText(buffer);
    if (!cue.text.empty()) cues_.push_back(cue);
  };
  auto readTimeLine = [&](std::string_view line) {
    size_t arrow = line.size() >= 3 ? line.find("-->") : std::string_view::npos;
    if (arrow == std::string_view::npos) return false;
    cue.start = parseTime(line.substr(0, arrow));
    cue.end = parseTime(line.substr(arrow + 3));
    buffer.clear();
    state = State::Text;
    return true;
  };
  for (std::string_view line : splitLines(text)) {
    switch (state) {
      case State::Index:
        // A block that lacks its number starts straight with the time line; reading that
        // as the number would lose the whole block.
        if (readTimeLine(line)) break;
        if (!line.empty() && isDigit(line[0])) state = State::Time;
        break;
      case State::Time:
        readTimeLine(line);
        break;
      case State::Text:
        // Some files separate cues with a line of spaces; it ends the cue like an empty one.
        if (!isBlankLine(line)) {
          if (!buffer.empty()) buffer.push_back('\n');
          buffer.append(line);
        } else {
          finish();
          state = State::Index;
        }
        break;
    }
  }
  if (state == State::Text && !buffer.empty()) finish();
  std::stable_sort(cues_.begin(), cues_.end(), [](const SubtitleCue& a, const SubtitleCue& b) {
    return a.start < b.start;
  });
  return !cues_.empty();
}

bool SubtitleTrack::parseSami(std::string_view text) {
  cues_.clear();
  std::string lower = asciiLower(text);
  std::string_view low(lower);
  const size_t n = text.size();
  struct Sync {
    double start;
    size_t from, to;  // the content
  };
  std::vector<Sync> syncs;
  size_t q = 0;
  while (n >= 5 && q <= n - 5) {
    size_t sync = low.find("<sync", q);
    if (sync == std::string_view::npos) break;
    // No "start=" after this tag means none after any later tag either.
    size_t start = low.find("start=", sync);
    if (start == std::string_view::npos) break;
    size_t valueAt = start + 6;
    if (valueAt >= n) break;
    long long ms = 0;
    size_t i = valueAt;
    if (!scanInt(text, i, ms)) ms = 0;  // a quoted value reads as 0
    size_t close = text.find('>', valueAt);
    if (close == std::string_view::npos) break;
    size_t contentStart = close + 1;
    size_t contentEnd = low.find("<sync", contentStart);
    if (contentEnd == std::string_view::npos) contentEnd = n;
    syncs.push_back({static_cast<double>(ms) * 0.001, contentStart, contentEnd});
    q = contentEnd;
  }

  // Files for several languages mark each paragraph with a class (often in blocks of their
  // own, each starting over at the beginning of the film). One language is shown: the
  // Korean one when there is one, else the first named.
  std::vector<std::vector<SamiParagraph>> paragraphs(syncs.size());
  std::vector<std::string_view> classes;
  for (size_t k = 0; k < syncs.size(); ++k) {
    paragraphs[k] = samiParagraphs(low, syncs[k].from, syncs[k].to);
    for (const SamiParagraph& p : paragraphs[k]) {
      if (!p.cls.empty() && std::find(classes.begin(), classes.end(), p.cls) == classes.end())
        classes.push_back(p.cls);
    }
  }
  std::string_view shown;
  if (classes.size() > 1) {
    auto korean = std::find_if(classes.begin(), classes.end(),
                               [](std::string_view c) { return startsWith(c, "kr") || startsWith(c, "ko"); });
    shown = korean != classes.end() ? *korean : classes.front();
  }

  struct Record {
    double start;
    std::string text;
  };
  std::vector<Record> records;
  records.reserve(syncs.size());
  for (size_t k = 0; k < syncs.size(); ++k) {
    std::string raw;
    if (shown.empty()) {
      raw = text.substr(syncs[k].from, syncs[k].to - syncs[k].from);
    } else {
      // Paragraphs without a class belong to every language; a sync holding only other
      // languages' paragraphs is not one of ours and must not end our cue.
      bool ours = false, foreign = false;
      for (const SamiParagraph& p : paragraphs[k]) {
        if (p.cls.empty() || p.cls == shown) raw.append(text.substr(p.from, p.to - p.from));
        (p.cls == shown ? ours : foreign) |= !p.cls.empty();
      }
      if (foreign && !ours) continue;
    }
    records.push_back({syncs[k].start, samiContent(raw)});
  }
  // The look-up needs cues in time order, whatever order the blocks were written in.
  std::stable_sort(records.begin(), records.end(), [](const Record& a, const Record& b) { return a.start < b.start; });
  for (size_t k = 0; k < records.size(); ++k) {
    if (records[k].text.empty()) continue;
    double end = k + 1 < records.size() ? records[k + 1].start : records[k].start + 5.0;
    cues_.push_back({records[k].start, end, std::move(records[k].text)});
  }
  return !cues_.empty();
}

bool SubtitleTrack::loadSrt(const std::string& path) {
  clear();
  return parseSrt(readTextFile(path));
}

bool SubtitleTrack::loadSami(const std::string& path) {
  clear();
  return parseSami(readTextFile(path));
}

bool SubtitleTrack::loadVtt(const std::string& path) {
  clear();
  return parseVtt(readTextFile(path));
}

bool SubtitleTrack::loadFile(const std::string& path) {
  clear();
  std::string ext = lowerExtension(path);
  if (ext == ".srt") return loadSrt(path);
  if (ext == ".smi") return loadSami(path);
  if (ext == ".vtt") return loadVtt(path);
  return false;
}

double SubtitleTrack::parseVttTime(std::string_view text) {
  while (!text.empty() && isCSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isCSpace(text.back())) text.remove_suffix(1);
  double parts[3] = {0, 0, 0};
  int count = 0;
  size_t i = 0;
  for (;;) {
    size_t start = i;
    while (i < text.size() && isDigit(text[i]) && i - start < 9) ++i;
    if (i == start || count == 3) return -1;
    parts[count++] = std::stod(std::string(text.substr(start, i - start)));
    if (i < text.size() && text[i] == ':') {
      ++i;
      continue;
    }
    break;
  }
  if (count < 2 || i >= text.size() || text[i] != '.') return -1;
  size_t fraction = ++i;
  while (i < text.size() && isDigit(text[i])) ++i;
  if (i - fraction != 3 || i != text.size()) return -1;
  const double ms = std::stod(std::string(text.substr(fraction, 3)));
  const double seconds = parts[count - 1], minutes = parts[count - 2], hours = count == 3 ? parts[0] : 0;
  if (seconds >= 60 || minutes >= 60) return -1;
  return hours * 3600 + minutes * 60 + seconds + ms * 0.001;
}

bool SubtitleTrack::parseVtt(std::string_view text) {
  cues_.clear();
  std::vector<std::string_view> block;
  auto finish = [&] {
    // A cue is the block with an arrow: an optional name above it, its text below.
    for (size_t k = 0; k < block.size(); ++k) {
      size_t arrow = block[k].find("-->");
      if (arrow == std::string_view::npos) continue;
      std::string_view rest = block[k].substr(arrow + 3);
      while (!rest.empty() && isCSpace(rest.front())) rest.remove_prefix(1);
      size_t settings = rest.find_first_of(" \t");
      double start = parseVttTime(block[k].substr(0, arrow));
      double end = parseVttTime(rest.substr(0, settings));
      std::string raw;
      for (size_t t = k + 1; t < block.size(); ++t) {
        if (!raw.empty()) raw.push_back('\n');
        raw.append(block[t]);
      }
      std::string words = cleanText(raw);
      for (auto [entity, plain] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&nbsp;", " "}, {"&lrm;", ""}, {"&rlm;", ""},
                                   {"&amp;", "&"}})
        words = replaceAll(words, entity, plain);
      if (start >= 0 && end >= start && !words.empty()) cues_.push_back({start, end, std::move(words)});
      break;
    }
    block.clear();
  };
  bool header = true;  // "WEBVTT" and the lines under it
  for (std::string_view line : splitLines(text)) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (isBlankLine(line)) {
      if (!header) finish();
      header = false;
      block.clear();
      continue;
    }
    if (header && block.empty() && !startsWith(line, "WEBVTT")) header = false;
    block.push_back(line);
  }
  if (!header) finish();
  std::stable_sort(cues_.begin(), cues_.end(), [](const SubtitleCue& a, const SubtitleCue& b) {
    return a.start < b.start;
  });
  return !cues_.empty();
}

std::string SubtitleTrack::textAt(double position) const {
  if (cues_.empty()) return std::string();
  double t = position + delay_;
  ptrdiff_t low = 0, high = static_cast<ptrdiff_t>(cues_.size()) - 1;
  while (low <= high) {
    ptrdiff_t middle = low + (high - low) / 2;
    const SubtitleCue& cue = cues_[static_cast<size_t>(middle)];
    if (t > cue.end)
      low = middle + 1;
    else if (t >= cue.start)
      return cue.text;
    else
      high = middle - 1;
  }
  return std::string();
}

}  // namespace vell
