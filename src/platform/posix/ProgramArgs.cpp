// Linux: the program's arguments, already UTF-8.
#include "platform/ProgramArgs.h"

namespace vell {

std::vector<std::string> programArguments(int argc, char** argv) { return {argv, argv + argc}; }

}  // namespace vell
