// Windows: keys posted to the message box's window once it is up.
#include "support/BoxKeys.h"

#include <windows.h>

#include "platform/Clock.h"
#include "platform/win32/WinText.h"

namespace vell::test {

struct BoxKeys::Watch {};

BoxKeys::BoxKeys(const std::string& caption, std::vector<int> keys) {
  thread_ = std::thread([this, title = win::widen(caption), keys] {
    HWND box = nullptr;
    for (uint32_t start = tickCount(); tickCount() - start < 10000; sleepMs(10)) {
      box = FindWindowW(L"#32770", title.c_str());
      if (box && IsWindowVisible(box)) break;
      box = nullptr;
    }
    if (!box) {
      outcome_ = -2;
      return;
    }
    // Posted to the box itself: the dialog handling reads them wherever the focus is, in order.
    for (int key : keys) {
      UINT scan = MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
      PostMessageW(box, WM_KEYDOWN, static_cast<WPARAM>(key), 1 | (scan << 16));
      PostMessageW(box, WM_KEYUP, static_cast<WPARAM>(key), 1 | (scan << 16) | (3u << 30));
    }
    for (uint32_t start = tickCount(); IsWindow(box) && tickCount() - start < 3000;) sleepMs(10);
    if (!IsWindow(box)) {
      outcome_ = 1;
      return;
    }
    outcome_ = -1;
    // Whichever of the escape buttons the box has.
    for (int id : {IDCANCEL, IDNO, IDOK}) {
      if (HWND button = GetDlgItem(box, id)) {
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        break;
      }
    }
  });
}

BoxKeys::~BoxKeys() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace vell::test
