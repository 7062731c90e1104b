// Decoding the chosen video stream, on a hardware device when one takes it; playback thread, set up by the opener.
#include "engine/VideoDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/hwcontext.h>
#include <libavutil/pixdesc.h>
}

#include <cmath>

#include "engine/HardwareDevices.h"
#include "engine/VideoFrame.h"
#include "platform/HardwareDecode.h"
#include "platform/Log.h"

namespace vell {

namespace {

// A picture that lives in a device's memory: it is copied to main memory before converting.
bool isHardwareFormat(int format) {
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(format));
  return desc && (desc->flags & AV_PIX_FMT_FLAG_HWACCEL);
}

// Whether the codec decodes on a device of this type given a device context.
bool codecUsesDevice(const AVCodec* codec, AVHWDeviceType type) {
  for (int i = 0;; ++i) {
    const AVCodecHWConfig* config = avcodec_get_hw_config(codec, i);
    if (!config) return false;
    if ((config->methods & AV_CODEC_HW_CONFIG_METHOD_HW_DEVICE_CTX) && config->device_type == type) return true;
  }
}

// Pictures left out in a row in a hurry: the ones nothing refers to lie between two that are
// referred to, a handful at most.
constexpr double kMaxSkippedRun = 16;

// The picture's timestamp as the decoder gives it, before any conversion to seconds.
int64_t rawTimestamp(const AVFrame* frame) {
  return frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
}

}  // namespace

VideoDecoder::VideoDecoder() : decodedFrame_(av_frame_alloc()), quickFrame_(av_frame_alloc()) {}

VideoDecoder::~VideoDecoder() {
  close();
  av_frame_free(&decodedFrame_);
  av_frame_free(&quickFrame_);
}

void VideoDecoder::openQuickStart(const AVStream* stream) {
  // Worth it only where the main decoder holds pictures back: frame threads or reordering.
  // A device decodes with little delay of its own.
  if (hardwareDevice_ || !((codecContext_->active_thread_type & FF_THREAD_FRAME) || codecContext_->has_b_frames > 0))
    return;
  quickContext_ = avcodec_alloc_context3(codecContext_->codec);
  if (!quickContext_ || avcodec_parameters_to_context(quickContext_, stream->codecpar) < 0) {
    dropQuickStart();
    return;
  }
  quickContext_->pkt_timebase = stream->time_base;
  quickContext_->max_pixels = codecContext_->max_pixels;
  quickContext_->thread_count = 1;
  if (avcodec_open2(quickContext_, codecContext_->codec, nullptr) < 0) dropQuickStart();
}

void VideoDecoder::quickStart(const AVPacket* packet) {
  AVCodecContext* quick = quickContext_;
  quickContext_ = nullptr;  // one packet only, whatever comes of it
  if (packet->flags & AV_PKT_FLAG_KEY) {
    // Sending the end of input after the packet makes the decoder give its picture at once.
    if (avcodec_send_packet(quick, packet) >= 0 && avcodec_send_packet(quick, nullptr) >= 0 &&
        avcodec_receive_frame(quick, quickFrame_) >= 0) {
      quickTimestamp_ = rawTimestamp(quickFrame_);
      if (quickTimestamp_ == AV_NOPTS_VALUE) av_frame_unref(quickFrame_);  // its copy could not be told apart
    }
  }
  avcodec_free_context(&quick);
}

void VideoDecoder::dropQuickStart() {
  avcodec_free_context(&quickContext_);
  av_frame_unref(quickFrame_);
  quickGiven_ = false;
}

