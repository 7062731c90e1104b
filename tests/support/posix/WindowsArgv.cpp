// Linux: no Windows command-line parser to ask.
#include "support/WindowsArgv.h"

namespace vell::test {

bool windowsArgv(const std::string&, std::vector<std::string>&) { return false; }

}  // namespace vell::test
