// Windows: wheel turns and Alt keys as window messages.
#include "support/NativeInput.h"

#include <windows.h>

#include "platform/win32/WinWindow.h"

namespace vell::test {

namespace {

bool menuEntered = false;

LRESULT CALLBACK watchMenus(int code, WPARAM wp, LPARAM lp) {
  const auto* m = reinterpret_cast<const CWPSTRUCT*>(lp);
  if (code == HC_ACTION && ((m->message == WM_SYSCOMMAND && (m->wParam & 0xFFF0) == SC_KEYMENU) ||
                            m->message == WM_ENTERMENULOOP))
    menuEntered = true;
  return CallNextHookEx(nullptr, code, wp, lp);
}

// Key message lParam: repeat count 1, the key's scan code, Alt held (context), released.
LPARAM keyBits(UINT key, bool altHeld, bool up) {
  LPARAM lp = 1 | (static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16);
  if (altHeld) lp |= LPARAM{1} << 29;
  if (up) lp |= (LPARAM{1} << 30) | (LPARAM{1} << 31);
  return lp;
}

}  // namespace

void turnWheel(NativeWindow* window, int delta) {
  HWND hwnd = hwndOf(window);
  RECT r{};
  GetWindowRect(hwnd, &r);
  PostMessageW(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))),
               MAKELPARAM(r.left + 10, r.top + 10));
}

bool pressWithAlt(NativeWindow* window, int key) {
  HWND hwnd = hwndOf(window);
  menuEntered = false;
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, watchMenus, nullptr, GetCurrentThreadId());
  // A menu loop that was entered would hold this thread: it ends itself after a moment.
  UINT_PTR timer = SetTimer(nullptr, 0, 500, [](HWND, UINT, UINT_PTR, DWORD) { EndMenu(); });
  SendMessageW(hwnd, WM_SYSKEYDOWN, VK_MENU, keyBits(VK_MENU, true, false));
  if (key == 0) {
    SendMessageW(hwnd, WM_SYSKEYUP, VK_MENU, keyBits(VK_MENU, false, true));
  } else {
    UINT vk = static_cast<UINT>(key);
    SendMessageW(hwnd, WM_SYSKEYDOWN, vk, keyBits(vk, true, false));
    if (vk >= 'A' && vk <= 'Z') SendMessageW(hwnd, WM_SYSCHAR, vk - 'A' + 'a', keyBits(vk, true, false));
    SendMessageW(hwnd, WM_SYSKEYUP, vk, keyBits(vk, true, true));
    SendMessageW(hwnd, WM_KEYUP, VK_MENU, keyBits(VK_MENU, false, true));
  }
  KillTimer(nullptr, timer);
  if (hook) UnhookWindowsHookEx(hook);
  return menuEntered;
}

bool windowsMinimize() { return true; }

}  // namespace vell::test
