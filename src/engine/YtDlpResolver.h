// A video-site page to a direct media URL through the yt-dlp tool.
#pragma once
#include <atomic>
#include <string>

#include "platform/Process.h"

namespace vell {

// What the tool made of a page.
struct ResolvedPage {
  std::string mediaUrl;  // the picture's stream, or the one stream with picture and sound
  std::string audioUrl;  // the sound's own stream; empty when mediaUrl carries the sound
  std::string title;
};

// Turns a page of the video-sharing site into direct media URLs and a title, by running the
// external yt-dlp tool: the best picture the screen can use with the best sound, as two
// streams where the site keeps them apart. Keeps no state between calls.
class YtDlpResolver {
 public:
  // The tool beside the program wins over one on the search path.
  static std::string findYtDlp(const std::string& programDir, const std::string& searchPath);
  static std::string findYtDlp();
  static bool isVideoSitePage(const std::string& url);
  // Splits the tool's output: the first line starting with "http" is the media URL, a second
  // one the audio URL, the first other non-empty line the title.
  static void parseOutput(const std::string& output, ResolvedPage& page);
  // The tool's format choice: the best video no taller than `maxHeight` lines (clamped to
  // 1080..2160) in a codec decoded well in software, with the best audio; else the best
  // single stream of that height; else the best there is.
  static std::string formatChoice(int maxHeight, bool withAv1);

  // `toolPath` empty: look for the tool when resolving.
  explicit YtDlpResolver(std::string toolPath = {}) : toolPath_(std::move(toolPath)) {}

  // The media URL, or empty on failure. `cancel` ends a running tool at once.
  std::string resolve(const std::string& pageUrl, ResolvedPage& page, const std::atomic<bool>* cancel = nullptr);

  ProcessLimits limits;
  int maxHeight = 1080;  // the screen's height in pixels

 private:
  std::string run(const std::string& tool, const std::string& pageUrl, const std::string& format,
                  const std::atomic<bool>* cancel);
  std::string toolPath_;
};

}  // namespace vell
