// Linux: a stand-in tool as an executable shell script.
#include <sys/stat.h>

#include "support/FakeTool.h"

namespace vell::test {

std::string fakeTool(const TempDir& dir, const std::string& name, const std::string& body) {
  std::string path = dir.write(name, "#!/bin/sh\n" + body + "\n");
  chmod(path.c_str(), 0755);
  return path;
}

std::string searchPath(const std::vector<std::string>& dirs) {
  std::string joined;
  for (const std::string& dir : dirs) joined += (joined.empty() ? "" : ":") + dir;
  return joined;
}

std::string hostFile(const std::string& path) { return path; }

}  // namespace vell::test
