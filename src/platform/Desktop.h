// The desktop's services: the file chooser, Pictures folder, local time and web links.
#pragma once
#include <atomic>
#include <string>
#include <utility>
#include <vector>

namespace vell {

// A file filter of the open dialog: label and patterns ("*.mp4;*.mkv").
using FileFilter = std::pair<std::string, std::string>;

struct FileDialogOptions {
  std::string title;
  std::string initialDirectory;
  std::vector<FileFilter> filters;
};

// Whether a desktop file chooser can be shown (zenity, else kdialog, installed; on Windows the
// system's open dialog can be made).
bool fileChooserAvailable();
// Runs the desktop's file chooser as a child process and waits for it; the chosen path, or
// empty when cancelled or when no chooser exists. `cancel` turning true ends the chooser
// (and whatever it started) at once.
std::string runFileChooser(const FileDialogOptions& options, const std::atomic<bool>* cancel = nullptr);

// The user's Pictures folder: XDG_PICTURES_DIR from user-dirs.dirs, else ~/Pictures.
std::string picturesDirectory();

// Local wall-clock time, broken down.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
LocalTime localTimeNow();

// Opens a web address with the desktop's default handler (xdg-open), without waiting.
void openLink(const std::string& url);

// The media, video and audio technologies this build plays through, for the About window.
const char* technologyCredits();

}  // namespace vell
