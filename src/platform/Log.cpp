// The debug log: formatting a line and handing it to the sink or the target's output.
#include "platform/Log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace vell {
namespace {

std::mutex& sinkMutex() {
  static std::mutex m;
  return m;
}

LogSink& sinkSlot() {
  static LogSink sink;
  return sink;
}

}  // namespace

void debugLog(const char* format, ...) {
  char buffer[2048];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return;
  std::string line = "[VellPlayer] ";
  line.append(buffer, static_cast<size_t>(n) < sizeof buffer ? static_cast<size_t>(n) : sizeof buffer - 1);
  if (line.empty() || line.back() != '\n') line.push_back('\n');

  std::lock_guard<std::mutex> lock(sinkMutex());
  if (sinkSlot()) {
    sinkSlot()(line);
  } else {
    detail::writeLogLine(line);
  }
}

void setLogSink(LogSink sink) {
  std::lock_guard<std::mutex> lock(sinkMutex());
  sinkSlot() = std::move(sink);
}

}  // namespace vell
