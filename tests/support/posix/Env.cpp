#include "support/Env.h"

#include <cstdlib>

namespace vell::test {

void setEnv(const std::string& name, const std::string& value) { setenv(name.c_str(), value.c_str(), 1); }
void unsetEnv(const std::string& name) { unsetenv(name.c_str()); }

void setHttpProxy(const std::string& url) { url.empty() ? unsetEnv("http_proxy") : setEnv("http_proxy", url); }

bool setPicturesFolder(const std::string& home) {
  setEnv("HOME", home);
  setEnv("XDG_CONFIG_HOME", home + "/config");  // no user-dirs.dirs there: ~/Pictures
  return true;
}

}  // namespace vell::test
