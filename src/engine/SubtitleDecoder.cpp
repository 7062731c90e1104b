// FFmpeg's subtitle decoders: text events as plain text, bitmap events as BGRA pictures.
#include "engine/SubtitleDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <cstdint>
#include <memory>

#include "engine/SubtitleStore.h"
#include "engine/VideoFrame.h"

namespace vell {

namespace {

// Straight 0xAARRGGBB to premultiplied.
uint32_t premultiplied(uint32_t argb) {
  const uint32_t a = argb >> 24;
  auto channel = [&](int shift) { return ((((argb >> shift) & 0xFF) * a + 127) / 255) << shift; };
  return (a << 24) | channel(16) | channel(8) | channel(0);
}

// One palette picture of a bitmap event as BGRA; false when it is empty or impossible.
bool convertRect(const AVSubtitleRect* r, SubtitleImage& out) {
  if (r->type != SUBTITLE_BITMAP || !r->data[0] || !r->data[1] || r->w <= 0 || r->h <= 0 || r->w > kMaxPictureSide ||
      r->h > kMaxPictureSide || r->linesize[0] < r->w)
    return false;
  const int colours = std::clamp(r->nb_colors, 0, 256);
  uint32_t palette[256] = {};
  const auto* source = reinterpret_cast<const uint32_t*>(r->data[1]);
  for (int i = 0; i < colours; ++i) palette[i] = premultiplied(source[i]);
  out.x = r->x;
  out.y = r->y;
  out.width = r->w;
  out.height = r->h;
  out.pixels.resize(static_cast<size_t>(r->w) * r->h);
  for (int y = 0; y < r->h; ++y) {
    const uint8_t* row = r->data[0] + static_cast<size_t>(y) * r->linesize[0];
    uint32_t* to = out.pixels.data() + static_cast<size_t>(y) * r->w;
    for (int x = 0; x < r->w; ++x) to[x] = palette[row[x]];  // past nb_colors: transparent
  }
  return true;
}

}  // namespace

SubtitleDecoder::~SubtitleDecoder() { close(); }

bool SubtitleDecoder::open(const SubtitleSetup& setup, int videoWidth, int videoHeight, double startTime) {
  close();
  if (!setup.params || setup.kind == SubtitleKind::Ass) return false;
  const AVCodec* codec = avcodec_find_decoder(setup.params->codec_id);
  if (!codec) return false;
  context_ = avcodec_alloc_context3(codec);
  if (!context_) return false;
  avcodec_parameters_to_context(context_, setup.params.get());
  if (setup.timeBaseNum > 0 && setup.timeBaseDen > 0)
    context_->pkt_timebase = AVRational{setup.timeBaseNum, setup.timeBaseDen};
  if (avcodec_open2(context_, codec, nullptr) < 0) {
    close();
    return false;
  }
  kind_ = setup.kind;
  timeBase_ = setup.timeBaseNum > 0 && setup.timeBaseDen > 0
                  ? static_cast<double>(setup.timeBaseNum) / setup.timeBaseDen
                  : 0.001;
  startTime_ = startTime;
  videoWidth_ = videoWidth;
  videoHeight_ = videoHeight;
  return true;
}

void SubtitleDecoder::close() { avcodec_free_context(&context_); }

void SubtitleDecoder::flush() {
  if (context_) avcodec_flush_buffers(context_);
}

void SubtitleDecoder::decode(const AVPacket* packet, SubtitleStore& store) {
  if (!context_ || !packet) return;
  const int64_t stamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
  if (stamp == AV_NOPTS_VALUE) return;  // no time to show it at
  AVSubtitle sub{};
  int got = 0;
  // The decoder takes a packet it does not change; older FFmpeg spells that without const.
  if (avcodec_decode_subtitle2(context_, &sub, &got, const_cast<AVPacket*>(packet)) < 0 || !got) return;
  const double at = static_cast<double>(stamp) * timeBase_ - startTime_;
  const double start = at + sub.start_display_time * 0.001;
  double end = -1;  // until the next event
  if (sub.end_display_time > sub.start_display_time && sub.end_display_time != UINT32_MAX)
    end = at + sub.end_display_time * 0.001;
  else if (packet->duration > 0)
    end = at + static_cast<double>(packet->duration) * timeBase_;

  if (kind_ == SubtitleKind::Bitmap) {
    auto event = std::make_shared<SubtitleBitmaps>();
    event->start = start;
    event->end = end;
    event->width = context_->width > 0 ? context_->width : videoWidth_;
    event->height = context_->height > 0 ? context_->height : videoHeight_;
    for (unsigned i = 0; i < sub.num_rects; ++i) {
      SubtitleImage image;
      if (convertRect(sub.rects[i], image)) event->rects.push_back(std::move(image));
    }
    if (event->width > 0 && event->height > 0) store.addBitmaps(std::move(event));
  } else {
    std::string text;
    for (unsigned i = 0; i < sub.num_rects; ++i) {
      const AVSubtitleRect* r = sub.rects[i];
      std::string line = r->type == SUBTITLE_ASS && r->ass     ? assDialogueText(r->ass)
                         : r->type == SUBTITLE_TEXT && r->text ? std::string(r->text)
                                                               : std::string();
      if (line.empty()) continue;
      if (!text.empty()) text.push_back('\n');
      text += line;
    }
    store.addText(start, end, std::move(text));
  }
  avsubtitle_free(&sub);
}

std::string SubtitleDecoder::assDialogueText(std::string_view line) {
  // The text follows the eighth comma (the ninth of a whole "Dialogue:" line).
  int commas = line.substr(0, 9) == "Dialogue:" ? 9 : 8;
  size_t at = 0;
  while (commas > 0 && at < line.size())
    if (line[at++] == ',') --commas;
  if (commas > 0) return std::string();
  std::string out;
  for (size_t i = at; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '{') {
      size_t close = line.find('}', i);
      if (close == std::string_view::npos) break;
      i = close;
    } else if (c == '\\' && i + 1 < line.size() && (line[i + 1] == 'N' || line[i + 1] == 'n')) {
      out.push_back('\n');
      ++i;
    } else if (c == '\\' && i + 1 < line.size() && line[i + 1] == 'h') {
      out.push_back(' ');
      ++i;
    } else if (c != '\r') {
      out.push_back(c);
    }
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

}  // namespace vell
