// Writing to the standard output (the --version answer).
#pragma once
#include <string>

namespace vell {

// Writes text to the standard output. On Windows a program without a console of its own
// writes into the console it was started from, when there is one.
void writeStdout(const std::string& text);

}  // namespace vell
