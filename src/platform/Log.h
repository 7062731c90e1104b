#pragma once
#include <functional>
#include <string>

namespace vell {

// One debug line on stderr: "[VellPlayer] " + the formatted text + a line feed
// (a trailing line feed in the format is not doubled).
void debugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Tests capture the log by installing a sink; it receives each whole line, prefix and
// line feed included. An empty function restores stderr.
using LogSink = std::function<void(const std::string& line)>;
void setLogSink(LogSink sink);

}  // namespace vell
