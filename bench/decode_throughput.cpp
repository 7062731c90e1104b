// Demux + decode + BGRA conversion of every frame as fast as possible through MediaSource and
// VideoDecoder, then the same work by the ffmpeg program; prints both frame rates and the ratio.
#include <chrono>
#include <cstdio>
#include <string>

extern "C" {
#include <libavcodec/packet.h>
}

#include "engine/MediaSource.h"
#include "engine/VideoDecoder.h"
#include "engine/VideoFrame.h"

namespace {

double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// Runs the reference decode and returns its wall time in seconds, or a negative value.
double ffmpegSeconds(const std::string& file, long* frames) {
  std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -stats -i '" + file +
                    "' -an -pix_fmt bgra -f null - 2>&1";
  double t0 = now();
  FILE* pipe = popen(cmd.c_str(), "r");
  if (!pipe) return -1;
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  int rc = pclose(pipe);
  double elapsed = now() - t0;
  if (rc != 0) return -1;
  // The last "frame=" figure of the progress line is the frame count.
  size_t pos = out.rfind("frame=");
  if (pos != std::string::npos) *frames = std::strtol(out.c_str() + pos + 6, nullptr, 10);
  return elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: decode_throughput FILE\n");
    return 2;
  }
  std::string file = argv[1];
  vell::MediaSource source;
  if (!source.openLocal(file) || !source.hasVideo()) {
    std::fprintf(stderr, "cannot open a video stream in %s\n", file.c_str());
    return 1;
  }
  vell::VideoDecoder decoder;
  if (!decoder.open(source.videoStreamParameters(), true) && !decoder.open(source.videoStreamParameters(), false)) {
    std::fprintf(stderr, "cannot open the decoder\n");
    return 1;
  }
  int videoIndex = source.videoStreamIndex();
  AVPacket* packet = av_packet_alloc();
  vell::VideoFrame frame;
  long frames = 0;
  double t0 = now();
  for (;;) {
    int r = source.readPacket(packet);
    if (r == 0) break;
    if (r < 0) continue;
    if (packet->stream_index == videoIndex) {
      decoder.sendPacket(packet);
      while (decoder.receiveFrame(frame)) ++frames;
    }
    av_packet_unref(packet);
  }
  decoder.sendPacket(nullptr);
  while (decoder.receiveFrame(frame)) ++frames;
  double engineSeconds = now() - t0;
  av_packet_free(&packet);

  long refFrames = 0;
  double refSeconds = ffmpegSeconds(file, &refFrames);
  double engineFps = frames / engineSeconds;
  std::printf("engine: %ld frames in %.3f s = %.1f fps (%s)\n", frames, engineSeconds, engineFps,
              decoder.usesHardware() ? "hardware" : "software");
  if (refSeconds <= 0) {
    std::printf("ffmpeg: failed\nratio=0\n");
    return 1;
  }
  double refFps = refFrames / refSeconds;
  std::printf("ffmpeg: %ld frames in %.3f s = %.1f fps\n", refFrames, refSeconds, refFps);
  std::printf("ratio=%.3f\n", engineFps / refFps);
  return 0;
}
