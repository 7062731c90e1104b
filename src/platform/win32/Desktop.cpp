// Windows: the system's open dialog, Pictures, local time and opening links.
#include "platform/Desktop.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <thread>

#include "platform/win32/WinText.h"

namespace vell {

namespace {

struct DialogSearch {
  HWND found = nullptr;
};

// Ends the dialog that `thread` shows once `cancel` turns true (polled: the dialog's own
// object belongs to that thread).
class CancelWatch {
 public:
  CancelWatch(const std::atomic<bool>* cancel, DWORD thread) : cancel_(cancel) {
    if (!cancel) return;
    watcher_ = std::thread([this, thread] {
      while (!done_.load()) {
        if (cancel_->load()) {
          DialogSearch search;
          EnumThreadWindows(
              thread,
              [](HWND hwnd, LPARAM lp) -> BOOL {
                if (!IsWindowVisible(hwnd)) return TRUE;
                reinterpret_cast<DialogSearch*>(lp)->found = hwnd;
                return FALSE;
              },
              reinterpret_cast<LPARAM>(&search));
          if (search.found) PostMessageW(search.found, WM_COMMAND, IDCANCEL, 0);
        }
        Sleep(50);
      }
    });
  }
  ~CancelWatch() {
    done_.store(true);
    if (watcher_.joinable()) watcher_.join();
  }

 private:
  const std::atomic<bool>* cancel_;
  std::atomic<bool> done_{false};
  std::thread watcher_;
};

template <typename T>
void release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

}  // namespace

// The system's open dialog, unless it cannot be made here (no shell, a policy, a broken
// registration): the path is typed into the program's own dialog instead.
bool fileChooserAvailable() {
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  IFileOpenDialog* dialog = nullptr;
  bool made = SUCCEEDED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog)));
  release(dialog);
  if (SUCCEEDED(com)) CoUninitialize();
  return made;
}

std::string runFileChooser(const FileDialogOptions& options, const std::atomic<bool>* cancel) {
  if (cancel && cancel->load()) return "";
  // Called on a worker thread: the dialog wants a single-threaded apartment of its own.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  std::string chosen;
  IFileOpenDialog* dialog = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog)))) {
    std::vector<std::wstring> texts;
    texts.reserve(options.filters.size() * 2);
    std::vector<COMDLG_FILTERSPEC> specs;
    for (const auto& [label, patterns] : options.filters) {
      texts.push_back(win::widen(label));
      texts.push_back(win::widen(patterns));
      specs.push_back({texts[texts.size() - 2].c_str(), texts.back().c_str()});
    }
    if (!specs.empty()) dialog->SetFileTypes(static_cast<UINT>(specs.size()), specs.data());
    if (!options.title.empty()) dialog->SetTitle(win::widen(options.title).c_str());
    FILEOPENDIALOGOPTIONS flags = 0;
    dialog->GetOptions(&flags);
    dialog->SetOptions(flags | FOS_FORCEFILESYSTEM | FOS_FILEMUSTEXIST);
    IShellItem* folder = nullptr;
    if (!options.initialDirectory.empty() &&
        SUCCEEDED(SHCreateItemFromParsingName(win::widen(options.initialDirectory).c_str(), nullptr,
                                              IID_PPV_ARGS(&folder)))) {
      dialog->SetFolder(folder);
      release(folder);
    }
    // Owned by the program's window in front (modal to it, as the system's dialogs are).
    HWND owner = GetForegroundWindow();
    DWORD process = 0;
    if (owner) GetWindowThreadProcessId(owner, &process);
    if (process != GetCurrentProcessId()) owner = nullptr;
    HRESULT shown;
    {
      CancelWatch watch(cancel, GetCurrentThreadId());
      shown = dialog->Show(owner);
    }
    IShellItem* item = nullptr;
    if (SUCCEEDED(shown) && !(cancel && cancel->load()) && SUCCEEDED(dialog->GetResult(&item))) {
      PWSTR path = nullptr;
      if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
        chosen = win::narrow(path);
        CoTaskMemFree(path);
      }
      release(item);
    }
    release(dialog);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return chosen;
}

std::string picturesDirectory() {
  PWSTR path = nullptr;
  std::string out;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Pictures, KF_FLAG_CREATE, nullptr, &path))) out = win::narrow(path);
  CoTaskMemFree(path);
  return out;
}

LocalTime localTimeNow() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

void openLink(const std::string& url) {
  ShellExecuteW(nullptr, L"open", win::widen(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

const char* technologyCredits() { return "FFmpeg · Direct3D 11 · Direct2D · WASAPI"; }

}  // namespace vell
