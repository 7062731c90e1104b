#pragma once
#include <string>

#include "support/TempDir.h"

namespace vell::test {

// A stand-in for an external tool (yt-dlp): a program in `dir` called `name` (".exe" added on
// Windows) that runs the shell script `body` with the arguments it was given. Returns its path.
std::string fakeTool(const TempDir& dir, const std::string& name, const std::string& body);

}  // namespace vell::test
