// The streams of an input as the player offers them: audio tracks, subtitle streams, the HLS
// variant kept, and which track to start with.
#include "engine/StreamTracks.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
}

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/StationText.h"

namespace vell {

namespace {

bool isKorean(const std::string& language) { return language == "kor" || language == "ko"; }

// The choice a remembered track names, by stream and language (audio and subtitles alike).
template <class Track>
int rememberedTrack(const std::vector<Track>& tracks, int stream, const std::string& language) {
  for (size_t i = 0; i < tracks.size(); ++i)
    if (tracks[i].stream == stream && (language.empty() || tracks[i].language == language)) return static_cast<int>(i);
  if (language.empty()) return -1;
  for (size_t i = 0; i < tracks.size(); ++i)
    if (tracks[i].language == language) return static_cast<int>(i);
  return -1;
}

}  // namespace

void keepOneVariant(AVFormatContext* ctx) {
  if (ctx->nb_programs < 2 || !ctx->iformat || std::strcmp(ctx->iformat->name, "hls") != 0) return;
  const AVProgram* chosen = nullptr;
  int64_t chosenRate = -1;
  for (unsigned i = 0; i < ctx->nb_programs; ++i) {
    const AVProgram* p = ctx->programs[i];
    if (p->nb_stream_indexes == 0) continue;  // its playlist failed
    const AVDictionaryEntry* e = av_dict_get(p->metadata, "variant_bitrate", nullptr, 0);
    int64_t rate = e ? std::strtoll(e->value, nullptr, 10) : 0;
    if (rate > chosenRate) {
      chosen = p;
      chosenRate = rate;
    }
  }
  if (!chosen) return;
  const unsigned* first = chosen->stream_index;
  const unsigned* last = first + chosen->nb_stream_indexes;
  for (unsigned i = 0; i < ctx->nb_streams; ++i)
    if (std::find(first, last, i) == last) ctx->streams[i]->discard = AVDISCARD_ALL;
}

std::vector<AudioTrack> listAudioTracks(AVFormatContext* ctx, int videoStream) {
  const AVProgram* program = nullptr;
  for (unsigned p = 0; videoStream >= 0 && p < ctx->nb_programs && !program; ++p)
    for (unsigned k = 0; k < ctx->programs[p]->nb_stream_indexes; ++k)
      if (static_cast<int>(ctx->programs[p]->stream_index[k]) == videoStream) program = ctx->programs[p];
  auto inProgram = [&](unsigned i) {
    if (!program) return true;
    const unsigned* first = program->stream_index;
    const unsigned* last = first + program->nb_stream_indexes;
    return std::find(first, last, i) != last;
  };
  std::vector<AudioTrack> tracks;
  for (int pass = 0; pass < 2 && tracks.empty(); ++pass) {
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
      const AVStream* st = ctx->streams[i];
      const AVCodecParameters* par = st->codecpar;
      if (par->codec_type != AVMEDIA_TYPE_AUDIO || st->discard == AVDISCARD_ALL) continue;
      if (pass == 0 && !inProgram(i)) continue;
      if (!avcodec_find_decoder(par->codec_id)) continue;
      AudioTrack t;
      t.stream = static_cast<int>(i);
      if (const AVDictionaryEntry* e = av_dict_get(st->metadata, "language", nullptr, 0)) t.language = e->value;
      if (t.language == "und") t.language.clear();
      if (const AVDictionaryEntry* e = av_dict_get(st->metadata, "title", nullptr, 0)) t.title = oneLineTitle(e->value);
      if (const AVCodecDescriptor* d = avcodec_descriptor_get(par->codec_id)) t.codec = d->name;
      t.channels = par->ch_layout.nb_channels;
      char layout[64] = {};
      if (par->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC && av_channel_layout_describe(&par->ch_layout, layout, sizeof layout) > 0)
        t.layout = layout;
      t.isDefault = (st->disposition & AV_DISPOSITION_DEFAULT) != 0;
      tracks.push_back(std::move(t));
    }
  }
  return tracks;
}

