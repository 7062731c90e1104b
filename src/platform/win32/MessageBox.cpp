// Windows: the system's message box, with the owner painting underneath.
#include "platform/MessageBox.h"

#include <windows.h>

#include "platform/QuitSignal.h"
#include "platform/win32/ModalTimer.h"
#include "platform/win32/WinText.h"
#include "platform/win32/WinWindow.h"

namespace vell {

namespace {

struct BoxSearch {
  DWORD thread;
  HWND found = nullptr;
};

// The box's dialog window: the newest dialog of this thread.
HWND findBox() {
  BoxSearch search{GetCurrentThreadId()};
  EnumThreadWindows(
      search.thread,
      [](HWND hwnd, LPARAM lp) -> BOOL {
        wchar_t name[16] = {};
        GetClassNameW(hwnd, name, 16);
        if (lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
        reinterpret_cast<BoxSearch*>(lp)->found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

MessageAnswer backend::showMessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                                      MessageIcon icon, NativeWindow* ownerHandle) {
  HWND owner = hwndOf(ownerHandle);
  UINT style = MB_SETFOREGROUND;
  int escape = IDOK;
  switch (buttons) {
    case MessageButtons::Ok: style |= MB_OK; break;
    case MessageButtons::OkCancel:
      style |= MB_OKCANCEL;
      escape = IDCANCEL;
      break;
    case MessageButtons::YesNo:
      style |= MB_YESNO;
      escape = IDNO;
      break;
  }
  switch (icon) {
    case MessageIcon::None: break;
    case MessageIcon::Information: style |= MB_ICONINFORMATION; break;
    case MessageIcon::Question: style |= MB_ICONQUESTION; break;
    case MessageIcon::Warning: style |= MB_ICONWARNING; break;
    case MessageIcon::Error: style |= MB_ICONERROR; break;
  }
  // The owner only paints under the box: the box's own loop reads the thread's messages, as
  // its keys need its dialog handling (Enter, Escape, the arrows between the buttons). A quit
  // request, or the owner's program ending, makes the box give way with its escape answer;
  // the request then reaches the program's loop after it.
  std::function<bool()>* ownerTick = modalTickOf(owner);
  bool quit = false, closing = false;
  ModalTimer timer([&] {
    if (closing) return;
    if (takeQuitSignal()) quit = true;
    if (!quit && (!ownerTick || (*ownerTick)())) return;
    if (HWND box = findBox()) {
      closing = true;
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(escape, BN_CLICKED), 0);
    }
  });
  int answer = MessageBoxW(owner, win::widen(text).c_str(), win::widen(caption).c_str(), style);
  if (quit) PostQuitMessage(0);  // the request reaches the program's loop after the box
  switch (answer) {
    case IDOK: return MessageAnswer::Ok;
    case IDYES: return MessageAnswer::Yes;
    case IDNO: return MessageAnswer::No;
    case IDCANCEL: return MessageAnswer::Cancel;
    default: return escape == IDOK ? MessageAnswer::Ok : escape == IDNO ? MessageAnswer::No : MessageAnswer::Cancel;
  }
}

}  // namespace vell
