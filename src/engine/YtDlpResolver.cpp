// Running yt-dlp and reading its answer; connection thread.
#include "engine/YtDlpResolver.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <vector>

#include "engine/VideoSite.h"
#include "platform/Log.h"
#include "platform/Text.h"

namespace vell {

namespace {

constexpr const char* kToolName = "yt-dlp";

// FFmpeg's own AV1 decoder only drives graphics hardware; software decoding needs a library.
bool hasAv1Decoder() {
  return avcodec_find_decoder_by_name("libdav1d") || avcodec_find_decoder_by_name("libaom-av1");
}

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

std::string YtDlpResolver::formatChoice(int maxHeight, bool withAv1) {
  const std::string height = "[height<=" + std::to_string(std::clamp(maxHeight, 1080, 2160)) + "]";
  // HDR pictures would come out washed out: the standard range is asked for where it is known.
  const std::string codecs = withAv1 ? "[vcodec~='^(avc1|vp0?9|av01)']" : "[vcodec~='^(avc1|vp0?9)']";
  return "bv*" + height + codecs + "[dynamic_range=?SDR]+ba/bv*" + height + "+ba/b" + height + "/b";
}

void YtDlpResolver::parseOutput(const std::string& output, ResolvedPage& page) {
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    std::string line = output.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    start = end + 1;
    if (line.empty()) continue;
    if (startsWith(line, "http")) {
      if (page.mediaUrl.empty())
        page.mediaUrl = line;
      else if (page.audioUrl.empty())
        page.audioUrl = line;
    } else if (page.title.empty()) {
      page.title = line;
    }
  }
}

std::string YtDlpResolver::run(const std::string& tool, const std::string& pageUrl, const std::string& format,
                               const std::atomic<bool>* cancel) {
  // "--" ends the options: a pasted text that starts with "-" can only ever be a URL. UTF-8
  // output: on Windows the tool otherwise writes the system's code page into a pipe.
  std::vector<std::string> args = {"--no-playlist", "-f", format, "--encoding", "utf-8", "--print", "title",
                                   "-g", "--", pageUrl};
  ProcessResult r = runProcess(tool, args, limits, cancel);
  // Warnings go to the log, never into the title.
  if (!r.errors.empty()) debugLog("yt-dlp stderr: %s\n", r.errors.substr(0, 2000).c_str());
  if (!r.started || r.killed || !r.exited || r.exitCode != 0) return {};
  return r.output;
}

std::string YtDlpResolver::resolve(const std::string& pageUrl, ResolvedPage& page, const std::atomic<bool>* cancel) {
  page = {};
  std::string tool = toolPath_.empty() ? findYtDlp() : toolPath_;
  if (tool.empty() || !isExecutableFile(tool)) {
    debugLog("yt-dlp not found\n");
    return {};
  }
  debugLog("yt-dlp resolving: %s\n", pageUrl.c_str());

  parseOutput(run(tool, pageUrl, formatChoice(maxHeight, hasAv1Decoder()), cancel), page);
  if (!page.mediaUrl.empty() && page.audioUrl == page.mediaUrl) page.audioUrl.clear();  // one input holds both
  if (!page.mediaUrl.empty() && !page.audioUrl.empty()) {
    debugLog("yt-dlp video: %s...\n", page.mediaUrl.substr(0, 80).c_str());
    debugLog("yt-dlp audio: %s...\n", page.audioUrl.substr(0, 80).c_str());
    return page.mediaUrl;
  }
  if (!page.mediaUrl.empty()) {
    debugLog("yt-dlp muxed: %s...\n", page.mediaUrl.substr(0, 80).c_str());
    return page.mediaUrl;
  }
  if (cancel && cancel->load()) return {};
  page = {};
  parseOutput(run(tool, pageUrl, "best", cancel), page);
  page.audioUrl.clear();
  if (!page.mediaUrl.empty()) {
    debugLog("yt-dlp fallback: %s...\n", page.mediaUrl.substr(0, 80).c_str());
    return page.mediaUrl;
  }
  page = {};
  debugLog("yt-dlp resolution failed\n");
  return {};
}

}  // namespace vell
