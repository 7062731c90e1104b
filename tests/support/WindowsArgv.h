// Test support: the argument vector Windows' own parser makes of a command line.
#pragma once
#include <string>
#include <vector>

namespace vell::test {

// The argument vector that Windows' own parser (CommandLineToArgvW) makes of `commandLine`.
// False where that parser does not exist (Linux): the caller then checks the text only.
bool windowsArgv(const std::string& commandLine, std::vector<std::string>& out);

}  // namespace vell::test
