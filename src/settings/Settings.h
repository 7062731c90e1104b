// The user's preferences and the one process-wide record of them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vell {

// The user's persistent preferences, kept in "vell_player.ini" beside the program.
// One process-wide record (see settings()); commands read and change its fields in place.
struct Settings {
  static constexpr size_t kMaxRecent = 15;

  int32_t windowX = 100;
  int32_t windowY = 100;
  int32_t windowW = 1280;
  int32_t windowH = 720;
  bool maximized = false;
  float volume = 0.8f;
  bool muted = false;
  double speed = 1.0;
  bool showPlaylist = false;
  bool alwaysOnTop = false;
  bool compactView = false;
  int32_t wheelAction = 0;  // 0 the wheel changes the volume, 1 it seeks
  double wheelSeekDelta = 3.0;
  float opacity = 1.0f;
  float subtitleSize = 22.0f;
  bool subtitleVisible = true;
  int32_t subtitleColor = 0;
  double subtitleDelay = 0.0;
  int32_t aspectRatio = 0;
  std::vector<std::string> recent;  // newest first
  std::string lastPodcastUrl;
  std::string lastPodcastName;

  // Moves `path` to the front of the recent list (no duplicates, at most 15 entries).
  void addRecent(const std::string& path);

  // Fills the record from the file. False when the file cannot be read: every field then
  // keeps its value.
  bool load(const std::string& path);
  // Writes the whole record (temporary file, then rename). False when nothing was written.
  bool save(const std::string& path) const;

  // The file's bytes into the record: a line that does not convert leaves its field alone;
  // the recent list is replaced by the file's entries.
  void parse(std::string_view bytes);
  // The file's bytes for this record: byte-order mark, then "key=value" lines with LF ends.
  std::string serialize() const;
};

// The process-wide record.
Settings& settings();

// "vell_player.ini" in the program's directory.
std::string settingsFilePath();

}  // namespace vell
