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

bool AudioDecoder::buildResampler() {
  swr_free(&resampler_);
  if (!codecContext_ || outputChannels_ < 1) return false;
  double rate = std::trunc(outputRate_ / speed_);
  resamplerRate_ = static_cast<int>(std::clamp(rate, 8000.0, 192000.0));
  ++resamplerBuilds_;

  AVChannelLayout outLayout{};
  av_channel_layout_default(&outLayout, outputChannels_);
  AVChannelLayout inLayout{};
  if (codecContext_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || codecContext_->ch_layout.nb_channels < 1)
    av_channel_layout_default(&inLayout, std::max(1, codecContext_->ch_layout.nb_channels));
  else
    av_channel_layout_copy(&inLayout, &codecContext_->ch_layout);
  int rc = swr_alloc_set_opts2(&resampler_, &outLayout, AV_SAMPLE_FMT_FLT, resamplerRate_, &inLayout,
                               codecContext_->sample_fmt, codecContext_->sample_rate, 0, nullptr);
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
  buildResampler();  // samples still inside the old resampler are lost
}

bool AudioDecoder::receive(AudioChunk& chunk) {
  if (!codecContext_ || !resampler_) return false;
  if (avcodec_receive_frame(codecContext_, decodedFrame_) < 0) return false;

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
    if (decodedFrame_->pts != AV_NOPTS_VALUE)
      chunk.pts = static_cast<double>(decodedFrame_->pts) * av_q2d(codecContext_->pkt_timebase);
    av_frame_unref(decodedFrame_);
    return true;
  }
  av_frame_unref(decodedFrame_);
  chunk.samples.clear();
  return false;
}

}  // namespace vell
