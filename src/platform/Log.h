// The debug log and the sink tests capture it with.
#pragma once
#include <functional>
#include <string>

namespace vell {

// One debug line: "[VellPlayer] " + the formatted text + a line feed (a trailing line feed
// in the format is not doubled), written by the target's log output.
void debugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Tests capture the log by installing a sink; it receives each whole line, prefix and
// line feed included. An empty function restores the log output.
using LogSink = std::function<void(const std::string& line)>;
void setLogSink(LogSink sink);

namespace detail {
// The target's log output for one finished line: stderr on Linux; the debugger and stderr
// (when there is one) on Windows.
void writeLogLine(const std::string& line);
}  // namespace detail

}  // namespace vell
