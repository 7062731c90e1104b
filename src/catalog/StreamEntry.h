// One station or podcast of the catalogue and its stream type.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace vell {

// Stored as a 32-bit integer; the catalogue files name it by keyword. Values 0 to 2 are
// radio, 3 and above are podcasts.
enum StreamType : int32_t {
  RADIO_MP3 = 0,    // directly playable stream
  RADIO_HLS = 1,    // HLS playlist
  RADIO_PLS = 2,    // PLS playlist
  PODCAST_RSS = 3,  // RSS feed
  PODCAST_SBS = 4,  // broadcaster's episode-list service; url holds the program identifier
};

inline bool isPodcastType(int32_t type) { return type > 2; }

// "RADIO_MP3" for a value outside 0 to 4.
const char* streamTypeKeyword(int32_t type);
// Exact, case-sensitive match; any other text is RADIO_MP3.
int32_t streamTypeFromKeyword(std::string_view keyword);

struct StreamEntry {
  int32_t type = RADIO_MP3;
  std::string id;           // the key for edits, hides and look-ups
  std::string name;
  std::string genre;        // grouping label in the browser
  std::string description;
  std::string url;          // stream, playlist or feed URL, or program identifier
  bool isUser = false;      // added by the user
  bool isModified = false;  // a built-in replaced by the user's edit

  bool operator==(const StreamEntry&) const = default;
};

}  // namespace vell
