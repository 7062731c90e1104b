// One Windows command line for an argument vector, quoted to come back whole.
#pragma once
#include <string>
#include <vector>

namespace vell {

// One Windows command line for the argument vector `args` (the program first), quoted so that
// CommandLineToArgvW and the C runtime give back exactly `args`: an argument with a space, a
// tab, a line feed, a quote or nothing at all goes in quotes; a quote inside is escaped, and
// the backslashes before a quote or the closing quote are doubled. The program name must not
// hold a quote (no file name can).
std::string quoteWindowsCommandLine(const std::vector<std::string>& args);

}  // namespace vell
