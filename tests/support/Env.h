#pragma once
#include <string>

namespace vell::test {

// The process environment as the program under test reads it.
void setEnv(const std::string& name, const std::string& value);
void unsetEnv(const std::string& name);

// Sends this process's HTTP requests and media streams through the proxy at `url` (none when
// empty) the way the target's users set one: http_proxy in the environment on Linux, the
// user's Internet settings in the registry on Windows (put back as they were with an empty url).
void setHttpProxy(const std::string& url);

// Makes `home`/Pictures the user's Pictures folder for this process. False when it cannot be moved.
bool setPicturesFolder(const std::string& home);

}  // namespace vell::test
