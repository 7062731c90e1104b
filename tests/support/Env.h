// Test support: the environment, the proxy, the Pictures folder and a missing file chooser.
#pragma once
#include <memory>
#include <string>

namespace vell::test {

// The process environment as the program under test reads it.
void setEnv(const std::string& name, const std::string& value);
void unsetEnv(const std::string& name);

// Sends this process's HTTP requests and media streams through the proxy at `url` (none when
// empty) the way the target's users set one: http_proxy in the environment on Linux, the
// user's Internet settings in the registry on Windows (put back as they were with an empty url).
void setHttpProxy(const std::string& url);

// Makes `home`/Pictures the user's Pictures folder while it lives: on Linux through HOME; on
// Windows through USERPROFILE, which the user's folders follow, and under wine, whose shell
// does not, through the folder's value in the user's registry, put back afterwards.
class PicturesFolder {
 public:
  explicit PicturesFolder(const std::string& home);
  ~PicturesFolder();
  PicturesFolder(const PicturesFolder&) = delete;
  PicturesFolder& operator=(const PicturesFolder&) = delete;
  bool moved() const { return moved_; }

 private:
  bool moved_ = false;
  std::string restore_;  // what the target puts back
};

// Takes the desktop's file chooser away while it lives, as on a desktop without one: on Linux
// a search path without zenity and kdialog; on Windows a stand-in for the system's open dialog,
// registered for this thread, that refuses to be made (as where the shell is missing).
class NoFileChooser {
 public:
  NoFileChooser();
  ~NoFileChooser();
  NoFileChooser(const NoFileChooser&) = delete;
  NoFileChooser& operator=(const NoFileChooser&) = delete;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vell::test
