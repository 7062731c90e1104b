// Quoting an argument vector into one Windows command line.
#include "platform/ProcessQuote.h"

namespace vell {

std::string quoteWindowsCommandLine(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& arg : args) {
    if (!line.empty()) line += ' ';
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) {
      line += arg;  // backslashes mean nothing when no quote follows them
      continue;
    }
    line += '"';
    size_t backslashes = 0;
    for (char c : arg) {
      if (c == '\\') {
        ++backslashes;
        continue;
      }
      // Backslashes before a quote are escapes: double them, then escape the quote itself.
      line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
      backslashes = 0;
      line += c;
    }
    line.append(backslashes * 2, '\\');  // they stand before the closing quote
    line += '"';
  }
  return line;
}

}  // namespace vell
