#include <sys/stat.h>

#include "support/FakeTool.h"

namespace vell::test {

std::string fakeTool(const TempDir& dir, const std::string& name, const std::string& body) {
  std::string path = dir.write(name, "#!/bin/sh\n" + body + "\n");
  chmod(path.c_str(), 0755);
  return path;
}

}  // namespace vell::test