void listSubtitleStreams(AVFormatContext* ctx, std::vector<SubtitleStream>& streams,
                         std::vector<SubtitleSetup>& setups) {
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    const AVStream* st = ctx->streams[i];
    const AVCodecParameters* par = st->codecpar;
    if (par->codec_type != AVMEDIA_TYPE_SUBTITLE || st->discard == AVDISCARD_ALL) continue;
    const AVCodecDescriptor* d = avcodec_descriptor_get(par->codec_id);
    if (!d || !avcodec_find_decoder(par->codec_id)) continue;
    SubtitleStream s;
    s.stream = static_cast<int>(i);
    if (par->codec_id == AV_CODEC_ID_ASS || par->codec_id == AV_CODEC_ID_SSA)
      s.kind = SubtitleKind::Ass;
    else if (d->props & AV_CODEC_PROP_BITMAP_SUB)
      s.kind = SubtitleKind::Bitmap;
    else if (!(d->props & AV_CODEC_PROP_TEXT_SUB))
      continue;
    if (const AVDictionaryEntry* e = av_dict_get(st->metadata, "language", nullptr, 0)) s.language = e->value;
    if (s.language == "und") s.language.clear();
    if (const AVDictionaryEntry* e = av_dict_get(st->metadata, "title", nullptr, 0)) s.title = oneLineTitle(e->value);
    s.codec = d->name;
    s.isDefault = (st->disposition & AV_DISPOSITION_DEFAULT) != 0;
    s.isForced = (st->disposition & AV_DISPOSITION_FORCED) != 0;
    AVCodecParameters* copy = avcodec_parameters_alloc();
    if (!copy || avcodec_parameters_copy(copy, par) < 0) {
      avcodec_parameters_free(&copy);
      continue;
    }
    SubtitleSetup setup;
    setup.stream = s.stream;
    setup.kind = s.kind;
    setup.params = std::shared_ptr<const AVCodecParameters>(copy, [](const AVCodecParameters* p) {
      auto* owned = const_cast<AVCodecParameters*>(p);
      avcodec_parameters_free(&owned);
    });
    setup.timeBaseNum = st->time_base.num;
    setup.timeBaseDen = st->time_base.den;
    streams.push_back(std::move(s));
    setups.push_back(std::move(setup));
  }
}

void takeAudioFormat(MediaInfo& info, const AVStream* stream) {
  const AVCodecParameters* par = stream->codecpar;
  info.sampleRate = par->sample_rate;
  info.channels = par->ch_layout.nb_channels;
  info.codecName.clear();
  if (const AVCodecDescriptor* d = avcodec_descriptor_get(par->codec_id)) info.codecName = d->name;
}

int defaultAudioTrack(const std::vector<AudioTrack>& tracks) {
  if (tracks.empty()) return -1;
  for (size_t i = 0; i < tracks.size(); ++i)
    if (tracks[i].isDefault) return static_cast<int>(i);
  for (size_t i = 0; i < tracks.size(); ++i)
    if (isKorean(tracks[i].language)) return static_cast<int>(i);
  return 0;
}

int rememberedAudioTrack(const std::vector<AudioTrack>& tracks, int stream, const std::string& language) {
  return rememberedTrack(tracks, stream, language);
}

int defaultSubtitleStream(const std::vector<SubtitleStream>& streams) {
  for (size_t i = 0; i < streams.size(); ++i)
    if (streams[i].isDefault || streams[i].isForced) return static_cast<int>(i);
  for (size_t i = 0; i < streams.size(); ++i)
    if (isKorean(streams[i].language)) return static_cast<int>(i);
  return -1;
}

int rememberedSubtitleStream(const std::vector<SubtitleStream>& streams, int stream, const std::string& language) {
  return rememberedTrack(streams, stream, language);
}

}  // namespace vell
