#include <gtest/gtest.h>

#include "support/FakeTool.h"

namespace vell::test {

std::string fakeTool(const TempDir& dir, const std::string& name, const std::string&) {
  ADD_FAILURE() << "no stand-in tools on Windows yet";
  return dir.file(name + ".exe");
}

}  // namespace vell::test
