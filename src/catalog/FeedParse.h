// Episodes and stations read out of fetched documents: RSS feeds, the broadcaster's JSON, PLS.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace vell {

// The fetched documents are scanned as plain bytes for fixed keys and tags; there is no
// XML or JSON parser, which keeps odd feeds readable and every scan linear.

struct PodcastEpisode {
  std::string title;  // RSS: character references decoded (JSON: as found); may be empty
  std::string date;   // RSS: "07 Nov 2015"; JSON: the first 10 bytes as found; may be empty
  std::string url;    // media URL; never empty in a returned list

  bool operator==(const PodcastEpisode&) const = default;
};

// The value of the first "File1=" key of a PLS playlist (else of the first "file1="), up to
// the line end, trailing spaces and tabs removed. Empty when there is none.
std::string plsFirstEntry(std::string_view document);

// The url or href attribute of the first "<" + tag in `text` (a longer tag name with the
// same start matches too), with every "&amp;" decoded. A tag without '>' is taken to end
// 500 bytes after its '<'. Empty when there is none.
std::string extractTagUrl(std::string_view text, std::string_view tag);

// The first `max` items of an RSS document that carry a media URL: the enclosure, else
// media:content, else a <link> that names an audio file. Enclosures of a known non-media
// type (pictures, documents) are passed over. Text in the character set the XML
// declaration names is converted.
std::vector<PodcastEpisode> parseRssEpisodes(std::string_view document, int max);

// The first `max` episodes of the broadcaster's JSON episode list. Each entry's fields are
// looked for within 3000 bytes after its title key.
std::vector<PodcastEpisode> parseServiceEpisodes(std::string_view document, int max);

}  // namespace vell
