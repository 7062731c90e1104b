#include "platform/MediaControls.h"

#include <windows.h>

#include "platform/Files.h"
#include "platform/win32/WinText.h"

namespace vell {

// No desktop media controls here yet: the media keys come as hot keys (Window::grabMediaKeys).
struct MediaControls::Impl {};

MediaControls::MediaControls() = default;
MediaControls::~MediaControls() = default;

bool MediaControls::start(const std::string&, const std::string&, const std::string&, Handler) { return false; }
void MediaControls::stop() {}
bool MediaControls::running() const { return false; }
void MediaControls::update(const MediaStatus&) {}

std::string runtimeFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  std::string dir = win::narrow(std::wstring(temp, n));
  while (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  dir += "\\vell-player";
  makeDirectories(dir);
  return dir;
}

}  // namespace vell
