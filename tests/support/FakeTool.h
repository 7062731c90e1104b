// Test support: stand-ins for external tools, run as shell scripts.
#pragma once
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace vell::test {

// A stand-in for an external tool (yt-dlp): a program in `dir` called `name` (".exe" added on
// Windows) that runs the shell script `body` with the arguments it was given. Returns its path.
std::string fakeTool(const TempDir& dir, const std::string& name, const std::string& body);

// Folders joined the way the target writes its search path (PATH).
std::string searchPath(const std::vector<std::string>& dirs);

// A file of the host system (say under /proc, where the script's processes show) as this
// program opens it.
std::string hostFile(const std::string& path);

}  // namespace vell::test
