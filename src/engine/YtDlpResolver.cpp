// Running yt-dlp and reading its answer; connection thread.
#include "engine/YtDlpResolver.h"

#include <vector>

#include "engine/VideoSite.h"
#include "platform/Log.h"
#include "platform/Text.h"

namespace vell {

namespace {

constexpr const char* kToolName = "yt-dlp";
constexpr const char* kMuxedFormat = "best[height<=1080][ext=mp4]/best[height<=1080]/best[ext=mp4]/best";

}  // namespace

std::string YtDlpResolver::findYtDlp(const std::string& programDir, const std::string& searchPath) {
  return findTool(kToolName, programDir, searchPath);
}

std::string YtDlpResolver::findYtDlp() { return findTool(kToolName); }

bool YtDlpResolver::isVideoSitePage(const std::string& url) {
  using namespace videosite;
  std::string main = kMainDomain;
  return contains(url, main + "/watch") || contains(url, main + "/shorts") ||
         contains(url, std::string(kShortLinkDomain) + "/") || contains(url, main + "/embed") ||
         contains(url, main + "/live") || contains(url, std::string(kMusicDomain) + "/");
}

void YtDlpResolver::parseOutput(const std::string& output, std::string& mediaUrl, std::string& title) {
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    std::string line = output.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    start = end + 1;
    if (line.empty()) continue;
    if (startsWith(line, "http")) {
      if (mediaUrl.empty()) mediaUrl = line;
    } else if (title.empty()) {
      title = line;
    }
  }
}

std::string YtDlpResolver::run(const std::string& tool, const std::string& pageUrl, const char* format,
                               const std::atomic<bool>* cancel) {
  // "--" ends the options: a pasted text that starts with "-" can only ever be a URL.
  std::vector<std::string> args = {"--no-playlist", "-f", format, "--print", "title", "-g", "--", pageUrl};
  ProcessResult r = runProcess(tool, args, limits, cancel);
  // Warnings go to the log, never into the title.
  if (!r.errors.empty()) debugLog("yt-dlp stderr: %s\n", r.errors.substr(0, 2000).c_str());
  if (!r.started || r.killed || !r.exited || r.exitCode != 0) return {};
  return r.output;
}

std::string YtDlpResolver::resolve(const std::string& pageUrl, std::string& mediaUrl, std::string& title,
                                   const std::atomic<bool>* cancel) {
  mediaUrl.clear();
  title.clear();
  std::string tool = toolPath_.empty() ? findYtDlp() : toolPath_;
  if (tool.empty() || !isExecutableFile(tool)) {
    debugLog("yt-dlp not found\n");
    return {};
  }
  debugLog("yt-dlp resolving: %s\n", pageUrl.c_str());

  parseOutput(run(tool, pageUrl, kMuxedFormat, cancel), mediaUrl, title);
  if (!mediaUrl.empty()) {
    debugLog("yt-dlp muxed: %s...\n", mediaUrl.substr(0, 80).c_str());
    return mediaUrl;
  }
  if (cancel && cancel->load()) return {};
  title.clear();
  parseOutput(run(tool, pageUrl, "best", cancel), mediaUrl, title);
  if (!mediaUrl.empty()) {
    debugLog("yt-dlp fallback: %s...\n", mediaUrl.substr(0, 80).c_str());
    return mediaUrl;
  }
  title.clear();
  debugLog("yt-dlp resolution failed\n");
  return {};
}

}  // namespace vell
