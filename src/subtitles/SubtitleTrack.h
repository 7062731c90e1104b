// The timed text of one SRT, SAMI or WebVTT file.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace vell {

struct SubtitleCue {
  double start = 0.0;  // seconds
  double end = 0.0;    // seconds, inclusive
  std::string text;    // lines separated by a single LF
};

// The timed text of one SRT, SAMI or WebVTT file and the user's delay for it.
class SubtitleTrack {
 public:
  // Removes every cue and sets the delay to 0.
  void clear();

  // A file: cleared, then loaded as SRT, SAMI or WebVTT by its extension; any other extension
  // loads nothing.
  bool loadFile(const std::string& path);
  // Clear, then parse the file; true when at least one cue was read.
  bool loadSrt(const std::string& path);
  bool loadSami(const std::string& path);
  bool loadVtt(const std::string& path);

  // Parsers over decoded text; they replace the cues and keep the delay. A SAMI file of
  // several languages gives the cues of one (the Korean class when there is one, else the
  // first class); its cues are put in time order. WebVTT's blocks other than cues (notes,
  // styles, regions) are skipped, and its tags and cue settings dropped.
  bool parseSrt(std::string_view text);
  bool parseSami(std::string_view text);
  bool parseVtt(std::string_view text);

  // The text due at `position` + delay, or empty.
  std::string textAt(double position) const;

  double delay() const { return delay_; }
  void setDelay(double seconds) { delay_ = seconds; }
  const std::vector<SubtitleCue>& cues() const { return cues_; }
  bool empty() const { return cues_.empty(); }

  // The file as UTF-8: UTF-8 with or without a byte-order mark, UTF-16 or UTF-32 with a
  // mark, else the legacy Korean code page (CP949), or Windows-1252 for a Western file that
  // is not Korean at all. Empty when unreadable.
  static std::string readTextFile(const std::string& path);
  static std::string decodeText(std::string_view bytes);
  // Removes every "<...>" tag (an unclosed "<" removes the rest), then "\N" becomes a LF.
  static std::string cleanText(std::string_view text);
  // "h:m:s,ms" or "h:m:s.ms" in seconds; 0 when neither form reads.
  static double parseTime(std::string_view text);
  // WebVTT's "h:mm:ss.ttt" or "mm:ss.ttt" in seconds; -1 when it does not read.
  static double parseVttTime(std::string_view text);

 private:
  std::vector<SubtitleCue> cues_;
  double delay_ = 0.0;
};

}  // namespace vell
