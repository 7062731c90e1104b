// A video-site page to a direct media URL through the yt-dlp tool.
#pragma once
#include <atomic>
#include <string>

#include "platform/Process.h"

namespace vell {

// Turns a page of the video-sharing site into one direct media URL (picture and sound in
// one file) and a title, by running the external yt-dlp tool. Keeps no state between calls.
class YtDlpResolver {
 public:
  // The tool beside the program wins over one on the search path.
  static std::string findYtDlp(const std::string& programDir, const std::string& searchPath);
  static std::string findYtDlp();
  static bool isVideoSitePage(const std::string& url);
  // Splits the tool's output: the first line starting with "http" is the media URL, the
  // first other non-empty line the title.
  static void parseOutput(const std::string& output, std::string& mediaUrl, std::string& title);

  // `toolPath` empty: look for the tool when resolving.
  explicit YtDlpResolver(std::string toolPath = {}) : toolPath_(std::move(toolPath)) {}

  // The media URL, or empty on failure. `cancel` ends a running tool at once.
  std::string resolve(const std::string& pageUrl, std::string& mediaUrl, std::string& title,
                      const std::atomic<bool>* cancel = nullptr);

  ProcessLimits limits;

 private:
  std::string run(const std::string& tool, const std::string& pageUrl, const char* format,
                  const std::atomic<bool>* cancel);
  std::string toolPath_;
};

}  // namespace vell
