#pragma once
#include <string>

namespace vell::test {

// The process environment as the program under test reads it.
void setEnv(const std::string& name, const std::string& value);
void unsetEnv(const std::string& name);

// Sends this process's plain-HTTP requests through the proxy at `url` (none when empty), the
// way the target's users set one. False on Windows, whose proxy is a system setting that tests
// leave alone.
bool setHttpProxy(const std::string& url);

// Makes `home`/Pictures the user's Pictures folder for this process. False when it cannot be moved.
bool setPicturesFolder(const std::string& home);

}  // namespace vell::test
