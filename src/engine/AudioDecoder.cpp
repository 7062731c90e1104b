// Decoding the chosen audio stream and resampling it for the output; playback thread, set up by the opener.
#include "engine/AudioDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>

#include "engine/AudioChunk.h"

namespace vell {

AudioDecoder::AudioDecoder() : decodedFrame_(av_frame_alloc()) {}

AudioDecoder::~AudioDecoder() {
  close();
  av_frame_free(&decodedFrame_);
}

bool AudioDecoder::open(const AVStream* stream, int outputRate, int outputChannels) {
  swr_free(&resampler_);
  avcodec_free_context(&codecContext_);
  speed_ = 1.0;
  if (!stream) return false;
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) return false;
  codecContext_ = avcodec_alloc_context3(codec);
  if (!codecContext_) return false;
  avcodec_parameters_to_context(codecContext_, stream->codecpar);
  codecContext_->pkt_timebase = stream->time_base;
  codecContext_->thread_count = 2;
  if (avcodec_open2(codecContext_, codec, nullptr) >= 0) {
    outputRate_ = outputRate;
    outputChannels_ = outputChannels;
    speed_ = 1.0;
    if (buildResampler()) return true;
  }
  close();
  return false;
}

namespace {

uint64_t layoutMask(const AVChannelLayout& layout) {
  return layout.order == AV_CHANNEL_ORDER_NATIVE ? layout.u.mask : 0;
}

}  // namespace

bool AudioDecoder::buildResampler(const AVFrame* frame) {
  swr_free(&resampler_);
  if (!codecContext_ || outputChannels_ < 1) return false;
  const AVChannelLayout& layout = frame ? frame->ch_layout : codecContext_->ch_layout;
  const int inRate = frame ? frame->sample_rate : codecContext_->sample_rate;
  const int inFormat = frame ? frame->format : codecContext_->sample_fmt;
  inputRate_ = inRate;
  inputFormat_ = inFormat;
  inputChannels_ = layout.nb_channels;
  inputMask_ = layoutMask(layout);
  double rate = std::trunc(outputRate_ / speed_);
  resamplerRate_ = static_cast<int>(std::clamp(rate, 8000.0, 192000.0));
  ++resamplerBuilds_;

  AVChannelLayout outLayout{};
  av_channel_layout_default(&outLayout, outputChannels_);
  AVChannelLayout inLayout{};
  if (layout.order == AV_CHANNEL_ORDER_UNSPEC || layout.nb_channels < 1)
    av_channel_layout_default(&inLayout, std::max(1, layout.nb_channels));
  else
    av_channel_layout_copy(&inLayout, &layout);
  int rc = swr_alloc_set_opts2(&resampler_, &outLayout, AV_SAMPLE_FMT_FLT, resamplerRate_, &inLayout,
                               static_cast<AVSampleFormat>(inFormat), inRate, 0, nullptr);
  av_channel_layout_uninit(&outLayout);
  av_channel_layout_uninit(&inLayout);
  if (rc < 0 || !resampler_ || swr_init(resampler_) < 0) {
    swr_free(&resampler_);
    return false;
  }
  return true;
}

void AudioDecoder::close() {
  swr_free(&resampler_);
  avcodec_free_context(&codecContext_);
  speed_ = 1.0;
  resamplerRate_ = 0;
  startTime_ = 0;
  inputRate_ = 0;
  inputFormat_ = -1;
  inputChannels_ = 0;
  inputMask_ = 0;
}

void AudioDecoder::flush() {
  if (codecContext_) avcodec_flush_buffers(codecContext_);
}

bool AudioDecoder::sendPacket(const AVPacket* packet) {
  return codecContext_ && avcodec_send_packet(codecContext_, packet) >= 0;
}

void AudioDecoder::setSpeed(double speed) {
  speed = std::clamp(speed, 0.1, 4.0);
  if (std::fabs(speed - speed_) < 0.001) return;
  speed_ = speed;
  // Samples still inside the old resampler are lost. The input stays as the frames last were.
  if (!codecContext_) return;
  swr_free(&resampler_);
  AVFrame* shape = av_frame_alloc();
  if (shape && inputRate_ > 0 && inputChannels_ > 0) {
    shape->sample_rate = inputRate_;
    shape->format = inputFormat_;
    if (inputMask_)
      av_channel_layout_from_mask(&shape->ch_layout, inputMask_);
    else
      av_channel_layout_default(&shape->ch_layout, inputChannels_);
    buildResampler(shape);
  } else {
    buildResampler();
  }
  av_frame_free(&shape);
}

bool AudioDecoder::receive(AudioChunk& chunk) {
  if (!codecContext_ || !resampler_) return false;
  if (avcodec_receive_frame(codecContext_, decodedFrame_) < 0) return false;
  // A stream that switches layout, rate or sample format (a station going to its news, a
  // podcast stitched from parts) needs a resampler for the new input.
  const AVFrame* f = decodedFrame_;
  if (f->sample_rate != inputRate_ || f->format != inputFormat_ || f->ch_layout.nb_channels != inputChannels_ ||
      layoutMask(f->ch_layout) != inputMask_) {
    if (f->sample_rate < 1 || f->ch_layout.nb_channels < 1 || !buildResampler(f)) {
      av_frame_unref(decodedFrame_);
      chunk.samples.clear();
      return false;
    }
  }

  int n = swr_get_out_samples(resampler_, decodedFrame_->nb_samples);
  if (n <= 0) n = 2 * decodedFrame_->nb_samples;
  chunk.samples.resize(static_cast<size_t>(n) * outputChannels_);
  uint8_t* out = reinterpret_cast<uint8_t*>(chunk.samples.data());
  int r = swr_convert(resampler_, &out, n, const_cast<const uint8_t**>(decodedFrame_->extended_data),
                      decodedFrame_->nb_samples);
  if (r > 0) {
    chunk.samples.resize(static_cast<size_t>(r) * outputChannels_);
    chunk.channels = outputChannels_;
    chunk.sampleRate = outputRate_;
    int64_t ts = decodedFrame_->best_effort_timestamp;
    if (ts == AV_NOPTS_VALUE) ts = decodedFrame_->pts;
    if (ts != AV_NOPTS_VALUE) chunk.pts = static_cast<double>(ts) * av_q2d(codecContext_->pkt_timebase) - startTime_;
    av_frame_unref(decodedFrame_);
    return true;
  }
  av_frame_unref(decodedFrame_);
  chunk.samples.clear();
  return false;
}

}  // namespace vell
