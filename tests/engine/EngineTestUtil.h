// Small pieces the engine tests share.
#pragma once

extern "C" {
#include <libavcodec/packet.h>
}

#include <mutex>
#include <string>
#include <vector>

#include "platform/Log.h"

namespace vell::test {

struct PacketGuard {
  AVPacket* p = av_packet_alloc();
  ~PacketGuard() { av_packet_free(&p); }
};

// Collects the log lines written while it lives.
struct LogCapture {
  std::vector<std::string> lines;
  mutable std::mutex m;
  LogCapture() {
    setLogSink([this](const std::string& l) {
      std::lock_guard<std::mutex> lock(m);
      lines.push_back(l);
    });
  }
  ~LogCapture() { setLogSink(nullptr); }
  int count(const std::string& line) const {
    std::lock_guard<std::mutex> lock(m);
    int n = 0;
    for (const auto& l : lines) n += l == line;
    return n;
  }
  bool has(const std::string& text) const {
    std::lock_guard<std::mutex> lock(m);
    for (const auto& l : lines)
      if (l.find(text) != std::string::npos) return true;
    return false;
  }
};

}  // namespace vell::test