bool VideoDecoder::open(const AVStream* stream, bool allowHardware) {
  close();
  if (!stream) return false;
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) return false;
  codecContext_ = avcodec_alloc_context3(codec);
  if (!codecContext_) return false;
  if (avcodec_parameters_to_context(codecContext_, stream->codecpar) < 0) {
    close();
    return false;
  }
  codecContext_->pkt_timebase = stream->time_base;
  // A picture beyond the limit is refused before its buffers are allocated.
  codecContext_->max_pixels = static_cast<int64_t>(kMaxPictureSide) * kMaxPictureSide;
  codecContext_->thread_count = 0;
  codecContext_->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;

  if (allowHardware) {
    // The system's devices, best first. The preferred one is opened only for a codec that
    // decodes on it, a fallback whenever the ones before it did not open. Without a device
    // (or with one the codec cannot use) the codec decodes in software.
    std::vector<std::string> devices = hardwareDecodeDevices();
    for (size_t i = 0; i < devices.size() && !hardwareDevice_; ++i) {
      AVHWDeviceType type = av_hwdevice_find_type_by_name(devices[i].c_str());
      if (type == AV_HWDEVICE_TYPE_NONE || (i == 0 && !codecUsesDevice(codec, type))) continue;
      hardwareDevice_ = hardwareDevices::acquire(type);
      hardwareType_ = type;
    }
    if (hardwareDevice_) codecContext_->hw_device_ctx = av_buffer_ref(hardwareDevice_);
    checkHardware_ = hardwareDevice_ != nullptr;
  }

  if (avcodec_open2(codecContext_, codec, nullptr) < 0) {
    close();
    return false;
  }
  width_ = codecContext_->width;
  height_ = codecContext_->height;
  geometry_ = streamGeometry(stream);
  AVRational rate = stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0 ? stream->avg_frame_rate
                                                                                    : stream->r_frame_rate;
  if (rate.num > 0 && rate.den > 0 && av_q2d(rate) >= 1 && av_q2d(rate) <= 1000) frameDuration_ = 1.0 / av_q2d(rate);
  openQuickStart(stream);
  return true;
}

std::string VideoDecoder::codecName() const {
  return codecContext_ && codecContext_->codec ? codecContext_->codec->name : "";
}

void VideoDecoder::close() {
  dropQuickStart();
  converter_.reset();
  avcodec_free_context(&codecContext_);
  av_buffer_unref(&hardwareDevice_);
  width_ = height_ = 0;
  geometry_ = {};
  startTime_ = 0;
  tooLargeLogged_ = false;
  checkHardware_ = decodedOnDevice_ = false;
  frameDuration_ = 0.04;
  lastPts_ = -1;
  skipBefore_ = -1;
  hurry_ = false;
  skippedPictures_ = 0;
}

void VideoDecoder::flush() {
  dropQuickStart();
  if (codecContext_) avcodec_flush_buffers(codecContext_);
}

bool VideoDecoder::packetTime(const AVPacket* packet, double& seconds) const {
  if (!codecContext_ || !packet || packet->pts == AV_NOPTS_VALUE || codecContext_->pkt_timebase.den < 1) return false;
  seconds = av_q2d(codecContext_->pkt_timebase) * static_cast<double>(packet->pts) - startTime_;
  return true;
}

bool VideoDecoder::sendPacket(const AVPacket* packet) {
  if (!codecContext_) return false;
  // Only pictures that are never shown and never referred to are skipped: every one the
  // target is built from is decoded whole (skipping their loop filter would change it).
  double t = 0;
  const bool beforeTarget = skipBefore_ >= 0 && packetTime(packet, t) && t < skipBefore_;
  const bool hurry = hurry_ && !beforeTarget;
  codecContext_->skip_frame = beforeTarget || hurry ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
  codecContext_->skip_loop_filter = hurry ? AVDISCARD_ALL : AVDISCARD_DEFAULT;
  if (quickContext_ && packet && !beforeTarget) quickStart(packet);
  return avcodec_send_packet(codecContext_, packet) >= 0;
}

bool VideoDecoder::framePts(double& seconds) const {
  int64_t ts = decodedFrame_->best_effort_timestamp;
  if (ts == AV_NOPTS_VALUE) ts = decodedFrame_->pts;
  if (ts == AV_NOPTS_VALUE) return false;
  AVRational tb{0, 1};
  if (codecContext_->pkt_timebase.den >= 1)
    tb = codecContext_->pkt_timebase;
  else if (codecContext_->time_base.den >= 1)
    tb = codecContext_->time_base;
  if (tb.den < 1) return false;
  seconds = static_cast<double>(tb.num) / tb.den * static_cast<double>(ts) - startTime_;
  return true;
}

