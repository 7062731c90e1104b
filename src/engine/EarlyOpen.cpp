#include "engine/EarlyOpen.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstdint>
#include <system_error>
#include <vector>

#include "engine/StreamTracks.h"
#include "engine/VideoFrame.h"

namespace vell {

bool probeStreams(AVFormatContext* ctx) {
  keepOneVariant(ctx);
  // Probing may decode a picture: one beyond the limit is refused before its buffers exist.
  // One thread: a probe decodes a picture or two, and a pool of frame threads costs more to
  // start and to fill than that (about 15 ms of every open at 1080p).
  std::vector<AVDictionary*> probe(ctx->nb_streams, nullptr);
  for (AVDictionary*& d : probe) {
    av_dict_set_int(&d, "max_pixels", int64_t{kMaxPictureSide} * kMaxPictureSide, 0);
    av_dict_set_int(&d, "threads", 1, 0);
  }
  int found = avformat_find_stream_info(ctx, probe.empty() ? nullptr : probe.data());
  for (AVDictionary*& d : probe) av_dict_free(&d);
  return found >= 0;
}

EarlyOpen::~EarlyOpen() { drop(); }

bool EarlyOpen::start(const std::string& path) {
  drop();
  path_ = path;
  try {
    thread_ = std::thread([this, path] {
      AVFormatContext* ctx = avformat_alloc_context();
      if (ctx && avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) < 0) ctx = nullptr;  // freed by it
      if (ctx && !probeStreams(ctx)) avformat_close_input(&ctx);
      context_ = ctx;
    });
  } catch (const std::system_error&) {
    path_.clear();
    return false;
  }
  return true;
}

AVFormatContext* EarlyOpen::take(const std::string& path) {
  if (thread_.joinable()) thread_.join();
  AVFormatContext* ctx = nullptr;
  if (path == path_) std::swap(ctx, context_);
  drop();
  return ctx;
}

void EarlyOpen::drop() {
  if (thread_.joinable()) thread_.join();
  if (context_) avformat_close_input(&context_);
  path_.clear();
}

}  // namespace vell
