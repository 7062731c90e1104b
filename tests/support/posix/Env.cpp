// Linux: the environment, http_proxy, the Pictures folder through HOME, no file chooser.
#include "support/Env.h"

#include <cstdlib>

#include "platform/Files.h"
#include "support/TempDir.h"

namespace vell::test {

void setEnv(const std::string& name, const std::string& value) { setenv(name.c_str(), value.c_str(), 1); }
void unsetEnv(const std::string& name) { unsetenv(name.c_str()); }

void setHttpProxy(const std::string& url) { url.empty() ? unsetEnv("http_proxy") : setEnv("http_proxy", url); }

PicturesFolder::PicturesFolder(const std::string& home) {
  makeDirectories(home + "/Pictures");
  setEnv("HOME", home);
  setEnv("XDG_CONFIG_HOME", home + "/config");  // no user-dirs.dirs there: ~/Pictures
  moved_ = true;
}

PicturesFolder::~PicturesFolder() = default;

struct NoFileChooser::Impl {
  TempDir empty;
  std::string searchPath;
};

NoFileChooser::NoFileChooser() : impl_(std::make_unique<Impl>()) {
  const char* path = std::getenv("PATH");
  impl_->searchPath = path ? path : "";
  setEnv("PATH", impl_->empty.path());
}

NoFileChooser::~NoFileChooser() { setEnv("PATH", impl_->searchPath); }

}  // namespace vell::test
