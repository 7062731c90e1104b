// Linux: writing to the standard output.
#include "platform/Console.h"

#include <cstdio>

namespace vell {

void writeStdout(const std::string& text) {
  fputs(text.c_str(), stdout);
  fflush(stdout);
}

}  // namespace vell
