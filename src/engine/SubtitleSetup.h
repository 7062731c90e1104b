// What the input says about its subtitle streams and attached fonts, for the list and the decoder.
#pragma once
#include <memory>
#include <string>
#include <vector>

struct AVCodecParameters;

namespace vell {

// How a subtitle stream is drawn: plain text in the user's size and colour, by libass with the
// script's own styles, or as the pictures it carries.
enum class SubtitleKind { Text, Ass, Bitmap };

// One subtitle stream of the input, as the user picks among them.
struct SubtitleStream {
  int stream = -1;       // the demuxer's stream index
  std::string language;  // the tag as written ("kor", "eng"); empty when none
  std::string title;
  std::string codec;  // FFmpeg's short codec name ("ass", "subrip", "hdmv_pgs_subtitle")
  SubtitleKind kind = SubtitleKind::Text;
  bool isDefault = false;
  bool isForced = false;
};

// The track to start with when no file lies beside the medium: the one marked default or
// forced, else a Korean one, else none (-1). An index into `streams`.
int defaultSubtitleStream(const std::vector<SubtitleStream>& streams);
// The stream a remembered choice names: the same stream when its language still agrees, else the
// first of the remembered language; -1 when neither is there.
int rememberedSubtitleStream(const std::vector<SubtitleStream>& streams, int stream, const std::string& language);

// What the subtitle decoder needs of a stream, copied at open so that it never touches the input.
struct SubtitleSetup {
  int stream = -1;
  SubtitleKind kind = SubtitleKind::Text;
  std::shared_ptr<const AVCodecParameters> params;
  int timeBaseNum = 1, timeBaseDen = 1000;
};

// A font attached to the input (Matroska attachments), for libass.
struct FontFile {
  std::string name;
  std::string data;
};
using FontFiles = std::vector<FontFile>;

}  // namespace vell
