#include "support/QuitRequest.h"

namespace vell::test {

bool canRaiseQuitRequest() { return false; }

void raiseQuitRequest() {}

bool quitChildProcess(const std::function<char()>&, char&, bool&) { return false; }

}  // namespace vell::test
