#include <cstdio>
#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

#include "engine/MediaSource.h"
#include "platform/Text.h"

namespace {

const char* kindName(vell::UrlKind kind) {
  switch (kind) {
    case vell::UrlKind::VideoSiteMedia: return "video-site media";
    case vell::UrlKind::Podcast: return "podcast";
    case vell::UrlKind::Radio: return "radio";
    case vell::UrlKind::Generic: return "generic";
  }
  return "?";
}

}  // namespace

// Until the window exists the program opens its argument and tells what it found.
int main(int argc, char** argv) {
  avformat_network_init();
  std::string target;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) target += ' ';
    target += argv[i];
  }
  if (target.size() >= 2 && target.front() == '"' && target.back() == '"') target = target.substr(1, target.size() - 2);
  if (target.empty()) {
    std::puts("Vell Player: usage: vell-player FILE-OR-URL");
    return 0;
  }

  vell::MediaSource source;
  bool network = target.find("://") != std::string::npos && !vell::startsWith(target, "file:");
  bool ok = network ? source.open(target, false) : source.openLocal(target);
  if (!ok) {
    std::printf("cannot open: %s\n", target.c_str());
    avformat_network_deinit();
    return 1;
  }
  vell::MediaInfo info = source.info();
  std::printf("kind: %s\n", network ? kindName(vell::classifyUrl(target, false)) : "local file");
  std::printf("streams: video %d, audio %d\n", info.videoStream, info.audioStream);
  std::printf("duration: %.3f s (%s)\n", info.duration, vell::formatClock(info.duration).c_str());
  if (info.hasVideo) std::printf("video: %dx%d at %.3f fps\n", info.width, info.height, info.frameRate);
  if (info.hasAudio)
    std::printf("audio: %s, %d Hz, %d channels, %d kbps\n", info.codecName.c_str(), info.sampleRate, info.channels,
                info.bitrateKbps);
  if (!info.title.empty()) std::printf("title: %s\n", info.title.c_str());
  if (!info.artist.empty()) std::printf("artist: %s\n", info.artist.c_str());
  if (!info.album.empty()) std::printf("album: %s\n", info.album.c_str());
  if (!info.stationName.empty()) std::printf("station: %s\n", info.stationName.c_str());
  if (!info.genre.empty()) std::printf("genre: %s\n", info.genre.c_str());
  std::vector<uint8_t> cover;
  std::string mime;
  if (source.extractCoverArt(cover, mime)) std::printf("cover art: %zu bytes, %s\n", cover.size(), mime.c_str());
  source.close();
  avformat_network_deinit();
  return 0;
}
