// Linux: the log's lines written to stderr.
#include "platform/Log.h"

#include <cstdio>

namespace vell::detail {

void writeLogLine(const std::string& line) { fputs(line.c_str(), stderr); }

}  // namespace vell::detail
