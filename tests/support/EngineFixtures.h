// Pieces the engine and audio tests share.
#pragma once
#include <cmath>

extern "C" {
#include <libavcodec/packet.h>
}

#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "engine/AudioChunk.h"
#include "engine/Player.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "support/FakeTool.h"
#include "support/TempDir.h"

namespace vell::test {

struct PacketGuard {
  AVPacket* p = av_packet_alloc();
  ~PacketGuard() { av_packet_free(&p); }
};

// Collects the log written while it lives.
struct LogCapture {
  std::mutex m;
  std::string text;
  LogCapture() {
    setLogSink([this](const std::string& line) {
      std::lock_guard<std::mutex> lock(m);
      text += line;
    });
  }
  ~LogCapture() { setLogSink(nullptr); }
  // How often `s` was written.
  int count(const std::string& s) {
    std::lock_guard<std::mutex> lock(m);
    int n = 0;
    for (size_t at = text.find(s); at != std::string::npos; at = text.find(s, at + s.size())) ++n;
    return n;
  }
};

inline void waitMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Waits up to `ms` for the condition; true when it came true.
template <class F>
bool waitFor(F condition, uint32_t ms) {
  for (uint32_t t0 = tickCount(); !condition(); waitMs(2))
    if (tickCount() - t0 > ms) return false;
  return true;
}

// First stereo frame at or after `from` whose channel 0 is (not) silent; the end when none is.
inline size_t nextFrame(const std::vector<float>& pcm, size_t from, bool sound) {
  while (2 * from < pcm.size() && (pcm[2 * from] != 0.0f) != sound) ++from;
  return from;
}

// Frequency of channel 0 of interleaved stereo at 48 kHz over frames [begin, end), from the
// median spacing of its rising zero crossings, so that a dropout on a loaded machine does not
// count as a change of pitch.
inline double toneFrequency(const std::vector<float>& pcm, size_t begin, size_t end) {
  std::vector<double> crossings, periods;
  for (size_t f = begin + 1; f < end && 2 * f < pcm.size(); ++f) {
    float a = pcm[2 * (f - 1)], b = pcm[2 * f];
    if (a < 0 && b >= 0) crossings.push_back(f - 1 + a / (a - b));
  }
  for (size_t i = 1; i < crossings.size(); ++i) periods.push_back(crossings[i] - crossings[i - 1]);
  if (periods.size() < 2) return 0;
  std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
  return 48000.0 / periods[periods.size() / 2];
}

struct Decoded {
  std::vector<double> pts;                 // of every picture
  std::vector<std::pair<int, int>> sizes;  // picture sizes in order of first appearance
  std::vector<float> pcm;                  // every sound sample, interleaved
  int packetsBeforeFirstPicture = 0;       // picture packets sent when the first picture came
};

// Reads every packet (a damaged input may fail many reads before its end) and decodes the
// streams whose decoder is given, draining the picture decoder's delay at the end. The first
// picture (or the one at `keepAt` seconds) is kept in `first` when given.
inline Decoded decodeAll(MediaSource& source, VideoDecoder* video, AudioDecoder* audio, VideoFrame* first = nullptr,
                         double keepAt = -1) {
  Decoded d;
  PacketGuard pkt;
  VideoFrame frame;
  AudioChunk chunk;
  int videoPackets = 0;
  auto drainVideo = [&] {
    while (video->receiveFrame(frame)) {
      d.pts.push_back(frame.pts);
      if (d.pts.size() == 1) d.packetsBeforeFirstPicture = videoPackets;
      if (d.sizes.empty() || d.sizes.back() != std::make_pair(frame.width, frame.height))
        d.sizes.emplace_back(frame.width, frame.height);
      if (first && (keepAt < 0 ? d.pts.size() == 1 : std::fabs(frame.pts - keepAt) < 0.001)) *first = std::move(frame);
    }
  };
  for (int r, guard = 0; guard < 100000 && (r = source.readPacket(pkt.p)) != 0; ++guard) {
    if (r < 0) continue;
    if (video && pkt.p->stream_index == source.videoStreamIndex()) {
      video->sendPacket(pkt.p);
      ++videoPackets;
      drainVideo();
    } else if (audio && pkt.p->stream_index == source.audioStreamIndex()) {
      audio->sendPacket(pkt.p);
      while (audio->receive(chunk)) d.pcm.insert(d.pcm.end(), chunk.samples.begin(), chunk.samples.end());
    }
    av_packet_unref(pkt.p);
  }
  if (video) {
    video->sendPacket(nullptr);
    drainVideo();
  }
  return d;
}

// A player whose end reports are counted, painted the way the window does.
struct PlayerRun {
  std::atomic<int> ended{0};
  Player player;
  VideoFrame slot;
  PlayerRun() {
    player.onEnded = [this] { ++ended; };
  }
  // A clock tick and a frame every 16 ms for `ms`, or until the end is reported when
  // `untilEnd`; `tick` is told whether a new frame was taken. Returns the time taken.
  uint32_t paint(int ms, bool untilEnd = true, const std::function<void(bool shown)>& tick = {}) {
    uint32_t start = tickCount();
    while (!(untilEnd && ended.load()) && tickCount() - start < static_cast<uint32_t>(ms)) {
      player.syncTick();
      bool shown = player.takeFrame(slot);
      if (tick) tick(shown);
      waitMs(16);
    }
    return tickCount() - start;
  }
};

}  // namespace vell::test
