// The program's arguments in UTF-8.
#pragma once
#include <string>
#include <vector>

namespace vell {

// The program's arguments in UTF-8, the program's name first. On Windows they are read from
// the wide command line: the `argv` the C runtime gives is in the ANSI code page there.
std::vector<std::string> programArguments(int argc, char** argv);

}  // namespace vell
