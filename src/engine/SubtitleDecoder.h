// Decoding one text or bitmap subtitle stream with FFmpeg's decoder; subtitle thread.
#pragma once
#include <string>
#include <string_view>

#include "engine/SubtitleSetup.h"

struct AVCodecContext;
struct AVPacket;

namespace vell {

class SubtitleStore;

// Decodes one text stream (SubRip, mov_text, WebVTT) into plain text events, or one bitmap
// stream (PGS, DVD, DVB) into pictures in premultiplied BGRA, and hands them to the store.
// Times are media seconds: the input's start time is taken off.
class SubtitleDecoder {
 public:
  SubtitleDecoder() = default;
  ~SubtitleDecoder();
  SubtitleDecoder(const SubtitleDecoder&) = delete;
  SubtitleDecoder& operator=(const SubtitleDecoder&) = delete;

  // `videoWidth` x `videoHeight` is the picture a bitmap track is placed on when it names no
  // size of its own.
  bool open(const SubtitleSetup& setup, int videoWidth, int videoHeight, double startTime);
  void close();
  void flush();
  bool isOpen() const { return context_ != nullptr; }
  // A damaged packet is skipped.
  void decode(const AVPacket* packet, SubtitleStore& store);

  // The words of one event line as FFmpeg's text decoders write it ("ReadOrder,Layer,Style,
  // Name,MarginL,MarginR,MarginV,Effect,Text", or a whole "Dialogue:" line): the override blocks
  // go, "\N" breaks the line, "\h" is a space.
  static std::string assDialogueText(std::string_view line);

 private:
  AVCodecContext* context_ = nullptr;
  SubtitleKind kind_ = SubtitleKind::Text;
  double timeBase_ = 0.001;
  double startTime_ = 0;
  int videoWidth_ = 0, videoHeight_ = 0;
};

}  // namespace vell