bool VideoDecoder::receivePicture(VideoFrame& frame) {
  if (!codecContext_) return false;
  for (;;) {
    if (quickFrame_->buf[0]) {
      av_frame_move_ref(decodedFrame_, quickFrame_);
      quickGiven_ = true;
    } else if (avcodec_receive_frame(codecContext_, decodedFrame_) < 0) {
      return false;
    } else if (quickGiven_) {
      // The main decoder's copy of the picture given early, and anything before it.
      const int64_t ts = rawTimestamp(decodedFrame_);
      if (ts != AV_NOPTS_VALUE && ts <= quickTimestamp_) {
        av_frame_unref(decodedFrame_);
        continue;
      }
      quickGiven_ = false;
    }
    double pts = 0;
    if (checkHardware_) {
      // A device the decoder could not set up leaves it decoding in software: said once, so
      // that later media do not pay for the device again.
      checkHardware_ = false;
      decodedOnDevice_ = isHardwareFormat(decodedFrame_->format);
      if (!decodedOnDevice_) hardwareDevices::markUnusable(hardwareType_);
    }
    if (skipBefore_ < 0 || !framePts(pts) || pts >= skipBefore_) break;
    lastPts_ = pts;
    av_frame_unref(decodedFrame_);  // before the target: never shown, not converted
  }

  double keepPts = frame.pts;
  frame.releasePixels();
  frame.pts = keepPts;
  frame.picture = av_frame_alloc();
  if (!frame.picture) {
    av_frame_unref(decodedFrame_);
    return false;
  }
  if (isHardwareFormat(decodedFrame_->format)) {
    if (av_hwframe_transfer_data(frame.picture, decodedFrame_, 0) < 0) {
      av_frame_unref(decodedFrame_);
      frame.releasePixels();
      return false;
    }
  } else {
    av_frame_ref(frame.picture, decodedFrame_);
  }
  const AVFrame* source = frame.picture;
  if (source->width > kMaxPictureSide || source->height > kMaxPictureSide || source->width < 1 || source->height < 1) {
    if (!tooLargeLogged_ && source->width > 0)
      debugLog("Picture %dx%d is too large to show (limit %d pixels a side)\n", source->width, source->height,
               kMaxPictureSide);
    tooLargeLogged_ = true;
    av_frame_unref(decodedFrame_);
    frame.releasePixels();
    return false;
  }

  // Containers without presentation times (AVI, raw streams) leave pts empty; the decoder's
  // best guess orders B-frames correctly.
  int64_t ts = decodedFrame_->best_effort_timestamp;
  if (ts == AV_NOPTS_VALUE) ts = decodedFrame_->pts;
  if (ts != AV_NOPTS_VALUE) {
    framePts(frame.pts);
    // A longer gap is a drop to the next key frame, counted where it is made.
    const double gap = frame.pts - lastPts_;
    if (hurry_ && lastPts_ >= 0 && gap > frameDuration_ * 1.5 && gap < frameDuration_ * kMaxSkippedRun)
      skippedPictures_ += static_cast<int>(std::lround(gap / frameDuration_)) - 1;
  } else if (lastPts_ >= 0) {
    // Raw elementary streams carry no times at all: one picture follows the other.
    double step = frameDuration_;
    if (decodedFrame_->pkt_duration > 0 && codecContext_->pkt_timebase.den >= 1)
      step = static_cast<double>(decodedFrame_->pkt_duration) * av_q2d(codecContext_->pkt_timebase);
    frame.pts = lastPts_ + step;
  } else {
    frame.pts = 0;
  }
  lastPts_ = frame.pts;
  frame.geometry = frameGeometry(decodedFrame_, geometry_);
  av_frame_unref(decodedFrame_);
  return true;
}

int VideoDecoder::takeSkippedPictures() {
  const int n = skippedPictures_;
  skippedPictures_ = 0;
  return n;
}

bool VideoDecoder::receiveFrame(VideoFrame& frame) {
  return receivePicture(frame) && converter_.convert(frame, 0, 0);
}

}  // namespace vell
